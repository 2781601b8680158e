#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace Platform {

struct FileAttributes {
    enum class Type { Missing, Regular, Directory, SymbolicLink, Other };
    Type type = Type::Missing;
    qint64 size = 0;         // logical size of a regular file (of the link itself for a link)
    quint32 permissions = 0; // st_mode & 07777
    uint ownerId = 0;
    qint64 modificationTime = 0; // seconds since 1970
    quint64 inode = 0;
    quint64 device = 0;
};

// A folder held open by its descriptor: the start of every walk and copy that
// must not be led elsewhere by a link. Everything below it is reached from it,
// one checked component at a time (never through a symbolic link), so a
// folder swapped for a link after it was opened changes nothing. Names are
// bytes, exactly as the file system holds them.
class OpenFolder {
public:
    OpenFolder() = default;
    ~OpenFolder();
    OpenFolder(OpenFolder &&other) noexcept;
    OpenFolder &operator=(OpenFolder &&other) noexcept;
    OpenFolder(const OpenFolder &) = delete;
    OpenFolder &operator=(const OpenFolder &) = delete;

    // Opens a folder by path: where a walk starts (a volume's mount folder, a
    // home). Its last component must be a real folder, not a link.
    static OpenFolder open(const QByteArray &path);
    // Opens the folder that holds `path` (trailing slashes do not count).
    static OpenFolder openParent(const QByteArray &path);
    // Opens a folder by path with no link in any component after the first
    // `trustedPrefix` bytes of the path (which are opened as they are).
    static OpenFolder openNoLinks(const QByteArray &path, qsizetype trustedPrefix);

    bool isOpen() const { return m_fd >= 0; }
    QByteArray path() const { return m_path; }
    // errno of the failed open (ELOOP or ENOTDIR: a link or not a folder).
    int error() const { return m_error; }
    int descriptor() const { return m_fd; }
    quint64 device() const { return m_device; }
    quint64 inode() const { return m_inode; }

    // The entry `name` itself (links not followed).
    FileAttributes attributes(const QByteArray &name) const;
    // A sub-folder, never through a link; with `expected`, only when what
    // opened is the entry that was listed (same device and inode).
    OpenFolder child(const QByteArray &name, const FileAttributes *expected = nullptr) const;
    // Makes the sub-folder `name` (or takes the real folder standing there)
    // and opens it; a link under the name is never followed.
    OpenFolder makeChild(const QByteArray &name, int mode = 0755, bool *made = nullptr) const;
    // Names of the entries in the order the file system gives them.
    QList<QByteArray> names(bool *ok = nullptr) const;
    // Removes the entry `name` and, for a folder, everything inside it,
    // wherever this folder has gone meanwhile.
    bool removeItem(const QByteArray &name) const;
    // Gives the folder the owner, mode, extended attributes and times of
    // `source` (a folder of the source tree).
    bool copyAttributesFrom(const OpenFolder &source) const;

private:
    int m_fd = -1;
    int m_error = 0;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    QByteArray m_path;
};

// Copies many items with one pool of workers for the whole job. Each add()
// reads its item and makes its folders on the calling thread, as copyItemAt
// does, and queues its files; the workers copy the files of every queued item
// at once, one worker per file, and each item gets its final name as soon as
// its last file is in. A job copies into one volume (its capacity is counted
// once for all items). `stopped(ticket)` is asked before each file: when it
// answers true the item's copy stops and nothing of it is left.
class CopyJob {
public:
    using Ticket = quint64;
    explicit CopyJob(std::function<bool(Ticket)> stopped = {});
    // Stops what has not started and waits for the workers.
    ~CopyJob();
    CopyJob(const CopyJob &) = delete;
    CopyJob &operator=(const CopyJob &) = delete;

    // As FileManager::copyItemAt; returns at once once the item is queued.
    Ticket add(const OpenFolder &from, const QByteArray &fromName, const OpenFolder &to, const QByteArray &toName,
               const FileAttributes *expected = nullptr);
    // Sockets (the item itself, or anything inside it) are not made anew in
    // the destination but left out, each with a log line: for a destination
    // that cannot keep them. Set before the first add().
    void leaveOutSockets() { m_leaveOutSockets = true; }
    bool isDone(Ticket ticket) const;
    // Waits until the item has its final name (true) or has failed and left
    // nothing (false, with the reason). Each ticket is waited for once.
    bool wait(Ticket ticket, QString *error = nullptr);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    bool m_leaveOutSockets = false;
};

// The file manager the system uses (NSFileManager's place). Paths are real
// paths on this machine: callers resolve the original platform's paths with
// Platform::rootPath first.
class FileManager {
public:
    static FileManager &defaultManager();

    // fileExistsAtPath:isDirectory: — follows symbolic links.
    bool fileExists(const QString &path, bool *isDirectory = nullptr) const;
    bool nativeFileExists(const QByteArray &path, bool *isDirectory = nullptr) const;
    // Attributes of the entry itself (links not followed).
    FileAttributes attributes(const QString &path) const;
    FileAttributes nativeAttributes(const QByteArray &path) const;
    // Names of a folder's entries in the order the file system gives them,
    // without "." and "..". Empty (and ok=false) when the folder cannot be read.
    QStringList contentsOfDirectory(const QString &path, bool *ok = nullptr) const;
    // The same names as bytes, exactly as the file system holds them.
    QList<QByteArray> contentsOfDirectoryBytes(const QByteArray &path, bool *ok = nullptr) const;
    // A name survives the trip through QString (and so through a tool's
    // argument list or a text field) unchanged.
    static bool isLosslessName(const QByteArray &name);
    // A name that stays one entry of the folder it is made in: not empty,
    // not "." or "..", no '/' and no NUL.
    static bool isEntryName(const QByteArray &name);
    // The path with every link resolved (realpath); empty when it cannot be.
    static QByteArray canonicalPath(const QByteArray &path);
    bool createDirectory(const QString &path, bool withIntermediates, QString *error = nullptr) const;
    bool removeItem(const QString &path, QString *error = nullptr) const;
    bool moveItem(const QString &from, const QString &to, QString *error = nullptr) const;
    bool isWritable(const QString &path) const;

    // copyItemAtPath:toPath: — copies a file, a link (as a link) or a folder
    // with everything inside, keeping permissions, times and (for root) owners,
    // and extended attributes where both file systems allow. Pipes, sockets and
    // device nodes inside a folder are made anew where the destination allows,
    // else left out. Never overwrites: when `to` exists the copy fails and
    // nothing changes. The copy is made under a temporary name in the
    // destination folder and renamed at the end, so a failed copy leaves
    // nothing under `to`; the destination folder itself is never made.
    //
    // A folder is read in full first (so a destination inside the source is
    // never copied into itself), then its files are copied by several workers
    // at once, one worker per file (writes to one file take turns on most
    // file systems, so splitting one file among workers only costs).
    //
    // Everything below the item is opened from the item's own descriptor, never
    // through a symbolic link, and must be the entry that was read (same kind,
    // device and inode); the copy stays on the item's file system (what is
    // mounted inside it is left out and logged). Owner, mode, extended
    // attributes (capabilities and ACLs included) and times are set in that
    // order, after the data. A file whose data cannot be read to its listed
    // size fails the copy.
    bool copyItem(const QString &from, const QString &to, QString *error = nullptr) const;
    bool copyNativeItem(const QByteArray &from, const QByteArray &to, QString *error = nullptr) const;
    // The entry `fromName` of the folder `from` copied as `toName` into the
    // folder `to`. With `expected`, the entry must still be the one listed.
    bool copyItemAt(const OpenFolder &from, const QByteArray &fromName, const OpenFolder &to, const QByteArray &toName,
                    QString *error = nullptr, const FileAttributes *expected = nullptr) const;

    // The disk world tells the file manager how much a destination may still
    // take (nullopt: not a simulated volume, no limit beyond the real disk).
    // It is asked before a copy and again while the copy writes: every chunk
    // of data is checked against the volume's live use, and a chunk that does
    // not fit fails the copy with "no space", as a full disk would.
    using SpaceProvider = std::function<std::optional<qint64>(const QString &destination)>;
    static void setSpaceProvider(SpaceProvider provider);

    // How many files a copy works on at once (at least 1); each file is
    // copied whole by one worker.
    static void setCopyParallelism(int n);
    static int copyParallelism();

    // Tests: the copy of every source file for which the hook answers true
    // fails as on a read error (the hook runs on the copying workers).
    using CopyFaultHook = std::function<bool(const QString &sourceFile)>;
    static void setCopyFaultHook(CopyFaultHook hook);
    // Tests: for every source file for which the hook answers true, the
    // kernel's range copy ends early (answers 0 after its first chunk), as it
    // may on some file systems.
    static void setShortRangeCopyHook(CopyFaultHook hook);
};

} // namespace Platform
