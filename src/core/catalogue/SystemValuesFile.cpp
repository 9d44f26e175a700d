#include "core/catalogue/SystemValuesFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

namespace marlit {

namespace {

constexpr std::size_t kRecordValueCount = 9;
constexpr std::array<std::string_view, kRecordValueCount> kRecordKeys = {
    "NAME", "DESC", "ROMDIR", "EMU", "COMMAND LINE", "ICON", "SNAPADIR", "SNAPBDIR", "SNAPSHOT"};
constexpr std::string_view kBlockStart = "[system]";
constexpr std::string_view kRowKey = "ROW";
// A hand-edited record still counts as the same system with at most this many values changed.
constexpr int kMostChangedValues = 2;

using RecordValues = std::array<std::string, kRecordValueCount>;

// The record's values as its catalogue file holds them.
RecordValues recordValuesOf(const SystemEntry &entry)
{
    return {entry.name,
            entry.description,
            entry.romDirectory,
            entry.emulatorDirectory + entry.emulatorFile,
            (entry.paramsAfterRom ? "@" : "") + entry.commandLine,
            entry.iconPath,
            entry.snapshotDirA,
            entry.snapshotDirB,
            entry.defaultSnapshot};
}

struct Block
{
    int row = -1;
    RecordValues record;
    SystemValues values;
};

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

void readLine(Block &block, std::string_view line)
{
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return;
    const std::string_view key = trimmed(line.substr(0, equals));
    std::string_view value = line.substr(equals + 1);
    if (!value.empty() && value.front() == ' ')
        value.remove_prefix(1); // the one blank the writer puts after "="
    if (key == kRowKey) {
        int row = -1;
        const std::string_view digits = trimmed(value);
        if (std::from_chars(digits.data(), digits.data() + digits.size(), row).ec == std::errc())
            block.row = row;
        return;
    }
    const auto known = std::find(kRecordKeys.begin(), kRecordKeys.end(), key);
    if (known != kRecordKeys.end())
        block.record[static_cast<std::size_t>(known - kRecordKeys.begin())] = std::string(value);
    else
        block.values.set(key, value); // a key that is not valid is left out by set()
}

std::vector<Block> parseBlocks(std::string_view bytes)
{
    std::vector<Block> blocks;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (trimmed(line) == kBlockStart)
            blocks.emplace_back();
        else if (!blocks.empty() && !line.empty() && line.front() != '#')
            readLine(blocks.back(), line);
    }
    return blocks;
}

int changedValues(const RecordValues &a, const RecordValues &b)
{
    int changed = 0;
    for (std::size_t i = 0; i < kRecordValueCount; ++i)
        changed += a[i] != b[i] ? 1 : 0;
    return changed;
}

} // namespace

std::string SystemValuesFile::pathFor(const std::string &cataloguePath)
{
    constexpr std::string_view kCatalogueExtension = ".ini";
    std::string path = cataloguePath;
    if (path.size() > kCatalogueExtension.size() && path.ends_with(kCatalogueExtension))
        path.resize(path.size() - kCatalogueExtension.size());
    return path + ".values";
}

std::string SystemValuesFile::serialize(const CategoryCatalogue &catalogue)
{
    std::string out = "# Marlit's values for the systems of the catalogue beside this file that its records have no\n"
                      "# place for. Each block belongs to the record it names.\n";
    for (int row = 0; row < catalogue.size(); ++row) {
        const SystemEntry &entry = *catalogue.entryAt(row);
        if (entry.values.empty())
            continue;
        out.append("\n").append(kBlockStart).append("\n");
        out.append(kRowKey).append(" = ").append(std::to_string(row)).append("\n");
        const RecordValues record = recordValuesOf(entry);
        for (std::size_t i = 0; i < kRecordValueCount; ++i)
            out.append(kRecordKeys[i]).append(" = ").append(record[i]).append("\n");
        for (const auto &[key, value] : entry.values.all())
            out.append(key).append(" = ").append(value).append("\n");
    }
    return out;
}

void SystemValuesFile::attach(std::string_view bytes, CategoryCatalogue &catalogue)
{
    std::vector<Block> blocks = parseBlocks(bytes);
    const int count = catalogue.size();
    std::vector<RecordValues> records;
    records.reserve(static_cast<std::size_t>(count));
    std::unordered_multimap<std::string, int> rowsByName;
    for (int row = 0; row < count; ++row) {
        SystemEntry &entry = *catalogue.entryAt(row);
        entry.values = {};
        records.push_back(recordValuesOf(entry));
        rowsByName.emplace(entry.name, row);
    }
    std::vector<bool> taken(static_cast<std::size_t>(count), false);
    std::vector<bool> placed(blocks.size(), false);
    const auto give = [&](std::size_t block, int row) {
        catalogue.entryAt(row)->values = std::move(blocks[block].values);
        taken[static_cast<std::size_t>(row)] = true;
        placed[block] = true;
    };

    // The same record first: of equal records, the one nearest the block's row.
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        int best = -1;
        const auto [first, last] = rowsByName.equal_range(blocks[b].record[0]);
        for (auto it = first; it != last; ++it) {
            const int row = it->second;
            if (taken[static_cast<std::size_t>(row)] || records[static_cast<std::size_t>(row)] != blocks[b].record)
                continue;
            if (best < 0 || std::abs(row - blocks[b].row) < std::abs(best - blocks[b].row))
                best = row;
        }
        if (best >= 0)
            give(b, best);
    }

    // Then a record edited by hand: the one record nearest to the block, when it is near enough.
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        if (placed[b])
            continue;
        int best = -1;
        int bestChanged = std::numeric_limits<int>::max();
        bool alike = false;
        for (int row = 0; row < count; ++row) {
            if (taken[static_cast<std::size_t>(row)] || catalogue.entryAt(row)->isBlank())
                continue;
            const int changed = changedValues(records[static_cast<std::size_t>(row)], blocks[b].record);
            if (changed > kMostChangedValues || changed > bestChanged)
                continue;
            alike = changed == bestChanged;
            if (changed < bestChanged) {
                best = row;
                bestChanged = changed;
            }
        }
        if (best >= 0 && !alike)
            give(b, best);
    }
}

void SystemValuesFile::load(const std::string &cataloguePath, CategoryCatalogue &catalogue)
{
    const std::optional<std::string> bytes = SafeFile::readAll(pathFor(cataloguePath));
    attach(bytes ? std::string_view(*bytes) : std::string_view(), catalogue);
}

WriteResult SystemValuesFile::save(const std::string &cataloguePath, const CategoryCatalogue &catalogue)
{
    const std::string path = pathFor(cataloguePath);
    const bool anyValues = std::any_of(catalogue.entries().begin(), catalogue.entries().end(),
                                       [](const SystemEntry &entry) { return !entry.values.empty(); });
    struct stat status
    {
    };
    if (!anyValues && ::lstat(path.c_str(), &status) != 0)
        return WriteResult::success();
    return SafeFile::writeAll(path, serialize(catalogue));
}

} // namespace marlit
