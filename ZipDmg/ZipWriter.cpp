#include "ZipWriter.h"

#include <QFile>

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <unistd.h>
#include <utility>

namespace {

constexpr quint32 kLocalSignature = 0x04034b50;
constexpr quint32 kCentralSignature = 0x02014b50;
constexpr quint32 kEndSignature = 0x06054b50;
constexpr quint32 kEnd64Signature = 0x06064b50;
constexpr quint32 kLocator64Signature = 0x07064b50;
constexpr quint16 kMadeBy = (3 << 8) | 30; // Unix, 3.0
constexpr quint16 kUtf8Name = 1 << 11;
constexpr quint16 kStored = 0;
constexpr quint16 kDeflated = 8;
constexpr quint32 kMax32 = 0xffffffffu;
constexpr quint16 kMax16 = 0xffff;
constexpr qint64 kDictionary = 32 << 10;
constexpr qsizetype kFlushAt = 1 << 20;

QString text(const QByteArray &path) { return QFile::decodeName(path); }

QString errText(int err) { return QString::fromLocal8Bit(strerror(err)); }

// Little-endian fields, as the format has them.
struct Bytes {
    QByteArray b;
    Bytes &u8(quint8 v)
    {
        b.append(char(v));
        return *this;
    }
    Bytes &u16(quint16 v) { return u8(quint8(v)).u8(quint8(v >> 8)); }
    Bytes &u32(quint32 v) { return u16(quint16(v)).u16(quint16(v >> 16)); }
    Bytes &u64(quint64 v) { return u32(quint32(v)).u32(quint32(v >> 32)); }
    Bytes &raw(const QByteArray &v)
    {
        b.append(v);
        return *this;
    }
};

// ASCII, or UTF-8 that reads back as the same bytes.
bool isUtf8Name(const QByteArray &name)
{
    bool ascii = true;
    for (const char c : name)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    return !ascii && QString::fromUtf8(name).toUtf8() == name;
}

// The DOS date and time of `t` in local time, rounded up to an even second,
// held to the years the fields can hold.
void dosTime(time_t t, quint16 *date, quint16 *time)
{
    t += t & 1;
    struct tm tm {};
    if (!::localtime_r(&t, &tm) || tm.tm_year < 80) {
        *date = (1 << 5) | 1; // 1980-01-01 00:00:00
        *time = 0;
        return;
    }
    if (tm.tm_year > 207) {
        *date = quint16((127 << 9) | (12 << 5) | 31);
        *time = quint16((23 << 11) | (59 << 5) | 29);
        return;
    }
    *date = quint16(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    *time = quint16((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

// A time for the extended timestamp field: four bytes, as zip writes them.
quint32 unixTime(time_t t) { return quint32(std::clamp<qint64>(qint64(t), INT32_MIN, qint64(kMax32))); }

// A worker's deflate streams: zip's own level for what compresses, a quick
// one to find out whether data compresses at all, and one that only stores.
struct Streams {
    z_stream best{}, probe{}, plain{};
    bool ready = false;
    Streams()
    {
        const int b = deflateInit2(&best, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        const int p = deflateInit2(&probe, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        const int n = deflateInit2(&plain, 0, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        ready = b == Z_OK && p == Z_OK && n == Z_OK;
        if (b == Z_OK && !ready)
            deflateEnd(&best);
        if (p == Z_OK && !ready)
            deflateEnd(&probe);
        if (n == Z_OK && !ready)
            deflateEnd(&plain);
    }
    ~Streams()
    {
        if (ready) {
            deflateEnd(&best);
            deflateEnd(&probe);
            deflateEnd(&plain);
        }
    }
    Streams(const Streams &) = delete;
    Streams &operator=(const Streams &) = delete;

    // Data that does not compress (already compressed media, archives,
    // random data) is not worth deflate's search: three samples of it that
    // the quick level leaves at more than 99 % of their size tell it.
    bool compresses(const Bytef *data, qint64 length)
    {
        constexpr qint64 kSample = 16 << 10;
        if (length < 4 * kSample)
            return true;
        Bytef out[kSample + 1024];
        for (const qint64 at : {qint64(0), (length - kSample) / 2, length - kSample}) {
            deflateReset(&probe);
            probe.next_in = const_cast<Bytef *>(data + at);
            probe.avail_in = uInt(kSample);
            probe.next_out = out;
            probe.avail_out = uInt(sizeof out);
            if (deflate(&probe, Z_FINISH) != Z_STREAM_END || qint64(sizeof out - probe.avail_out) * 100 < kSample * 99)
                return true;
        }
        return false;
    }
};

bool readAll(int fd, char *data, qint64 size, qint64 at, qint64 *got)
{
    *got = 0;
    while (*got < size) {
        const ssize_t n = ::pread(fd, data + *got, size_t(size - *got), off_t(at + *got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        *got += n;
    }
    return true;
}

} // namespace

struct ZipWriter::Chunk {
    qint64 offset = 0;
    qint64 length = 0;
    QByteArray data; // what goes into the archive
    uLong crc = 0;
    bool stored = false;
    bool done = false;
    QString error;
};

struct ZipWriter::Pending {
    enum class Kind { Folder, Link, File } kind = Kind::Folder;
    QByteArray name;
    QByteArray linkTarget;
    QByteArray hostPath;
    struct stat st {};
    int fd = -1;
    std::vector<Chunk> chunks;
    size_t handedOut = 0; // chunks given to the workers
    ~Pending()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct ZipWriter::Central {
    QByteArray name;
    quint16 flags = 0;
    quint16 method = kStored;
    quint16 needed = 10;
    quint16 date = 0;
    quint16 time = 0;
    quint32 crc = 0;
    quint64 compressed = 0;
    quint64 size = 0;
    quint64 offset = 0;
    quint32 mode = 0;
    quint32 mtime = 0;
    quint32 uid = 0;
    quint32 gid = 0;
    bool zip64Sizes = false; // its local header holds its sizes in a ZIP64 field
};

ZipWriter::ZipWriter(int fd, Stopped stopped) : m_fd(fd), m_stopped(std::move(stopped))
{
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    if (start < 0) {
        fail(QStringLiteral("the archive cannot be started: %1").arg(errText(errno)));
        m_writerDone = true; // no writer runs
        return;
    }
    m_offset = m_flushed = quint64(start);
    m_buffer.reserve(kFlushAt + 4096);
    const int workers = int(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
    for (int i = 0; i < workers; ++i)
        m_workers.emplace_back([this] { workerLoop(); });
    m_writer = std::thread([this] { writerLoop(); });
}

ZipWriter::~ZipWriter()
{
    if (!m_finished)
        fail(QStringLiteral("the archive was not finished"));
    stopThreads();
}

void ZipWriter::stopThreads()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finishing = true;
        m_quit = true;
    }
    m_writerWake.notify_all();
    m_workReady.notify_all();
    m_room.notify_all();
    if (m_writer.joinable())
        m_writer.join();
    for (std::thread &t : m_workers)
        if (t.joinable())
            t.join();
    m_workers.clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_work.clear();
    m_entries.clear(); // closes what is still open
}

bool ZipWriter::fail(const QString &why)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_failed.exchange(true))
            m_error = why;
    }
    m_writerWake.notify_all();
    m_room.notify_all();
    return false;
}

QString ZipWriter::errorString() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

quint64 ZipWriter::entries() const { return m_central.size(); }

bool ZipWriter::queue(const std::shared_ptr<Pending> &entry)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool file = entry->kind == Pending::Kind::File;
    m_room.wait(lock, [&] {
        return m_failed || (m_entries.size() < size_t(kOpenFiles) * 16 && (!file || m_openFiles < kOpenFiles));
    });
    if (m_failed)
        return false;
    m_entries.push_back(entry);
    if (file)
        ++m_openFiles;
    m_writerWake.notify_one();
    // The file's chunks go to the workers as the window has room for them.
    for (size_t i = 0; file && i < entry->chunks.size(); ++i) {
        const qint64 length = entry->chunks[i].length;
        m_room.wait(lock, [&] { return m_failed || m_inFlight == 0 || m_inFlight + length <= kWindow; });
        if (m_failed)
            return false;
        m_inFlight += length;
        m_work.push_back({entry, i});
        entry->handedOut = i + 1;
        m_workReady.notify_one();
    }
    return true;
}

bool ZipWriter::addFolder(const QByteArray &name, const struct stat &st)
{
    auto entry = std::make_shared<Pending>();
    entry->kind = Pending::Kind::Folder;
    entry->name = name;
    entry->st = st;
    return queue(entry);
}

bool ZipWriter::addLink(const QByteArray &name, const struct stat &st, const QByteArray &target)
{
    auto entry = std::make_shared<Pending>();
    entry->kind = Pending::Kind::Link;
    entry->name = name;
    entry->st = st;
    entry->linkTarget = target;
    return queue(entry);
}

bool ZipWriter::addFile(const QByteArray &name, const struct stat &st, int fd, const QByteArray &hostPath)
{
    auto entry = std::make_shared<Pending>();
    entry->kind = Pending::Kind::File;
    entry->name = name;
    entry->st = st;
    entry->fd = fd;
    entry->hostPath = hostPath;
    const qint64 size = st.st_size;
    // An empty file is one empty chunk, which still finds out that it grew.
    for (qint64 at = 0; at < size || (at == 0 && size == 0); at += kChunk) {
        Chunk c;
        c.offset = at;
        c.length = std::min(kChunk, size - at);
        entry->chunks.push_back(std::move(c));
    }
    return queue(entry);
}

void ZipWriter::workerLoop()
{
    Streams streams;
    for (;;) {
        Work work;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_workReady.wait(lock, [&] { return m_quit || !m_work.empty(); });
            if (m_work.empty())
                break;
            work = std::move(m_work.front());
            m_work.pop_front();
        }
        Chunk &chunk = work.entry->chunks[work.chunk];
        if (!streams.ready)
            chunk.error = QStringLiteral("no memory to compress %1").arg(text(work.entry->hostPath));
        else if (!m_failed)
            compress(*work.entry, chunk, &streams);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            chunk.done = true;
        }
        m_writerWake.notify_all();
    }
}

void ZipWriter::compress(Pending &entry, Chunk &chunk, void *stream)
{
    Streams &streams = *static_cast<Streams *>(stream);
    const bool last = &chunk == &entry.chunks.back();
    const bool only = entry.chunks.size() == 1;
    // The data before the chunk primes the stream, as if one deflate ran over the whole file.
    const qint64 dictionary = std::min(kDictionary, chunk.offset);
    QByteArray raw = buffer(dictionary + chunk.length + (last ? 1 : 0));
    qint64 got = 0;
    if (!readAll(entry.fd, raw.data(), raw.size(), chunk.offset - dictionary, &got)) {
        chunk.error = QStringLiteral("%1: %2").arg(text(entry.hostPath), errText(errno));
        return;
    }
    const qint64 size = entry.st.st_size;
    if (got < dictionary + chunk.length) {
        chunk.error = QStringLiteral("%1: only %2 of %3 bytes could be read")
                          .arg(text(entry.hostPath))
                          .arg(std::max<qint64>(0, chunk.offset + got - dictionary))
                          .arg(size);
        return;
    }
    if (last && got > dictionary + chunk.length) {
        chunk.error = QStringLiteral("%1 grew while it was archived").arg(text(entry.hostPath));
        return;
    }
    const auto *in = reinterpret_cast<const Bytef *>(raw.constData()) + dictionary;
    chunk.crc = crc32(crc32(0, nullptr, 0), in, uInt(chunk.length));
    const bool compresses = streams.compresses(in, chunk.length);
    if (only && !compresses) {
        raw.truncate(chunk.length);
        chunk.data = std::move(raw);
        chunk.stored = true;
        return;
    }
    // A chunk of a longer file that does not compress goes into the stream as stored blocks.
    z_stream &z = compresses ? streams.best : streams.plain;
    deflateReset(&z);
    if (dictionary > 0)
        deflateSetDictionary(&z, reinterpret_cast<const Bytef *>(raw.constData()), uInt(dictionary));
    QByteArray out = buffer(qsizetype(deflateBound(&z, uLong(chunk.length))) + 64);
    z.next_in = const_cast<Bytef *>(in);
    z.avail_in = uInt(chunk.length);
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    // A chunk before the last ends on a byte boundary, without ending the stream.
    const int r = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
    if ((last && r != Z_STREAM_END) || (!last && (r != Z_OK || z.avail_in != 0 || z.avail_out == 0))) {
        chunk.error = QStringLiteral("%1 cannot be compressed (%2)").arg(text(entry.hostPath)).arg(r);
        return;
    }
    out.truncate(out.size() - qsizetype(z.avail_out));
    // What deflate does not make smaller is stored, as zip does.
    if (only && out.size() >= chunk.length) {
        raw.truncate(chunk.length);
        chunk.data = std::move(raw);
        chunk.stored = true;
        recycle(std::move(out));
    } else {
        chunk.data = std::move(out);
        recycle(std::move(raw));
    }
}

QByteArray ZipWriter::buffer(qsizetype size)
{
    if (size >= kChunk / 2) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_spare.begin(); it != m_spare.end(); ++it)
            if (it->capacity() >= size) {
                QByteArray b = std::move(*it);
                m_spare.erase(it);
                b.resize(size);
                return b;
            }
    }
    return QByteArray(size, Qt::Uninitialized);
}

void ZipWriter::recycle(QByteArray &&b)
{
    QByteArray gone = std::move(b);
    if (gone.capacity() < kChunk / 2)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_spare.size() < kSpare)
        m_spare.push_back(std::move(gone));
}

void ZipWriter::writerLoop()
{
    for (;;) {
        std::shared_ptr<Pending> entry;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_writerWake.wait(lock, [&] { return m_failed || m_finishing || !m_entries.empty(); });
            if (m_failed || m_entries.empty())
                break;
            entry = m_entries.front();
        }
        const bool ok = writeEntry(entry);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.pop_front();
        if (entry->kind == Pending::Kind::File)
            --m_openFiles;
        m_room.notify_all();
        if (!ok)
            break;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writerDone = true;
    m_room.notify_all();
}

bool ZipWriter::writeEntry(const std::shared_ptr<Pending> &entry)
{
    Central c;
    const struct stat &st = entry->st;
    c.name = entry->name;
    if (c.name.size() > kMax16)
        return fail(QStringLiteral("%1: the name is too long for the archive").arg(text(c.name)));
    c.flags = isUtf8Name(c.name) ? kUtf8Name : 0;
    dosTime(st.st_mtime, &c.date, &c.time);
    c.mode = quint32(st.st_mode) << 16;
    if (S_ISDIR(st.st_mode))
        c.mode |= 0x10; // the MS-DOS folder bit
    c.mtime = unixTime(st.st_mtime);
    c.uid = st.st_uid;
    c.gid = st.st_gid;
    c.offset = m_offset;
    const bool file = entry->kind == Pending::Kind::File;
    const bool multi = file && entry->chunks.size() > 1;
    // Deflate may grow data that does not compress by a few bytes in a
    // thousand: a file this close to 4 GiB keeps its sizes in a ZIP64 field.
    const quint64 size = file ? quint64(st.st_size) : quint64(entry->linkTarget.size());
    c.zip64Sizes = multi && size + size / 256 + (1 << 20) >= kMax32;

    auto localHeader = [&] {
        Bytes h;
        h.u32(kLocalSignature).u16(c.needed).u16(c.flags).u16(c.method).u16(c.time).u16(c.date).u32(c.crc);
        if (c.zip64Sizes)
            h.u32(kMax32).u32(kMax32);
        else
            h.u32(quint32(c.compressed)).u32(quint32(c.size));
        h.u16(quint16(c.name.size())).u16(quint16(9 + 4 + 11 + 4 + (c.zip64Sizes ? 20 : 0))).raw(c.name);
        h.u16(0x5455).u16(9).u8(3).u32(c.mtime).u32(unixTime(st.st_atime));
        h.u16(0x7875).u16(11).u8(1).u8(4).u32(c.uid).u8(4).u32(c.gid);
        if (c.zip64Sizes)
            h.u16(0x0001).u16(16).u64(c.size).u64(c.compressed);
        return h.b;
    };

    if (!file) {
        const QByteArray &data = entry->linkTarget;
        c.size = c.compressed = quint64(data.size());
        c.crc =
            quint32(crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
        if (!put(localHeader()) || !put(data))
            return false;
        m_central.push_back(std::move(c));
        return true;
    }

    c.size = size;
    c.method = kDeflated;
    c.needed = c.zip64Sizes ? 45 : 20;
    uLong crc = crc32(0, nullptr, 0);
    for (size_t i = 0; i < entry->chunks.size(); ++i) {
        Chunk *chunk = &entry->chunks[i];
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_writerWake.wait(lock, [&] { return m_failed || (i < entry->handedOut && chunk->done); });
            if (m_failed)
                return false;
        }
        if (!chunk->error.isEmpty())
            return fail(chunk->error);
        if (m_stopped && m_stopped())
            return fail(QStringLiteral("stopped"));
        if (chunk->stored) {
            c.method = kStored;
            c.needed = 10;
        }
        crc = i == 0 ? chunk->crc : crc32_combine(crc, chunk->crc, z_off_t(chunk->length));
        if (i == 0) {
            if (!multi) {
                c.crc = quint32(crc);
                c.compressed = quint64(chunk->data.size());
            }
            if (!put(localHeader()))
                return false;
        }
        c.compressed = i == 0 ? quint64(chunk->data.size()) : c.compressed + quint64(chunk->data.size());
        const bool ok = put(chunk->data);
        const qint64 length = chunk->length;
        recycle(std::move(chunk->data));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_inFlight -= length;
        }
        m_room.notify_all();
        if (!ok)
            return false;
    }
    c.crc = quint32(crc);
    if (multi) {
        if (!c.zip64Sizes && c.compressed >= kMax32)
            return fail(QStringLiteral("%1 does not fit the archive's sizes").arg(text(entry->hostPath)));
        // The sizes and check value go back into the entry's header.
        Bytes sizes;
        sizes.u32(c.crc);
        if (!c.zip64Sizes)
            sizes.u32(quint32(c.compressed)).u32(quint32(c.size));
        if (!patch(c.offset + 14, sizes.b))
            return false;
        if (c.zip64Sizes) {
            Bytes z64;
            z64.u64(c.size).u64(c.compressed);
            const quint64 field = c.offset + 30 + quint64(c.name.size()) + 13 + 15 + 4;
            if (!patch(field, z64.b))
                return false;
        }
    }
    {
        // The data is in: the descriptor is not needed any longer.
        std::lock_guard<std::mutex> lock(m_mutex);
        ::close(std::exchange(entry->fd, -1));
    }
    m_central.push_back(std::move(c));
    return true;
}

bool ZipWriter::put(const char *data, size_t size)
{
    if (size >= size_t(kFlushAt)) {
        if (!flush())
            return false;
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(m_fd, data + done, size - done, off_t(m_offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail(QStringLiteral("the archive cannot be written: %1").arg(errText(n < 0 ? errno : ENOSPC)));
            done += size_t(n);
        }
        m_offset += size;
        m_flushed = m_offset;
        return true;
    }
    m_buffer.append(data, qsizetype(size));
    m_offset += size;
    return m_buffer.size() < kFlushAt || flush();
}

bool ZipWriter::flush()
{
    qsizetype done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::pwrite(m_fd, m_buffer.constData() + done, size_t(m_buffer.size() - done),
                                   off_t(m_flushed + quint64(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(QStringLiteral("the archive cannot be written: %1").arg(errText(n < 0 ? errno : ENOSPC)));
        done += n;
    }
    m_flushed += quint64(m_buffer.size());
    m_buffer.clear();
    return true;
}

bool ZipWriter::patch(quint64 at, const QByteArray &bytes)
{
    if (at >= m_flushed) {
        std::memcpy(m_buffer.data() + (at - m_flushed), bytes.constData(), size_t(bytes.size()));
        return true;
    }
    if (::pwrite(m_fd, bytes.constData(), size_t(bytes.size()), off_t(at)) != bytes.size())
        return fail(QStringLiteral("the archive cannot be written: %1").arg(errText(errno)));
    return true;
}

bool ZipWriter::finish()
{
    if (std::exchange(m_finished, true))
        return !m_failed;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_finishing = true;
        m_writerWake.notify_all();
        m_room.wait(lock, [&] { return m_writerDone; });
    }
    stopThreads();
    if (m_failed)
        return false;
    if (!writeCentralDirectory() || !flush())
        return false;
    if (::lseek(m_fd, off_t(m_offset), SEEK_SET) < 0)
        return fail(QStringLiteral("the archive cannot be closed: %1").arg(errText(errno)));
    return true;
}

bool ZipWriter::writeCentralDirectory()
{
    const quint64 start = m_offset;
    for (const Central &c : m_central) {
        const bool bigSizes = c.zip64Sizes || c.size >= kMax32 || c.compressed >= kMax32;
        const bool bigOffset = c.offset >= kMax32;
        Bytes z64;
        if (bigSizes)
            z64.u64(c.size).u64(c.compressed);
        if (bigOffset)
            z64.u64(c.offset);
        Bytes h;
        h.u32(kCentralSignature).u16(kMadeBy).u16(bigSizes || bigOffset ? 45 : c.needed).u16(c.flags).u16(c.method);
        h.u16(c.time).u16(c.date).u32(c.crc);
        h.u32(bigSizes ? kMax32 : quint32(c.compressed)).u32(bigSizes ? kMax32 : quint32(c.size));
        h.u16(quint16(c.name.size())).u16(quint16(9 + 15 + (z64.b.isEmpty() ? 0 : 4 + z64.b.size())));
        h.u16(0).u16(0).u16(0).u32(c.mode).u32(bigOffset ? kMax32 : quint32(c.offset)).raw(c.name);
        h.u16(0x5455).u16(5).u8(3).u32(c.mtime);
        h.u16(0x7875).u16(11).u8(1).u8(4).u32(c.uid).u8(4).u32(c.gid);
        if (!z64.b.isEmpty())
            h.u16(0x0001).u16(quint16(z64.b.size())).raw(z64.b);
        if (!put(h.b))
            return false;
    }
    const quint64 length = m_offset - start;
    const quint64 count = m_central.size();
    if (count >= kMax16 || length >= kMax32 || start >= kMax32) {
        const quint64 end64 = m_offset;
        Bytes e;
        e.u32(kEnd64Signature).u64(44).u16(kMadeBy).u16(45).u32(0).u32(0).u64(count).u64(count).u64(length).u64(start);
        e.u32(kLocator64Signature).u32(0).u64(end64).u32(1);
        if (!put(e.b))
            return false;
    }
    Bytes e;
    const quint16 count16 = count >= kMax16 ? kMax16 : quint16(count);
    e.u32(kEndSignature).u16(0).u16(0).u16(count16).u16(count16);
    e.u32(length >= kMax32 ? kMax32 : quint32(length)).u32(start >= kMax32 ? kMax32 : quint32(start)).u16(0);
    return put(e.b);
}
