#include "core/snapshots/SnapshotSearch.h"

namespace marlit {

namespace {

std::string quoted(const std::string &text)
{
    return '"' + text + '"';
}

} // namespace

std::string SnapshotSearch::whyNoPicture(bool pictureRead) const
{
    if (!fellBack) {
        if (pictureRead || path.empty())
            return {};
        return romName.empty()
                   ? "The picture " + quoted(path) + " cannot be read."
                   : "Found " + quoted(path) + " for " + quoted(romName) + ", but it cannot be read as a picture.";
    }

    std::string text;
    if (!unreadablePath.empty()) {
        text = "Found " + quoted(unreadablePath) + " for " + quoted(romName) + ", but " + unreadableReason + '.';
    } else if (attempts.empty()) {
        text = "No snapshot looked for: " + quoted(romName) +
               " has neither an extension to replace nor a title before a bracket.";
    } else {
        text = "No snapshot of " + quoted(romName) + " found. Looked for, in this order:";
        for (const SnapshotAttempt &attempt : attempts)
            text += "\n    " + attempt.pattern + "    in " + attempt.folder;
        if (!folderReadable)
            text += "\nThe folder " + attempts.front().folder + " cannot be read.";
    }
    text += '\n';
    if (pictureRead) {
        text += "Shown instead: ";
        text += path;
        text += '.';
    } else {
        text += path;
        text += ", shown in its place, is missing or cannot be read.";
    }
    return text;
}

} // namespace marlit
