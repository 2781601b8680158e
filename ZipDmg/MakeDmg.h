#pragma once
#include "FileNode.h"
#include "Platform/FileManager.h"
#include "MakeDmgDelegate.h"
#include "ToolCommand.h"
#include "ZipArchive.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace Platform {
class WorkFolder;
} // namespace Platform

// Backs up a selection in one of two ways:
//
// - a read/write disk image: `hdiutil create` makes it empty (from a fresh,
//   empty staging folder), `hdiutil mount` attaches it, the selected items
//   are copied into its root folder and the image is ejected, which is what
//   makes its file whole; the job reports 100 only after that eject;
// - a ZIP archive, written here (ZipArchive) from what the job opens by
//   descriptor, under the names the system gives the items; every entry
//   archived moves the progress against the number of entries expected, and
//   an item that cannot be read whole fails the job.
//
// Either result is made in a private work folder beside its final name and
// takes that name only when the job has ended well; a stopped or failed job
// leaves neither an image nor an archive behind.
//
// The image's mount point and device are the ones the mount reports, never
// assumed from the volume name, so a volume of the same name that is mounted
// already is left alone. One engine serves one job at a time and is reused
// for the next; each job has a stop flag of its own, so a worker of a stopped
// job never reports into the job that follows it.
class MakeDmg : public QObject {
    Q_OBJECT
public:
    // The image and its volume, as the mount gave them.
    struct MountedImage {
        QString device;     // the volume's device node ("/dev/disk5s1")
        QString mountPoint; // a path of this machine
        QString volumeUUID;
        QString wholeDisk; // the image's whole disk ("/dev/disk5")
        QString imagePath; // the file the world attached it from, as it said
    };
    // Why a taken item stays out of an image or an archive.
    enum class KeptOut {
        No,
        HoldsResult, // it is or holds where the result goes: the job fails
        OtherVolume, // another volume seen through the startup volume, or the disk world's own folder: left out
    };
    // One item of an image's copy: its path and the top-level item it came from.
    struct CopyItem {
        QString path;         // as shown
        QByteArray pathBytes; // exactly as the file system has it
        QByteArray topLevel;
        // How it is reached from its top-level item's folder: the names from
        // the top-level item's own down to the item's, each with the device
        // and inode it was listed with (inode 0: not listed).
        QList<QByteArray> names;
        QList<Platform::FileAttributes> listed;
    };
    // What an archive job takes from a checked tree (getAllFileCount).
    struct ZipSelection {
        QStringList paths;           // in walking order
        QList<QByteArray> pathBytes; // the same paths exactly as the file system has them
        QStringList folders;         // the taken paths that are folders, counted on a worker
        QList<QByteArray> folderBytes;
        quint64 files = 0; // the taken paths that are files
        // The taken paths as the archive reaches them, in walking order.
        QList<ZipArchive::Item> items;
        QStringList refused; // taken paths that hold the archive's folder
    };

    explicit MakeDmg(MakeDmgDelegate *delegate = nullptr, QObject *parent = nullptr);
    ~MakeDmg() override;

    bool isCancelCopy() const;
    void setIsCancelCopy(bool cancel);
    MakeDmgDelegate *makeDmgDelegate() const { return m_delegate->load(); }
    void setMakeDmgDelegate(MakeDmgDelegate *delegate) { m_delegate->store(delegate); }

    // A disk image job: the image "<path>/<withName>.dmg", sized withSize
    // bytes plus a fixed margin, in the folder `path` (a path of the original
    // platform or of this machine; for the startup volume the engine's own
    // world-writable folder at its root). Any thread; returns at once.
    void makeTmpDmgWithPath(const QString &path, const QString &withName, qint64 withSize);
    // Attaches the image and sends beginToCopyDmg once its volume is mounted
    // (on a worker; the report comes on the main thread).
    void mountDmgWithDmgPath(const QString &dmgPath);
    // Copies the items into the mounted image's root folder, then ejects it.
    void doCopyFilesToDmgWithDmg(const QStringList &paths);
    // The same for the checked part of a tree (main thread), read by the one
    // rule for checked trees.
    void doCopyFilesToDmgWithDmg(const FileNodeArray &nodes);
    // An archive job over the checked part of a tree. Main thread: the tree
    // is read here; the archiver's reports come on the main thread.
    void doZipWithPath(const QString &path, const FileNodeArray &withZipArr);
    // Ends the running tool and ejects what this job mounted. Call it after
    // setIsCancelCopy(true). Main thread.
    void stopMakeDmg();

    // The archive job's state (main thread).
    QStringList allSelectFileArr() const { return m_allSelectFileArr; }
    quint64 allSelectFileCout() const { return m_allSelectFileCout; }
    quint64 proValue() const { return m_proValue; }

    // Tests: called on the archive's worker after each entry is in, with
    // the name it is stored under (to change the source at that moment).
    using ZipEntryHook = std::function<void(const QByteArray &storedName)>;
    static void setZipEntryHook(ZipEntryHook hook);

    // Fixed names and rules.
    static QString stagingFolderPrefix();
    static QString imageVolumeName();
    static QString rootImageFolder();
    static QString statusText();
    // The size given to `hdiutil create`: the selection plus the margin.
    static quint64 imageSize(qint64 selectionSize);
    // The percentage after item j (from 0) of n copied into the image.
    static int copyProgress(qint64 j, qint64 n);
    // What stays out of an image or archive: the copy engine's rule
    // (CopyKeepOut) with `resultPlaces` as its destination (the image's mount
    // point, or the archive's folder) and target (the folder receiving the
    // image): an item that is or holds one of them, an item in the startup
    // volume's folder of mounted volumes or holding it (unless its top-level
    // item lies inside that folder), and the disk world's own folder.
    static KeptOut keepOut(const QByteArray &item, const QByteArray &topLevel, const QList<QByteArray> &resultPlaces);

    // Internal steps, public for tests.
    // A diskutil command through the eject runner, read as a dictionary.
    static std::optional<QVariantMap> getDisjInfo(const ToolCommand &command);
    // Ejects the image by its volume's UUID; true when it is gone.
    static bool unmountDmgWithFullPath(const MountedImage &image);
    static ZipSelection getAllFileCount(const FileNodeList &nodes, const QList<QByteArray> &resultPlaces = {});
    // Every file and folder below `path`, at any depth (links not followed).
    static quint64 getAllFileCountWithPath(const QString &path);
    static quint64 getAllFileCountWithPath(const QByteArray &path);
    // Every entry below `folder` (not the folder itself) on the folder's own
    // file system, parents before their contents; links are entries, never
    // followed. What another file system holds (a mount point and all below
    // it) goes to `leftOut` instead.
    static void entriesOnOneFileSystem(const QByteArray &folder, QList<QByteArray> *entries,
                                       QList<QByteArray> *leftOut = nullptr);

    MakeDmg(const MakeDmg &) = delete;
    MakeDmg &operator=(const MakeDmg &) = delete;

    // One job's stop flag and image, shared with its workers (MakeDmg.cpp).
    struct Job;

private:
    struct ZipProgress;
    std::shared_ptr<Job> currentJob() const;
    std::shared_ptr<Job> startJob();
    // The archive's worker reports entries archived (batched) and its end.
    void dataReady(const std::shared_ptr<Job> &job, const std::shared_ptr<ZipProgress> &progress);
    void reportZipProgress(const QString &text);
    // `why` empty: the archive is whole under its name.
    void zipTaskTerminated(const std::shared_ptr<Job> &job, const QString &why);

    std::shared_ptr<std::atomic<MakeDmgDelegate *>> m_delegate;
    mutable std::mutex m_jobMutex;
    std::shared_ptr<Job> m_job;

    // The archive job; main thread only.
    std::shared_ptr<Job> m_zipJob;
    QString m_zipPath;
    QStringList m_allSelectFileArr;
    quint64 m_allSelectFileCout = 0;
    quint64 m_proValue = 0;
};
