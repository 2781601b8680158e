#include "FileManager.h"
#include "FileManagerOpen.h"

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
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace Platform {
namespace {

QMutex g_hookMutex;
FileManager::SpaceProvider g_spaceProvider;
FileManager::CopyFaultHook g_faultHook;
FileManager::CopyFaultHook g_shortRangeHook;

int defaultParallelism() { return std::clamp(QThread::idealThreadCount(), 2, 8); }
std::atomic<int> g_parallelism{defaultParallelism()};

QByteArray enc(const QString &p) { return QFile::encodeName(p); }

QString errText(int err) { return QString::fromLocal8Bit(strerror(err)); }

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QByteArray join(const QByteArray &root, const QByteArray &rel) { return rel.isEmpty() ? root : root + '/' + rel; }

} // namespace

int openBeneath(int dirFd, const QByteArray &rel, int flags, unsigned mode)
{
    static std::atomic<bool> noOpenat2{false};
    if (!noOpenat2.load(std::memory_order_relaxed)) {
        struct open_how how;
        memset(&how, 0, sizeof how);
        how.flags = quint64(flags | O_CLOEXEC | O_NOFOLLOW);
        how.mode = (flags & O_CREAT) ? mode : 0;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH | RESOLVE_NO_XDEV;
        for (int attempt = 0; attempt < 16; ++attempt) {
            const long fd = syscall(SYS_openat2, dirFd, rel.constData(), &how, sizeof how);
            if (fd >= 0)
                return int(fd);
            if (errno == EAGAIN || errno == EINTR)
                continue; // a rename elsewhere on the file system raced the walk
            if (errno != ENOSYS && errno != EPERM)
                return -1;
            break;
        }
        if (errno == ENOSYS || errno == EPERM)
            noOpenat2.store(true);
        else
            return -1;
    }
    // One component at a time, each a real folder on the same file system.
    struct stat base;
    if (fstat(dirFd, &base) != 0)
        return -1;
    const QList<QByteArray> parts = rel.split('/');
    int cur = dirFd;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const int next = openat(cur, parts[i].constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno;
        if (cur != dirFd)
            close(cur);
        if (next < 0) {
            errno = err;
            return -1;
        }
        struct stat st;
        if (fstat(next, &st) != 0 || st.st_dev != base.st_dev) {
            close(next);
            errno = EXDEV;
            return -1;
        }
        cur = next;
    }
    const int fd = openat(cur, parts.last().constData(), flags | O_CLOEXEC | O_NOFOLLOW, mode);
    const int err = errno;
    if (cur != dirFd)
        close(cur);
    errno = err;
    return fd;
}

namespace {

// The folder that holds `rel` below `dirFd` (opened as above) and the last name.
struct At {
    int fd = -1;
    QByteArray name;
    bool owned = false;
    At() = default;
    At(int dirFd, const QByteArray &rel)
    {
        const qsizetype slash = rel.lastIndexOf('/');
        if (slash < 0) {
            fd = dirFd;
            name = rel;
            return;
        }
        fd = openBeneath(dirFd, rel.left(slash), O_RDONLY | O_DIRECTORY);
        owned = fd >= 0;
        name = rel.mid(slash + 1);
    }
    ~At()
    {
        if (owned)
            close(fd);
    }
    At(const At &) = delete;
    At &operator=(const At &) = delete;
};

bool sameEntry(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && (a.st_mode & S_IFMT) == (b.st_mode & S_IFMT);
}

// A folder that is where another file system is mounted.
bool isMountRoot(int fd)
{
    struct statx sx;
    if (statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &sx) != 0)
        return false;
    return (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
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

// Reads the folder open at `fd` (the item's folder or one below it) into the
// plan, sub-folders opened from it one by one; what lies on another file
// system is left out.
bool readFolder(int fd, const QByteArray &rel, dev_t device, const QByteArray &display, Plan &plan, QString *error)
{
    DIR *d = fdopendir(fd);
    if (!d) {
        setError(error, errText(errno) + QStringLiteral(": ") + QFile::decodeName(join(display, rel)));
        close(fd);
        return false;
    }
    std::vector<size_t> folders;
    errno = 0;
    while (dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
            continue;
        Entry child{rel.isEmpty() ? QByteArray(e->d_name) : rel + '/' + e->d_name, {}};
        if (fstatat(dirfd(d), e->d_name, &child.st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue; // gone since the listing: nothing to copy
            const int err = errno;
            closedir(d);
            setError(error, errText(err) + QStringLiteral(": ") + QFile::decodeName(join(display, child.rel)));
            return false;
        }
        if (S_ISDIR(child.st.st_mode)) {
            if (child.st.st_dev != device) {
                systemLog(QStringLiteral("not copied (another file system): %1")
                              .arg(QFile::decodeName(join(display, child.rel))));
                continue;
            }
            folders.push_back(plan.entries.size());
        } else if (S_ISREG(child.st.st_mode) || S_ISLNK(child.st.st_mode)) {
            plan.bytes += qint64(child.st.st_size);
        }
        plan.entries.push_back(std::move(child));
    }
    for (size_t index : folders) {
        const QByteArray childRel = plan.entries[index].rel;
        const struct stat listed = plan.entries[index].st;
        const QByteArray name = childRel.mid(childRel.lastIndexOf('/') + 1);
        const int sub = openat(dirfd(d), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st;
        if (sub < 0 || fstat(sub, &st) != 0 || !sameEntry(st, listed)) {
            const int err = sub < 0 ? errno : ESTALE;
            if (sub >= 0)
                close(sub);
            closedir(d);
            setError(error, (err == ESTALE ? QStringLiteral("changed while being read") : errText(err)) +
                                QStringLiteral(": ") + QFile::decodeName(join(display, childRel)));
            return false;
        }
        if (isMountRoot(sub)) {
            close(sub);
            systemLog(
                QStringLiteral("not copied (another file system): %1").arg(QFile::decodeName(join(display, childRel))));
            plan.entries[index].rel.clear(); // marked: left out with everything below it
            continue;
        }
        if (!readFolder(sub, childRel, device, display, plan, error)) {
            closedir(d);
            return false;
        }
    }
    closedir(d);
    return true;
}

// What every worker of one copy shares: the first failure stops them all.
class CopyRun {
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

// The room a copy may still take on a volume with a capacity, checked for
// every chunk of data against the volume's live use. Far from the limit a
// measurement serves for a short while, and the workers go on with it while
// one of them takes the next; near the limit every chunk is measured, and a
// chunk that does not fit waits for this copy's own writes in flight to land
// before the last measurement decides.
class SpaceGuard {
public:
    SpaceGuard(FileManager::SpaceProvider provider, QString destination)
        : m_provider(std::move(provider)), m_destination(std::move(destination))
    {
    }
    bool limited() const { return bool(m_provider); }

    // False when the volume cannot take `bytes` more.
    bool reserve(qint64 bytes)
    {
        if (!m_provider || bytes <= 0)
            return true;
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_unlimited && (!fresh() || m_budget - bytes < kMargin))
            refresh(lock, bytes);
        if (m_unlimited)
            return true;
        if (bytes > m_budget && m_inFlight > 0) {
            m_landed.wait(lock, [this] { return m_inFlight == 0; });
            refresh(lock, bytes);
            if (m_unlimited)
                return true;
        }
        if (bytes > m_budget)
            return false;
        m_budget -= bytes;
        m_inFlight += bytes;
        return true;
    }
    // The reserved bytes are written (or will not be).
    void release(qint64 bytes)
    {
        if (!m_provider || bytes <= 0)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_unlimited)
            return;
        m_inFlight -= bytes;
        if (m_measuring)
            m_landedWhileMeasuring += bytes;
        m_promised = std::max<qint64>(0, m_promised - bytes);
        if (m_inFlight == 0)
            m_landed.notify_all();
    }

    // Before an item is started: whether its `bytes` fit beside what the
    // items started earlier have still to write; if so they are promised.
    bool fits(qint64 bytes)
    {
        if (!m_provider || bytes <= 0)
            return true;
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_unlimited && !fresh())
            refresh(lock, bytes);
        if (m_unlimited)
            return true;
        if (bytes > m_budget + m_inFlight - m_promised)
            return false;
        m_promised += bytes;
        return true;
    }
    // Runs `change` (an item's rename or removal) while no measurement reads
    // the volume: a measurement reads folders by path, and one renamed or
    // removed under it would cost it the whole reading.
    template <typename Change>
    auto whileUnread(Change change)
    {
        if (!m_provider)
            return change();
        const std::lock_guard<std::mutex> reading(m_reading);
        return change();
    }

    // An item has ended: what it was promised and did not write is free again.
    void forget(qint64 bytes)
    {
        if (!m_provider || bytes <= 0)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_promised = std::max<qint64>(0, m_promised - bytes);
    }

private:
    static constexpr qint64 kMargin = qint64(64) << 20;
    static constexpr auto kFresh = std::chrono::milliseconds(20);
    static constexpr auto kFreshFar = std::chrono::milliseconds(250);
    static constexpr qint64 kFar = qint64(1) << 30;

    // Far from the limit a measurement serves longer: another writer would
    // have to fill the whole budget meanwhile for a chunk of ours to overfill.
    bool fresh() const
    {
        const auto serves = m_budget >= kFar ? kFreshFar : kFresh;
        return m_measured && std::chrono::steady_clock::now() - *m_measured < serves;
    }

    // Takes a new measurement (under the lock, which is let go while the
    // volume is measured). While another worker measures, one that wants
    // `bytes` far from the limit goes on with the last measurement; near it,
    // it waits for the new one.
    void refresh(std::unique_lock<std::mutex> &lock, qint64 bytes)
    {
        if (m_measuring) {
            if (m_measured && m_budget - bytes >= kFar)
                return;
            m_measuredNow.wait(lock, [this] { return !m_measuring; });
            if (m_unlimited || (fresh() && m_budget - bytes >= kMargin))
                return;
        }
        m_measuring = true;
        m_landedWhileMeasuring = 0;
        lock.unlock();
        std::optional<qint64> free;
        {
            const std::lock_guard<std::mutex> reading(m_reading);
            free = m_provider(m_destination);
        }
        lock.lock();
        m_measuring = false;
        m_measured = std::chrono::steady_clock::now();
        if (!free)
            m_unlimited = true;
        // What is in flight may already be counted in part, and what landed
        // while the volume was measured may not be: both are taken off
        // again, which errs on the safe side; the wait in reserve() settles
        // the last chunk.
        else
            m_budget = *free - m_inFlight - m_landedWhileMeasuring;
        m_measuredNow.notify_all();
    }

    const FileManager::SpaceProvider m_provider;
    const QString m_destination;
    std::mutex m_mutex;
    std::condition_variable m_landed;
    std::condition_variable m_measuredNow;
    std::mutex m_reading; // held while the volume is measured
    std::optional<std::chrono::steady_clock::time_point> m_measured;
    qint64 m_budget = 0;
    qint64 m_inFlight = 0;
    qint64 m_promised = 0; // promised to started items and not yet written
    qint64 m_landedWhileMeasuring = 0;
    bool m_measuring = false;
    bool m_unlimited = false;
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

// Owner, then mode (a change of owner clears the set-id bits), then the
// extended attributes (a change of owner drops a file's capabilities; ACLs
// come after the mode they refine), then times.
void applyAttributes(int in, int out, const struct stat &st)
{
    if (geteuid() == 0)
        (void)!fchown(out, st.st_uid, st.st_gid);
    fchmod(out, st.st_mode & 07777);
    if (in >= 0)
        copyXattrs(in, out);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
}

void applyLinkAttributes(int dirFd, const QByteArray &name, const struct stat &st)
{
    if (geteuid() == 0)
        (void)!fchownat(dirFd, name.constData(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(dirFd, name.constData(), times, AT_SYMLINK_NOFOLLOW);
}

bool isSparse(const struct stat &st) { return qint64(st.st_blocks) * 512 < qint64(st.st_size); }

bool askHook(const FileManager::CopyFaultHook &which, const QByteArray &source)
{
    FileManager::CopyFaultHook hook;
    {
        QMutexLocker lock(&g_hookMutex);
        hook = which;
    }
    return hook && hook(QFile::decodeName(source));
}

// Copies the bytes [begin, end) of `in` to the same place in `out`. For a
// sparse source only its data is copied, so holes stay holes. Every byte of
// the range must arrive: a source that ends early fails the copy.
bool copyRange(int in, int out, qint64 begin, qint64 end, bool sparse, const QByteArray &path, CopyRun &run,
               SpaceGuard &space, bool shortRange, std::atomic<qint64> &reserved)
{
    bool useRange = true;
    std::vector<char> buffer;
    qint64 pos = begin;
    const qint64 chunk = space.limited() ? qint64(8) << 20 : qint64(1) << 30;
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
            if (run.failed())
                return false;
            const qint64 want = std::min(stop - pos, chunk);
            if (!space.reserve(want)) {
                run.failErrno(ENOSPC, path);
                return false;
            }
            reserved += want;
            ssize_t n = -1;
            int err = 0;
            if (useRange) {
                if (shortRange && pos > begin) {
                    n = 0; // as a range copy that ends early answers
                } else {
                    loff_t inOff = loff_t(pos), outOff = loff_t(pos);
                    n = copy_file_range(in, &inOff, out, &outOff,
                                        size_t(shortRange ? std::min<qint64>(want, 64 << 10) : want), 0);
                    err = errno;
                }
                if (n < 0 && (err == EXDEV || err == ENOSYS || err == EINVAL || err == EOPNOTSUPP || err == EBADF)) {
                    useRange = false;
                    space.release(want);
                    continue;
                }
                if (n == 0) {
                    // The range copy may stop short of the end on some file
                    // systems: the rest goes by read and write.
                    useRange = false;
                    space.release(want);
                    continue;
                }
            } else {
                if (buffer.empty())
                    buffer.resize(size_t(1) << 20);
                n = pread(in, buffer.data(), size_t(std::min<qint64>(want, qint64(buffer.size()))), off_t(pos));
                err = errno;
                for (ssize_t done = 0; n > 0 && done < n;) {
                    const ssize_t w = pwrite(out, buffer.data() + done, size_t(n - done), off_t(pos + done));
                    if (w < 0) {
                        if (errno == EINTR)
                            continue;
                        space.release(want);
                        run.failErrno(errno, path);
                        return false;
                    }
                    done += w;
                }
            }
            space.release(want);
            if (n < 0) {
                if (err == EINTR)
                    continue;
                run.failErrno(err, path);
                return false;
            }
            if (n == 0) {
                run.fail(QStringLiteral("the file ended before its listed size: ") + QFile::decodeName(path));
                return false;
            }
            pos += n;
        }
    }
    return true;
}

bool removeAt(int dirFd, const QByteArray &name);
bool renameNoReplaceAt(int fromDir, const QByteArray &from, int toDir, const QByteArray &to);

// Copies one item: the entry `srcName` of the folder `srcParent` to the
// temporary entry `tmpName` of the folder `dstParent`, everything below
// reached from the item's own descriptors, and at the end gives it its final
// name `dstName`. The descriptors are its own (duplicates), so the folders
// handed in may go meanwhile. Its files are copied by the workers of a
// CopyJob, each file whole by one worker, the small files of a folder in
// batches.
class ItemCopy {
public:
    ItemCopy(int srcParent, const QByteArray &srcName, int srcItem, int dstParent, const QByteArray &tmpName,
             const QByteArray &dstName, const QByteArray &display, Plan plan, std::shared_ptr<SpaceGuard> space)
        : m_srcParent(srcParent), m_srcName(srcName), m_srcItem(srcItem), m_dstParent(dstParent), m_tmpName(tmpName),
          m_dstName(dstName), m_display(display), m_plan(std::move(plan)), m_space(std::move(space))
    {
    }
    ~ItemCopy()
    {
        for (int fd : {m_srcParent, m_srcItem, m_dstParent, m_dstItem})
            if (fd >= 0)
                close(fd);
    }
    ItemCopy(const ItemCopy &) = delete;
    ItemCopy &operator=(const ItemCopy &) = delete;

    // Folders, links and other entries, in order; then the files to copy in
    // batches, each batch files of one folder (opened once for all of them):
    // big files first, one to a batch, so they run beside the small ones
    // rather than after them, then the small ones round the folders (the
    // first batch of every folder, then the second …), so that workers at the
    // same time make their files in different folders and do not queue for
    // one folder's lock.
    bool prepare()
    {
        std::vector<std::vector<size_t>> small; // per folder, in the plan's order
        QHash<QByteArray, size_t> folderOf;     // folder path below the item → index in `small`
        std::vector<size_t> folderEntry;        // the plan entry of each folder in `small`
        for (size_t i = 0; i < m_plan.entries.size(); ++i) {
            const Entry &e = m_plan.entries[i];
            if (i > 0 && e.rel.isEmpty())
                continue; // a folder left out of the plan
            const mode_t type = e.st.st_mode & S_IFMT;
            if (type == S_IFDIR) {
                // Owner-only until its content is in: a read-only folder must still take it.
                if (e.rel.isEmpty()) {
                    if (mkdirat(m_dstParent, m_tmpName.constData(), 0700) != 0) {
                        m_run.failErrno(errno, join(m_display, {}));
                        return false;
                    }
                    m_dstItem =
                        openat(m_dstParent, m_tmpName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                    if (m_dstItem < 0) {
                        m_run.failErrno(errno, join(m_display, {}));
                        return false;
                    }
                    continue;
                }
                const At at(m_dstItem, e.rel);
                if (at.fd < 0 || mkdirat(at.fd, at.name.constData(), 0700) != 0) {
                    m_run.failErrno(errno, sourcePath(e));
                    return false;
                }
            } else if (type == S_IFLNK) {
                if (!makeLink(e))
                    return false;
            } else if (type == S_IFREG) {
                const QByteArray folder = e.rel.left(std::max<qsizetype>(0, e.rel.lastIndexOf('/')));
                if (e.st.st_size >= kBigFile || e.rel.isEmpty()) {
                    m_batches.push_back({folderIndex(folder), {i}});
                } else {
                    auto at = folderOf.find(folder);
                    if (at == folderOf.end()) {
                        at = folderOf.insert(folder, small.size());
                        small.emplace_back();
                        folderEntry.push_back(folderIndex(folder));
                    }
                    small[*at].push_back(i);
                }
            } else {
                const At at = e.rel.isEmpty() ? At(m_dstParent, m_tmpName) : At(m_dstItem, e.rel);
                if (at.fd >= 0 &&
                    mknodat(at.fd, at.name.constData(), e.st.st_mode & (S_IFMT | 07777), e.st.st_rdev) == 0) {
                    applyLinkAttributes(at.fd, at.name, e.st);
                    fchmodat(at.fd, at.name.constData(), e.st.st_mode & 07777,
                             0); // mknod's mode went through the umask
                } else if (e.rel.isEmpty()) {
                    m_run.failErrno(errno, sourcePath(e));
                    return false;
                } else {
                    systemLog(
                        QStringLiteral("not copied (%1): %2").arg(errText(errno), QFile::decodeName(sourcePath(e))));
                }
            }
        }
        for (size_t round = 0, left = small.size(); left > 0; ++round) {
            left = 0;
            for (size_t k = 0; k < small.size(); ++k) {
                const size_t from = round * kBatch;
                if (from >= small[k].size())
                    continue;
                const size_t to = std::min(small[k].size(), from + kBatch);
                m_batches.push_back(
                    {folderEntry[k], {small[k].begin() + qsizetype(from), small[k].begin() + qsizetype(to)}});
                if (to < small[k].size())
                    ++left;
            }
        }
        return true;
    }

    size_t batches() const { return m_batches.size(); }

    bool failed() const { return m_run.failed(); }
    void fail(const QString &why) { m_run.fail(why); }

    // One batch of files, each whole, by the calling worker. Their folders
    // (of the source and of the copy) are opened once, from the item's own
    // descriptors and never through a link, and the source folder must be
    // the one that was read; each file is opened from them by its name.
    // `stopped` is asked before each file; when it answers true the copy fails.
    void copyBatch(size_t index, const std::function<bool()> &stopped)
    {
        const Batch &batch = m_batches[index];
        if (m_run.failed())
            return;
        const Entry &first = m_plan.entries[batch.files.front()];
        if (stopped()) {
            m_run.fail(QStringLiteral("stopped"));
            return;
        }
        if (first.rel.isEmpty()) { // the item is itself a file
            copyFile(first, m_srcParent, m_srcName, m_dstParent, m_tmpName, first.st.st_dev);
            return;
        }
        const Entry &folder = m_plan.entries[batch.folder];
        const bool top = batch.folder == 0;
        const int src = top ? m_srcItem : openBeneath(m_srcItem, folder.rel, O_RDONLY | O_DIRECTORY);
        struct stat st;
        if (src < 0 || fstat(src, &st) != 0 || !sameEntry(st, folder.st)) {
            if (src < 0)
                m_run.failErrno(errno, sourcePath(folder));
            else
                m_run.fail(QStringLiteral("changed since it was read: ") + QFile::decodeName(sourcePath(folder)));
            if (src >= 0 && !top)
                close(src);
            return;
        }
        const int dst = top ? m_dstItem : openBeneath(m_dstItem, folder.rel, O_RDONLY | O_DIRECTORY);
        if (dst < 0)
            m_run.failErrno(errno, sourcePath(folder));
        for (size_t i = 0; dst >= 0 && i < batch.files.size() && !m_run.failed(); ++i) {
            if (i > 0 && stopped()) {
                m_run.fail(QStringLiteral("stopped"));
                break;
            }
            const Entry &e = m_plan.entries[batch.files[i]];
            const qsizetype slash = e.rel.lastIndexOf('/');
            if (e.rel.left(std::max<qsizetype>(0, slash)) != folder.rel) {
                m_run.fail(QStringLiteral("not in its folder: ") + QFile::decodeName(sourcePath(e)));
                break;
            }
            copyFile(e, src, e.rel.mid(slash + 1), dst, e.rel.mid(slash + 1), st.st_dev);
        }
        if (!top) {
            close(src);
            if (dst >= 0)
                close(dst);
        }
    }

    // Once every file is in (or the copy failed): folders' attributes, then
    // the final name; a failed copy is removed, wherever its folder has gone.
    bool finish(QString *error)
    {
        m_space->forget(m_plan.bytes - m_reserved.load());
        if (!m_run.failed())
            finishFolders();
        if (!m_run.failed()) {
            int err = 0;
            if (!m_space->whileUnread([&] {
                    const bool renamed = renameNoReplaceAt(m_dstParent, m_tmpName, m_dstParent, m_dstName);
                    err = errno;
                    return renamed;
                }))
                m_run.failErrno(err, join(m_display, {}));
        }
        if (m_run.failed()) {
            m_space->whileUnread([&] { return removeAt(m_dstParent, m_tmpName); });
            setError(error, m_run.error());
            return false;
        }
        return true;
    }

private:
    // Files at least this large go to the workers first, one to a batch.
    static constexpr qint64 kBigFile = qint64(8) << 20;
    // Small files of one folder taken together by one worker.
    static constexpr size_t kBatch = 16;

    struct Batch {
        size_t folder;             // the plan entry of the files' folder (0: the item's own)
        std::vector<size_t> files; // plan entries
    };

    // The plan entry of the folder `rel` below the item (0 for the item).
    size_t folderIndex(const QByteArray &rel)
    {
        if (rel.isEmpty())
            return 0;
        if (m_folderIndex.isEmpty())
            for (size_t i = 1; i < m_plan.entries.size(); ++i)
                if (S_ISDIR(m_plan.entries[i].st.st_mode) && !m_plan.entries[i].rel.isEmpty())
                    m_folderIndex.insert(m_plan.entries[i].rel, i);
        return m_folderIndex.value(rel, 0);
    }

    // One file: `srcName` in the folder `srcDir` (on the device `device`) to
    // the new entry `dstName` of the folder `dstDir`.
    void copyFile(const Entry &e, int srcDir, const QByteArray &srcName, int dstDir, const QByteArray &dstName,
                  dev_t device)
    {
        if (askHook(g_faultHook, sourcePath(e))) {
            m_run.failErrno(EIO, sourcePath(e));
            return;
        }
        // One component from the folder, as every open below the item: never
        // a link, never onto another file system.
        const int in = openBeneath(srcDir, srcName, O_RDONLY);
        if (in < 0) {
            m_run.failErrno(errno, sourcePath(e));
            return;
        }
        struct stat st;
        if (fstat(in, &st) != 0 || !sameEntry(st, e.st) || st.st_dev != device) {
            close(in);
            m_run.fail(QStringLiteral("changed since it was read: ") + QFile::decodeName(sourcePath(e)));
            return;
        }
        const int out = openBeneath(dstDir, dstName, O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (out < 0) {
            m_run.failErrno(errno, sourcePath(e));
            close(in);
            return;
        }
        const bool sparse = isSparse(e.st);
        bool ok = copyRange(in, out, 0, qint64(e.st.st_size), sparse, sourcePath(e), m_run, *m_space,
                            askHook(g_shortRangeHook, sourcePath(e)), m_reserved);
        if (ok && sparse && ftruncate(out, e.st.st_size) != 0) {
            m_run.failErrno(errno, sourcePath(e));
            ok = false;
        }
        if (ok)
            applyAttributes(in, out, e.st);
        close(in);
        if (close(out) != 0 && ok)
            m_run.failErrno(errno, sourcePath(e));
    }

    QByteArray sourcePath(const Entry &e) const { return join(m_display, e.rel); }

    bool makeLink(const Entry &e)
    {
        const At from = e.rel.isEmpty() ? At(m_srcParent, m_srcName) : At(m_srcItem, e.rel);
        struct stat now;
        if (from.fd < 0 || fstatat(from.fd, from.name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
            m_run.failErrno(errno, sourcePath(e));
            return false;
        }
        if (!sameEntry(now, e.st)) {
            m_run.fail(QStringLiteral("changed since it was read: ") + QFile::decodeName(sourcePath(e)));
            return false;
        }
        QByteArray target(e.st.st_size > 0 ? e.st.st_size + 1 : 4096, 0);
        const ssize_t n = readlinkat(from.fd, from.name.constData(), target.data(), size_t(target.size()));
        if (n < 0) {
            m_run.failErrno(errno, sourcePath(e));
            return false;
        }
        target.truncate(n);
        const At to = e.rel.isEmpty() ? At(m_dstParent, m_tmpName) : At(m_dstItem, e.rel);
        if (to.fd < 0 || symlinkat(target.constData(), to.fd, to.name.constData()) != 0) {
            m_run.failErrno(errno, sourcePath(e));
            return false;
        }
        applyLinkAttributes(to.fd, to.name, e.st);
        return true;
    }

    // Deepest first, once nothing more is written into them: a folder's time
    // and a read-only mode are set last.
    void finishFolders()
    {
        for (auto it = m_plan.entries.rbegin(); it != m_plan.entries.rend(); ++it) {
            if (!S_ISDIR(it->st.st_mode) || (it->rel.isEmpty() && &*it != &m_plan.entries.front()))
                continue;
            const bool top = it->rel.isEmpty();
            const int out = top ? dup(m_dstItem) : openBeneath(m_dstItem, it->rel, O_RDONLY | O_DIRECTORY);
            if (out < 0)
                continue;
            const int in = top ? dup(m_srcItem) : openBeneath(m_srcItem, it->rel, O_RDONLY | O_DIRECTORY);
            struct stat st;
            const bool same = in >= 0 && fstat(in, &st) == 0 && sameEntry(st, it->st);
            applyAttributes(same ? in : -1, out, it->st);
            if (in >= 0)
                close(in);
            close(out);
        }
    }

    const int m_srcParent;
    const QByteArray m_srcName;
    const int m_srcItem; // the item's folder (-1 for a file)
    const int m_dstParent;
    const QByteArray m_tmpName;
    const QByteArray m_dstName;
    int m_dstItem = -1;
    const QByteArray m_display;
    const Plan m_plan;
    std::vector<Batch> m_batches;
    QHash<QByteArray, size_t> m_folderIndex;
    const std::shared_ptr<SpaceGuard> m_space;
    std::atomic<qint64> m_reserved{0}; // chunks reserved for this item so far
    CopyRun m_run;
};

// Removes the entry `name` of the folder `dirFd` and everything inside it,
// never following a link.
bool removeAt(int dirFd, const QByteArray &name)
{
    struct stat st;
    if (fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return unlinkat(dirFd, name.constData(), 0) == 0 || errno == ENOENT;
    const int fd = openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
        if (DIR *d = fdopendir(fd)) {
            std::vector<QByteArray> names;
            while (dirent *e = readdir(d))
                if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
                    names.emplace_back(e->d_name);
            for (const QByteArray &n : names)
                removeAt(dirfd(d), n);
            closedir(d);
        } else {
            close(fd);
        }
    }
    return unlinkat(dirFd, name.constData(), AT_REMOVEDIR) == 0;
}

bool removeTree(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray parent = slash == 0 ? QByteArray("/") : slash < 0 ? QByteArray(".") : path.left(slash);
    const int fd = open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    const bool ok = removeAt(fd, path.mid(slash + 1));
    close(fd);
    return ok;
}

// renameat2 that never replaces an entry, also where the file system lacks
// RENAME_NOREPLACE (then only a last look guards the name).
bool renameNoReplaceAt(int fromDir, const QByteArray &from, int toDir, const QByteArray &to)
{
    if (renameat2(fromDir, from.constData(), toDir, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat st;
    if (fstatat(toDir, to.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return renameat(fromDir, from.constData(), toDir, to.constData()) == 0;
}

bool renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    return renameNoReplaceAt(AT_FDCWD, from, AT_FDCWD, to);
}

QByteArray parentOf(const QByteArray &path)
{
    QByteArray p = path;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : p.left(slash);
}

QByteArray lastOf(const QByteArray &path)
{
    QByteArray p = path;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return p.mid(p.lastIndexOf('/') + 1);
}

FileAttributes toAttributes(const struct stat &st)
{
    FileAttributes a;
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

} // namespace

OpenFolder::~OpenFolder()
{
    if (m_fd >= 0)
        close(m_fd);
}

OpenFolder::OpenFolder(OpenFolder &&other) noexcept
    : m_fd(other.m_fd), m_error(other.m_error), m_device(other.m_device), m_inode(other.m_inode),
      m_path(std::move(other.m_path))
{
    other.m_fd = -1;
}

OpenFolder &OpenFolder::operator=(OpenFolder &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = other.m_fd;
        m_error = other.m_error;
        m_device = other.m_device;
        m_inode = other.m_inode;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

OpenFolder OpenFolder::open(const QByteArray &path)
{
    OpenFolder folder;
    folder.m_path = path;
    folder.m_fd = ::open(path.isEmpty() ? "" : path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder.m_fd < 0) {
        folder.m_error = errno;
        return folder;
    }
    struct stat st;
    if (fstat(folder.m_fd, &st) == 0) {
        folder.m_device = st.st_dev;
        folder.m_inode = st.st_ino;
    }
    return folder;
}

OpenFolder OpenFolder::openParent(const QByteArray &path) { return open(parentOf(path)); }

OpenFolder OpenFolder::openNoLinks(const QByteArray &path, qsizetype trustedPrefix)
{
    QByteArray start = path.left(trustedPrefix);
    while (start.size() > 1 && start.endsWith('/'))
        start.chop(1);
    OpenFolder folder = open(start.isEmpty() ? QByteArray("/") : start);
    for (const QByteArray &name : path.mid(trustedPrefix).split('/')) {
        if (!folder.isOpen())
            break;
        if (name.isEmpty() || name == ".")
            continue;
        if (name == "..") {
            OpenFolder failed;
            failed.m_path = path;
            failed.m_error = EPERM;
            return failed;
        }
        folder = folder.child(name);
    }
    folder.m_path = path;
    return folder;
}

FileAttributes OpenFolder::attributes(const QByteArray &name) const
{
    struct stat st;
    if (m_fd < 0 || name.isEmpty() || fstatat(m_fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    return toAttributes(st);
}

OpenFolder OpenFolder::child(const QByteArray &name, const FileAttributes *expected) const
{
    OpenFolder folder;
    folder.m_path = join(m_path, name);
    if (m_fd < 0 || name.isEmpty() || name == "." || name == ".." || name.contains('/')) {
        folder.m_error = m_fd < 0 ? EBADF : EINVAL;
        return folder;
    }
    const int fd = openat(m_fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        folder.m_error = errno;
        return folder;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || (expected && expected->inode != 0 &&
                                (quint64(st.st_dev) != expected->device || quint64(st.st_ino) != expected->inode))) {
        close(fd);
        folder.m_error = ESTALE;
        return folder;
    }
    folder.m_fd = fd;
    folder.m_device = st.st_dev;
    folder.m_inode = st.st_ino;
    return folder;
}

OpenFolder OpenFolder::makeChild(const QByteArray &name, int mode, bool *made) const
{
    const bool madeNow =
        m_fd >= 0 && FileManager::isEntryName(name) && mkdirat(m_fd, name.constData(), mode_t(mode & 01777)) == 0;
    if (made)
        *made = madeNow;
    OpenFolder folder = child(name);
    // A folder root makes inside someone else's folder (a user's Desktop,
    // say) belongs to that folder's owner, as if they had made it.
    struct stat parent;
    if (madeNow && folder.m_fd >= 0 && geteuid() == 0 && fstat(m_fd, &parent) == 0 && parent.st_uid != 0 &&
        fchown(folder.m_fd, parent.st_uid, parent.st_gid) != 0)
        systemLog(QStringLiteral("could not give %1 to its folder's owner: %2")
                      .arg(QString::fromLocal8Bit(name), QString::fromLocal8Bit(strerror(errno))));
    return folder;
}

QList<QByteArray> OpenFolder::names(bool *ok) const
{
    QList<QByteArray> out;
    const int fd = m_fd >= 0 ? openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR *d = fd >= 0 ? fdopendir(fd) : nullptr;
    if (ok)
        *ok = d != nullptr;
    if (!d) {
        if (fd >= 0)
            close(fd);
        return out;
    }
    while (dirent *e = readdir(d))
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
            out.append(QByteArray(e->d_name));
    closedir(d);
    return out;
}

bool OpenFolder::removeItem(const QByteArray &name) const
{
    return m_fd >= 0 && !name.isEmpty() && !name.contains('/') && removeAt(m_fd, name);
}

bool OpenFolder::copyAttributesFrom(const OpenFolder &source) const
{
    struct stat st;
    if (m_fd < 0 || source.m_fd < 0 || fstat(source.m_fd, &st) != 0)
        return false;
    applyAttributes(source.m_fd, m_fd, st);
    return true;
}

FileManager &FileManager::defaultManager()
{
    static FileManager manager;
    return manager;
}

bool FileManager::fileExists(const QString &path, bool *isDirectory) const
{
    return nativeFileExists(enc(path), isDirectory);
}

bool FileManager::nativeFileExists(const QByteArray &path, bool *isDirectory) const
{
    if (isDirectory)
        *isDirectory = false;
    if (path.isEmpty())
        return false;
    struct stat st;
    if (stat(path.constData(), &st) != 0)
        return false;
    if (isDirectory)
        *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

FileAttributes FileManager::attributes(const QString &path) const { return nativeAttributes(enc(path)); }

FileAttributes FileManager::nativeAttributes(const QByteArray &path) const
{
    struct stat st;
    if (path.isEmpty() || lstat(path.constData(), &st) != 0)
        return {};
    return toAttributes(st);
}

QStringList FileManager::contentsOfDirectory(const QString &path, bool *ok) const
{
    QStringList names;
    for (const QByteArray &name : contentsOfDirectoryBytes(enc(path), ok))
        names.append(QFile::decodeName(name));
    return names;
}

QList<QByteArray> FileManager::contentsOfDirectoryBytes(const QByteArray &path, bool *ok) const
{
    QList<QByteArray> names;
    DIR *d = path.isEmpty() ? nullptr : opendir(path.constData());
    if (ok)
        *ok = d != nullptr;
    if (!d)
        return names;
    while (dirent *e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, ".."))
            continue;
        names.append(QByteArray(e->d_name));
    }
    closedir(d);
    return names;
}

QByteArray FileManager::canonicalPath(const QByteArray &path)
{
    if (path.isEmpty())
        return {};
    char *resolved = realpath(path.constData(), nullptr);
    if (!resolved)
        return {};
    QByteArray out(resolved);
    free(resolved);
    return out;
}

bool FileManager::isLosslessName(const QByteArray &name) { return QFile::encodeName(QFile::decodeName(name)) == name; }

bool FileManager::isEntryName(const QByteArray &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
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

bool FileManager::isWritable(const QString &path) const { return access(enc(path).constData(), W_OK) == 0; }

bool FileManager::copyItem(const QString &from, const QString &to, QString *error) const
{
    return copyNativeItem(enc(from), enc(to), error);
}

bool FileManager::copyNativeItem(const QByteArray &from, const QByteArray &to, QString *error) const
{
    if (from.isEmpty() || to.isEmpty()) {
        setError(error, QStringLiteral("no such file: ") + QFile::decodeName(from));
        return false;
    }
    const OpenFolder source = OpenFolder::openParent(from);
    if (!source.isOpen()) {
        setError(error, errText(source.error()) + QStringLiteral(": ") + QFile::decodeName(source.path()));
        return false;
    }
    const OpenFolder target = OpenFolder::openParent(to);
    if (!target.isOpen()) {
        setError(error, errText(target.error()) + QStringLiteral(": ") + QFile::decodeName(target.path()));
        return false;
    }
    return copyItemAt(source, lastOf(from), target, lastOf(to), error);
}

bool FileManager::copyItemAt(const OpenFolder &from, const QByteArray &fromName, const OpenFolder &to,
                             const QByteArray &toName, QString *error, const FileAttributes *expected) const
{
    CopyJob job;
    return job.wait(job.add(from, fromName, to, toName, expected), error);
}

// One pool of workers for a whole job: items are read and their folders made
// by the caller, in order; their files go into one queue that the workers
// take from, one file each, so the files of many items are copied at once.
struct CopyJob::Impl {
    struct Item {
        std::shared_ptr<ItemCopy> copy;
        size_t left = 0; // files not yet done
        bool done = false;
        bool ok = false;
        QString error;
    };
    struct Task {
        Ticket ticket;
        size_t batch;
    };

    std::function<bool(Ticket)> stopped;
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable finished;
    std::deque<Task> queue;
    std::map<Ticket, Item> items;
    std::vector<std::thread> workers;
    std::shared_ptr<SpaceGuard> space;
    Ticket next = 1;
    size_t active = 0; // items added and not yet done: each holds descriptors
    std::atomic<bool> closing{false};
    static constexpr size_t kMaxActive = 512;

    // Under the lock: the item's last file is done.
    void complete(Ticket ticket, Item &item, std::unique_lock<std::mutex> &lock)
    {
        std::shared_ptr<ItemCopy> copy = item.copy;
        lock.unlock();
        QString error;
        const bool ok = copy->finish(&error);
        lock.lock();
        Item &now = items[ticket];
        now.ok = ok;
        now.error = error;
        now.done = true;
        now.copy.reset();
        --active;
        finished.notify_all();
    }

    void run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            work.wait(lock, [this] { return closing || !queue.empty(); });
            if (queue.empty())
                return;
            const Task task = queue.front();
            queue.pop_front();
            Item &item = items[task.ticket];
            std::shared_ptr<ItemCopy> copy = item.copy;
            lock.unlock();
            copy->copyBatch(task.batch, [&] { return closing || (stopped && stopped(task.ticket)); });
            lock.lock();
            Item &after = items[task.ticket];
            if (--after.left == 0)
                complete(task.ticket, after, lock);
        }
    }

    void startWorkers(size_t files)
    {
        const size_t wanted = std::min<size_t>(size_t(std::max(1, g_parallelism.load())), workers.size() + files);
        while (workers.size() < wanted)
            workers.emplace_back([this] { run(); });
    }
};

CopyJob::CopyJob(std::function<bool(Ticket)> stopped) : d(std::make_unique<Impl>())
{
    d->stopped = std::move(stopped);
    // Many items may be open at once: as many descriptors as the system lets us have.
    static const bool raised = [] {
        struct rlimit limit;
        if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            setrlimit(RLIMIT_NOFILE, &limit);
        }
        return true;
    }();
    (void)raised;
}

CopyJob::~CopyJob()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->closing = true;
    }
    d->work.notify_all();
    for (std::thread &t : d->workers)
        t.join();
}

CopyJob::Ticket CopyJob::add(const OpenFolder &from, const QByteArray &fromName, const OpenFolder &to,
                             const QByteArray &toName, const FileAttributes *expected)
{
    const Ticket ticket = d->next++;
    {
        // So many items under way at once, and no more: each holds its folders open.
        std::unique_lock<std::mutex> lock(d->mutex);
        d->finished.wait(lock, [this] { return d->active < Impl::kMaxActive; });
        d->items[ticket];
        ++d->active;
    }
    auto end = [&](bool ok, const QString &why) {
        std::lock_guard<std::mutex> lock(d->mutex);
        Impl::Item &item = d->items[ticket];
        item.done = true;
        item.ok = ok;
        item.error = why;
        --d->active;
        d->finished.notify_all();
        return ticket;
    };
    auto fail = [&](const QString &why) { return end(false, why); };
    auto leftOut = [](const QByteArray &path) {
        systemLog(QStringLiteral("not copied (a socket, which this copy leaves out): %1").arg(QFile::decodeName(path)));
    };
    const QByteArray display = join(from.path(), fromName), toPath = join(to.path(), toName);
    auto bad = [](const QByteArray &n) { return n.isEmpty() || n == "." || n == ".." || n.contains('/'); };
    if (!from.isOpen() || !to.isOpen() || bad(fromName) || bad(toName))
        return fail(QStringLiteral("no such file: ") + QFile::decodeName(display));
    struct stat existing;
    if (fstatat(to.descriptor(), toName.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return fail(QStringLiteral("an item with that name already exists: ") + QFile::decodeName(toPath));
    struct stat st;
    if (fstatat(from.descriptor(), fromName.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return fail(QStringLiteral("no such file: ") + QFile::decodeName(display));
    if (expected && expected->inode != 0 &&
        (quint64(st.st_dev) != expected->device || quint64(st.st_ino) != expected->inode))
        return fail(QStringLiteral("changed since it was listed: ") + QFile::decodeName(display));
    if (m_leaveOutSockets && S_ISSOCK(st.st_mode)) {
        leftOut(display);
        return end(true, {}); // nothing of it is made
    }
    Plan plan;
    plan.entries.push_back({{}, st});
    int item = -1;
    if (S_ISDIR(st.st_mode)) {
        item = openat(from.descriptor(), fromName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat opened;
        if (item < 0 || fstat(item, &opened) != 0 || !sameEntry(opened, st)) {
            const QString why = (item < 0 ? errText(errno) : QStringLiteral("changed while being read")) +
                                QStringLiteral(": ") + QFile::decodeName(display);
            if (item >= 0)
                close(item);
            return fail(why);
        }
        const int reading = dup(item);
        QString why;
        if (reading < 0 || !readFolder(reading, {}, st.st_dev, display, plan, &why)) {
            close(item);
            return fail(reading < 0 ? errText(errno) : why);
        }
        if (m_leaveOutSockets)
            std::erase_if(plan.entries, [&](const Entry &e) {
                if (!S_ISSOCK(e.st.st_mode))
                    return false;
                leftOut(join(display, e.rel));
                return true;
            });
    } else if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
        plan.bytes += qint64(st.st_size);
    }
    if (!d->space) {
        FileManager::SpaceProvider provider;
        {
            QMutexLocker lock(&g_hookMutex);
            provider = g_spaceProvider;
        }
        d->space = std::make_shared<SpaceGuard>(provider, QFile::decodeName(toPath));
    }
    if (!d->space->fits(plan.bytes)) {
        if (item >= 0)
            close(item);
        return fail(errText(ENOSPC));
    }
    // A short name of its own: the item's name may already be as long as a name can be.
    const QByteArray temp = ".tw-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".part";
    auto copy = std::make_shared<ItemCopy>(dup(from.descriptor()), fromName, item, dup(to.descriptor()), temp, toName,
                                           display, std::move(plan), d->space);
    const bool prepared = copy->prepare();
    const size_t batches = prepared ? copy->batches() : 0;
    std::unique_lock<std::mutex> lock(d->mutex);
    Impl::Item &entry = d->items[ticket];
    entry.copy = copy;
    if (!prepared || batches == 0) {
        entry.left = 1;
        d->complete(ticket, entry, lock);
        return ticket;
    }
    entry.left = batches;
    for (size_t b = 0; b < batches; ++b)
        d->queue.push_back({ticket, b});
    d->startWorkers(batches);
    lock.unlock();
    d->work.notify_all();
    return ticket;
}

bool CopyJob::isDone(Ticket ticket) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto it = d->items.find(ticket);
    return it == d->items.end() || it->second.done;
}

bool CopyJob::wait(Ticket ticket, QString *error)
{
    std::unique_lock<std::mutex> lock(d->mutex);
    d->finished.wait(lock, [&] {
        const auto it = d->items.find(ticket);
        return it == d->items.end() || it->second.done;
    });
    const auto it = d->items.find(ticket);
    if (it == d->items.end()) {
        setError(error, QStringLiteral("no such copy"));
        return false;
    }
    const bool ok = it->second.ok;
    if (!ok)
        setError(error, it->second.error);
    d->items.erase(it);
    return ok;
}

void FileManager::setSpaceProvider(SpaceProvider provider)
{
    QMutexLocker lock(&g_hookMutex);
    g_spaceProvider = std::move(provider);
}

void FileManager::setCopyParallelism(int n) { g_parallelism.store(std::max(1, n)); }

int FileManager::copyParallelism() { return g_parallelism.load(); }

void FileManager::setCopyFaultHook(CopyFaultHook hook)
{
    QMutexLocker lock(&g_hookMutex);
    g_faultHook = std::move(hook);
}

void FileManager::setShortRangeCopyHook(CopyFaultHook hook)
{
    QMutexLocker lock(&g_hookMutex);
    g_shortRangeHook = std::move(hook);
}

} // namespace Platform
