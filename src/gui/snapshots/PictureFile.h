#pragma once

#include "core/fs/FileStamp.h"

#include <QFile>

#include <functional>
#include <string>

// A picture file opened by its name's own bytes, so a name that is not valid in the locale's
// encoding still opens the right file. Only a regular file opens: a FIFO or a device at that
// name would block the reader forever. Opened from a descriptor, the file has no name, so
// readers tell its format from its content, whatever its extension claims. Reads fail once the picture is no longer
// wanted, so a decoder gives up early instead of finishing a large picture nobody will see.
class PictureFile : public QFile
{
public:
    explicit PictureFile(std::function<bool()> wanted = {});

    bool openPicture(const std::string &path);
    // The stamp of the file opened, taken as it was opened.
    const marlit::FileStamp &stamp() const { return m_stamp; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;

private:
    std::function<bool()> m_wanted;
    marlit::FileStamp m_stamp;
};
