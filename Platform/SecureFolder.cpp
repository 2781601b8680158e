#include "SecureFolder.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Platform {
namespace {

// What a file made here may carry: permission bits only. A folder may also
// carry the sticky bit (a shared folder whose entries only their owners may
// remove); set-uid and set-gid never.
constexpr int kFileModeBits = 0777;
constexpr int kFolderModeBits = 01777;

QByteArray enc(const QString &p) { return QFile::encodeName(p); }

QString errText(int err) { return QString::fromLocal8Bit(strerror(err)); }

bool validName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

std::optional<uint> uidForName(const QString &name)
{
    if (name.isEmpty())
        return std::nullopt;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size_t(size > 0 ? size : 16384));
    passwd pw;
    passwd *result = nullptr;
    if (getpwnam_r(name.toLocal8Bit().constData(), &pw, buf.data(), buf.size(), &result) != 0 || !result)
        return std::nullopt;
    return uint(result->pw_uid);
}

// Only root can give a file away; anyone else makes files that are theirs
// anyway.
void changeOwner(int fd, uid_t uid, gid_t gid)
{
    if (geteuid() == 0)
        (void)!fchown(fd, uid, gid);
}

// Gives the entry `name` inside `dirFd` (just made by this process) the owner
// and group of the folder it stands in. The entry is opened without
// following a link before its owner changes.
void giveToFolderOwner(int dirFd, const QByteArray &name)
{
    struct stat folder;
    if (geteuid() != 0 || fstat(dirFd, &folder) != 0)
        return;
    const int fd = openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    changeOwner(fd, folder.st_uid, folder.st_gid);
    ::close(fd);
}

bool writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

SecureFolder::~SecureFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

SecureFolder::SecureFolder(SecureFolder &&other) noexcept
    : m_fd(other.m_fd), m_status(other.m_status), m_path(std::move(other.m_path)), m_error(std::move(other.m_error)),
      m_owners(std::move(other.m_owners))
{
    other.m_fd = -1;
    other.m_status = Status::Failed;
}

SecureFolder &SecureFolder::operator=(SecureFolder &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        m_status = other.m_status;
        m_path = std::move(other.m_path);
        m_error = std::move(other.m_error);
        m_owners = std::move(other.m_owners);
        other.m_fd = -1;
        other.m_status = Status::Failed;
    }
    return *this;
}

bool SecureFolder::ownerTrusted(uint uid) const { return m_owners.contains(uid); }

SecureFolder SecureFolder::open(const QString &base, const QStringList &components, const QStringList &trustedUsers,
                                bool create, int folderMode)
{
    SecureFolder folder;
    folder.m_owners = {0u, uint(geteuid())};
    for (const QString &user : trustedUsers)
        if (auto uid = uidForName(user))
            folder.m_owners.append(*uid);
    folder.m_path = base;

    int fd = ::open(enc(base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        folder.m_error = errText(err);
        folder.m_status = err == ENOENT ? Status::Missing : Status::Failed;
        return folder;
    }
    auto fail = [&](Status status, const QString &why) {
        ::close(fd);
        folder.m_status = status;
        folder.m_error = why;
        return std::move(folder);
    };

    for (const QString &component : components) {
        const QString here = folder.m_path + QLatin1Char('/') + component;
        if (!validName(component))
            return fail(Status::Unsafe, QStringLiteral("not a single name: \"%1\"").arg(component));
        const QByteArray name = enc(component);
        struct stat st;
        if (fstatat(fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                return fail(Status::Failed, here + QStringLiteral(": ") + errText(errno));
            if (!create)
                return fail(Status::Missing, here + QStringLiteral(": missing"));
            const bool made = mkdirat(fd, name.constData(), mode_t(folderMode & 01777)) == 0;
            if (!made && errno != EEXIST)
                return fail(Status::Failed, here + QStringLiteral(": ") + errText(errno));
            // A folder made inside someone's folder is theirs, not root's.
            if (made)
                giveToFolderOwner(fd, name);
            if (fstatat(fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                return fail(Status::Failed, here + QStringLiteral(": ") + errText(errno));
        }
        if (!S_ISDIR(st.st_mode))
            return fail(Status::Unsafe, here + QStringLiteral(": not a real folder"));
        if (!folder.ownerTrusted(uint(st.st_uid)))
            return fail(Status::Unsafe, here + QStringLiteral(": owned by another user"));
        const int next = openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            const int err = errno;
            return fail(err == ELOOP || err == ENOTDIR ? Status::Unsafe : Status::Failed,
                        here + QStringLiteral(": ") + errText(err));
        }
        // What was opened must be what was checked.
        struct stat opened;
        if (fstat(next, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
            ::close(next);
            return fail(Status::Unsafe, here + QStringLiteral(": changed while being checked"));
        }
        ::close(fd);
        fd = next;
        folder.m_path = here;
    }
    folder.m_fd = fd;
    folder.m_status = Status::Open;
    return folder;
}

SecureFolder::Entry SecureFolder::entry(const QString &name) const
{
    if (!isOpen() || !validName(name))
        return Entry::Unsafe;
    struct stat st;
    if (fstatat(m_fd, enc(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Entry::Missing : Entry::Unsafe;
    if (S_ISREG(st.st_mode) && ownerTrusted(uint(st.st_uid)) && st.st_nlink == 1)
        return Entry::SafeFile;
    return Entry::Unsafe;
}

namespace {
// Opens a safe file inside `dirFd` (see the class comment), or returns -1.
int openSafe(int dirFd, const QByteArray &name, int flags, const std::function<bool(uint)> &trusted)
{
    const int fd = openat(dirFd, name.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !trusted(uint(st.st_uid)) || st.st_nlink != 1) {
        ::close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}
} // namespace

std::optional<QByteArray> SecureFolder::readFile(const QString &name) const
{
    if (!isOpen() || !validName(name))
        return std::nullopt;
    const int fd = openSafe(m_fd, enc(name), O_RDONLY, [this](uint uid) { return ownerTrusted(uid); });
    if (fd < 0)
        return std::nullopt;
    QByteArray out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    ::close(fd);
    return out;
}

bool SecureFolder::createFile(const QString &name, const QByteArray &data, int permissions)
{
    if (!isOpen() || !validName(name))
        return false;
    const QByteArray n = enc(name);
    const int fd = openat(m_fd, n.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          mode_t(permissions & kFileModeBits));
    if (fd < 0) {
        m_error = errText(errno);
        return false;
    }
    struct stat folder;
    if (fstat(m_fd, &folder) == 0)
        changeOwner(fd, folder.st_uid, folder.st_gid);
    const bool ok = writeAll(fd, data);
    ::close(fd);
    if (!ok)
        unlinkat(m_fd, n.constData(), 0);
    return ok;
}

bool SecureFolder::replaceFile(const QString &name, const QByteArray &data, int permissions)
{
    if (!isOpen() || !validName(name))
        return false;
    const QByteArray n = enc(name);
    // The new file takes the owner, group and permission bits of the file it
    // replaces (a new name: the folder's owner and group). Set-uid, set-gid
    // and sticky bits are never carried over: a root-made copy of a set-uid
    // file would run as root.
    struct stat owner;
    if (fstat(m_fd, &owner) != 0)
        return false;
    mode_t mode = mode_t(permissions & kFileModeBits);
    struct stat old;
    if (entry(name) == Entry::SafeFile && fstatat(m_fd, n.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
        owner = old;
        mode = old.st_mode & kFileModeBits;
    }
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QByteArray tmp = "." + n + "." + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        const int fd = openat(m_fd, tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            m_error = errText(errno);
            return false;
        }
        // Owner first: a change of owner would clear bits set before it.
        changeOwner(fd, owner.st_uid, owner.st_gid);
        bool ok = writeAll(fd, data) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
        ::close(fd);
        ok = ok && renameat(m_fd, tmp.constData(), m_fd, n.constData()) == 0;
        if (!ok) {
            m_error = errText(errno);
            unlinkat(m_fd, tmp.constData(), 0);
        }
        return ok;
    }
    return false;
}

bool SecureFolder::removeFile(const QString &name)
{
    if (!isOpen() || !validName(name))
        return false;
    const QByteArray n = enc(name);
    struct stat st;
    if (fstatat(m_fd, n.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (S_ISDIR(st.st_mode))
        return false;
    return unlinkat(m_fd, n.constData(), 0) == 0 || errno == ENOENT;
}

bool SecureFolder::setFileMode(const QString &name, int mode)
{
    if (!isOpen() || !validName(name))
        return false;
    const int fd = openSafe(m_fd, enc(name), O_RDONLY, [this](uint uid) { return ownerTrusted(uid); });
    if (fd < 0)
        return false;
    const bool ok = fchmod(fd, mode_t(mode & kFileModeBits)) == 0;
    ::close(fd);
    return ok;
}

bool SecureFolder::setMode(int mode) { return isOpen() && fchmod(m_fd, mode_t(mode & kFolderModeBits)) == 0; }

} // namespace Platform
