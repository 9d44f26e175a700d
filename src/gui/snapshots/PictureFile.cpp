#include "gui/snapshots/PictureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

PictureFile::PictureFile(std::function<bool()> wanted) : m_wanted(std::move(wanted))
{
}

bool PictureFile::openPicture(const std::string &path)
{
    if (path.empty())
        return false;
    // Non-blocking, so that opening a FIFO does not wait for a writer; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || !open(fd, QIODevice::ReadOnly, AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    m_stamp = marlit::FileStamp::from(status);
    return true;
}

qint64 PictureFile::readData(char *data, qint64 maxSize)
{
    if (m_wanted && !m_wanted())
        return -1;
    return QFile::readData(data, maxSize);
}
