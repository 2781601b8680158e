#include "EumeRoot.h"
#include "SystemRoot.h"

#include "NodeTreeOperator.h"

#include <QFile>

#include "Dispatch.h"
#include "FileManager.h"

#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <iterator>
#include <mutex>

// The stop and pause flags of one root scan, shared by the engine, its worker
// and its size source, whose bulk walks ask them between entries.
struct EumeRoot::Control : NodeTreeOperatorDelegate {
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool isStopScan = false;
    bool isPauseScan = false;

    bool stopped() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return isStopScan;
    }
    bool paused() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return isPauseScan;
    }
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            isStopScan = true;
        }
        changed.notify_all();
    }
    void setPause(bool pause)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            isPauseScan = pause;
        }
        changed.notify_all();
    }
    // Waits while paused; false once stopped.
    bool canGoOnScan() override
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return isStopScan || !isPauseScan; });
        return !isStopScan;
    }
};

// What one root scan shares between its worker, the main thread and the engine.
// It outlives the engine while the worker still runs.
struct EumeRoot::Scan : std::enable_shared_from_this<EumeRoot::Scan> {
    FileNodeArrayPtr arr;
    std::shared_ptr<NodeTreeOperator> treeOperator;
    std::shared_ptr<EumeRoot::Control> control;
    std::atomic<int> allFileCount{0};
    std::atomic<int> eumeFileCount{0}; // moves on the main thread, with the nodes
    std::atomic<bool> finished{false};
    std::mutex delegateMutex; // held while the end call runs, so a dropping engine never leaves it dangling
    EumeRootDelegate *delegate = nullptr;

    // Nodes the worker has made that are not in the array yet. The worker
    // adds to them; one queued block on the main thread takes in everything
    // gathered by then, so a busy main thread gets fewer, larger merges
    // instead of a backlog.
    std::mutex pendingMutex;
    std::vector<FileNodePtr> pendingFiles;
    std::vector<FileNodePtr> pendingFolders;
    int pendingHandled = 0;
    bool pendingLast = false;
    bool pendingEndCall = false;
    bool posted = false;

    // Worker side.
    void handOver(std::vector<FileNodePtr> &files, std::vector<FileNodePtr> &folders, int handled, bool last,
                  bool endCall);
    // Main-thread side.
    void takeIn();
};

namespace {

// Hand nodes to the main thread at least this often, so a slow disk still
// shows its first entries, and in batches big enough that the merge into a
// large array stays cheap.
constexpr int kBatchEntries = 512;
constexpr qint64 kBatchMs = 100;

QString lastPathComponent(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    if (p == QLatin1String("/"))
        return p;
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

bool isOrderedBySize(const FileNodeArray &arr)
{
    for (qsizetype i = 1; i < arr.size(); ++i) {
        if (arr[i - 1]->size < arr[i]->size)
            return false;
    }
    return true;
}

} // namespace

void EumeRoot::Scan::handOver(std::vector<FileNodePtr> &files, std::vector<FileNodePtr> &folders, int handled,
                              bool last, bool endCall)
{
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        std::move(files.begin(), files.end(), std::back_inserter(pendingFiles));
        std::move(folders.begin(), folders.end(), std::back_inserter(pendingFolders));
        pendingHandled += handled;
        pendingLast = pendingLast || last;
        pendingEndCall = pendingEndCall || endCall;
        post = !posted;
        posted = true;
    }
    files.clear();
    folders.clear();
    if (post)
        Platform::Dispatch::mainAsync([self = shared_from_this()] { self->takeIn(); });
}

void EumeRoot::Scan::takeIn()
{
    std::vector<FileNodePtr> files;
    std::vector<FileNodePtr> folders;
    int handled = 0;
    bool last = false;
    bool endCall = false;
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        files.swap(pendingFiles);
        folders.swap(pendingFolders);
        handled = std::exchange(pendingHandled, 0);
        last = pendingLast;
        endCall = pendingEndCall;
        posted = false;
    }
    if (control->stopped())
        return;
    insertFilesInArr(*arr, std::move(files));
    for (FileNodePtr &folder : folders)
        arr->append(std::move(folder));
    eumeFileCount += handled;
    if (!last)
        return;
    finished = true;
    if (endCall) {
        Platform::Dispatch::globalAsync([self = shared_from_this()] {
            std::lock_guard<std::mutex> lock(self->delegateMutex);
            if (self->delegate)
                self->delegate->endScan();
        });
    }
}

EumeRoot::EumeRoot(EumeRootDelegate *delegate)
    : m_control(std::make_shared<Control>()), m_treeOperator(std::make_shared<NodeTreeOperator>()),
      m_eumeDelegate(delegate)
{
    m_treeOperator->setOpDelegate(m_control.get(), m_control);
}

EumeRoot::~EumeRoot()
{
    dropScan();
    m_control->stop();
}

void EumeRoot::setEumeDelegate(EumeRootDelegate *delegate)
{
    m_eumeDelegate = delegate;
    if (m_scan) {
        std::lock_guard<std::mutex> lock(m_scan->delegateMutex);
        m_scan->delegate = delegate;
    }
}

void EumeRoot::dropScan()
{
    if (!m_scan)
        return;
    m_scan->control->stop();
    {
        std::lock_guard<std::mutex> lock(m_scan->delegateMutex);
        m_scan->delegate = nullptr;
    }
    m_scan.reset();
}

void EumeRoot::eumeAllRootFileNodeWithRootArr(const FileNodeArrayPtr &arr, const QString &withRootPath)
{
    dropScan();
    m_rootNodeArr = arr ? arr : std::make_shared<FileNodeArray>();
    // A new size source whose delegate is this engine's flags, both clear.
    m_control->stop(); // whatever still walks with the old ones ends
    m_control = std::make_shared<Control>();
    m_treeOperator = std::make_shared<NodeTreeOperator>();
    m_treeOperator->setOpDelegate(m_control.get(), m_control);
    auto scan = std::make_shared<Scan>();
    scan->arr = m_rootNodeArr;
    scan->treeOperator = m_treeOperator;
    scan->control = m_control;
    scan->delegate = m_eumeDelegate;
    m_scan = scan;
    eumeRootListNode(withRootPath);
}

void EumeRoot::eumeRootListNode(const QString &path)
{
    std::shared_ptr<Scan> scan = m_scan;
    Platform::Dispatch::globalAsync([scan, path] {
        auto &fm = Platform::FileManager::defaultManager();

        bool isDirectory = false;
        if (!fm.fileExists(path, &isDirectory)) {
            std::vector<FileNodePtr> none;
            scan->handOver(none, none, 0, true, false);
            return;
        }
        if (!isDirectory) {
            FileNodePtr node = FileNode::initWithPath(path, lastPathComponent(path), false, nullptr);
            node->recordListing();
            node->size = scan->treeOperator->getOneFileSizeWithPath(path);
            std::vector<FileNodePtr> files{node};
            std::vector<FileNodePtr> none;
            scan->handOver(files, none, 0, true, false);
            return;
        }

        // Names are bytes: a node keeps them exactly (nativePath) beside its display path.
        const QByteArray native = QFile::encodeName(path);
        QList<QByteArray> names = fm.contentsOfDirectoryBytes(native);
        names.removeIf([&path](const QByteArray &name) {
            const QString shown = QFile::decodeName(name);
            return isSkipName(shown) || Platform::isPlatformPrivatePath(rootChildPath(path, shown));
        });
        scan->allFileCount = int(names.size());

        std::vector<FileNodePtr> files;
        std::vector<FileNodePtr> folders;
        QElapsedTimer sinceDelivery;
        sinceDelivery.start();
        for (const QByteArray &name : std::as_const(names)) {
            if (!scan->control->canGoOnScan())
                return; // stopped: nobody will see the rest
            const QByteArray full = native == "/" ? "/" + name : native + '/' + name;
            bool entryIsDirectory = false;
            fm.nativeFileExists(full, &entryIsDirectory); // a vanished entry counts as a file
            FileNodePtr node = FileNode::initWithNativePath(full, entryIsDirectory, nullptr);
            node->path = rootChildPath(path, QFile::decodeName(name));
            node->recordListing();
            if (entryIsDirectory) {
                folders.push_back(std::move(node));
            } else {
                node->size = scan->treeOperator->getOneFileSizeWithPath(full);
                files.push_back(std::move(node));
            }
            const int handled = int(files.size() + folders.size());
            if (handled >= kBatchEntries || sinceDelivery.elapsed() >= kBatchMs) {
                scan->handOver(files, folders, handled, false, false);
                sinceDelivery.restart();
            }
        }
        const int handled = int(files.size() + folders.size());
        scan->handOver(files, folders, handled, true, true);
    });
}

void EumeRoot::getNodeListWithFaterNode(FileNode *node)
{
    if (!node)
        return;
    auto &fm = Platform::FileManager::defaultManager();
    const QByteArray native = node->pathBytes();
    bool isDirectory = false;
    if (!fm.nativeFileExists(native, &isDirectory))
        return;

    auto addChild = [&](const QByteArray &full, bool childIsDirectory) {
        FileNodePtr child = FileNode::initWithNativePath(full, childIsDirectory, node);
        child->recordListing();
        if (!childIsDirectory)
            child->size = m_treeOperator->getOneFileSizeWithPath(full);
        // A child takes a plain mark of its father; under a partly checked one it stays checked.
        if (node->state == FileNode::Unchecked || node->state == FileNode::Checked)
            child->state = node->state;
        node->children.append(std::move(child));
    };

    if (isDirectory) {
        const QList<QByteArray> names = fm.contentsOfDirectoryBytes(native);
        for (const QByteArray &name : names) {
            const QByteArray full = native + '/' + name;
            bool childIsDirectory = false;
            fm.nativeFileExists(full, &childIsDirectory);
            addChild(full, childIsDirectory);
        }
    } else {
        // It was a folder when listed and is a file now.
        addChild(native, false);
    }
    if (m_eumeDelegate)
        m_eumeDelegate->endEumeNode();
}

void EumeRoot::insertFileInRootArrWithFile(const FileNodePtr &node)
{
    if (!m_rootNodeArr)
        m_rootNodeArr = std::make_shared<FileNodeArray>();
    insertFileInArr(*m_rootNodeArr, node);
}

void EumeRoot::insertFileInArr(FileNodeArray &arr, const FileNodePtr &node)
{
    if (!node)
        return;
    auto it = std::find_if(arr.begin(), arr.end(), [&](const FileNodePtr &n) { return n->size <= node->size; });
    arr.insert(it, node);
}

void EumeRoot::insertFilesInArr(FileNodeArray &arr, std::vector<FileNodePtr> files)
{
    std::erase(files, nullptr);
    if (files.empty())
        return;
    if (files.size() == 1 || !isOrderedBySize(arr)) {
        for (const FileNodePtr &file : files)
            insertFileInArr(arr, file);
        return;
    }
    // Inserted one by one, a file goes before every node of its size or
    // smaller, so among equal sizes the later-listed file comes first.
    std::reverse(files.begin(), files.end());
    std::stable_sort(files.begin(), files.end(),
                     [](const FileNodePtr &a, const FileNodePtr &b) { return a->size > b->size; });
    FileNodeArray merged;
    merged.reserve(arr.size() + qsizetype(files.size()));
    qsizetype i = 0;
    size_t j = 0;
    while (i < arr.size() && j < files.size()) {
        if (files[j]->size >= arr[i]->size)
            merged.append(std::move(files[j++]));
        else
            merged.append(std::move(arr[i++]));
    }
    for (; i < arr.size(); ++i)
        merged.append(std::move(arr[i]));
    for (; j < files.size(); ++j)
        merged.append(std::move(files[j]));
    arr = std::move(merged);
}

float EumeRoot::getProgress() const
{
    const int all = allFileCount();
    if (all <= 0)
        return 0.0f;
    return float(double(eumeFileCount()) * 100.0 / double(all));
}

int EumeRoot::allFileCount() const { return m_scan ? m_scan->allFileCount.load() : 0; }

int EumeRoot::eumeFileCount() const { return m_scan ? m_scan->eumeFileCount.load() : 0; }

bool EumeRoot::isScanning() const { return m_scan && !m_scan->finished && !m_control->stopped(); }

bool EumeRoot::isStopScan() const { return m_control->stopped(); }

void EumeRoot::stopScan() { m_control->stop(); }

bool EumeRoot::isPauseScan() const { return m_control->paused(); }

void EumeRoot::setIsPauseScan(bool pause) { m_control->setPause(pause); }

const QStringList &EumeRoot::skipList()
{
    static const QStringList names = {
        QStringLiteral(".DS_Store"), QStringLiteral(".Trashes"),   QStringLiteral(".Trash"),
        QStringLiteral(".vol"),      QStringLiteral(".fseventsd"), QStringLiteral(".Spotlight-V100"),
        QStringLiteral(".Volumes"),  QStringLiteral(".Volume"),
    };
    return names;
}

bool EumeRoot::isSkipName(const QString &name) { return skipList().contains(name, Qt::CaseSensitive); }

QString EumeRoot::rootChildPath(const QString &rootPath, const QString &name)
{
    if (rootPath == QLatin1String("/"))
        return QLatin1Char('/') + name;
    return rootPath + QLatin1Char('/') + name;
}

FileNodeArrayPtr EumeRoot::nodesForDroppedPaths(const QList<QByteArray> &paths)
{
    auto nodes = std::make_shared<FileNodeArray>();
    const auto &fm = Platform::FileManager::defaultManager();
    const NodeTreeOperator sizes;
    for (const QByteArray &path : paths) {
        // The node keeps the path's bytes: a name that is not UTF-8 is copied as it is.
        const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
        if (isSkipName(QString::fromUtf8(name)))
            continue;
        bool isDirectory = false;
        fm.nativeFileExists(path, &isDirectory);
        FileNodePtr node = FileNode::initWithNativePath(path, isDirectory, nullptr);
        node->recordListing();
        if (!isDirectory)
            node->size = sizes.getOneFileSizeWithPath(path);
        nodes->append(std::move(node));
    }
    return nodes;
}
