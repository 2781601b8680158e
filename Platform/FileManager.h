#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace Platform
{

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

// The file manager the system uses (NSFileManager's place). Paths are real
// paths on this machine: callers resolve the original platform's paths with
// Platform::rootPath first.
class FileManager
{
public:
    static FileManager &defaultManager();

    // fileExistsAtPath:isDirectory: — follows symbolic links.
    bool fileExists(const QString &path, bool *isDirectory = nullptr) const;
    // Attributes of the entry itself (links not followed).
    FileAttributes attributes(const QString &path) const;
    // Names of a folder's entries in the order the file system gives them,
    // without "." and "..". Empty (and ok=false) when the folder cannot be read.
    QStringList contentsOfDirectory(const QString &path, bool *ok = nullptr) const;
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
    // at once, large files in pieces; the caller's thread is one of them.
    bool copyItem(const QString &from, const QString &to, QString *error = nullptr) const;

    // The disk world tells the file manager how much a destination may still
    // take (nullopt: not a simulated volume, no limit beyond the real disk).
    using SpaceProvider = std::function<std::optional<qint64>(const QString &destination)>;
    static void setSpaceProvider(SpaceProvider provider);

    // How many files one folder copy works on at once (at least 1).
    static void setCopyParallelism(int n);
    static int copyParallelism();
    // Files larger than twice this many bytes are copied in pieces of this size.
    static void setCopyPieceSize(qint64 bytes);

    // Tests: the copy of every source file for which the hook answers true
    // fails as on a read error (the hook runs on the copying workers).
    using CopyFaultHook = std::function<bool(const QString &sourceFile)>;
    static void setCopyFaultHook(CopyFaultHook hook);
};

} // namespace Platform
