#pragma once
#include "FileNode.h"
#include "NodeTreeOperator.h"

#include <QStringList>
#include <memory>
#include <vector>

class EumeRootDelegate {
public:
    virtual ~EumeRootDelegate() = default;
    // The root scan has handled every entry and its nodes are all in the array
    // (sent on a background thread).
    virtual void endScan() {}
    // A child listing is done (sent on the thread that asked for it).
    virtual void endEumeNode() {}
};

// The scanner's engine: the shallow root scan of a folder on the global queue
// and the synchronous child listing of one folder node.
//
// The root scan's nodes are made on the worker but put into the caller's array
// on the main thread, in batches, and the handled-entries counter moves with
// them; so the main thread may read the array (and the progress) at any time
// between its own events and always sees a whole state.
class EumeRoot {
public:
    explicit EumeRoot(EumeRootDelegate *delegate = nullptr);
    ~EumeRoot();

    EumeRootDelegate *eumeDelegate() const { return m_eumeDelegate; }
    void setEumeDelegate(EumeRootDelegate *delegate);

    // Lists the top level of `withRootPath` into `arr` (not emptied first) and
    // returns at once. Call on the main thread. A scan started before on this
    // engine is dropped: it adds nothing more and sends no end call.
    void eumeAllRootFileNodeWithRootArr(const FileNodeArrayPtr &arr, const QString &withRootPath);
    // Lists a folder node's children into it, on the caller's thread.
    void getNodeListWithFaterNode(FileNode *node);
    // The size-ordered insert into the scan's array.
    void insertFileInRootArrWithFile(const FileNodePtr &node);
    float getProgress() const;

    FileNodeArrayPtr rootNodeArr() const { return m_rootNodeArr; }
    int allFileCount() const;
    int eumeFileCount() const;
    // A root scan was started and not all of its nodes are in the array yet.
    // (A scan of a missing path or of a file also ends; only the progress
    // never reaches 100 for those.)
    bool isScanning() const;

    // Stop and pause of the root scan under way; a new root scan starts with
    // both clear. A stopped scan ends at its next entry: nothing more goes
    // into the array and no end call is sent. A paused scan holds its worker
    // before the next entry until the pause is cleared or the scan stopped.
    // The engine's size source asks the same flags in its bulk walks.
    bool isStopScan() const;
    void stopScan();
    bool isPauseScan() const;
    void setIsPauseScan(bool pause);
    // The current scan's size source (its delegate: this engine's flags).
    std::shared_ptr<NodeTreeOperator> treeOperator() const { return m_treeOperator; }

    // The size-ordered insert: before the first node whose size is less than
    // or equal to the new one's, else at the end.
    static void insertFileInArr(FileNodeArray &arr, const FileNodePtr &node);
    // The same for several files, in listing order: the result is the one the
    // single insert gives file after file, without its quadratic cost when the
    // array is ordered (as a scan leaves it).
    static void insertFilesInArr(FileNodeArray &arr, std::vector<FileNodePtr> files);

    // Names the root scan (and a drop of files on a card) leaves out; exact,
    // case-sensitive.
    static const QStringList &skipList();
    static bool isSkipName(const QString &name);
    // Dropped paths (the file system's bytes) as checked top-level nodes in
    // the order given: skip-list names left out, folders with size 0, files
    // with their logical size.
    static FileNodeArrayPtr nodesForDroppedPaths(const QList<QByteArray> &paths);
    // A top-level entry's path: "/name" under "/", "root/name" elsewhere.
    static QString rootChildPath(const QString &rootPath, const QString &name);

    EumeRoot(const EumeRoot &) = delete;
    EumeRoot &operator=(const EumeRoot &) = delete;

private:
    struct Control;
    struct Scan;
    void eumeRootListNode(const QString &path);
    void dropScan();

    FileNodeArrayPtr m_rootNodeArr;
    std::shared_ptr<Control> m_control;
    std::shared_ptr<NodeTreeOperator> m_treeOperator;
    std::shared_ptr<Scan> m_scan;
    EumeRootDelegate *m_eumeDelegate = nullptr;
};
