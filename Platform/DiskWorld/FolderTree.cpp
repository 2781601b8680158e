#include "FolderTree.h"
#include "FolderEntries.h"
#include "VolumeSpace.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform::DiskWorld::FolderTree {
namespace {

QByteArray enc(const QString &p) { return QFile::encodeName(p); }

bool fail(QString *error, const QString &what, int err)
{
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(err));
    return false;
}

bool skipped(int depth, const char *name, const QList<QByteArray> &skip)
{
    if (depth != 0)
        return false;
    for (const QByteArray &s : skip)
        if (s == name)
            return true;
    return false;
}

QList<QByteArray> encodeAll(const QStringList &names)
{
    QList<QByteArray> out;
    for (const QString &n : names)
        out.append(enc(n));
    return out;
}

// Calls fn(name, stat) for every entry of a folder, "." and ".." left out.
template <typename Fn>
bool forEachEntry(int dirFd, Fn fn)
{
    return Core::forEachName(dirFd, [&](const char *name) {
        struct stat st;
        return fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || fn(name, st);
    });
}

Core::TreeSize measureRoot(const QString &path, const QStringList &skipTopLevel)
{
    std::vector<std::string> skip;
    for (const QString &name : skipTopLevel)
        skip.push_back(enc(name).toStdString());
    return Core::measureTree(enc(path).toStdString(), skip);
}

struct Copier {
    const QList<QByteArray> skip;
    const std::function<void(qint64)> &progress;
    QString *error;
    qint64 done = 0;
    qint64 reported = 0;

    void report(bool force)
    {
        // Enough calls for tens of percent on a small tree without one per block on a big one.
        if (progress && (force || done - reported >= (1 << 20))) {
            reported = done;
            progress(done);
        }
    }

    bool copyData(int in, int out, const QByteArray &path)
    {
        QString why;
        const bool ok = FolderTree::copyRange(in, 0, out, 0, -1, &why, [&](qint64 n) {
            done += n;
            report(false);
        });
        if (!ok && error)
            *error = QString::fromLocal8Bit(path) + QStringLiteral(": ") + why;
        return ok;
    }

    void keepMetadata(int fd, const struct stat &st)
    {
        fchmod(fd, st.st_mode & 07777);
        if (geteuid() == 0)
            (void)!fchown(fd, st.st_uid, st.st_gid);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(fd, times);
    }

    bool copyDir(int fromFd, int toFd, int depth, const QByteArray &where)
    {
        return forEachEntry(fromFd, [&](const char *name, const struct stat &st) {
            if (skipped(depth, name, skip))
                return true;
            const QByteArray path = where + '/' + name;
            if (S_ISDIR(st.st_mode)) {
                if (mkdirat(toFd, name, 0700) != 0)
                    return fail(error, QString::fromLocal8Bit(path), errno);
                int sub = openat(fromFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                int subTo = openat(toFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                bool ok = sub >= 0 && subTo >= 0;
                if (!ok)
                    fail(error, QString::fromLocal8Bit(path), errno);
                else
                    ok = copyDir(sub, subTo, depth + 1, path);
                if (ok)
                    keepMetadata(subTo, st);
                if (sub >= 0)
                    close(sub);
                if (subTo >= 0)
                    close(subTo);
                return ok;
            }
            if (S_ISLNK(st.st_mode)) {
                QByteArray target(st.st_size > 0 ? st.st_size + 1 : 4096, 0);
                ssize_t n = readlinkat(fromFd, name, target.data(), size_t(target.size()));
                if (n < 0)
                    return fail(error, QString::fromLocal8Bit(path), errno);
                target.truncate(n);
                if (symlinkat(target.constData(), toFd, name) != 0)
                    return fail(error, QString::fromLocal8Bit(path), errno);
                const struct timespec times[2] = {st.st_atim, st.st_mtim};
                utimensat(toFd, name, times, AT_SYMLINK_NOFOLLOW);
                return true;
            }
            if (!S_ISREG(st.st_mode))
                return true; // devices, sockets and pipes are not volume content
            int in = openat(fromFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (in < 0)
                return fail(error, QString::fromLocal8Bit(path), errno);
            int out = openat(toFd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (out < 0) {
                close(in);
                return fail(error, QString::fromLocal8Bit(path), errno);
            }
            bool ok = copyData(in, out, path);
            if (ok)
                keepMetadata(out, st);
            close(in);
            if (close(out) != 0 && ok)
                ok = fail(error, QString::fromLocal8Bit(path), errno);
            return ok;
        });
    }
};

bool compareDir(int fromFd, int toFd, int depth, const QList<QByteArray> &skip, const QByteArray &where, qint64 &count,
                const std::function<void(qint64)> &progress, QString *error)
{
    return forEachEntry(fromFd, [&](const char *name, const struct stat &st) {
        if (skipped(depth, name, skip))
            return true;
        const QByteArray path = where + '/' + name;
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
            return true;
        struct stat other;
        if (fstatat(toFd, name, &other, AT_SYMLINK_NOFOLLOW) != 0)
            return fail(error, QString::fromLocal8Bit(path), errno);
        if ((st.st_mode & S_IFMT) != (other.st_mode & S_IFMT) || (S_ISREG(st.st_mode) && st.st_size != other.st_size)) {
            if (error)
                *error = QString::fromLocal8Bit(path) + QStringLiteral(": the copy differs");
            return false;
        }
        ++count;
        if (progress)
            progress(count);
        if (!S_ISDIR(st.st_mode))
            return true;
        int sub = openat(fromFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int subTo = openat(toFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        bool ok = sub >= 0 && subTo >= 0;
        if (!ok)
            fail(error, QString::fromLocal8Bit(path), errno);
        else
            ok = compareDir(sub, subTo, depth + 1, skip, path, count, progress, error);
        if (sub >= 0)
            close(sub);
        if (subTo >= 0)
            close(subTo);
        return ok;
    });
}

bool removeAt(int dirFd, const char *name)
{
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return unlinkat(dirFd, name, 0) == 0;
    // A read-only folder (a read-only volume's content) must still go.
    fchmodat(dirFd, name, (st.st_mode & 07777) | S_IRWXU, 0);
    int sub = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub >= 0) {
        forEachEntry(sub, [&](const char *child, const struct stat &) {
            removeAt(sub, child);
            return true;
        });
        close(sub);
    }
    return unlinkat(dirFd, name, AT_REMOVEDIR) == 0;
}

} // namespace

qint64 bytes(const QString &path, const QStringList &skipTopLevel) { return measureRoot(path, skipTopLevel).bytes; }

qint64 entries(const QString &path, const QStringList &skipTopLevel) { return measureRoot(path, skipTopLevel).entries; }

bool copyRange(int in, qint64 from, int out, qint64 to, qint64 size, QString *error,
               const std::function<void(qint64 bytes)> &progress)
{
    bool useRange = true;
    const bool toEnd = size < 0;
    while (toEnd || size > 0) {
        const qint64 chunk = toEnd ? qint64(8) << 20 : std::min<qint64>(size, qint64(1) << 30);
        ssize_t n;
        if (useRange) {
            loff_t inOff = from, outOff = to;
            n = copy_file_range(in, &inOff, out, &outOff, size_t(chunk), 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                useRange = false;
                continue;
            }
        } else {
            char buf[1 << 16];
            n = ::pread(in, buf, size_t(std::min<qint64>(chunk, qint64(sizeof buf))), from);
            for (ssize_t w = 0; n > 0 && w < n;) {
                const ssize_t k = ::pwrite(out, buf + w, size_t(n - w), to + w);
                if (k < 0 && errno != EINTR) {
                    n = -1;
                    break;
                }
                if (k > 0)
                    w += k;
            }
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (error)
                *error = QString::fromLocal8Bit(strerror(errno));
            return false;
        }
        if (n == 0) {
            if (toEnd)
                return true;
            if (error)
                *error = QStringLiteral("the data ends early");
            return false;
        }
        if (!toEnd)
            size -= n;
        from += n;
        to += n;
        if (progress)
            progress(n);
    }
    return true;
}

bool copyContents(const QString &from, const QString &to, const QStringList &skipTopLevel,
                  const std::function<void(qint64)> &progress, QString *error)
{
    int fromFd = open(enc(from).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fromFd < 0)
        return fail(error, from, errno);
    int toFd = open(enc(to).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (toFd < 0) {
        close(fromFd);
        return fail(error, to, errno);
    }
    Copier c{encodeAll(skipTopLevel), progress, error};
    const bool ok = c.copyDir(fromFd, toFd, 0, enc(from));
    if (ok)
        c.report(true);
    close(fromFd);
    close(toFd);
    return ok;
}

bool compareContents(const QString &from, const QString &to, const QStringList &skipTopLevel,
                     const std::function<void(qint64)> &progress, QString *error)
{
    int fromFd = open(enc(from).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fromFd < 0)
        return fail(error, from, errno);
    int toFd = open(enc(to).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (toFd < 0) {
        close(fromFd);
        return fail(error, to, errno);
    }
    qint64 count = 0;
    const bool ok = compareDir(fromFd, toFd, 0, encodeAll(skipTopLevel), enc(from), count, progress, error);
    close(fromFd);
    close(toFd);
    return ok;
}

bool moveNoReplace(const QString &from, const QString &to, QString *error)
{
    if (renameat2(AT_FDCWD, enc(from).constData(), AT_FDCWD, enc(to).constData(), RENAME_NOREPLACE) != 0)
        return fail(error, to, errno);
    return true;
}

bool remove(const QString &path) { return removeAt(AT_FDCWD, enc(path).constData()); }

} // namespace Platform::DiskWorld::FolderTree
