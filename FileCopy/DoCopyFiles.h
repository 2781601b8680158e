#pragma once
#include "CopyKeepOut.h"
#include "DoCopyFilesDelegate.h"
#include "FileNode.h"

#include "FileManager.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <atomic>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

// Copies the ticked part of a selection tree into one destination folder on
// the global queue, item by item through the platform's file manager, and
// reports through DoCopyFilesDelegate: every report is delivered on the main
// thread while the worker waits, and none is delivered once the job has been
// stopped (isCancel), so no 100 ever follows a stop.
//
// What is copied where: a checked node (state 1) is copied whole, with
// everything below it on disk, into the folder of its parent level, under its
// own name or, when that is taken, the first free "name N.ext" / "name N"
// (counting from 1 for every item). A partly checked node (state 2) gets a
// folder of its name at every depth and its children are read by the same
// rule, so the destination mirrors the source's relative paths
// (A/B/D/e.txt lands in A/B/D/e.txt). Unchecked nodes are skipped. Progress
// moves per top-level node: 5 before the first, then floor(100 * (i + 1) / n),
// at least 5.
//
// Everything is done by descriptor: the destination folder is held open for
// the whole job, folders are made inside it one component at a time (never
// through a link), and the source is reached from each top-level item's
// folder down, every folder opened without following a link and checked to be
// the entry that was listed; one that is not (swapped for a link, say) is a
// failed item. Mirrored folders take their source folder's owner, mode and
// times once their content is in. Names are the file system's bytes.
//
// The walk and the copies run ahead of the reports. A job that ends early
// (stopped, or its destination gone) leaves what its reports told: an item
// copied ahead of its report is taken back, and every mirrored folder the job
// made takes its source's attributes, or goes when nothing is left in it.
//
// The destination folder itself is the owner's to make. When it has gone
// (the target volume was ejected) or is no longer the folder the job opened,
// the next item sends copyFileError and the job ends without copying anything
// more. An item that cannot be copied (no space, no permission, its source
// gone or changed) is logged and the job goes on; such a job then ends with
// copyFileError instead of 100.
//
// What is never copied is CopyKeepOut's rule: a chosen item that is or holds
// the destination or the target volume is left out, logged, and counts as a
// failed item (the job ends with copyFileError); what lies in the startup
// volume's Volumes/ folder is left out by design. A job in which items were
// chosen but none was copied ends with copyFileError too.
//
// The job reads the tree once, when it starts (on the main thread, where the
// tree changes): later changes to the nodes do not reach a running job. One
// engine serves one job. An engine made by create() stays alive until its
// worker ends, so its owner may release it at any time; the owner sets the
// delegate to null before it goes itself.
class DoCopyFiles : public std::enable_shared_from_this<DoCopyFiles> {
public:
    explicit DoCopyFiles(DoCopyFilesDelegate *delegate = nullptr);
    static std::shared_ptr<DoCopyFiles> create(DoCopyFilesDelegate *delegate = nullptr);

    DoCopyFilesDelegate *delegate() const { return m_delegate.load(); }
    void setDelegate(DoCopyFilesDelegate *delegate) { m_delegate.store(delegate); }
    // The stop flag: cleared when a job starts, set by the owner to stop; the
    // worker looks at it between items (a running item copy finishes first).
    bool isCancel() const { return m_isCancel.load(); }
    void setIsCancel(bool cancel) { m_isCancel.store(cancel); }
    // The unique-name rule's counter: 0 before each item, one up per taken name.
    qint32 iBegin() const { return m_iBegin; }
    void setIBegin(qint32 value) { m_iBegin = value; }

    // Starts a job and returns at once. `withCopyPath` must exist; it is never
    // made here. `withTargetMountPath`: the target volume's mount path (empty:
    // only the destination folder is kept out of the copy). A second start
    // while a job runs is ignored.
    void doCopyFilesWithArr(const FileNodeArray &arr, const QString &withCopyPath,
                            const QString &withTargetMountPath = QString());
    void doCopyFilesWithArr(const FileNodeArrayPtr &arr, const QString &withCopyPath,
                            const QString &withTargetMountPath = QString());
    // The same with the destination folder already opened by its maker, so
    // that nothing between the making and the job can lead it elsewhere.
    void doCopyFilesWithArr(const FileNodeArrayPtr &arr, std::shared_ptr<Platform::OpenFolder> copyFolder,
                            const QString &withCopyPath, const QString &withTargetMountPath);

    // The job's worker has not ended yet.
    bool isRunning() const { return m_running.load(); }
    // Items of the current (or last) job that could not be copied.
    int failedItemCount() const { return m_failedItems.load(); }

    // A level of the walk: the source folder that holds the nodes and the
    // destination folder they go into, both open.
    struct Folders {
        const Platform::OpenFolder *source;
        const Platform::OpenFolder *target;
    };
    // The walk's steps, which run on the job's worker. The two folder steps
    // take turns by depth: children of a partly checked node at an even depth
    // go to doCopyFilesWithChiNode, at an odd depth to doCopyFilesWithChiArr.
    void doCopyFilesWithChiNode(const FileNodeList &nodes, const Folders &withCopyPath);
    void doCopyFilesWithChiArr(const FileNodeList &nodes, const Folders &withCopyPath);
    // Copies one checked node into a folder.
    void toCopyFileWithNode(const FileNode *node, const Folders &withCopyPath);
    // The name an item with the own name `withFileNormalName` takes in the
    // folder `path`: `withFileName` when that is free (or the folder cannot be
    // read), else "base N.ext" ("base N" without an extension or with an
    // extension of a single blank), N counting on from iBegin.
    QString createFileWithPath(const QString &path, const QString &withFileNormalName, const QString &withFileName);
    // The same rule on the file system's bytes, in an open folder.
    QByteArray createFileWithPath(const Platform::OpenFolder &folder, const QByteArray &withFileNormalName,
                                  const QByteArray &withFileName);

    // The unique-name rule over a set of taken names.
    QByteArray uniqueName(const QSet<QByteArray> &taken, const QByteArray &withFileNormalName,
                          const QByteArray &withFileName);

    DoCopyFiles(const DoCopyFiles &) = delete;
    DoCopyFiles &operator=(const DoCopyFiles &) = delete;

private:
    // What the walk of one top-level node queued, for the reports that follow
    // in order: its checked items (their copies run in the job's pool
    // meanwhile), the mirrored folders met on the way, and where the
    // destination was found gone.
    struct Step {
        enum class Kind { Item, Folder, Gone };
        Kind kind = Kind::Item;
        QString path;                         // Item: the source path reported
        Platform::CopyJob::Ticket ticket = 0; // Item: its copy (0: not queued, see error)
        QString error;
        // Item: the folder it is copied into and the name it is given there.
        const Platform::OpenFolder *into = nullptr;
        QByteArray given;
    };
    // A mirrored folder the job made: it, its source folder, and where it was made.
    struct MadeFolder {
        std::shared_ptr<Platform::OpenFolder> target;
        std::shared_ptr<Platform::OpenFolder> source;
        const Platform::OpenFolder *parent = nullptr;
        QByteArray name;
    };
    struct TopLevel {
        QList<Step> steps;
        qsizetype reported = 0; // steps the reports have handled
        std::shared_ptr<Platform::OpenFolder> source;
        // Mirrored folders made, in the order they were made.
        std::vector<MadeFolder> made;
        // Every destination folder the walk opened: the steps point into them.
        std::vector<std::shared_ptr<Platform::OpenFolder>> opened;
        int queued = 0;
    };
    TopLevel walkTopLevel(const FileNode *node);
    // Sends the reports of a walked top-level node as its copies end; false
    // when the job is to end (stopped, or the destination has gone).
    bool reportTopLevel(TopLevel &top);
    // After a job that ended early: what was copied ahead of the reports is
    // taken back, and each mirrored folder the job made is given its
    // source's attributes, or removed when nothing is left in it.
    void settleUnreported(std::deque<TopLevel> &tops);

    void start(const FileNodeList &snapshot, std::shared_ptr<Platform::OpenFolder> copyFolder, const QString &copyPath,
               const QString &targetMountPath);
    void runJob();
    void walkChildren(const FileNodeList &nodes, const Folders &folders,
                      void (DoCopyFiles::*next)(const FileNodeList &, const Folders &));
    // Copies what a partly checked node holds into a folder of its name.
    void walkFolderNode(const FileNode *node, const Folders &folders,
                        void (DoCopyFiles::*next)(const FileNodeList &, const Folders &));
    bool keptOut(const FileNode *node, bool whole);
    // The destination folder is still where the job found it.
    bool destinationHolds();
    void failItem(const QString &why);
    void destinationGone();

    void reportPath(const QString &path);
    void reportProgress(float progress);
    void reportError();

    std::atomic<DoCopyFilesDelegate *> m_delegate{nullptr};
    std::atomic<bool> m_isCancel{false};
    std::atomic<bool> m_running{false};
    std::atomic<int> m_failedItems{0};
    qint32 m_iBegin = 0;

    // The job's input and what it keeps out, fixed while the worker runs.
    FileNodeList m_arr;
    QString m_copyPath;
    std::shared_ptr<Platform::OpenFolder> m_copyFolder;
    std::unique_ptr<CopyKeepOut> m_keepOut;
    int m_takenItems = 0;  // checked items met
    int m_copiedItems = 0; // of those, copied

    // The running job's copies, the top-level node being walked, and the last
    // item whose path was reported: it is finished even when a stop comes.
    Platform::CopyJob *m_job = nullptr;
    TopLevel *m_walking = nullptr;
    bool m_walkEnded = false;
    std::atomic<Platform::CopyJob::Ticket> m_keepThrough{0};
    // Per destination folder: what it held when the job first met it, and
    // the names the job has given there since.
    QHash<QPair<quint64, quint64>, QSet<QByteArray>> m_taken;
};
