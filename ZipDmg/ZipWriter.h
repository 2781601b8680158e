#pragma once
#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>

// Writes a ZIP archive into a descriptor: the container, entry after entry in
// the order they are given, and the central directory at the end, with what
// zip(1) records for each entry on this system (made by Unix, the mode and
// file type in the external attributes, the modification time in the DOS
// fields and in the extended timestamp, owner and group in the Unix field).
// A name is stored as its bytes; the UTF-8 mark is set only for a name that
// is UTF-8 and not plain ASCII. ZIP64 fields are written where a size, an
// offset or the number of entries needs them.
//
// A file's data is read from the descriptor it is given, by position, and
// deflated (zlib, raw) on worker threads, a file in chunks of `kChunk` bytes
// that form one stream, each chunk primed with the data before it; a file of
// one chunk that deflate does not make smaller is stored. Only a window of
// chunks is in flight at once (`kWindow` bytes, `kOpenFiles` open files), so
// `addFile` waits while the window is full; the writer thread puts each
// chunk out as soon as the ones before it are out.
class ZipWriter {
public:
    static constexpr qint64 kChunk = qint64(1) << 20;
    static constexpr qint64 kWindow = qint64(64) << 20;
    static constexpr int kOpenFiles = 256;

    // Asked between chunks, on the writer thread: true ends the archive.
    using Stopped = std::function<bool()>;

    // Writes into `fd` from its current offset (not taken over; the caller
    // closes it). The descriptor must be a regular file: a multi-chunk
    // entry's sizes are written back into its header.
    ZipWriter(int fd, Stopped stopped);
    ~ZipWriter();
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    // `name` is the stored name (a folder's ends with "/"); `st` what the
    // entry was found to be. False: the archive is not whole (errorString).
    bool addFolder(const QByteArray &name, const struct stat &st);
    bool addLink(const QByteArray &name, const struct stat &st, const QByteArray &target);
    // Takes over `fd`, a regular file of `st.st_size` bytes, and closes it
    // once its data is in. `hostPath` names it in messages. Its data must be
    // exactly that size when it is read: fewer bytes, or more, fail the archive.
    bool addFile(const QByteArray &name, const struct stat &st, int fd, const QByteArray &hostPath);
    // Waits for every entry and writes the central directory.
    bool finish();
    // Fails the archive (the first reason given is kept).
    bool fail(const QString &why);
    bool failed() const { return m_failed.load(); }
    QString errorString() const;
    // The entries written, once finish() is done.
    quint64 entries() const;

private:
    struct Chunk;
    struct Pending;
    struct Central;
    struct Work {
        std::shared_ptr<Pending> entry;
        size_t chunk;
    };

    bool queue(const std::shared_ptr<Pending> &entry);
    void workerLoop();
    void writerLoop();
    void compress(Pending &entry, Chunk &chunk, void *stream);
    // Buffers of a chunk's size are used again rather than given back to
    // the system and faulted in anew for every chunk.
    QByteArray buffer(qsizetype size);
    void recycle(QByteArray &&b);
    bool writeEntry(const std::shared_ptr<Pending> &entry);
    bool writeCentralDirectory();
    bool put(const char *data, size_t size);
    bool put(const QByteArray &bytes) { return put(bytes.constData(), size_t(bytes.size())); }
    bool patch(quint64 at, const QByteArray &bytes);
    bool flush();
    void stopThreads();

    const int m_fd;
    Stopped m_stopped;
    quint64 m_offset = 0;  // where the next byte goes
    quint64 m_flushed = 0; // where m_buffer starts
    QByteArray m_buffer;
    std::vector<Central> m_central;

    mutable std::mutex m_mutex;
    std::condition_variable m_workReady;            // workers wait for chunks
    std::condition_variable m_writerWake;           // the writer waits for entries and chunks
    std::condition_variable m_room;                 // addFile waits for the window
    std::deque<std::shared_ptr<Pending>> m_entries; // in order, not yet out
    std::deque<Work> m_work;
    qint64 m_inFlight = 0; // bytes of chunks handed out and not yet written
    int m_openFiles = 0;
    bool m_finishing = false;
    bool m_writerDone = false;
    bool m_finished = false; // finish() was called (on the caller's thread only)
    bool m_quit = false;
    std::atomic<bool> m_failed{false};
    QString m_error;
    static constexpr size_t kSpare = 32;
    std::vector<QByteArray> m_spare;
    std::vector<std::thread> m_workers;
    std::thread m_writer;
};
