// The folder scanner: the shallow root scan with its skip list and its
// size-ordered top level, the end calls, progress, and the child listing.
#include "Controller.h"
#include "EumeRoot.h"
#include "FileNode.h"
#include "NodeTreeOperator.h"

#include "DiskListTestPrint.h"
#include "Dispatch.h"
#include "FileManager.h"
#include "PrivateBus.h"
#include "TestSupport.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gmock/gmock.h>

#include <atomic>
#include <mutex>

namespace {

class CountingDelegate : public ControllerDelegate {
public:
    void reloadTreeList() override { ++reloads; }
    void endScanFiles() override
    {
        EXPECT_FALSE(Platform::Dispatch::isMainThread());
        ++endScanFilesCalls;
    }
    void copyFileScanFiles() override
    {
        EXPECT_FALSE(Platform::Dispatch::isMainThread());
        ++copyFileScanFilesCalls;
    }
    std::atomic<int> reloads{0};
    std::atomic<int> endScanFilesCalls{0};
    std::atomic<int> copyFileScanFilesCalls{0};
    int endCalls() const { return endScanFilesCalls + copyFileScanFilesCalls; }
};

QStringList names(const FileNodeArray &arr)
{
    QStringList out;
    for (const FileNodePtr &n : arr)
        out << n->name;
    return out;
}

FileNodePtr sized(const QString &name, quint64 size, bool isDirectory = false)
{
    FileNodePtr n = FileNode::initWithPath(QStringLiteral("/V/") + name, name, isDirectory, nullptr);
    n->size = size;
    return n;
}

// What the scan must give for a listing order: files by descending size, a
// later-listed file before earlier ones of its size, then folders as listed.
QStringList expectedTopLevel(const QString &dir)
{
    struct Entry {
        QString name;
        quint64 size;
        int order;
    };
    QList<Entry> files;
    QStringList folders;
    const QStringList listing = Platform::FileManager::defaultManager().contentsOfDirectory(dir);
    for (int i = 0; i < listing.size(); ++i) {
        if (EumeRoot::isSkipName(listing[i]))
            continue;
        bool isDir = false;
        Platform::FileManager::defaultManager().fileExists(dir + QLatin1Char('/') + listing[i], &isDir);
        if (isDir)
            folders << listing[i];
        else
            files.append(
                {listing[i], NodeTreeOperator().getOneFileSizeWithPath(dir + QLatin1Char('/') + listing[i]), i});
    }
    std::sort(files.begin(), files.end(),
              [](const Entry &a, const Entry &b) { return a.size != b.size ? a.size > b.size : a.order > b.order; });
    QStringList out;
    for (const Entry &e : files)
        out << e.name;
    return out + folders;
}

bool scanDone(const Controller &c) { return !c.isScanning(); }

} // namespace

TEST(SizeOrderedInsertTest, ListingOrderFaGbcGivesCabFG)
{
    // F, a (10), b (0), G, c (10): folders are appended, files inserted.
    FileNodeArray arr;
    arr.append(sized(QStringLiteral("F"), 0, true));
    EumeRoot::insertFileInArr(arr, sized(QStringLiteral("a"), 10));
    EumeRoot::insertFileInArr(arr, sized(QStringLiteral("b"), 0));
    arr.append(sized(QStringLiteral("G"), 0, true));
    EumeRoot::insertFileInArr(arr, sized(QStringLiteral("c"), 10));
    EXPECT_EQ(names(arr), (QStringList{"c", "a", "b", "F", "G"}));

    // The same listing handed over as one batch.
    FileNodeArray batched;
    EumeRoot::insertFilesInArr(
        batched, {sized(QStringLiteral("a"), 10), sized(QStringLiteral("b"), 0), sized(QStringLiteral("c"), 10)});
    batched.append(sized(QStringLiteral("F"), 0, true));
    batched.append(sized(QStringLiteral("G"), 0, true));
    EXPECT_EQ(names(batched), (QStringList{"c", "a", "b", "F", "G"}));
}

TEST(SizeOrderedInsertTest, BatchesGiveWhatOneByOneGives)
{
    QRandomGenerator rng(20240601);
    for (int round = 0; round < 200; ++round) {
        FileNodeArray one, batched;
        int id = 0;
        // A few batches of files and folders with many equal sizes, and an
        // array that a caller handed over out of order now and then.
        if (round % 10 == 9) {
            for (quint64 s : {3, 9, 1}) {
                one.append(sized(QString::number(id), s));
                batched.append(sized(QString::number(id++), s));
            }
        }
        const int batches = 1 + int(rng.bounded(4));
        for (int b = 0; b < batches; ++b) {
            std::vector<FileNodePtr> files;
            QList<FileNodePtr> folders;
            const int n = int(rng.bounded(30));
            for (int i = 0; i < n; ++i) {
                const QString name = QString::number(id++);
                if (rng.bounded(4) == 0) {
                    one.append(sized(name, 0, true));
                    folders.append(sized(name, 0, true));
                } else {
                    const quint64 size = rng.bounded(6);
                    EumeRoot::insertFileInArr(one, sized(name, size));
                    files.push_back(sized(name, size));
                }
            }
            EumeRoot::insertFilesInArr(batched, files);
            batched.append(folders);
        }
        ASSERT_EQ(names(batched), names(one)) << "round " << round;
    }
}

TEST(ScannerTest, TopLevelIsFilesBySizeThenFoldersAndSkipsTheSkipList)
{
    QTemporaryDir dir;
    const QString p = dir.path();
    ASSERT_TRUE(TestSupport::writeFile(p + "/a", QByteArray(10, 'a')));
    ASSERT_TRUE(TestSupport::writeFile(p + "/b", QByteArray()));
    ASSERT_TRUE(TestSupport::writeFile(p + "/c", QByteArray(10, 'c')));
    ASSERT_TRUE(TestSupport::writeFile(p + "/big", QByteArray(500, 'x')));
    ASSERT_TRUE(TestSupport::writeFile(p + "/F/inner", QByteArray(1000, 'x')));
    ASSERT_TRUE(QDir(p).mkdir("G"));
    for (const QString &skip : EumeRoot::skipList())
        ASSERT_TRUE(TestSupport::writeFile(p + "/" + skip, "skip me"));
    ASSERT_TRUE(TestSupport::writeFile(p + "/.ds_store", "different case: kept"));

    auto arr = std::make_shared<FileNodeArray>();
    CountingDelegate delegate;
    Controller controller(&delegate);
    controller.eumeAllRootFileNodeWithRootArr(arr, p, false, false);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return scanDone(controller); }));

    EXPECT_EQ(names(*arr), expectedTopLevel(p));
    ASSERT_EQ(arr->size(), 7);
    EXPECT_EQ(arr->first()->name, QStringLiteral("big"));
    for (const FileNodePtr &n : *arr) {
        EXPECT_EQ(n->path, p + "/" + n->name);
        EXPECT_EQ(n->father, nullptr);
        EXPECT_EQ(n->state, 1);
        EXPECT_TRUE(n->children.isEmpty()) << "the scan never enters folders";
        if (n->isDirectory) {
            EXPECT_EQ(n->size, 0u);
        }
    }
    EXPECT_FLOAT_EQ(controller.getProgress(), 100.0f);
    EXPECT_EQ(controller.eumeRoot()->allFileCount(), 7);
    EXPECT_EQ(delegate.endCalls(), 0) << "without the copy-all flag there is no end call";
}

TEST(ScannerTest, RootChildPathsHaveOneSlash)
{
    EXPECT_EQ(EumeRoot::rootChildPath("/", "Applications"), QStringLiteral("/Applications"));
    EXPECT_EQ(EumeRoot::rootChildPath("/Volumes/X", "Applications"), QStringLiteral("/Volumes/X/Applications"));

    TestSupport::TempRoot root;
    ASSERT_TRUE(QDir().mkpath(root.at("/Volumes/X/Applications")));
    auto arr = std::make_shared<FileNodeArray>();
    Controller controller;
    controller.eumeAllRootFileNodeWithRootArr(arr, root.at("/Volumes/X"), false, false);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return scanDone(controller); }));
    ASSERT_EQ(arr->size(), 1);
    EXPECT_EQ(arr->first()->path, root.at("/Volumes/X/Applications"));
}

TEST(ScannerTest, TheStartupVolumeIsListedWithoutTheDiskWorldsOwnFolder)
{
    TestSupport::TempRoot root;
    ASSERT_TRUE(TestSupport::writeFile(root.at("/.diskworld/state.plist"), "state"));
    ASSERT_TRUE(TestSupport::writeFile(root.at("/System/file"), "x"));
    ASSERT_TRUE(TestSupport::writeFile(root.at("/Volumes/X/.diskworld"), "a user's own file"));
    for (const QString &top : {root.path(), root.at("/Volumes/X")}) {
        auto arr = std::make_shared<FileNodeArray>();
        Controller controller;
        controller.eumeAllRootFileNodeWithRootArr(arr, top, false, false);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return scanDone(controller); }));
        const QStringList listed = names(*arr);
        EXPECT_EQ(listed.contains(".diskworld"), top != root.path()) << listed.join(",").toStdString();
    }
}

TEST(ScannerTest, EndCallFollowsTheTwoFlags)
{
    QTemporaryDir dir;
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/f", "1"));
    const struct {
        bool copyAll, copyFiles;
        int endScanFiles, copyFileScanFiles;
    } cases[] = {{false, false, 0, 0}, {false, true, 0, 0}, {true, false, 1, 0}, {true, true, 0, 1}};
    for (const auto &c : cases) {
        auto arr = std::make_shared<FileNodeArray>();
        CountingDelegate delegate;
        Controller controller(&delegate);
        controller.eumeAllRootFileNodeWithRootArr(arr, dir.path(), c.copyAll, c.copyFiles);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return scanDone(controller); }));
        ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
        TestSupport::waitUntil([&] { return delegate.endCalls() == c.endScanFiles + c.copyFileScanFiles; }, 500);
        EXPECT_EQ(delegate.endScanFilesCalls, c.endScanFiles) << c.copyAll << c.copyFiles;
        EXPECT_EQ(delegate.copyFileScanFilesCalls, c.copyFileScanFiles) << c.copyAll << c.copyFiles;
        EXPECT_EQ(arr->size(), 1);
    }
}

TEST(ScannerTest, OnlySkipListNamesGiveAnEmptyTopLevelAndTheEndCall)
{
    QTemporaryDir dir;
    for (const QString &skip : EumeRoot::skipList())
        ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/" + skip, "x"));
    auto arr = std::make_shared<FileNodeArray>();
    CountingDelegate delegate;
    Controller controller(&delegate);
    controller.eumeAllRootFileNodeWithRootArr(arr, dir.path(), true, false);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return delegate.endScanFilesCalls == 1; }));
    EXPECT_TRUE(arr->isEmpty());
    EXPECT_FLOAT_EQ(controller.getProgress(), 0.0f);
}

TEST(ScannerTest, MissingPathAndFilePathNeverReachAHundredAndSendNoEndCall)
{
    QTemporaryDir dir;
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/single", "12345"));

    {
        auto arr = std::make_shared<FileNodeArray>();
        CountingDelegate delegate;
        Controller controller(&delegate);
        controller.eumeAllRootFileNodeWithRootArr(arr, dir.path() + "/missing", true, true);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return scanDone(controller); }));
        ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
        EXPECT_TRUE(arr->isEmpty());
        EXPECT_FLOAT_EQ(controller.getProgress(), 0.0f);
        EXPECT_EQ(delegate.endCalls(), 0);
    }
    {
        auto arr = std::make_shared<FileNodeArray>();
        arr->append(sized("older", 9));
        CountingDelegate delegate;
        Controller controller(&delegate);
        controller.eumeAllRootFileNodeWithRootArr(arr, dir.path() + "/single", true, true);
        ASSERT_TRUE(TestSupport::waitUntil([&] { return scanDone(controller); }));
        ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
        EXPECT_EQ(names(*arr), (QStringList{"older", "single"})) << "not emptied; placed by size";
        EXPECT_EQ(arr->last()->size, 5u);
        EXPECT_FALSE(arr->last()->isDirectory);
        EXPECT_FLOAT_EQ(controller.getProgress(), 0.0f);
        EXPECT_EQ(controller.eumeRoot()->allFileCount(), 0);
        EXPECT_EQ(controller.eumeRoot()->eumeFileCount(), 0);
        EXPECT_EQ(delegate.endCalls(), 0);
    }
}

TEST(ScannerTest, LinksToFoldersAreFoldersAndLinksCountTheirOwnSize)
{
    QTemporaryDir dir;
    const QString p = dir.path();
    ASSERT_TRUE(TestSupport::writeFile(p + "/target/x", QByteArray(100, 'x')));
    ASSERT_TRUE(TestSupport::writeFile(p + "/file", QByteArray(200, 'y')));
    ASSERT_TRUE(QDir(p).mkdir("src"));
    ASSERT_TRUE(QFile::link(p + "/target", p + "/src/dirlink"));
    ASSERT_TRUE(QFile::link(p + "/file", p + "/src/filelink"));
    ASSERT_TRUE(QFile::link(p + "/nowhere", p + "/src/dangling"));

    auto arr = std::make_shared<FileNodeArray>();
    Controller controller;
    controller.eumeAllRootFileNodeWithRootArr(arr, p + "/src", false, false);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return scanDone(controller); }));
    ASSERT_EQ(arr->size(), 3);
    for (const FileNodePtr &n : *arr) {
        const QString linkTarget = QFile::symLinkTarget(n->path);
        if (n->name == "dirlink") {
            EXPECT_TRUE(n->isDirectory);
            EXPECT_EQ(n->size, 0u);
        } else {
            EXPECT_FALSE(n->isDirectory) << n->name;
            EXPECT_EQ(n->size, quint64(QFile::encodeName(linkTarget).size())) << n->name;
        }
    }
    EXPECT_EQ(arr->last()->name, QStringLiteral("dirlink"));
}

// The worker never touches the shared array: its nodes go in on the main
// thread, together with the counter the progress is read from.
TEST(ScannerTest, NodesAndProgressReachTheArrayOnlyOnTheMainThread)
{
    QTemporaryDir dir;
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/f%1").arg(i), QByteArray(i % 50, 'x')));
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/sub/inner", "123"));

    auto arr = std::make_shared<FileNodeArray>();
    Controller controller;
    controller.eumeAllRootFileNodeWithRootArr(arr, dir.path(), false, false);
    // Let the worker finish its listing without giving the main thread a turn.
    for (int i = 0; i < 500 && controller.eumeRoot()->allFileCount() == 0; ++i)
        QThread::msleep(2);
    ASSERT_EQ(controller.eumeRoot()->allFileCount(), 2001);
    QThread::msleep(50);
    EXPECT_TRUE(arr->isEmpty());
    EXPECT_FLOAT_EQ(controller.getProgress(), 0.0f);
    EXPECT_TRUE(controller.isScanning());

    // A child listing in the meantime leaves the scan's counters alone.
    FileNodePtr sub = FileNode::initWithPath(dir.path() + "/sub", "sub", true, nullptr);
    controller.getNodeListWithFaterNode(sub.get());
    EXPECT_EQ(sub->children.size(), 1);
    EXPECT_EQ(controller.eumeRoot()->eumeFileCount(), 0);
    EXPECT_EQ(controller.eumeRoot()->allFileCount(), 2001);

    // While the main thread reads it between its events, the array only ever
    // holds whole batches, ordered, and the progress matches what it holds.
    ASSERT_TRUE(TestSupport::waitUntil([&] {
        EXPECT_EQ(arr->size(), controller.eumeRoot()->eumeFileCount());
        for (qsizetype i = 1; i < arr->size(); ++i)
            EXPECT_GE((*arr)[i - 1]->size, (*arr)[i]->size);
        return !controller.isScanning();
    }));
    EXPECT_EQ(arr->size(), 2001);
    EXPECT_FLOAT_EQ(controller.getProgress(), 100.0f);
    EXPECT_EQ(names(*arr), expectedTopLevel(dir.path()));
}

TEST(ScannerTest, ANewScanDropsThePreviousOneAndItsEndCall)
{
    QTemporaryDir big, small;
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(TestSupport::writeFile(big.path() + QStringLiteral("/f%1").arg(i), "x"));
    ASSERT_TRUE(TestSupport::writeFile(small.path() + "/one", "1"));

    auto first = std::make_shared<FileNodeArray>();
    auto second = std::make_shared<FileNodeArray>();
    CountingDelegate delegate;
    Controller controller(&delegate);
    controller.eumeAllRootFileNodeWithRootArr(first, big.path(), true, true);
    controller.eumeAllRootFileNodeWithRootArr(second, small.path(), true, false);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return scanDone(controller); }));
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    QCoreApplication::processEvents();
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    EXPECT_TRUE(first->isEmpty()) << "a dropped scan adds nothing";
    EXPECT_EQ(second->size(), 1);
    EXPECT_EQ(delegate.endScanFilesCalls, 1);
    EXPECT_EQ(delegate.copyFileScanFilesCalls, 0) << "the dropped scan's end call must not come with the new flags";
    EXPECT_EQ(controller.aRootArr(), second);
}

TEST(ScannerTest, AControllerGoneDuringItsScanIsLeftInPeace)
{
    QTemporaryDir dir;
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/f%1").arg(i), "x"));
    auto arr = std::make_shared<FileNodeArray>();
    CountingDelegate delegate;
    {
        Controller controller(&delegate);
        controller.eumeAllRootFileNodeWithRootArr(arr, dir.path(), true, true);
        TestSupport::waitUntil([&] { return !arr->isEmpty(); }, 2000);
    }
    const qsizetype seen = arr->size();
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    QCoreApplication::processEvents();
    EXPECT_EQ(arr->size(), seen);
    EXPECT_EQ(delegate.endCalls(), 0);
}

TEST(ChildListingTest, ListsEveryEntryWithSizesFatherAndNoSkipList)
{
    QTemporaryDir dir;
    const QString f = dir.path() + "/f";
    ASSERT_TRUE(TestSupport::writeFile(f + "/.DS_Store", QByteArray(6, 'x')));
    ASSERT_TRUE(TestSupport::writeFile(f + "/x", QByteArray(17, 'x')));
    ASSERT_TRUE(TestSupport::writeFile(f + "/d/y", QByteArray(3, 'y')));

    FileNodePtr node = FileNode::initWithPath(f, "f", true, nullptr);
    CountingDelegate delegate;
    Controller controller(&delegate); // no root scan has run on it
    controller.getNodeListWithFaterNode(node.get());
    EXPECT_EQ(delegate.reloads, 1);
    QStringList listed;
    for (const FileNodePtr &c : node->children)
        listed << c->name;
    EXPECT_EQ(listed, Platform::FileManager::defaultManager().contentsOfDirectory(f)) << "listing order kept";
    for (const FileNodePtr &c : node->children) {
        EXPECT_EQ(c->father, node.get());
        EXPECT_EQ(c->path, f + "/" + c->name);
        if (c->name == ".DS_Store") {
            EXPECT_EQ(c->size, 6u);
        }
        if (c->name == "x") {
            EXPECT_EQ(c->size, 17u);
        }
        if (c->name == "d") {
            EXPECT_TRUE(c->isDirectory);
            EXPECT_EQ(c->size, 0u);
        }
    }
    EXPECT_FLOAT_EQ(controller.getProgress(), 0.0f);
}

TEST(ChildListingTest, AVanishedFolderListsNothingAndOneTurnedFileListsItself)
{
    QTemporaryDir dir;
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/now-a-file", QByteArray(4, 'z')));
    CountingDelegate delegate;
    Controller controller(&delegate);

    FileNodePtr gone = FileNode::initWithPath(dir.path() + "/gone", "gone", true, nullptr);
    controller.getNodeListWithFaterNode(gone.get());
    EXPECT_TRUE(gone->children.isEmpty());
    EXPECT_EQ(delegate.reloads, 0) << "no end call for a path that is gone";

    FileNodePtr turned = FileNode::initWithPath(dir.path() + "/now-a-file", "now-a-file", true, nullptr);
    turned->state = 0;
    controller.getNodeListWithFaterNode(turned.get());
    ASSERT_EQ(turned->children.size(), 1);
    const FileNodePtr &child = turned->children.first();
    EXPECT_EQ(child->path, turned->path);
    EXPECT_EQ(child->name, QStringLiteral("now-a-file"));
    EXPECT_FALSE(child->isDirectory);
    EXPECT_EQ(child->size, 4u);
    EXPECT_EQ(child->state, 0);
    EXPECT_EQ(child->father, turned.get());
    EXPECT_EQ(delegate.reloads, 1);
}

TEST(ScannerTest, OpenFileShowsTheItemSelectedInTheFileManager)
{
    TestSupport::FileManagerRig rig;
    ASSERT_TRUE(rig.ok());
    Controller controller;
    FileNodePtr f = FileNode::initWithPath("/V/dir/file.txt", "file.txt", false, nullptr);
    FileNodePtr d = FileNode::initWithPath("/V/dir", "dir", true, nullptr);
    FileNodePtr none = FileNode::initWithPath(QString(), QString(), false, nullptr);
    controller.openFileWithFileNode(f.get());
    controller.openFileWithFileNode(d.get());
    controller.openFileWithFileNode(none.get());
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.shown().size() >= 2; }, 10000));
    EXPECT_EQ(rig.shown(), (QList<QStringList>{{"file:///V/dir/file.txt"}, {"file:///V/dir"}}));
    EXPECT_TRUE(rig.opened().isEmpty());
}

namespace {

// A delegate that lets a bulk walk take `entries` entries, then stops it.
class StopAfter : public NodeTreeOperatorDelegate {
public:
    explicit StopAfter(int entries) : left(entries) {}
    bool canGoOnScan() override
    {
        ++asked;
        return left-- > 0;
    }
    std::atomic<int> left;
    std::atomic<int> asked{0};
};

int countBelow(const FileNode &node)
{
    int n = 0;
    for (const FileNodePtr &c : node.children)
        n += 1 + countBelow(*c);
    return n;
}

// The bulk walk of `path` on the global queue; `done` and `tree` are set when it returns.
struct WalkOnWorker {
    WalkOnWorker(std::shared_ptr<NodeTreeOperator> op, const QString &path)
    {
        EXPECT_TRUE(Platform::Dispatch::isMainThread());
        Platform::Dispatch::globalAsync([this, op, bytes = QFile::encodeName(path)] {
            onMainThread = Platform::Dispatch::isMainThread();
            FileNodePtr t = op->getNodeTreeWithPath(bytes);
            std::lock_guard<std::mutex> lock(mutex);
            tree = t;
            done = true;
        });
    }
    ~WalkOnWorker() { TestSupport::waitUntil([this] { return done.load(); }); }
    FileNodePtr result()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return tree;
    }
    std::mutex mutex;
    FileNodePtr tree;
    std::atomic<bool> done{false};
    std::atomic<bool> onMainThread{true};
};

// Holds the main thread's events for a moment, as a user would wait.
void idleFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

TEST(NodeTreeOperatorTest, BulkWalkBuildsSortedSubtreesWithSummedFolderSizes)
{
    QTemporaryDir dir;
    const QString p = dir.path();
    ASSERT_TRUE(TestSupport::writeFile(p + "/a", QByteArray(10, 'a')));
    ASSERT_TRUE(TestSupport::writeFile(p + "/F/x", QByteArray(100, 'x')));
    ASSERT_TRUE(TestSupport::writeFile(p + "/F/G/y", QByteArray(3, 'y')));
    ASSERT_TRUE(TestSupport::writeFile(p + "/F/G/.DS_Store", QByteArray(1, 'z')));
    ASSERT_TRUE(QDir(p).mkdir("Empty"));
    ASSERT_TRUE(QFile::link(p + "/F", p + "/toF")); // followed, it would count F twice

    NodeTreeOperator op;
    const FileNodePtr root = op.getNodeTreeWithPath(QFile::encodeName(p));
    ASSERT_TRUE(root);
    const quint64 linkSize = op.getOneFileSizeWithPath(p + "/toF");
    EXPECT_EQ(root->size, 104 + 10 + linkSize);
    ASSERT_EQ(root->children.size(), 4);
    EXPECT_EQ(root->children[0]->name, QStringLiteral("F"));
    EXPECT_EQ(root->children[0]->size, 104u);
    EXPECT_EQ(root->children.back()->name, QStringLiteral("Empty"));
    const FileNode &f = *root->children[0];
    ASSERT_EQ(f.children.size(), 2);
    EXPECT_EQ(f.children[0]->name, QStringLiteral("x"));
    EXPECT_EQ(f.children[1]->name, QStringLiteral("G"));
    EXPECT_EQ(f.children[1]->size, 4u) << "hidden names count too";
    EXPECT_EQ(f.children[1]->father, &f);
    EXPECT_EQ(f.children[1]->path, p + "/F/G");
    for (const FileNodePtr &c : root->children) {
        if (c->name == QStringLiteral("toF")) {
            EXPECT_FALSE(c->isDirectory);
            EXPECT_TRUE(c->children.isEmpty());
        }
    }
    EXPECT_EQ(op.getNodeTreeWithPath(QFile::encodeName(p + "/a")), nullptr) << "a file is no folder";
}

TEST(NodeTreeOperatorTest, AStopEndsTheWalkPartWayWithWhatItGot)
{
    QTemporaryDir dir;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 5; ++j)
            ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/d%1/f%2").arg(i).arg(j), "12"));

    // Asked before each entry: the seventh answer is no.
    NodeTreeOperator op;
    StopAfter stopper(6);
    op.setOpDelegate(&stopper);
    const FileNodePtr part = op.getNodeTreeWithPath(QFile::encodeName(dir.path()));
    ASSERT_TRUE(part);
    EXPECT_EQ(countBelow(*part), 6);
    EXPECT_EQ(stopper.asked, 7) << "nothing is asked after the stop";
    EXPECT_EQ(part->size, 5u * 2u) << "the part walked is summed";

    // The operator's own stop holds for every later walk.
    NodeTreeOperator stopped;
    stopped.stopScan();
    EXPECT_TRUE(stopped.isStopScan());
    const FileNodePtr none = stopped.getNodeTreeWithPath(QFile::encodeName(dir.path()));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->children.isEmpty());
}

TEST(NodeTreeOperatorTest, TheEnginesPauseHoldsAWalkOnAWorkerUntilResumedOrStopped)
{
    QTemporaryDir dir;
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/d/f%1").arg(i), "1"));

    for (const bool resume : {true, false}) {
        EumeRoot engine;
        engine.setIsPauseScan(true);
        EXPECT_TRUE(engine.isPauseScan());
        WalkOnWorker walk(engine.treeOperator(), dir.path());
        idleFor(200);
        EXPECT_FALSE(walk.done) << "a paused engine holds its walk";
        if (resume)
            engine.setIsPauseScan(false);
        else
            engine.stopScan();
        ASSERT_TRUE(TestSupport::waitUntil([&] { return walk.done.load(); }));
        EXPECT_FALSE(walk.onMainThread);
        const FileNodePtr tree = walk.result();
        ASSERT_TRUE(tree);
        EXPECT_EQ(countBelow(*tree), resume ? 31 : 0);
    }
}

TEST(ScannerTest, PauseHoldsTheRootScanAndAStopEndsItWithoutAnEndCall)
{
    QTemporaryDir dir;
    const int files = 4000;
    for (int i = 0; i < files; ++i)
        ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/f%1").arg(i), "1"));

    for (const bool resume : {true, false}) {
        FileNodeArrayPtr arr;
        std::unique_ptr<CountingDelegate> delegate;
        std::unique_ptr<Controller> controller;
        // The pause must come while the scan runs; should a loaded machine
        // have let the worker through every entry first, the scan starts again.
        for (int attempt = 0; attempt < 5 && !(controller && controller->isScanning()); ++attempt) {
            controller.reset();
            arr = std::make_shared<FileNodeArray>();
            delegate = std::make_unique<CountingDelegate>();
            controller = std::make_unique<Controller>(delegate.get());
            controller->eumeAllRootFileNodeWithRootArr(arr, dir.path(), true, false);
            EXPECT_FALSE(controller->eumeRoot()->isPauseScan());
            EXPECT_FALSE(controller->eumeRoot()->isStopScan());
            controller->eumeRoot()->setIsPauseScan(true);
            // Whatever the worker had made before the pause comes in; then nothing more.
            idleFor(300);
        }
        ASSERT_TRUE(controller->isScanning());
        EumeRoot *engine = controller->eumeRoot();
        EXPECT_TRUE(engine->isPauseScan());
        const qsizetype held = arr->size();
        idleFor(300);
        EXPECT_EQ(arr->size(), held);
        EXPECT_LT(held, files);
        EXPECT_TRUE(controller->isScanning());
        if (resume) {
            engine->setIsPauseScan(false);
            ASSERT_TRUE(TestSupport::waitUntil([&] { return !controller->isScanning(); }, 30000));
            EXPECT_EQ(arr->size(), files);
            EXPECT_FLOAT_EQ(controller->getProgress(), 100.0f);
            ASSERT_TRUE(TestSupport::waitUntil([&] { return delegate->endCalls() == 1; }));
        } else {
            engine->stopScan();
            EXPECT_TRUE(engine->isStopScan());
            EXPECT_FALSE(controller->isScanning());
            idleFor(300);
            EXPECT_EQ(arr->size(), held) << "a stopped scan puts nothing more into the array";
            EXPECT_LT(controller->getProgress(), 100.0f);
            EXPECT_EQ(delegate->endCalls(), 0);
            // The next root scan starts with both flags clear and runs to its end.
            controller->eumeAllRootFileNodeWithRootArr(arr, dir.path(), true, false);
            EXPECT_FALSE(controller->eumeRoot()->isStopScan());
            EXPECT_FALSE(controller->eumeRoot()->isPauseScan());
            ASSERT_TRUE(TestSupport::waitUntil([&] { return delegate->endCalls() == 1; }, 30000));
        }
    }
}
