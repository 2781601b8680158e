#include "FileManager.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace Platform {
namespace {

QMutex g_providerMutex;
FileManager::SpaceProvider g_spaceProvider;
std::atomic<int> g_parallelism{4};

QByteArray enc(const QString &p) { return QFile::encodeName(p); }

QString errText(int err) { return QString::fromLocal8Bit(strerror(err)); }

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Bytes a copy of the entry will add (links count as their own size).
qint64 treeSize(const QByteArray &path)
{
    struct stat st;
    if (lstat(path.constData(), &st) != 0)
        return 0;
    if (!S_ISDIR(st.st_mode))
        return S_ISREG(st.st_mode) ? qint64(st.st_size) : 0;
    qint64 total = 0;
    DIR *d = opendir(path.constData());
    if (!d)
        return 0;
    while (dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
            continue;
        total += treeSize(path + '/' + e->d_name);
    }
    closedir(d);
    return total;
}

void copyXattrs(int in, int out)
{
    ssize_t len = flistxattr(in, nullptr, 0);
    if (len <= 0)
        return;
    QByteArray names(len, 0);
    len = flistxattr(in, names.data(), size_t(names.size()));
    for (qsizetype off = 0; len > 0 && off < len;) {
        const char *name = names.constData() + off;
        off += qsizetype(strlen(name)) + 1;
        ssize_t vlen = fgetxattr(in, name, nullptr, 0);
        if (vlen < 0)
            continue;
        QByteArray value(vlen, 0);
        vlen = fgetxattr(in, name, value.data(), size_t(value.size()));
        if (vlen >= 0)
            fsetxattr(out, name, value.constData(), size_t(vlen), 0); // best effort
    }
}

bool copyData(int in, int out, qint64 size, QString *error)
{
    qint64 left = size;
    bool useRange = true;
    while (left > 0) {
        ssize_t n = -1;
        if (useRange) {
            n = copy_file_range(in, nullptr, out, nullptr, size_t(std::min<qint64>(left, 1 << 30)), 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                useRange = false;
                continue;
            }
        } else {
            char buf[1 << 16];
            n = read(in, buf, sizeof buf);
            if (n > 0) {
                ssize_t done = 0;
                while (done < n) {
                    ssize_t w = write(out, buf + done, size_t(n - done));
                    if (w < 0) {
                        if (errno == EINTR)
                            continue;
                        setError(error, errText(errno));
                        return false;
                    }
                    done += w;
                }
            }
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            setError(error, errText(errno));
            return false;
        }
        if (n == 0)
            break; // the file shrank while being copied
        left -= n;
    }
    return true;
}

bool copyFile(const QByteArray &from, const QByteArray &to, const struct stat &st, QString *error)
{
    int in = open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) {
        setError(error, errText(errno));
        return false;
    }
    int out = open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out < 0) {
        setError(error, errText(errno));
        close(in);
        return false;
    }
    bool ok = copyData(in, out, qint64(st.st_size), error);
    if (ok) {
        copyXattrs(in, out);
        fchmod(out, st.st_mode & 07777);
        if (geteuid() == 0)
            (void)!fchown(out, st.st_uid, st.st_gid);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out, times);
    }
    close(in);
    if (close(out) != 0 && ok) {
        setError(error, errText(errno));
        ok = false;
    }
    return ok;
}

bool copyEntry(const QByteArray &from, const QByteArray &to, QString *error);

bool copyDirectory(const QByteArray &from, const QByteArray &to, const struct stat &st, QString *error)
{
    if (mkdir(to.constData(), 0700) != 0) {
        setError(error, errText(errno));
        return false;
    }
    DIR *d = opendir(from.constData());
    if (!d) {
        setError(error, errText(errno));
        return false;
    }
    bool ok = true;
    while (dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
            continue;
        if (!copyEntry(from + '/' + e->d_name, to + '/' + e->d_name, error)) {
            ok = false;
            break;
        }
    }
    closedir(d);
    if (ok) {
        int fd = open(to.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int src = open(from.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            if (src >= 0)
                copyXattrs(src, fd);
            fchmod(fd, st.st_mode & 07777);
            if (geteuid() == 0)
                (void)!fchown(fd, st.st_uid, st.st_gid);
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            futimens(fd, times);
            close(fd);
        }
        if (src >= 0)
            close(src);
    }
    return ok;
}

bool copyEntry(const QByteArray &from, const QByteArray &to, QString *error)
{
    struct stat st;
    if (lstat(from.constData(), &st) != 0) {
        setError(error, errText(errno));
        return false;
    }
    if (S_ISDIR(st.st_mode))
        return copyDirectory(from, to, st, error);
    if (S_ISLNK(st.st_mode)) {
        QByteArray target(st.st_size > 0 ? st.st_size + 1 : 4096, 0);
        ssize_t n = readlink(from.constData(), target.data(), size_t(target.size()));
        if (n < 0) {
            setError(error, errText(errno));
            return false;
        }
        target.truncate(n);
        if (symlink(target.constData(), to.constData()) != 0) {
            setError(error, errText(errno));
            return false;
        }
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        utimensat(AT_FDCWD, to.constData(), times, AT_SYMLINK_NOFOLLOW);
        return true;
    }
    if (S_ISREG(st.st_mode))
        return copyFile(from, to, st, error);
    // Devices, sockets and pipes are not copied (as a Finder copy skips them).
    setError(error, QStringLiteral("not a file, folder or link"));
    return false;
}

bool removeTree(const QByteArray &path)
{
    struct stat st;
    if (lstat(path.constData(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return unlink(path.constData()) == 0;
    chmod(path.constData(), (st.st_mode & 07777) | S_IRWXU);
    if (DIR *d = opendir(path.constData())) {
        while (dirent *e = readdir(d)) {
            if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
                continue;
            removeTree(path + '/' + e->d_name);
        }
        closedir(d);
    }
    return rmdir(path.constData()) == 0;
}

} // namespace

FileManager &FileManager::defaultManager()
{
    static FileManager manager;
    return manager;
}

bool FileManager::fileExists(const QString &path, bool *isDirectory) const
{
    if (isDirectory)
        *isDirectory = false;
    if (path.isEmpty())
        return false;
    struct stat st;
    if (stat(enc(path).constData(), &st) != 0)
        return false;
    if (isDirectory)
        *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

FileAttributes FileManager::attributes(const QString &path) const
{
    FileAttributes a;
    struct stat st;
    if (path.isEmpty() || lstat(enc(path).constData(), &st) != 0)
        return a;
    a.type = S_ISREG(st.st_mode)   ? FileAttributes::Type::Regular
             : S_ISDIR(st.st_mode) ? FileAttributes::Type::Directory
             : S_ISLNK(st.st_mode) ? FileAttributes::Type::SymbolicLink
                                   : FileAttributes::Type::Other;
    a.size = qint64(st.st_size);
    a.permissions = st.st_mode & 07777;
    a.ownerId = st.st_uid;
    a.modificationTime = st.st_mtim.tv_sec;
    a.inode = st.st_ino;
    a.device = st.st_dev;
    return a;
}

QStringList FileManager::contentsOfDirectory(const QString &path, bool *ok) const
{
    QStringList names;
    DIR *d = opendir(enc(path).constData());
    if (ok)
        *ok = d != nullptr;
    if (!d)
        return names;
    while (dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
            continue;
        names.append(QFile::decodeName(e->d_name));
    }
    closedir(d);
    return names;
}

bool FileManager::createDirectory(const QString &path, bool withIntermediates, QString *error) const
{
    if (path.isEmpty()) {
        setError(error, QStringLiteral("empty path"));
        return false;
    }
    if (withIntermediates) {
        bool isDir = false;
        if (fileExists(path, &isDir) && isDir)
            return true;
        if (QDir().mkpath(path))
            return true;
        setError(error, errText(errno));
        return false;
    }
    if (mkdir(enc(path).constData(), 0755) != 0) {
        setError(error, errText(errno));
        return false;
    }
    return true;
}

bool FileManager::removeItem(const QString &path, QString *error) const
{
    if (path.isEmpty() || !removeTree(enc(path))) {
        setError(error, errText(errno));
        return false;
    }
    return true;
}

bool FileManager::moveItem(const QString &from, const QString &to, QString *error) const
{
    // renameat2 with RENAME_NOREPLACE: a move never replaces an entry either.
    if (renameat2(AT_FDCWD, enc(from).constData(), AT_FDCWD, enc(to).constData(), RENAME_NOREPLACE) != 0) {
        setError(error, errText(errno));
        return false;
    }
    return true;
}

bool FileManager::isWritable(const QString &path) const { return access(enc(path).constData(), W_OK) == 0; }

bool FileManager::copyItem(const QString &from, const QString &to, QString *error) const
{
    const QByteArray src = enc(from), dst = enc(to);
    struct stat st;
    if (from.isEmpty() || to.isEmpty() || lstat(src.constData(), &st) != 0) {
        setError(error, QStringLiteral("no such file: ") + from);
        return false;
    }
    struct stat existing;
    if (lstat(dst.constData(), &existing) == 0) {
        setError(error, QStringLiteral("an item with that name already exists: ") + to);
        return false;
    }
    SpaceProvider provider;
    {
        QMutexLocker lock(&g_providerMutex);
        provider = g_spaceProvider;
    }
    if (provider) {
        if (std::optional<qint64> free = provider(to); free && treeSize(src) > *free) {
            setError(error, errText(ENOSPC));
            return false;
        }
    }
    const QFileInfo target(to);
    const QByteArray temp = enc(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".tw-") +
                                QString::number(QRandomGenerator::global()->generate64(), 36));
    if (!copyEntry(src, temp, error)) {
        removeTree(temp);
        return false;
    }
    if (renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) != 0) {
        setError(error, errText(errno));
        removeTree(temp);
        return false;
    }
    return true;
}

void FileManager::setSpaceProvider(SpaceProvider provider)
{
    QMutexLocker lock(&g_providerMutex);
    g_spaceProvider = std::move(provider);
}

void FileManager::setCopyParallelism(int n) { g_parallelism.store(std::max(1, n)); }

} // namespace Platform
