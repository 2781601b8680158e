#include "TarArchive.h"
#include "FolderTree.h"

#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace Platform::DiskWorld::TarArchive {
namespace {

constexpr int kBlock = 512;

QByteArray enc(const QString &p) { return QFile::encodeName(p); }

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

bool failErrno(QString *error, const QString &what)
{
    return fail(error, what + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno)));
}

struct Entry {
    QByteArray name; // relative, folders end in '/'
    char type = '0'; // as tar types them: '0' file, '5' folder, '2' link, '3'/'4' devices, '6' pipe
    quint32 mode = 0644;
    quint32 uid = 0, gid = 0;
    qint64 size = 0;
    qint64 mtime = 0;
    QByteArray link;
    quint32 devMajor = 0, devMinor = 0;
    QList<QPair<QByteArray, QByteArray>> xattrs; // extended attributes (ACLs and capabilities among them)
};

QByteArray padding(qint64 size) { return QByteArray(int((kBlock - size % kBlock) % kBlock), '\0'); }

// The header blocks in front of a member's data, as libarchive encodes them:
// ustar where it holds the member, pax records (as GNU tar writes them) for
// long names, large sizes and ids, and extended attributes. Only the headers
// come from here; the data is written at its place by the caller.
class HeaderEncoder {
public:
    HeaderEncoder()
    {
        m_archive = archive_write_new();
        m_entry = archive_entry_new();
        archive_write_set_format_pax_restricted(m_archive);
        archive_write_set_format_option(m_archive, "pax", "xattrheader", "SCHILY");
        // Names are bytes: written as they are, never translated.
        archive_write_set_format_option(m_archive, "pax", "hdrcharset", "BINARY");
        archive_write_set_bytes_per_block(m_archive, 0);
        m_ok = archive_write_open(m_archive, this, nullptr, &HeaderEncoder::output, nullptr) == ARCHIVE_OK;
    }
    ~HeaderEncoder()
    {
        m_capture = nullptr;
        archive_entry_free(m_entry);
        archive_write_free(m_archive);
    }
    HeaderEncoder(const HeaderEncoder &) = delete;
    HeaderEncoder &operator=(const HeaderEncoder &) = delete;

    std::optional<QByteArray> encode(const Entry &e, QString *error)
    {
        if (!m_ok) {
            fail(error, QStringLiteral("cannot encode an archive header"));
            return std::nullopt;
        }
        // The previous member's data is written by the caller: what the
        // encoder pads it with goes nowhere.
        m_capture = nullptr;
        archive_write_finish_entry(m_archive);
        archive_entry_clear(m_entry);
        archive_entry_copy_pathname(m_entry, e.name.constData());
        switch (e.type) {
        case '5':
            archive_entry_set_filetype(m_entry, AE_IFDIR);
            break;
        case '2':
            archive_entry_set_filetype(m_entry, AE_IFLNK);
            archive_entry_copy_symlink(m_entry, e.link.constData());
            break;
        case '3':
        case '4':
            archive_entry_set_filetype(m_entry, e.type == '3' ? AE_IFCHR : AE_IFBLK);
            archive_entry_set_rdevmajor(m_entry, e.devMajor);
            archive_entry_set_rdevminor(m_entry, e.devMinor);
            break;
        case '6':
            archive_entry_set_filetype(m_entry, AE_IFIFO);
            break;
        default:
            archive_entry_set_filetype(m_entry, AE_IFREG);
            archive_entry_set_size(m_entry, e.size);
            break;
        }
        archive_entry_set_perm(m_entry, e.mode & 07777);
        archive_entry_set_uid(m_entry, e.uid);
        archive_entry_set_gid(m_entry, e.gid);
        archive_entry_set_mtime(m_entry, e.mtime, 0);
        for (const auto &[name, value] : e.xattrs)
            archive_entry_xattr_add_entry(m_entry, name.constData(), value.constData(), size_t(value.size()));
        QByteArray out;
        m_capture = &out;
        const int r = archive_write_header(m_archive, m_entry);
        m_capture = nullptr;
        if (r < ARCHIVE_WARN) {
            fail(error, QString::fromLocal8Bit(e.name) + QStringLiteral(": ") +
                            QString::fromLocal8Bit(archive_error_string(m_archive)));
            return std::nullopt;
        }
        return out;
    }

private:
    static la_ssize_t output(struct archive *, void *self, const void *data, size_t size)
    {
        if (QByteArray *to = static_cast<HeaderEncoder *>(self)->m_capture)
            to->append(static_cast<const char *>(data), qsizetype(size));
        return la_ssize_t(size);
    }

    struct archive *m_archive = nullptr;
    struct archive_entry *m_entry = nullptr;
    QByteArray *m_capture = nullptr;
    bool m_ok = false;
};

bool writeAllAt(int fd, const char *data, qint64 size, qint64 at, QString *error)
{
    while (size > 0) {
        ssize_t n = ::pwrite(fd, data, size_t(size), at);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failErrno(error, QStringLiteral("writing the image"));
        }
        data += n;
        size -= n;
        at += n;
    }
    return true;
}

bool copyRange(int in, qint64 from, int out, qint64 to, qint64 size, QString *error)
{
    QString why;
    if (FolderTree::copyRange(in, from, out, to, size, &why))
        return true;
    return fail(error, QStringLiteral("copying: ") + why);
}

// Where every member of an archive goes, worked out before a byte of file
// data is copied, so that the data can be copied by several workers at once.
struct Plan {
    struct Piece {
        qint64 at = 0;                 // where the header goes (for a file's later chunks: nothing)
        QByteArray head;               // header bytes
        qint32 file = -1;              // index into files, or -1 for a member without data
        qint64 offset = 0, length = 0; // the file's bytes this piece copies
        qint64 dataAt = 0;
    };
    struct File {
        QByteArray path; // relative to the folder written
        dev_t dev = 0;
        ino_t ino = 0;
        qint64 size = 0;
    };
    std::vector<Piece> pieces;
    std::vector<File> files;
    qint64 size = 0;
    HeaderEncoder encoder;
};

// A file's data is copied in chunks of this size, so that one large file is
// shared out among the workers too.
constexpr qint64 kChunk = qint64(32) << 20;

bool addMember(Plan &plan, const Entry &e, const Plan::File *file, QString *error)
{
    Plan::Piece p;
    p.at = plan.size;
    const std::optional<QByteArray> head = plan.encoder.encode(e, error);
    if (!head)
        return false;
    p.head = *head;
    plan.size += p.head.size();
    if (!file) {
        plan.pieces.push_back(std::move(p));
        return true;
    }
    plan.files.push_back(*file);
    const qint32 index = qint32(plan.files.size() - 1);
    qint64 done = 0;
    do {
        p.file = index;
        p.offset = done;
        p.length = std::min(kChunk, e.size - done);
        p.dataAt = plan.size + done;
        plan.pieces.push_back(p);
        p.head.clear();
        done += p.length;
    } while (done < e.size);
    plan.size += e.size + (kBlock - e.size % kBlock) % kBlock;
    return true;
}

// What an earlier archive stored for each member (by its name without a
// trailing '/'), and the time from which a change in the folder is newer.
struct Stored {
    QMap<QByteArray, Entry> members;
    qint64 since = 0;
};

// The extended attributes of the entry `name` in `dirFd`, its link itself
// when it is one.
bool readXattrs(int dirFd, const char *name, QList<QPair<QByteArray, QByteArray>> &out, QString *error)
{
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(dirFd) + '/' + name;
    QByteArray names(1024, 0);
    ssize_t n;
    while ((n = llistxattr(path.constData(), names.data(), size_t(names.size()))) < 0 && errno == ERANGE)
        names.resize(names.size() * 4);
    if (n < 0)
        return errno == ENOTSUP || errno == ENODATA || failErrno(error, QString::fromLocal8Bit(name));
    for (const QByteArray &key : QByteArray(names.constData(), n).split('\0')) {
        if (key.isEmpty())
            continue;
        QByteArray value(256, 0);
        ssize_t v;
        while ((v = lgetxattr(path.constData(), key.constData(), value.data(), size_t(value.size()))) < 0 &&
               errno == ERANGE)
            value.resize(value.size() * 4);
        if (v < 0) {
            if (errno == ENODATA)
                continue;
            return failErrno(error, QString::fromLocal8Bit(name));
        }
        value.truncate(v);
        out.append({key, value});
    }
    return true;
}

// A member the view holds as it was unpacked keeps what the archive stored
// for it (owner, group, mode, times, every extended attribute; a device node
// that was unpacked as an empty file without effect is a device node again).
// A folder that only gained or lost entries keeps its stored owner, group,
// mode and attributes. Anything else is stored as the view has it.
void keepStored(Entry &e, const struct stat &st, const Stored &stored)
{
    QByteArray key = e.name;
    if (key.endsWith('/'))
        key.chop(1);
    const auto it = stored.members.constFind(key);
    if (it == stored.members.constEnd())
        return;
    const Entry &was = *it;
    const quint32 plainMode = was.mode & 07777 & ~quint32(S_ISUID | S_ISGID);
    const bool untouched = nanoseconds(st.st_ctim) < stored.since;
    if (e.type == '5' && was.type == '5' && (untouched || (e.mode & 07777) == plainMode)) {
        e.uid = was.uid;
        e.gid = was.gid;
        e.mode = was.mode;
        e.xattrs = was.xattrs;
        if (untouched)
            e.mtime = was.mtime;
        return;
    }
    if (!untouched)
        return;
    const bool placeholder = (was.type == '3' || was.type == '4') && e.type == '0' && e.size == 0;
    if (e.type != was.type && !placeholder)
        return;
    if (placeholder) {
        e.type = was.type;
        e.devMajor = was.devMajor;
        e.devMinor = was.devMinor;
    }
    e.uid = was.uid;
    e.gid = was.gid;
    e.mode = was.mode;
    e.mtime = was.mtime;
    e.xattrs = was.xattrs;
}

bool planFolder(Plan &plan, int dirFd, const QByteArray &prefix, QString *error, const HeldModes &held,
                const Stored &stored)
{
    int fd = dup(dirFd);
    DIR *d = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!d) {
        if (fd >= 0)
            close(fd);
        return failErrno(error, QString::fromLocal8Bit(prefix));
    }
    bool ok = true;
    while (ok) {
        dirent *de = readdir(d);
        if (!de)
            break;
        if (!strcmp(de->d_name, ".") || !strcmp(de->d_name, ".."))
            continue;
        struct stat st;
        if (fstatat(dirFd, de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        Entry e;
        e.name = prefix + de->d_name;
        e.mode = st.st_mode & 07777;
        e.uid = st.st_uid;
        e.gid = st.st_gid;
        e.mtime = st.st_mtim.tv_sec;
        if (S_ISSOCK(st.st_mode)) {
            // A socket is a name a running program listens on: no archive
            // can hold one, and leaving it out would lose it unseen.
            ok = fail(
                error,
                QStringLiteral("%1 is a socket, which a disk image cannot hold").arg(QString::fromLocal8Bit(e.name)));
            break;
        }
        if (!(ok = readXattrs(dirFd, de->d_name, e.xattrs, error)))
            break;
        if (S_ISDIR(st.st_mode)) {
            e.type = '5';
            e.name += '/';
            int sub = openat(dirFd, de->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                ok = failErrno(error, QString::fromLocal8Bit(e.name));
                break;
            }
            keepStored(e, st, stored);
            ok = addMember(plan, e, nullptr, error) && planFolder(plan, sub, e.name, error, held, stored);
            close(sub);
        } else if (S_ISLNK(st.st_mode)) {
            e.type = '2';
            QByteArray target(st.st_size > 0 ? st.st_size + 1 : 4096, 0);
            ssize_t n = readlinkat(dirFd, de->d_name, target.data(), size_t(target.size()));
            if (n < 0) {
                ok = failErrno(error, QString::fromLocal8Bit(e.name));
                break;
            }
            target.truncate(n);
            e.link = target;
            keepStored(e, st, stored);
            ok = addMember(plan, e, nullptr, error);
        } else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode)) {
            e.type = S_ISCHR(st.st_mode) ? '3' : S_ISBLK(st.st_mode) ? '4' : '6';
            e.devMajor = major(st.st_rdev);
            e.devMinor = minor(st.st_rdev);
            keepStored(e, st, stored);
            ok = addMember(plan, e, nullptr, error);
        } else if (S_ISREG(st.st_mode)) {
            e.size = st.st_size;
            const auto kept = held.constFind(e.name);
            if (kept != held.constEnd() && e.mode == (*kept & ~quint32(S_ISUID | S_ISGID)))
                e.mode = *kept;
            keepStored(e, st, stored);
            if (e.size == 0 || e.type != '0') {
                e.size = 0;
                ok = addMember(plan, e, nullptr, error);
                continue;
            }
            const Plan::File file{e.name, st.st_dev, st.st_ino, e.size};
            ok = addMember(plan, e, &file, error);
        }
    }
    closedir(d);
    return ok;
}

// Opens a listed file again below `rootFd` without following a link on the
// way, and checks that it still is the file that was listed.
int openListed(int rootFd, const Plan::File &f, QString *error)
{
    int dir = dup(rootFd);
    const QList<QByteArray> parts = f.path.split('/');
    for (qsizetype i = 0; dir >= 0 && i + 1 < parts.size(); ++i) {
        const int sub = openat(dir, parts[i].constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(dir);
        dir = sub;
    }
    const int fd = dir >= 0 ? openat(dir, parts.last().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC) : -1;
    if (dir >= 0)
        close(dir);
    if (fd < 0) {
        failErrno(error, QString::fromLocal8Bit(f.path));
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_dev != f.dev || st.st_ino != f.ino || st.st_size != f.size) {
        close(fd);
        fail(error, QString::fromLocal8Bit(f.path) + QStringLiteral(": changed while the image was written"));
        return -1;
    }
    return fd;
}

// The listed file a worker reads from; it stays open over the worker's
// consecutive pieces of one file.
class Source {
public:
    Source(int rootFd, const Plan &plan) : m_rootFd(rootFd), m_plan(plan) {}
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;
    ~Source()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    int open(qint32 file, QString *error)
    {
        if (file != m_file) {
            if (m_fd >= 0)
                close(m_fd);
            m_file = file;
            m_fd = openListed(m_rootFd, m_plan.files[size_t(file)], error);
        }
        return m_fd;
    }

private:
    int m_rootFd;
    const Plan &m_plan;
    qint32 m_file = -1;
    int m_fd = -1;
};

// A directly written archive goes out in stretches of this size, each made
// whole in memory first.
constexpr qint64 kStretch = qint64(8) << 20;

// What one worker keeps between its tasks: the file it reads from, and the
// memory it fills a stretch of the archive in (made when first asked for).
struct Worker {
    explicit Worker(int rootFd, const Plan &plan) : source(rootFd, plan) {}
    char *stretch()
    {
        if (!buffer) {
            void *b = nullptr;
            if (posix_memalign(&b, 4096, size_t(kStretch)) == 0)
                buffer.reset(static_cast<char *>(b));
        }
        return buffer.get();
    }
    Source source;
    std::unique_ptr<char, decltype(&free)> buffer{nullptr, &free};
};

// Runs task(i, worker, error) for every i below `count` on several workers,
// each taking the next i; the first failure stops the rest and is the answer.
template <typename Task>
bool shareOut(size_t count, int rootFd, const Plan &plan, QString *error, const Task &task)
{
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex lock;
    QString firstError;
    auto work = [&] {
        Worker worker(rootFd, plan);
        QString err;
        bool ok = true;
        for (size_t i = next++; ok && !failed && i < count; i = next++)
            ok = task(i, worker, &err);
        if (!ok) {
            const std::lock_guard<std::mutex> hold(lock);
            if (!failed.exchange(true))
                firstError = err;
        }
    };
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < workers && i < count; ++i)
        threads.emplace_back(work);
    work();
    for (std::thread &t : threads)
        t.join();
    if (failed)
        return fail(error, firstError);
    return true;
}

// Writes the planned members at their places in `out`, by several workers.
bool writePlanned(int out, qint64 base, int rootFd, const Plan &plan, QString *error)
{
    return shareOut(plan.pieces.size(), rootFd, plan, error, [&](size_t i, Worker &worker, QString *err) {
        const Plan::Piece &p = plan.pieces[i];
        if (!p.head.isEmpty() && !writeAllAt(out, p.head.constData(), p.head.size(), base + p.at, err))
            return false;
        if (p.file < 0)
            return true;
        const int in = worker.source.open(p.file, err);
        return in >= 0 && copyRange(in, p.offset, out, base + p.dataAt, p.length, err);
    });
}

bool readAllAt(int fd, char *to, qint64 size, qint64 from, QString *error)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, to, size_t(std::min<qint64>(size, 1 << 30)), from);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failErrno(error, QStringLiteral("copying"));
        if (n == 0)
            return fail(error, QStringLiteral("the data ends early"));
        to += n;
        from += n;
        size -= n;
    }
    return true;
}

// Writes the whole archive (`front`, then the planned members from `base`
// on, then zeros up to `total`) in stretches that go to the disk directly,
// by several workers. Writes through the page cache into one file take turns
// on the file's lock, so they gain nothing from more workers; direct writes
// of whole blocks into space the file already holds run side by side. Each
// worker fills a stretch in memory (headers, data read from the listed
// files, zeros between) and writes it at once. nullopt when the file system
// cannot take direct writes or cannot reserve the space ahead; the caller
// then writes the archive the ordinary way.
std::optional<bool> writeDirect(int out, const QByteArray &front, int rootFd, const Plan &plan, qint64 total,
                                QString *error)
{
    struct statx sx;
    if (statx(out, "", AT_EMPTY_PATH, STATX_DIOALIGN, &sx) != 0 || !(sx.stx_mask & STATX_DIOALIGN) ||
        sx.stx_dio_offset_align == 0 || sx.stx_dio_offset_align > kBlock || sx.stx_dio_mem_align == 0 ||
        sx.stx_dio_mem_align > 4096)
        return std::nullopt;
    if (fallocate(out, 0, 0, total) != 0) {
        if (errno == EOPNOTSUPP || errno == ENOSYS)
            return std::nullopt;
        return failErrno(error, QStringLiteral("writing the image"));
    }
    const int flags = fcntl(out, F_GETFL);
    if (flags < 0 || fcntl(out, F_SETFL, flags | O_DIRECT) != 0)
        return std::nullopt;

    const qint64 base = front.size();
    auto pieceEnd = [&](const Plan::Piece &p) {
        return base + (p.file >= 0 ? p.dataAt + p.length : p.at + p.head.size());
    };
    const size_t stretches = size_t((total + kStretch - 1) / kStretch);
    const bool ok = shareOut(stretches, rootFd, plan, error, [&](size_t i, Worker &worker, QString *err) {
        char *buf = worker.stretch();
        if (!buf)
            return fail(err, QStringLiteral("writing the image: out of memory"));
        const qint64 from = qint64(i) * kStretch, to = std::min(total, from + kStretch);
        qint64 filled = from; // everything before this is in `buf`
        // Puts the bytes [at, at + size) of the archive into the stretch, the
        // part of them that falls inside it; what lies between gets zeros.
        auto put = [&](qint64 at, qint64 size, const auto &fill) {
            const qint64 start = std::max(at, from), end = std::min(at + size, to);
            if (start >= end)
                return true;
            memset(buf + (filled - from), 0, size_t(start - filled));
            filled = end;
            return fill(buf + (start - from), start - at, end - start);
        };
        auto bytes = [&](const char *data) {
            return [data](char *into, qint64 skip, qint64 n) {
                memcpy(into, data + skip, size_t(n));
                return true;
            };
        };
        if (!put(0, front.size(), bytes(front.constData())))
            return false;
        auto first = std::partition_point(plan.pieces.begin(), plan.pieces.end(),
                                          [&](const Plan::Piece &p) { return pieceEnd(p) <= from; });
        for (auto p = first; p != plan.pieces.end() && (p->head.isEmpty() ? base + p->dataAt : base + p->at) < to;
             ++p) {
            if (!p->head.isEmpty() && !put(base + p->at, p->head.size(), bytes(p->head.constData())))
                return false;
            if (p->file >= 0 && !put(base + p->dataAt, p->length, [&](char *into, qint64 skip, qint64 n) {
                    const int in = worker.source.open(p->file, err);
                    return in >= 0 && readAllAt(in, into, n, p->offset + skip, err);
                }))
                return false;
        }
        memset(buf + (filled - from), 0, size_t(to - filled));
        return writeAllAt(out, buf, to - from, from, err);
    });
    fcntl(out, F_SETFL, flags);
    return ok;
}

// --- reading ---

bool zeroBlock(const char *b)
{
    for (int i = 0; i < kBlock; ++i)
        if (b[i])
            return false;
    return true;
}

std::optional<qint64> number(const char *field, int width)
{
    if (static_cast<unsigned char>(field[0]) & 0x80) { // base-256, as GNU tar writes large values
        qint64 v = field[0] & 0x3f;
        for (int i = 1; i < width; ++i)
            v = (v << 8) | static_cast<unsigned char>(field[i]);
        return v;
    }
    qint64 v = 0;
    bool any = false;
    for (int i = 0; i < width && field[i]; ++i) {
        const char c = field[i];
        if (c == ' ' && !any)
            continue;
        if (c == ' ')
            break;
        if (c < '0' || c > '7')
            return std::nullopt;
        v = v * 8 + (c - '0');
        any = true;
    }
    return v;
}

bool checksumOk(const char *h)
{
    const std::optional<qint64> stored = number(h + 148, 8);
    if (!stored)
        return false;
    unsigned usum = 0;
    int ssum = 0;
    for (int i = 0; i < kBlock; ++i) {
        const char c = (i >= 148 && i < 156) ? ' ' : h[i];
        usum += static_cast<unsigned char>(c);
        ssum += static_cast<signed char>(c);
    }
    return qint64(usum) == *stored || qint64(ssum) == *stored;
}

QByteArray field(const char *f, int width) { return QByteArray(f, int(strnlen(f, size_t(width)))); }

// A member name made safe: relative, no "..", no "." components.
std::optional<QByteArray> safeName(const QByteArray &raw)
{
    QList<QByteArray> parts;
    for (const QByteArray &p : raw.split('/')) {
        if (p.isEmpty() || p == ".")
            continue;
        if (p == "..")
            return std::nullopt;
        parts.append(p);
    }
    if (raw.startsWith('/') || parts.isEmpty())
        return std::nullopt;
    return parts.join('/');
}

class Reader {
public:
    explicit Reader(int fd) : m_fd(fd) {}

    struct Member {
        Entry entry;
        bool end = false;
    };

    // The next member's header, pax and GNU long-name records folded in.
    std::optional<Member> next(QString *error)
    {
        QByteArray longName, longLink;
        Pax pax;
        for (;;) {
            char h[kBlock];
            const ssize_t n = readFull(h, kBlock);
            if (n == 0)
                return Member{{}, true}; // no end blocks: accepted, as tar does
            if (n != kBlock) {
                fail(error, QStringLiteral("the image ends in the middle of a header"));
                return std::nullopt;
            }
            if (zeroBlock(h))
                return Member{{}, true};
            if (!checksumOk(h)) {
                fail(error, QStringLiteral("the image holds a damaged header"));
                return std::nullopt;
            }
            Entry e;
            e.type = h[156] ? h[156] : '0';
            const std::optional<qint64> size = number(h + 124, 12);
            const std::optional<qint64> mode = number(h + 100, 8);
            const std::optional<qint64> mtime = number(h + 136, 12);
            if (!size || !mode || *size < 0) {
                fail(error, QStringLiteral("the image holds a damaged header"));
                return std::nullopt;
            }
            e.size = *size;
            e.mode = quint32(*mode);
            e.mtime = mtime.value_or(0);
            e.name = field(h, 100);
            if (!memcmp(h + 257, "ustar", 5)) {
                const QByteArray prefix = field(h + 345, 155);
                if (!prefix.isEmpty())
                    e.name = prefix + '/' + e.name;
            }
            e.link = field(h + 157, 100);
            e.uid = quint32(number(h + 108, 8).value_or(0));
            e.gid = quint32(number(h + 116, 8).value_or(0));
            e.devMajor = quint32(number(h + 329, 8).value_or(0));
            e.devMinor = quint32(number(h + 337, 8).value_or(0));
            if (e.type == 'x' || e.type == 'g' || e.type == 'L' || e.type == 'K') {
                QByteArray data;
                if (!readData(e.size, data, error))
                    return std::nullopt;
                if (e.type == 'L')
                    longName = QByteArray(data.constData(), int(strnlen(data.constData(), size_t(data.size()))));
                else if (e.type == 'K')
                    longLink = QByteArray(data.constData(), int(strnlen(data.constData(), size_t(data.size()))));
                else if (e.type == 'x')
                    parsePax(data, pax);
                continue;
            }
            if (!pax.name.isEmpty())
                longName = pax.name;
            if (!pax.link.isEmpty())
                longLink = pax.link;
            if (!longName.isEmpty())
                e.name = longName;
            if (!longLink.isEmpty())
                e.link = longLink;
            if (pax.size)
                e.size = *pax.size;
            if (pax.uid)
                e.uid = *pax.uid;
            if (pax.gid)
                e.gid = *pax.gid;
            e.xattrs = pax.xattrs;
            return Member{e, false};
        }
    }

    bool readData(qint64 size, QByteArray &out, QString *error)
    {
        if (size > (64 << 20))
            return fail(error, QStringLiteral("the image holds a header record that is too large"));
        out.resize(size);
        if (readFull(out.data(), size) != size)
            return fail(error, QStringLiteral("the image ends early"));
        return skip((kBlock - size % kBlock) % kBlock, error);
    }

    bool copyData(int out, qint64 size, QString *error)
    {
        // The member's data is read where it lies; `out` is a new file.
        const off_t at = lseek(m_fd, 0, SEEK_CUR);
        if (at < 0 || !copyRange(m_fd, at, out, 0, size, error) || lseek(m_fd, at + size, SEEK_SET) < 0)
            return fail(error, QStringLiteral("the image ends early"));
        return skip((kBlock - size % kBlock) % kBlock, error);
    }

    bool skip(qint64 size, QString *error)
    {
        if (size == 0)
            return true;
        const off_t here = lseek(m_fd, 0, SEEK_CUR);
        struct stat st;
        if (here < 0 || fstat(m_fd, &st) != 0 || here + size > st.st_size)
            return fail(error, QStringLiteral("the image ends early"));
        return lseek(m_fd, size, SEEK_CUR) >= 0;
    }

private:
    struct Pax {
        QByteArray name, link;
        std::optional<qint64> size;
        std::optional<quint32> uid, gid;
        QList<QPair<QByteArray, QByteArray>> xattrs;
    };

    static void parsePax(const QByteArray &data, Pax &pax)
    {
        qsizetype pos = 0;
        while (pos < data.size()) {
            const qsizetype space = data.indexOf(' ', pos);
            if (space < 0)
                break;
            const qsizetype len = data.mid(pos, space - pos).toLongLong();
            if (len <= 0 || pos + len > data.size())
                break;
            const QByteArray record = data.mid(space + 1, len - (space - pos) - 2);
            const qsizetype eq = record.indexOf('=');
            if (eq > 0) {
                const QByteArray key = record.left(eq), value = record.mid(eq + 1);
                if (key == "path")
                    pax.name = value;
                else if (key == "linkpath")
                    pax.link = value;
                else if (key == "size")
                    pax.size = value.toLongLong();
                else if (key == "uid")
                    pax.uid = quint32(value.toULongLong());
                else if (key == "gid")
                    pax.gid = quint32(value.toULongLong());
                else if (key.startsWith("SCHILY.xattr.") && key.size() > 13)
                    pax.xattrs.append({key.mid(13), value});
            }
            pos += len;
        }
    }

    ssize_t readFull(char *buf, qint64 size)
    {
        qint64 got = 0;
        while (got < size) {
            ssize_t n = ::read(m_fd, buf + got, size_t(size - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        return ssize_t(got);
    }

    int m_fd;
};

struct Deferred {
    QByteArray path;
    Entry entry;
};

void applyMetadata(const QByteArray &path, const Entry &e)
{
    // Attributes of the user's own namespace take effect on the mounted
    // content; ACLs, capabilities and the like stay in the image only.
    for (const auto &[name, value] : e.xattrs)
        if (name.startsWith("user."))
            lsetxattr(path.constData(), name.constData(), value.constData(), size_t(value.size()), 0);
    chmod(path.constData(), e.mode & 07777);
    const struct timespec times[2] = {{e.mtime, 0}, {e.mtime, 0}};
    utimensat(AT_FDCWD, path.constData(), times, 0);
}

bool makeParents(const QByteArray &dest, const QByteArray &rel, QString *error)
{
    const QList<QByteArray> parts = rel.split('/');
    QByteArray path = dest;
    for (int i = 0; i + 1 < parts.size(); ++i) {
        path += '/' + parts[i];
        struct stat st;
        if (lstat(path.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return fail(error, QStringLiteral("%1 is not a folder").arg(QString::fromLocal8Bit(path)));
            continue;
        }
        if (mkdir(path.constData(), 0755) != 0)
            return failErrno(error, QString::fromLocal8Bit(path));
    }
    return true;
}

// Every member an archive holds, by name, its data skipped.
std::optional<Stored> storedIn(int fd, qint64 since, QString *error)
{
    if (lseek(fd, 0, SEEK_SET) != 0) {
        failErrno(error, QStringLiteral("reading the image"));
        return std::nullopt;
    }
    Reader r(fd);
    Stored stored;
    stored.since = since;
    for (;;) {
        std::optional<Reader::Member> m = r.next(error);
        if (!m)
            return std::nullopt;
        if (m->end)
            return stored;
        const Entry &e = m->entry;
        const bool hasData = e.type == '0' || e.type == '7';
        if (!r.skip(hasData ? e.size + (kBlock - e.size % kBlock) % kBlock : 0, error))
            return std::nullopt;
        if (const std::optional<QByteArray> name = safeName(e.name))
            stored.members.insert(*name, e);
    }
}

} // namespace

bool write(int fd, const QList<QPair<QString, QByteArray>> &leading, const QString &folder, QString *error,
           const HeldModes &held, qint64 limit, const Earlier &earlier)
{
    Stored stored;
    if (earlier.fd >= 0) {
        std::optional<Stored> found = storedIn(earlier.fd, earlier.since, error);
        if (!found)
            return false;
        stored = std::move(*found);
    }
    Plan plan;
    QByteArray front;
    for (const auto &[name, data] : leading) {
        Entry e;
        e.name = name.toUtf8();
        e.size = data.size();
        e.mtime = time(nullptr);
        const std::optional<QByteArray> head = plan.encoder.encode(e, error);
        if (!head)
            return false;
        front += *head + data + padding(data.size());
    }
    int dirFd = open(enc(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return failErrno(error, folder);
    bool ok = planFolder(plan, dirFd, QByteArray(), error, held, stored);
    // The file takes its whole length first (the padding and the two end
    // blocks are the zeros it then reads as); then every member goes to its place.
    const qint64 total = front.size() + plan.size + 2 * kBlock;
    if (ok && limit >= 0 && total > limit)
        ok = fail(error, QStringLiteral("No space left on device"));
    if (ok && ftruncate(fd, total) != 0)
        ok = failErrno(error, QStringLiteral("writing the image"));
    if (ok) {
        const std::optional<bool> direct = writeDirect(fd, front, dirFd, plan, total, error);
        ok = direct ? *direct
                    : writeAllAt(fd, front.constData(), front.size(), 0, error) &&
                          writePlanned(fd, front.size(), dirFd, plan, error);
    }
    close(dirFd);
    if (ok && lseek(fd, total, SEEK_SET) < 0)
        ok = failErrno(error, QStringLiteral("writing the image"));
    return ok;
}

std::optional<QByteArray> readFirst(const QString &path, const QString &name, QString *error)
{
    int fd = open(enc(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        failErrno(error, path);
        return std::nullopt;
    }
    std::optional<QByteArray> out = readFirst(fd, name, error);
    close(fd);
    return out;
}

std::optional<QByteArray> readFirst(int fd, const QString &name, QString *error)
{
    if (lseek(fd, 0, SEEK_SET) != 0) {
        failErrno(error, QStringLiteral("reading the image"));
        return std::nullopt;
    }
    Reader r(fd);
    std::optional<QByteArray> out;
    std::optional<Reader::Member> m = r.next(error);
    if (m && !m->end && m->entry.type == '0' && safeName(m->entry.name) == name.toUtf8()) {
        QByteArray data;
        if (r.readData(m->entry.size, data, error))
            out = data;
    } else if (m) {
        fail(error, QStringLiteral("the file is not a disk image"));
    }
    return out;
}

bool extract(int fd, const QString &dest, const QStringList &skip, QString *error, HeldModes *held)
{
    if (lseek(fd, 0, SEEK_SET) != 0)
        return failErrno(error, QStringLiteral("reading the image"));
    Reader r(fd);
    const QByteArray root = enc(dest);
    std::vector<Deferred> links, folders;
    bool ok = true;
    while (ok) {
        std::optional<Reader::Member> m = r.next(error);
        if (!m) {
            ok = false;
            break;
        }
        if (m->end)
            break;
        const Entry &e = m->entry;
        const std::optional<QByteArray> rel = safeName(e.name);
        const bool hasData = e.type == '0' || e.type == '7';
        if (!rel) {
            ok =
                fail(error, QStringLiteral("the image names a file outside itself: %1").arg(QString::fromUtf8(e.name)));
            break;
        }
        if (skip.contains(QString::fromUtf8(*rel))) {
            ok = r.skip(hasData ? e.size + (kBlock - e.size % kBlock) % kBlock : 0, error);
            continue;
        }
        const QByteArray target = root + '/' + *rel;
        if (!makeParents(root, *rel, error)) {
            ok = false;
            break;
        }
        switch (e.type) {
        case '5':
            if (mkdir(target.constData(), 0700) != 0 && errno != EEXIST)
                ok = failErrno(error, QString::fromLocal8Bit(target));
            folders.push_back({target, e});
            break;
        case '2':
            links.push_back({target, e});
            break;
        case '1': {
            const std::optional<QByteArray> other = safeName(e.link);
            if (!other || ::link((root + '/' + *other).constData(), target.constData()) != 0)
                ok = fail(error,
                          QStringLiteral("the image holds a broken hard link: %1").arg(QString::fromUtf8(e.name)));
            break;
        }
        case '0':
        case '7': {
            int out = open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (out < 0) {
                ok = failErrno(error, QString::fromLocal8Bit(target));
                break;
            }
            ok = r.copyData(out, e.size, error);
            close(out);
            if (!ok)
                break;
            Entry plain = e;
            if (e.mode & (S_ISUID | S_ISGID)) {
                plain.mode = e.mode & 07777 & ~quint32(S_ISUID | S_ISGID);
                if (held)
                    held->insert(*rel, e.mode & 07777);
            }
            applyMetadata(target, plain);
            break;
        }
        case '6':
        case '3':
        case '4': {
            // A pipe is made as one; a device node takes no effect from an
            // image: an empty file holds its place (and the eject stores the
            // node again while the file stays as it was made).
            const int made = e.type == '6'
                                 ? mkfifo(target.constData(), 0600)
                                 : open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (made < 0) {
                ok = failErrno(error, QString::fromLocal8Bit(target));
                break;
            }
            if (e.type != '6')
                close(made);
            Entry plain = e;
            plain.mode = e.mode & 07777 & ~quint32(S_ISUID | S_ISGID);
            applyMetadata(target, plain);
            ok = r.skip(e.size + (kBlock - e.size % kBlock) % kBlock, error);
            break;
        }
        default:
            // Other member types are no volume content; their data is skipped.
            ok = r.skip(e.size + (kBlock - e.size % kBlock) % kBlock, error);
            break;
        }
    }
    if (!ok)
        return false;
    for (const Deferred &l : links) {
        if (symlink(l.entry.link.constData(), l.path.constData()) != 0)
            return failErrno(error, QString::fromLocal8Bit(l.path));
        const struct timespec times[2] = {{l.entry.mtime, 0}, {l.entry.mtime, 0}};
        utimensat(AT_FDCWD, l.path.constData(), times, AT_SYMLINK_NOFOLLOW);
    }
    // Deepest folders first, so a read-only folder is closed after its content is in.
    std::sort(folders.begin(), folders.end(),
              [](const Deferred &a, const Deferred &b) { return a.path.size() > b.path.size(); });
    for (const Deferred &f : folders)
        applyMetadata(f.path, f.entry);
    return true;
}

} // namespace Platform::DiskWorld::TarArchive
