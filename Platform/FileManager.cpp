#include "FileManager.h"

#include "SystemLog.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace Platform
{
namespace
{

QMutex g_hookMutex;
FileManager::SpaceProvider g_spaceProvider;
FileManager::CopyFaultHook g_faultHook;

int defaultParallelism()
{
    return std::clamp(QThread::idealThreadCount(), 2, 8);
}
std::atomic<int> g_parallelism{defaultParallelism()};
std::atomic<qint64> g_pieceSize{qint64(32) << 20};

QByteArray enc(const QString &p)
{
    return QFile::encodeName(p);
}

QString errText(int err)
{
    return QString::fromLocal8Bit(strerror(err));
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QByteArray join(const QByteArray &root, const QByteArray &rel)
{
    return rel.isEmpty() ? root : root + '/' + rel;
}

// One entry of an item to copy: its path below the item ("" for the item
// itself) and what lstat said of it when the item was read.
struct Entry {
    QByteArray rel;
    struct stat st;
};

// The whole item, read before anything is written: parents always come
// before what they hold.
struct Plan {
    std::vector<Entry> entries;
    qint64 bytes = 0; // what the copy adds: files' and links' own sizes
};

bool readItem(const QByteArray &source, Plan &plan, QString *error)
{
    struct stat st;
    if (lstat(source.constData(), &st) != 0) {
        setError(error, QStringLiteral("no such file: ") + QFile::decodeName(source));
        return false;
    }
    plan.entries.push_back({{}, st});
    std::vector<QByteArray> folders;
    if (S_ISDIR(st.st_mode))
        folders.push_back({});
    while (!folders.empty()) {
        const QByteArray rel = std::move(folders.back());
        folders.pop_back();
        const QByteArray path = join(source, rel);
        DIR *d = opendir(path.constData());
        if (!d) {
            setError(error, errText(errno) + QStringLiteral(": ") + QFile::decodeName(path));
            return false;
        }
        while (dirent *e = readdir(d)) {
            if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
                continue;
            Entry child{rel.isEmpty() ? QByteArray(e->d_name) : rel + '/' + e->d_name, {}};
            if (fstatat(dirfd(d), e->d_name, &child.st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT)
                    continue; // gone since the listing: nothing to copy
                const int err = errno;
                closedir(d);
                setError(error, errText(err) + QStringLiteral(": ") + QFile::decodeName(join(source, child.rel)));
                return false;
            }
            if (S_ISDIR(child.st.st_mode))
                folders.push_back(child.rel);
            else if (S_ISREG(child.st.st_mode) || S_ISLNK(child.st.st_mode))
                plan.bytes += qint64(child.st.st_size);
            plan.entries.push_back(std::move(child));
        }
        closedir(d);
    }
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))
        plan.bytes += qint64(st.st_size);
    return true;
}

// What every worker of one copy shares: the first failure stops them all.
class CopyRun
{
public:
    bool failed() const { return m_failed.load(std::memory_order_relaxed); }
    void fail(const QString &text)
    {
        QMutexLocker lock(&m_mutex);
        if (!m_failed.exchange(true))
            m_error = text;
    }
    void failErrno(int err, const QByteArray &path)
    {
        fail(errText(err) + QStringLiteral(": ") + QFile::decodeName(path));
    }
    QString error() const
    {
        QMutexLocker lock(&m_mutex);
        return m_error;
    }

private:
    mutable QMutex m_mutex;
    std::atomic<bool> m_failed{false};
    QString m_error;
};

void copyXattrs(int in, int out)
{
    ssize_t len = flistxattr(in, nullptr, 0);
    if (len <= 0)
        return;
    QByteArray names(len, 0);
    len = flistxattr(in, names.data(), size_t(names.size()));
    QByteArray value;
    for (qsizetype off = 0; len > 0 && off < len;) {
        const char *name = names.constData() + off;
        off += qsizetype(strlen(name)) + 1;
        ssize_t vlen = fgetxattr(in, name, nullptr, 0);
        if (vlen < 0)
            continue;
        value.resize(vlen);
        vlen = fgetxattr(in, name, value.data(), size_t(value.size()));
        if (vlen >= 0)
            fsetxattr(out, name, value.constData(), size_t(vlen), 0); // where the destination allows
    }
}

// Owner before mode: a change of owner clears the set-id bits.
void applyAttributes(int in, int out, const struct stat &st)
{
    if (in >= 0)
        copyXattrs(in, out);
    if (geteuid() == 0)
        (void)!fchown(out, st.st_uid, st.st_gid);
    fchmod(out, st.st_mode & 07777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
}

void applyLinkAttributes(const QByteArray &path, const struct stat &st)
{
    if (geteuid() == 0)
        (void)!fchownat(AT_FDCWD, path.constData(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW);
}

bool isSparse(const struct stat &st)
{
    return qint64(st.st_blocks) * 512 < qint64(st.st_size);
}

// Copies the bytes [begin, end) of `in` to the same place in `out`. For a
// sparse source only its data is copied, so holes stay holes.
bool copyRange(int in, int out, qint64 begin, qint64 end, bool sparse, const QByteArray &path, CopyRun &run)
{
    bool useRange = true;
    std::vector<char> buffer;
    qint64 pos = begin;
    while (pos < end) {
        if (run.failed())
            return false;
        qint64 stop = end;
        if (sparse) {
            const off_t data = lseek(in, off_t(pos), SEEK_DATA);
            if (data < 0) {
                if (errno == ENXIO)
                    return true; // only a hole is left
                sparse = false;  // the file system cannot tell: copy everything
            } else {
                pos = qint64(data);
                if (pos >= end)
                    return true;
                const off_t hole = lseek(in, data, SEEK_HOLE);
                if (hole > data)
                    stop = std::min(end, qint64(hole));
            }
        }
        while (pos < stop) {
            ssize_t n = -1;
            if (useRange) {
                loff_t inOff = loff_t(pos), outOff = loff_t(pos);
                n = copy_file_range(in, &inOff, out, &outOff, size_t(std::min<qint64>(stop - pos, qint64(1) << 30)), 0);
                if (n < 0 &&
                    (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF)) {
                    useRange = false;
                    continue;
                }
            } else {
                if (buffer.empty())
                    buffer.resize(size_t(1) << 20);
                n = pread(in, buffer.data(), size_t(std::min<qint64>(stop - pos, qint64(buffer.size()))), off_t(pos));
                for (ssize_t done = 0; n > 0 && done < n;) {
                    const ssize_t w = pwrite(out, buffer.data() + done, size_t(n - done), off_t(pos + done));
                    if (w < 0) {
                        if (errno == EINTR)
                            continue;
                        run.failErrno(errno, path);
                        return false;
                    }
                    done += w;
                }
            }
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                run.failErrno(errno, path);
                return false;
            }
            if (n == 0)
                return true; // the file shrank while being copied
            pos += n;
        }
    }
    return true;
}

bool faultInjected(const QByteArray &source)
{
    FileManager::CopyFaultHook hook;
    {
        QMutexLocker lock(&g_hookMutex);
        hook = g_faultHook;
    }
    return hook && hook(QFile::decodeName(source));
}

// A piece of file data for a worker: a whole file (big < 0) or a part of a
// large one, whose attributes the worker that copies its last part sets.
struct Piece {
    size_t entry;
    qint64 begin;
    qint64 end;
    int big;
};

class ItemCopy
{
public:
    ItemCopy(const QByteArray &source, const QByteArray &target, const Plan &plan)
        : m_source(source), m_target(target), m_plan(plan)
    {
    }

    bool run(QString *error)
    {
        if (prepare())
            copyData();
        if (!m_run.failed())
            finishFolders();
        if (m_run.failed()) {
            setError(error, m_run.error());
            return false;
        }
        return true;
    }

private:
    // Folders, links and other entries in order, and the list of file data.
    bool prepare()
    {
        const qint64 pieceSize = std::max<qint64>(4096, g_pieceSize.load());
        std::vector<Piece> small;
        std::vector<int> rank; // of each small file among the files of its folder
        QHash<QByteArray, int> filesIn;
        for (size_t i = 0; i < m_plan.entries.size(); ++i) {
            const Entry &e = m_plan.entries[i];
            const QByteArray to = join(m_target, e.rel);
            const mode_t type = e.st.st_mode & S_IFMT;
            if (type == S_IFDIR) {
                // Owner-only until its content is in: a read-only folder must still take it.
                if (mkdir(to.constData(), 0700) != 0) {
                    m_run.failErrno(errno, to);
                    return false;
                }
            } else if (type == S_IFLNK) {
                if (!makeLink(join(m_source, e.rel), to, e.st))
                    return false;
            } else if (type == S_IFREG) {
                const qint64 size = qint64(e.st.st_size);
                if (size <= 2 * pieceSize) {
                    small.push_back({i, 0, size, -1});
                    rank.push_back(filesIn[e.rel.left(std::max<qsizetype>(0, e.rel.lastIndexOf('/')))]++);
                    continue;
                }
                // Made here, so every part's worker only opens it.
                const int fd = open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
                if (fd < 0) {
                    m_run.failErrno(errno, to);
                    return false;
                }
                close(fd);
                const int big = int(m_partsLeft.size());
                int parts = 0;
                for (qint64 at = 0; at < size; at += pieceSize, ++parts)
                    m_pieces.push_back({i, at, std::min(size, at + pieceSize), big});
                m_partsLeft.push_back(parts);
            } else if (mknod(to.constData(), e.st.st_mode & (S_IFMT | 07777), e.st.st_rdev) == 0) {
                applyLinkAttributes(to, e.st);
                chmod(to.constData(), e.st.st_mode & 07777); // mknod's mode went through the umask
            } else if (e.rel.isEmpty()) {
                m_run.failErrno(errno, to);
                return false;
            } else {
                systemLog(QStringLiteral("not copied (%1): %2")
                              .arg(errText(errno), QFile::decodeName(join(m_source, e.rel))));
            }
        }
        // Large files' parts first, so they run beside the small files rather
        // than after them. Then the small files round the folders: the first
        // file of every folder, then the second …, so that workers running at
        // the same time make their files in different folders and do not
        // queue for one folder's lock.
        std::vector<size_t> order(small.size());
        for (size_t k = 0; k < order.size(); ++k)
            order[k] = k;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return rank[a] < rank[b]; });
        for (size_t k : order)
            m_pieces.push_back(small[k]);
        m_left = std::make_unique<std::atomic<int>[]>(m_partsLeft.size());
        for (size_t b = 0; b < m_partsLeft.size(); ++b)
            m_left[b].store(m_partsLeft[b]);
        return true;
    }

    bool makeLink(const QByteArray &from, const QByteArray &to, const struct stat &st)
    {
        QByteArray target(st.st_size > 0 ? st.st_size + 1 : 4096, 0);
        const ssize_t n = readlink(from.constData(), target.data(), size_t(target.size()));
        if (n < 0) {
            m_run.failErrno(errno, from);
            return false;
        }
        target.truncate(n);
        if (symlink(target.constData(), to.constData()) != 0) {
            m_run.failErrno(errno, to);
            return false;
        }
        applyLinkAttributes(to, st);
        return true;
    }

    void copyData()
    {
        if (m_pieces.empty())
            return;
        const int workers = int(std::min<size_t>(size_t(std::max(1, g_parallelism.load())), m_pieces.size()));
        std::vector<std::thread> threads;
        threads.reserve(size_t(workers - 1));
        for (int w = 1; w < workers; ++w)
            threads.emplace_back([this] { work(); });
        work();
        for (std::thread &t : threads)
            t.join();
    }

    void work()
    {
        for (;;) {
            if (m_run.failed())
                return;
            const size_t i = m_next.fetch_add(1);
            if (i >= m_pieces.size())
                return;
            const Piece &p = m_pieces[i];
            const Entry &e = m_plan.entries[p.entry];
            const QByteArray from = join(m_source, e.rel), to = join(m_target, e.rel);
            if (faultInjected(from)) {
                m_run.failErrno(EIO, from);
                return;
            }
            if (p.big < 0 ? !copyFile(from, to, e.st) : !copyPart(from, to, e.st, p))
                return;
        }
    }

    bool copyFile(const QByteArray &from, const QByteArray &to, const struct stat &st)
    {
        const int in = open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (in < 0) {
            m_run.failErrno(errno, from);
            return false;
        }
        const int out = open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (out < 0) {
            m_run.failErrno(errno, to);
            close(in);
            return false;
        }
        const bool sparse = isSparse(st);
        bool ok = copyRange(in, out, 0, qint64(st.st_size), sparse, from, m_run);
        if (ok && sparse && ftruncate(out, st.st_size) != 0) {
            m_run.failErrno(errno, to);
            ok = false;
        }
        if (ok)
            applyAttributes(in, out, st);
        close(in);
        if (close(out) != 0 && ok) {
            m_run.failErrno(errno, to);
            ok = false;
        }
        return ok;
    }

    bool copyPart(const QByteArray &from, const QByteArray &to, const struct stat &st, const Piece &p)
    {
        const int in = open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (in < 0) {
            m_run.failErrno(errno, from);
            return false;
        }
        const int out = open(to.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
        if (out < 0) {
            m_run.failErrno(errno, to);
            close(in);
            return false;
        }
        bool ok = copyRange(in, out, p.begin, p.end, isSparse(st), from, m_run);
        if (ok && m_left[size_t(p.big)].fetch_sub(1) == 1) {
            // The last part in: the file takes its full length and its attributes.
            if (ftruncate(out, st.st_size) != 0) {
                m_run.failErrno(errno, to);
                ok = false;
            } else {
                applyAttributes(in, out, st);
            }
        }
        close(in);
        if (close(out) != 0 && ok) {
            m_run.failErrno(errno, to);
            ok = false;
        }
        return ok;
    }

    // Deepest first, once nothing more is written into them: a folder's time
    // and a read-only mode are set last.
    void finishFolders()
    {
        for (auto it = m_plan.entries.rbegin(); it != m_plan.entries.rend(); ++it) {
            if (!S_ISDIR(it->st.st_mode))
                continue;
            const QByteArray to = join(m_target, it->rel);
            const int out = open(to.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            if (out < 0)
                continue;
            const int in = open(join(m_source, it->rel).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
            applyAttributes(in, out, it->st);
            if (in >= 0)
                close(in);
            close(out);
        }
    }

    const QByteArray m_source;
    const QByteArray m_target;
    const Plan &m_plan;
    CopyRun m_run;
    std::vector<Piece> m_pieces;
    std::vector<int> m_partsLeft;
    std::unique_ptr<std::atomic<int>[]> m_left;
    std::atomic<size_t> m_next{0};
};

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

// rename(2) that never replaces an entry, also where the file system lacks
// RENAME_NOREPLACE (then only a last look guards the name).
bool renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat st;
    if (lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(from.constData(), to.constData()) == 0;
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
    // A move never replaces an entry either.
    if (!renameNoReplace(enc(from), enc(to))) {
        setError(error, errText(errno));
        return false;
    }
    return true;
}

bool FileManager::isWritable(const QString &path) const
{
    return access(enc(path).constData(), W_OK) == 0;
}

bool FileManager::copyItem(const QString &from, const QString &to, QString *error) const
{
    if (from.isEmpty() || to.isEmpty()) {
        setError(error, QStringLiteral("no such file: ") + from);
        return false;
    }
    const QByteArray src = enc(from), dst = enc(to);
    struct stat existing;
    if (lstat(dst.constData(), &existing) == 0) {
        setError(error, QStringLiteral("an item with that name already exists: ") + to);
        return false;
    }
    Plan plan;
    if (!readItem(src, plan, error))
        return false;
    SpaceProvider provider;
    {
        QMutexLocker lock(&g_hookMutex);
        provider = g_spaceProvider;
    }
    if (provider) {
        if (std::optional<qint64> free = provider(to); free && plan.bytes > *free) {
            setError(error, errText(ENOSPC));
            return false;
        }
    }
    // A short name of its own: the item's name may already be as long as a name can be.
    const QFileInfo target(to);
    const QByteArray temp =
        enc(target.absolutePath() + QStringLiteral("/.tw-") +
            QString::number(QRandomGenerator::global()->generate64(), 36) + QStringLiteral(".part"));
    if (!ItemCopy(src, temp, plan).run(error)) {
        removeTree(temp);
        return false;
    }
    if (!renameNoReplace(temp, dst)) {
        setError(error, errText(errno));
        removeTree(temp);
        return false;
    }
    return true;
}

void FileManager::setSpaceProvider(SpaceProvider provider)
{
    QMutexLocker lock(&g_hookMutex);
    g_spaceProvider = std::move(provider);
}

void FileManager::setCopyParallelism(int n)
{
    g_parallelism.store(std::max(1, n));
}

int FileManager::copyParallelism()
{
    return g_parallelism.load();
}

void FileManager::setCopyPieceSize(qint64 bytes)
{
    g_pieceSize.store(std::max<qint64>(4096, bytes));
}

void FileManager::setCopyFaultHook(CopyFaultHook hook)
{
    QMutexLocker lock(&g_hookMutex);
    g_faultHook = std::move(hook);
}

} // namespace Platform
