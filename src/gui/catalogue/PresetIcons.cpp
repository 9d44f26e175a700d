#include "gui/catalogue/PresetIcons.h"

#include "core/fs/SafeFile.h"
#include "core/fs/WorkingDirectory.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace {

constexpr const char *kIconNames[] = {"classic", "console", "handheld", "computer"};

} // namespace

std::string PresetIcons::fileFor(int category, const std::string &workFolder)
{
    if (category < 0 || category >= static_cast<int>(std::size(kIconNames)))
        return {};
    const std::string name = std::string(kIconNames[category]) + ".svg";
    QFile drawing(QStringLiteral(":/marlit/icons/") + QString::fromLatin1(name.c_str()));
    if (!drawing.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = drawing.readAll();
    const std::string folder = marlit::absolutePath(workFolder + "icons");
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return {};
    const std::string path = folder + "/" + name;
    const marlit::WriteResult written =
        marlit::SafeFile::createNew(path, std::string_view(bytes.constData(), bytes.size()));
    struct stat status
    {
    };
    return written.ok() || ::stat(path.c_str(), &status) == 0 ? path : std::string();
}
