#include "model/TextFile.h"

#include "model/AppError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

[[noreturn]] void fail(const QString& path, int error)
{
    throw CannotOpenFile(QFileInfo(path).absoluteFilePath(), SystemErrorText(error));
}

}  // namespace

QByteArray ReadTextFile(const QString& path)
{
    // Plain POSIX calls, so that the message carries the system's own reason.
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty())
        fail(path, ENOENT);
    // Non-blocking, so that opening a named pipe nobody writes to cannot hang the program.
    const Descriptor fd(::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        fail(path, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        fail(path, errno);
    // A device such as /dev/zero would never end; only files and directories (which fail below
    // with the system's own reason) are read.
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        fail(path, EINVAL);

    QByteArray data;
    data.reserve(static_cast<qsizetype>(info.st_size));
    if (const int error = ReadToEnd(fd.get(), data))
        fail(path, error);
    return data;
}

int ReadToEnd(int fd, QByteArray& data)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return 0;
        data.append(buffer, n);
    }
}
