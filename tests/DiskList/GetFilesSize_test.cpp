// The selection-size summer: what a checked tree stands for, in one report.
#include "Controller.h"
#include "FileNode.h"
#include "GetFilesSize.h"

#include "DiskListTestPrint.h"
#include "Dispatch.h"
#include "SystemLog.h"
#include "TestSupport.h"
#include "TreeWalker.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include <atomic>
#include <mutex>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Report : public GetFilesSizeDelegate {
public:
    void allCopyFilesSize(qint64 size) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        sizes.append(size);
        onMainThread = onMainThread || Platform::Dispatch::isMainThread();
    }
    int count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return int(sizes.size());
    }
    std::mutex mutex;
    QList<qint64> sizes;
    bool onMainThread = false;
};

// Sums a selection the way the pages do: make a summer, start it, let go;
// then waits for its report and a little longer, to see that no second one comes.
QList<qint64> sum(const FileNodeArray &arr)
{
    Report report;
    GetFilesSize::create(&report)->getAllFilesSizeWithArr(arr);
    EXPECT_TRUE(TestSupport::waitUntil([&] { return report.count() >= 1; }));
    Platform::Dispatch::waitForGlobalQueue();
    EXPECT_FALSE(report.onMainThread);
    std::lock_guard<std::mutex> lock(report.mutex);
    return report.sizes;
}

FileNodePtr node(const QString &path, bool isDirectory, quint64 size = 0, qint64 state = 1, FileNode *father = nullptr)
{
    FileNodePtr n = FileNode::initWithPath(path, QFileInfo(path).fileName(), isDirectory, father);
    n->size = size;
    n->state = state;
    if (father)
        father->children.append(n);
    return n;
}

} // namespace

TEST(GetFilesSizeTest, NothingCheckedReportsZeroOnce)
{
    EXPECT_EQ(sum({}), (QList<qint64>{0}));
    FileNodeArray arr{node("/V/a", false, 10, 0), node("/V/b", true, 0, 0)};
    EXPECT_EQ(sum(arr), (QList<qint64>{0}));
}

TEST(GetFilesSizeTest, PartlyCheckedFolderWithAFiveByteFileBesideASevenByteFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/D/five", "12345"));
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/D/other", QByteArray(1000, 'o')));
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/seven", "1234567"));

    FileNodePtr d = node(dir.path() + "/D", true, 0, 2);
    node(dir.path() + "/D/five", false, 5, 1, d.get());
    node(dir.path() + "/D/other", false, 1000, 0, d.get());
    FileNodeArray arr{d, node(dir.path() + "/seven", false, 7, 1)};
    EXPECT_EQ(sum(arr), (QList<qint64>{12}));
}

// A checked folder counts what it holds on disk: every file's logical size at
// any depth, hidden and skip-list names too; links count themselves and are
// not followed; hard links count once per link; folders add nothing.
TEST(GetFilesSizeTest, ACheckedFolderCountsEverythingBelowItOnDisk)
{
    QTemporaryDir dir;
    const QString f = dir.path() + "/F";
    ASSERT_TRUE(TestSupport::writeFile(f + "/a", QByteArray(100, 'a')));
    ASSERT_TRUE(TestSupport::writeFile(f + "/.hidden", QByteArray(20, 'h')));
    ASSERT_TRUE(TestSupport::writeFile(f + "/.DS_Store", QByteArray(3, 'd')));
    ASSERT_TRUE(TestSupport::writeFile(f + "/deep/er/still/b", QByteArray(1000, 'b')));
    ASSERT_TRUE(QDir(f).mkpath("empty/folders"));
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/outside/huge", QByteArray(50000, 'x')));
    ASSERT_TRUE(QFile::link(dir.path() + "/outside", f + "/linked-folder"));
    ASSERT_TRUE(QFile::link(dir.path() + "/outside/huge", f + "/linked-file"));
    ASSERT_EQ(::link(QFile::encodeName(f + "/a").constData(), QFile::encodeName(f + "/deep/hard").constData()), 0);
    // A sparse file counts its logical size.
    {
        QFile sparse(f + "/sparse");
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(1 << 20));
    }
    const quint64 links = quint64(QFile::encodeName(dir.path() + "/outside").size()) +
                          quint64(QFile::encodeName(dir.path() + "/outside/huge").size());
    const quint64 expected = 100 + 20 + 3 + 1000 + 100 + (1 << 20) + links;

    FileNodeArray arr{node(f, true)}; // never expanded
    EXPECT_EQ(sum(arr), (QList<qint64>{qint64(expected)}));
    for (int threads : {1, 2, 8})
        EXPECT_EQ(Platform::TreeWalker::totalSize(f, threads), expected) << threads;
    GetFilesSize summer;
    EXPECT_EQ(summer.getFileSizeWithPat(f, 0), expected);
    EXPECT_EQ(summer.getFileSizeWithPat(f, 7), expected + 7);
    EXPECT_EQ(summer.getFileSizeWithPat(f + "/a", 0), 100u) << "a file counts its own size";
}

TEST(GetFilesSizeTest, ListedFilesKeepTheirSizeAndVanishedFoldersCountNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/grew", QByteArray(900, 'g')));
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/stays/x", QByteArray(40, 'x')));
    FileNodeArray arr{
        node(dir.path() + "/grew", false, 9), // listed at 9 bytes
        node(dir.path() + "/gone", true),     // deleted after listing
        node(dir.path() + "/stays", true),
    };
    EXPECT_EQ(sum(arr), (QList<qint64>{9 + 40}));
}

TEST(GetFilesSizeTest, OneReportHoweverManyPartlyCheckedFolders)
{
    QTemporaryDir dir;
    FileNodeArray arr;
    qint64 expected = 0;
    for (int i = 0; i < 30; ++i) {
        FileNodePtr top = node(dir.path() + QStringLiteral("/p%1").arg(i), true, 0, 2);
        FileNodePtr mid = node(top->path + "/m", true, 0, 2, top.get());
        node(mid->path + "/f", false, quint64(i), 1, mid.get());
        node(mid->path + "/g", false, 1000, 0, mid.get());
        const QString checkedFolder = top->path + "/checked";
        ASSERT_TRUE(TestSupport::writeFile(checkedFolder + "/inside", QByteArray(i, 'x')));
        node(checkedFolder, true, 0, 1, top.get());
        expected += 2 * i;
        arr.append(top);
    }
    EXPECT_EQ(sum(arr), (QList<qint64>{expected}));
}

TEST(GetFilesSizeTest, TheReportIsLoggedWithItsSizeText)
{
    Platform::SystemLogCapture log;
    FileNodeArray arr{node("/V/f", false, 1234)};
    EXPECT_EQ(sum(arr), (QList<qint64>{1234}));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith(QStringLiteral("---1234 | "))) << log.lines().first().toStdString();
}

TEST(GetFilesSizeTest, TheSelectionIsReadOnTheMainThreadWhenStartedElsewhere)
{
    // A page may start a sum from a worker; the tree is then read on the main
    // thread, between the main thread's own changes to it.
    FileNodeArray arr{node("/V/f", false, 77)};
    Report report;
    std::atomic<bool> started{false};
    Platform::Dispatch::globalAsync([&] {
        GetFilesSize::create(&report)->getAllFilesSizeWithArr(arr);
        started = true;
    });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return started && report.count() == 1; }));
    EXPECT_EQ(report.sizes, (QList<qint64>{77}));
}

TEST(GetFilesSizeTest, AKeptSummerHoldsItsTotalAfterTheReport)
{
    QTemporaryDir dir;
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + "/F/x", QByteArray(321, 'x')));
    Report report;
    auto summer = GetFilesSize::create();
    summer->setDelegate(&report);
    EXPECT_EQ(summer->delegate(), &report);
    summer->getAllFilesSizeWithArr(std::make_shared<FileNodeArray>(FileNodeArray{node(dir.path() + "/F", true)}));
    ASSERT_TRUE(TestSupport::waitUntil([&] { return report.count() == 1; }));
    EXPECT_EQ(summer->allFileSize(), 321);
    EXPECT_EQ(report.sizes, (QList<qint64>{321}));
}

TEST(GetFilesSizeTest, FoldersWalkedInParallelGiveTheSameTotal)
{
    QTemporaryDir dir;
    quint64 expected = 0;
    for (int i = 0; i < 300; ++i) {
        const QString folder = dir.path() + QStringLiteral("/t%1/s%2/u%3").arg(i % 5).arg(i % 37).arg(i);
        const QByteArray bytes(i * 3 % 101, 'x');
        ASSERT_TRUE(TestSupport::writeFile(folder + "/f", bytes));
        ASSERT_TRUE(TestSupport::writeFile(folder + "/.g", bytes + "yy"));
        expected += 2 * quint64(bytes.size()) + 2;
    }
    const QStringList roots{dir.path() + "/t0", dir.path() + "/t1", dir.path() + "/t2", dir.path() + "/t3",
                            dir.path() + "/t4"};
    for (int round = 0; round < 5; ++round) {
        for (int threads : {1, 3, 8})
            ASSERT_EQ(Platform::TreeWalker::totalSize(roots, threads), expected) << threads;
    }
    EXPECT_EQ(Platform::TreeWalker::totalSize(dir.path()), expected);
    EXPECT_EQ(Platform::TreeWalker::totalSize(QStringList{}), 0u);
    EXPECT_EQ(Platform::TreeWalker::totalSize(dir.path() + "/missing"), 0u);
}

TEST(GetFilesSizeTest, AClearedDelegateIsNeverCalledAndAReplacedSumNeverReports)
{
    QTemporaryDir dir;
    for (int d = 0; d < 300; ++d)
        for (int f = 0; f < 5; ++f)
            ASSERT_TRUE(TestSupport::writeFile(dir.filePath(QStringLiteral("t/d%1/f%2").arg(d).arg(f)), "12345"));
    TestSupport::writeFile(dir.filePath("seven"), "1234567");
    const FileNodeArray big{node(dir.filePath("t"), true)};
    const FileNodeArray small{node(dir.filePath("seven"), false, 7)};

    // Cleared right after the start, as by a page that goes away during the sum.
    auto *gone = new Report;
    std::shared_ptr<GetFilesSize> summer = GetFilesSize::create(gone);
    summer->getAllFilesSizeWithArr(big);
    summer->setDelegate(nullptr);
    EXPECT_EQ(gone->count(), 0);
    delete gone; // a late call would touch freed memory
    Platform::Dispatch::waitForGlobalQueue();
    EXPECT_EQ(summer->delegate(), nullptr);

    // Started again on the same summer: only the second sum reports.
    Report report;
    summer->setDelegate(&report);
    summer->getAllFilesSizeWithArr(big);
    summer->getAllFilesSizeWithArr(small);
    Platform::Dispatch::waitForGlobalQueue();
    std::lock_guard<std::mutex> lock(report.mutex);
    EXPECT_EQ(report.sizes, QList<qint64>{7});
}

TEST(GetFilesSizeTest, AFolderWhoseNameIsNotUtf8CountsWhatItHolds)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/Fotos \xe9t\xe9"; // Latin-1, not UTF-8
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    for (const auto &[name, bytes] : {std::pair{QByteArray("/a"), 600}, std::pair{QByteArray("/\xff"), 400}}) {
        const int fd = ::open((folder + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, QByteArray(bytes, 'x').constData(), bytes), bytes);
        ::close(fd);
    }
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/b.txt"), QByteArray(500, 'x')));
    FileNodeArray arr{FileNode::initWithNativePath(folder, true, nullptr),
                      node(dir.path() + QStringLiteral("/b.txt"), false, 500)};
    EXPECT_EQ(sum(arr), QList<qint64>{1500});
    // Names Qt cannot give back as text go by their bytes.
    ::unlink((folder + "/a").constData());
    ::unlink((folder + "/\xff").constData());
    ::rmdir(folder.constData());
}
