#include "SecureFile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {
namespace {

QByteArray enc(const QString &p) { return QFile::encodeName(p); }

QString errText(int err) { return QString::fromLocal8Bit(strerror(err)); }

// The only entry kept as it is: a plain file of our own with no second name.
bool isOwnPlainFile(const struct stat &st) { return S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_nlink == 1; }

int openRetrying(const char *path, int flags, int permissions)
{
    int fd;
    do {
        fd = ::open(path, flags, permissions);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

SecureFile::~SecureFile() { close(); }

SecureFile::SecureFile(SecureFile &&other) noexcept
    : m_fd(other.m_fd), m_path(std::move(other.m_path)), m_error(std::move(other.m_error))
{
    other.m_fd = -1;
}

SecureFile &SecureFile::operator=(SecureFile &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        m_error = std::move(other.m_error);
        other.m_fd = -1;
    }
    return *this;
}

SecureFile SecureFile::openForWriting(const QString &path, Mode mode, int permissions)
{
    SecureFile file;
    file.m_path = path;
    const QByteArray p = enc(path);
    const int baseFlags = O_WRONLY | O_NOFOLLOW | O_CLOEXEC | (mode == Mode::Append ? O_APPEND : 0);
    // Someone racing us can keep swapping the entry; give up after a few rounds.
    for (int attempt = 0; attempt < 8; ++attempt) {
        struct stat st;
        if (lstat(p.constData(), &st) != 0) {
            if (errno != ENOENT) {
                file.m_error = errText(errno);
                return file;
            }
            const int fd = openRetrying(p.constData(), baseFlags | O_CREAT | O_EXCL, permissions);
            if (fd >= 0) {
                file.m_fd = fd;
                return file;
            }
            if (errno == EEXIST)
                continue;
            file.m_error = errText(errno);
            return file;
        }
        if (S_ISDIR(st.st_mode)) {
            file.m_error = QStringLiteral("a folder stands under the name");
            return file;
        }
        if (isOwnPlainFile(st)) {
            // O_NONBLOCK: should the entry turn into a fifo meanwhile, the
            // open must not hang; the check below then rejects it.
            const int fd = openRetrying(p.constData(), baseFlags | O_NONBLOCK, 0);
            if (fd < 0) {
                if (errno == ENOENT || errno == ELOOP || errno == ENXIO)
                    continue;
                file.m_error = errText(errno);
                return file;
            }
            struct stat opened;
            if (fstat(fd, &opened) == 0 && opened.st_dev == st.st_dev && opened.st_ino == st.st_ino &&
                isOwnPlainFile(opened)) {
                fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
                if (mode == Mode::Truncate && ftruncate(fd, 0) != 0) {
                    file.m_error = errText(errno);
                    ::close(fd);
                    return file;
                }
                file.m_fd = fd;
                return file;
            }
            ::close(fd);
            continue;
        }
        // A link, a stranger's file, a second name of another file, a fifo:
        // take the entry away and create our own.
        if (unlink(p.constData()) != 0 && errno != ENOENT) {
            file.m_error = errText(errno);
            return file;
        }
    }
    file.m_error = QStringLiteral("the entry kept changing");
    return file;
}

SecureFile SecureFile::createUnique(const QString &prefix, int permissions)
{
    SecureFile file;
    QByteArray name = enc(prefix) + "XXXXXX";
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        file.m_error = errText(errno);
        return file;
    }
    fchmod(fd, mode_t(permissions));
    file.m_fd = fd;
    file.m_path = QFile::decodeName(name);
    return file;
}

bool SecureFile::removeEntry(const QString &path)
{
    const QByteArray p = enc(path);
    struct stat st;
    if (lstat(p.constData(), &st) != 0)
        return errno == ENOENT;
    if (S_ISDIR(st.st_mode))
        return false;
    return unlink(p.constData()) == 0 || errno == ENOENT;
}

bool SecureFile::write(const QByteArray &data)
{
    if (m_fd < 0)
        return false;
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errText(errno);
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

QByteArray SecureFile::readAll() const
{
    QByteArray out;
    if (m_fd < 0)
        return out;
    char buf[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = pread(m_fd, buf, sizeof buf, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.append(buf, n);
        offset += n;
    }
    return out;
}

qint64 SecureFile::size() const
{
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0)
        return -1;
    return qint64(st.st_size);
}

bool SecureFile::moveTo(const QString &target)
{
    if (m_fd < 0 || m_path.isEmpty())
        return false;
    if (rename(enc(m_path).constData(), enc(target).constData()) != 0) {
        m_error = errText(errno);
        return false;
    }
    m_path = target;
    return true;
}

bool SecureFile::remove()
{
    if (m_path.isEmpty())
        return false;
    return unlink(enc(m_path).constData()) == 0 || errno == ENOENT;
}

void SecureFile::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace Platform
