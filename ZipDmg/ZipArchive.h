#pragma once
#include "Platform/FileManager.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

#include <memory>

class ZipWriter;

// Writes a ZIP archive (ZipWriter) of chosen items, each read by descriptor
// as the copy engine reads its sources: the item is reached from its
// top-level item's folder down, every folder opened without following a link
// and checked to be the entry that was listed (device and inode), and
// everything below a folder is opened from that folder's descriptor. A link
// is stored as a link; named pipes, sockets and device nodes are left out
// (never opened) with a log line; what another file system holds is left out
// too. The archive stores each entry under its system path without the
// leading "/", folders with a trailing "/", with the entry's mode, owner and
// times; an item that lies outside the system (a drop from elsewhere) is
// stored under its path from its own folder. Entries are taken in order on
// the calling thread; their data is compressed and written behind it, a
// bounded window of it at a time.
class ZipArchive {
public:
    // One chosen item: how it is reached from its top-level item.
    struct Item {
        QByteArray topLevel;                    // the top-level item's path; its folder is opened by path
        QList<QByteArray> names;                // the top-level item's name down to the item's own name
        QList<Platform::FileAttributes> listed; // device and inode of each, as listed (inode 0: not listed)
    };
    // Asked before each entry (on the calling thread) and between chunks of
    // data (on the archive's writer thread): true ends the archive.
    using Stopped = std::function<bool()>;
    // Told on the calling thread once each entry is taken, with the name it
    // is stored under: the entry was found as listed and opened, nothing
    // after it is opened yet, and its data follows in order.
    using Added = std::function<void(const QByteArray &storedName)>;

    // Writes into `fd` (not taken over; the caller closes it).
    ZipArchive(int fd, Stopped stopped, Added added);
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // Archives the item with everything below it. False: the archive is not
    // whole (errorString says why) or it was stopped.
    bool add(const Item &item);
    // Writes the archive's central directory.
    bool finish();
    QString errorString() const;
    // The entries written, once finish() is done.
    quint64 entries() const;

private:
    // `relative`: the entry's path from its top-level item's folder.
    bool addEntry(const Platform::OpenFolder &folder, const QByteArray &name, const Platform::FileAttributes &a,
                  const QByteArray &relative);
    bool taken(bool ok, const QByteArray &stored);
    bool fail(const QString &why);

    std::unique_ptr<ZipWriter> m_writer;
    Stopped m_stopped;
    Added m_added;
    QByteArray m_hostFolder; // the current item's top-level folder, for log lines
    QByteArray m_prefix;     // what goes before `relative` in a stored name
};
