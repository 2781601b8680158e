// The copy engine: what lands where, under which name, and what it reports.
#include "DoCopyFiles.h"
#include "FileNode.h"

#include "Dispatch.h"
#include "FileManager.h"
#include "SystemLog.h"
#include "SystemRoot.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using Platform::FileManager;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

// Every report in order, as text: "5", "33", "path <name>", "error".
class Recorder : public DoCopyFilesDelegate {
public:
    void topCopyFilePath(const QString &path) override
    {
        note(QStringLiteral("path ") + QFileInfo(path).fileName());
        if (onPath)
            onPath(path);
    }
    void topCopyProgress(float progress) override
    {
        note(QString::number(double(progress)));
        if (onProgress)
            onProgress(progress);
    }
    void copyFileError() override { note(QStringLiteral("error")); }

    QStringList progress() const
    {
        QStringList out;
        for (const QString &e : events)
            if (!e.startsWith(QLatin1String("path")) && e != QLatin1String("error"))
                out.append(e);
        return out;
    }

    QStringList events;
    bool offMainThread = false;
    std::function<void(const QString &)> onPath;
    std::function<void(float)> onProgress;

private:
    void note(const QString &e)
    {
        events.append(e);
        offMainThread = offMainThread || !Platform::Dispatch::isMainThread();
    }
};

FileNodePtr node(const QString &path, qint64 state, FileNodeList children = {})
{
    const QFileInfo info(path);
    FileNodePtr n = FileNode::initWithPath(path, info.fileName(), info.isDir(), nullptr);
    n->state = state;
    for (const FileNodePtr &c : children) {
        c->father = n.get();
        n->children.append(c);
    }
    return n;
}

// Starts a job the way the page does and waits until its worker has ended.
void runJob(DoCopyFiles &engine, const FileNodeArray &arr, const QString &dest, const QString &targetMount = {})
{
    engine.doCopyFilesWithArr(arr, dest, targetMount);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !engine.isRunning(); }, 60000));
}

// Every entry below a folder, relative, sorted; folders end in "/".
QStringList tree(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(root).relativeFilePath(it.filePath());
        out.append(it.fileInfo().isDir() && !it.fileInfo().isSymLink() ? rel + QLatin1Char('/') : rel);
    }
    out.sort();
    return out;
}

class DoCopyFilesTest : public ::testing::Test {
protected:
    QString src(const QString &rel) const { return m_dir.filePath(QStringLiteral("src/") + rel); }
    QString dest() const { return m_dir.filePath(QStringLiteral("dest")); }
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(dest())); }
    // n files src/f0 … src/f(n-1), one node each.
    FileNodeArray files(int n, qint64 state = FileNode::Checked)
    {
        FileNodeArray arr;
        for (int i = 0; i < n; ++i) {
            const QString p = src(QStringLiteral("f%1").arg(i));
            EXPECT_TRUE(TestSupport::writeFile(p, QByteArray::number(i)));
            arr.append(node(p, state));
        }
        return arr;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(DoCopyFilesTest, ProgressMovesPerTopLevelItemAndEndsAtExactly100)
{
    struct Case {
        int n;
        QStringList first;
    };
    const Case cases[] = {
        {1, {"5", "100"}},
        {3, {"5", "33", "66", "100"}},
        {40, {"5", "5", "5", "7", "10", "12"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.n);
        QDir(dest()).removeRecursively();
        QDir(m_dir.filePath("src")).removeRecursively();
        QDir().mkpath(dest());
        Recorder r;
        DoCopyFiles engine(&r);
        runJob(engine, files(c.n), dest());
        const QStringList got = r.progress();
        ASSERT_EQ(got.size(), c.n + 1);
        EXPECT_EQ(got.mid(0, c.first.size()), c.first);
        EXPECT_EQ(got.last(), "100");
        EXPECT_FALSE(r.offMainThread);
        EXPECT_EQ(tree(dest()).size(), c.n);
        EXPECT_EQ(engine.failedItemCount(), 0);
    }
}

TEST_F(DoCopyFilesTest, EmptySelectionReportsNothing)
{
    Recorder r;
    DoCopyFiles engine(&r);
    runJob(engine, {}, dest());
    EXPECT_TRUE(r.events.isEmpty());
    EXPECT_TRUE(tree(dest()).isEmpty());
}

TEST_F(DoCopyFilesTest, UncheckedItemsAdvanceProgressButAreNeitherReportedNorCopied)
{
    FileNodeArray arr = files(3);
    arr[0]->state = FileNode::Unchecked;
    arr[2]->state = FileNode::Unchecked;
    Recorder r;
    DoCopyFiles engine(&r);
    runJob(engine, arr, dest());
    EXPECT_EQ(r.events, (QStringList{"5", "33", "path f1", "66", "100"}));
    EXPECT_EQ(tree(dest()), QStringList{"f1"});
}

TEST_F(DoCopyFilesTest, TakenNamesAreNumberedFromOneForEveryItem)
{
    struct Case {
        QStringList existing; // a trailing "/" makes a folder
        QString name;
        QString expected;
        int tries;
    };
    const Case cases[] = {
        {{"a.txt", "a 1.txt"}, "a.txt", "a 2.txt", 2},
        {{"notes"}, "notes", "notes 1", 1},
        {{"x. "}, "x. ", "x 1", 1}, // an extension of a single blank is left off
        {{"Photos/"}, "Photos", "Photos 1", 1},
        {{"archive.tar.gz"}, "archive.tar.gz", "archive.tar 1.gz", 1},
        {{".profile"}, ".profile", ".profile 1", 1}, // a leading point starts no extension
        {{"A.txt"}, "a.txt", "a.txt", 0},            // names compare case by case
        {{}, "free.txt", "free.txt", 0},
        {{"%1.txt", "%1 1.txt"}, "%1.txt", "%1 2.txt", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QTemporaryDir folder;
        for (const QString &e : c.existing) {
            if (e.endsWith('/'))
                QDir(folder.path()).mkdir(e.chopped(1));
            else
                TestSupport::writeFile(folder.filePath(e), "old");
        }
        DoCopyFiles engine;
        EXPECT_EQ(engine.createFileWithPath(folder.path(), c.name, c.name), c.expected);
        EXPECT_EQ(engine.iBegin(), c.tries);
    }
    DoCopyFiles engine;
    EXPECT_EQ(engine.createFileWithPath(m_dir.filePath("missing"), "a.txt", "a.txt"), "a.txt")
        << "a folder that cannot be listed takes the name as it is";
}

TEST_F(DoCopyFilesTest, SecondItemOfATakenNameTakesTheNextNumber)
{
    TestSupport::writeFile(dest() + "/a.txt", "old");
    TestSupport::writeFile(dest() + "/a 1.txt", "old 1");
    TestSupport::writeFile(src("one/a.txt"), "first");
    TestSupport::writeFile(src("two/a.txt"), "second");
    TestSupport::writeFile(src("Photos/p.jpg"), "jpg");
    QDir().mkpath(dest() + "/Photos");
    Recorder r;
    DoCopyFiles engine(&r);
    runJob(engine, {node(src("one/a.txt"), 1), node(src("two/a.txt"), 1), node(src("Photos"), 1)}, dest());
    EXPECT_EQ(TestSupport::readFile(dest() + "/a.txt"), "old");
    EXPECT_EQ(TestSupport::readFile(dest() + "/a 1.txt"), "old 1");
    EXPECT_EQ(TestSupport::readFile(dest() + "/a 2.txt"), "first");
    EXPECT_EQ(TestSupport::readFile(dest() + "/a 3.txt"), "second");
    EXPECT_EQ(TestSupport::readFile(dest() + "/Photos 1/p.jpg"), "jpg");
    EXPECT_EQ(tree(dest() + "/Photos"), QStringList()) << "an existing folder is never written into";
    EXPECT_EQ(r.progress().last(), "100");
}

TEST_F(DoCopyFilesTest, PartlyCheckedFoldersAreMirroredAtEveryDepth)
{
    // A (partly) / B (partly) / D (partly) / e.txt (checked), f.txt (unchecked);
    // B / g.txt (checked); A / top.txt (unchecked); A / C (checked, never listed).
    for (const char *f : {"A/B/D/e.txt", "A/B/D/f.txt", "A/B/g.txt", "A/top.txt", "A/C/x/y.txt"})
        TestSupport::writeFile(src(f), f);
    // A folder already there takes the content; a taken file name is numbered.
    TestSupport::writeFile(dest() + "/A/B/g.txt", "old");
    FileNodeArray arr{node(src("A"), 2,
                           {node(src("A/B"), 2,
                                 {node(src("A/B/D"), 2, {node(src("A/B/D/e.txt"), 1), node(src("A/B/D/f.txt"), 0)}),
                                  node(src("A/B/g.txt"), 1)}),
                            node(src("A/top.txt"), 0), node(src("A/C"), 1)})};
    Recorder r;
    DoCopyFiles engine(&r);
    runJob(engine, arr, dest());
    EXPECT_EQ(tree(dest()), (QStringList{"A/", "A/B/", "A/B/D/", "A/B/D/e.txt", "A/B/g 1.txt", "A/B/g.txt", "A/C/",
                                         "A/C/x/", "A/C/x/y.txt"}));
    EXPECT_EQ(TestSupport::readFile(dest() + "/A/B/D/e.txt"), "A/B/D/e.txt");
    EXPECT_EQ(TestSupport::readFile(dest() + "/A/B/g.txt"), "old");
    EXPECT_EQ(TestSupport::readFile(dest() + "/A/B/g 1.txt"), "A/B/g.txt");
    EXPECT_EQ(r.events, (QStringList{"5", "path e.txt", "path g.txt", "path C", "100"}));
}

TEST_F(DoCopyFilesTest, AStopEndsTheJobWithoutAnotherReport)
{
    struct Case {
        const char *what;
        bool atLastPath; // else at the first progress after an item
        QStringList events;
        QStringList copied;
    };
    const Case cases[] = {
        {"during the last item", true, {"5", "path f0", "33", "path f1", "66", "path f2"}, {"f0", "f1", "f2"}},
        {"after the first item", false, {"5", "path f0", "33"}, {"f0"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(dest()).removeRecursively();
        QDir().mkpath(dest());
        Recorder r;
        DoCopyFiles engine(&r);
        if (c.atLastPath)
            r.onPath = [&](const QString &p) {
                if (p.endsWith("f2"))
                    engine.setIsCancel(true);
            };
        else
            r.onProgress = [&](float v) {
                if (v > 5)
                    engine.setIsCancel(true);
            };
        runJob(engine, files(3), dest());
        EXPECT_EQ(r.events, c.events);
        // The item reported when the stop came is finished; later items that
        // were copied ahead of the reports are taken back, and nothing is
        // left half-made.
        const QStringList copied = tree(dest());
        EXPECT_EQ(copied, c.copied);
        for (const QString &name : copied)
            EXPECT_EQ(TestSupport::readFile(dest() + "/" + name), QByteArray::number(name.mid(1).toInt()))
                << name.toStdString();
    }
}

TEST_F(DoCopyFilesTest, AVanishedDestinationSendsCopyFileErrorAndCopiesNothingMore)
{
    TestSupport::writeFile(src("A/B/b.txt"), "b");
    struct Case {
        const char *what;
        FileNodeArray arr;
        QStringList events;
    };
    FileNodeArray plain = files(3);
    FileNodeArray nested{files(1).first(), node(src("A"), 2, {node(src("A/B"), 1)})};
    const Case cases[] = {
        {"before a checked item", plain, {"5", "path f0", "33", "path f1", "error"}},
        {"before a mirrored folder", nested, {"5", "path f0", "50", "error"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir().mkpath(dest());
        Platform::SystemLogCapture log;
        Recorder r;
        DoCopyFiles engine(&r);
        r.onPath = [&](const QString &p) {
            if (!p.endsWith("f0"))
                QDir(dest()).removeRecursively();
        };
        r.onProgress = [&](float v) {
            if (v > 5)
                QDir(dest()).removeRecursively();
        };
        runJob(engine, c.arr, dest());
        EXPECT_EQ(r.events, c.events);
        EXPECT_FALSE(QFileInfo::exists(dest())) << "a folder that has gone is never made again";
        EXPECT_TRUE(engine.isCancel());
    }
}

TEST_F(DoCopyFilesTest, AnItemThatFailsDoesNotStopTheJobButEndsItInFailure)
{
    struct Case {
        const char *what;
        std::function<FileNodePtr()> second;
        std::optional<qint64> space;
    };
    const Case cases[] = {
        {"its source has gone", [&] { return node(src("gone.txt"), 1); }, std::nullopt},
        {"the target is full",
         [&] {
             TestSupport::writeFile(src("big.bin"), QByteArray(5000, 'b'));
             return node(src("big.bin"), 1);
         },
         4000},
        {"its mirrored folder cannot be made",
         [&] {
             TestSupport::writeFile(src("A/a.txt"), "a");
             TestSupport::writeFile(dest() + "/A", "a file where the folder should go");
             return node(src("A"), 2, {node(src("A/a.txt"), 1)});
         },
         std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(dest()).removeRecursively();
        QDir().mkpath(dest());
        FileNodeArray arr = files(2);
        arr.insert(1, c.second());
        if (c.space)
            FileManager::setSpaceProvider([limit = *c.space](const QString &) { return std::optional<qint64>(limit); });
        Platform::SystemLogCapture log;
        Recorder r;
        DoCopyFiles engine(&r);
        runJob(engine, arr, dest());
        FileManager::setSpaceProvider({});
        EXPECT_EQ(r.events.last(), "error");
        EXPECT_EQ(r.progress(), (QStringList{"5", "33", "66"})) << "no 100";
        EXPECT_TRUE(QFileInfo::exists(dest() + "/f0"));
        EXPECT_TRUE(QFileInfo::exists(dest() + "/f1")) << "the job goes on after the failed item";
        EXPECT_EQ(engine.failedItemCount(), 1);
        EXPECT_TRUE(log.contains("error--"));
    }
}

TEST_F(DoCopyFilesTest, TheCopyNeverTakesInItsDestinationOrOtherVolumes)
{
    TestSupport::TempRoot root;
    const QString target = root.at("/Volumes/TGT"), other = root.at("/Volumes/USB3"), usb = root.at("/Volumes/SRC");
    const QString copyDest = target + "/KestrovaDiskClone(2024-01-01 10:00:00)";
    TestSupport::writeFile(root.at("/Users/u/notes.txt"), "notes");
    TestSupport::writeFile(target + "/old.txt", "old");
    TestSupport::writeFile(other + "/o.txt", "other volume");
    TestSupport::writeFile(usb + "/s.txt", "usb");
    QDir().mkpath(copyDest);
    const QString volumes = root.at("/Volumes");

    struct Case {
        const char *what;
        std::function<FileNodeArray()> arr;
        QStringList copied;
        int skipped;
        const char *end; // "100", or "error" when what was chosen was kept out
    };
    const Case cases[] = {
        {"the startup volume whole",
         [&] {
             return FileNodeArray{node(root.at("/Users"), 1), node(volumes, 1)};
         },
         {"Users/", "Users/u/", "Users/u/notes.txt"},
         1,
         "100"},
        {"ticked volumes on the startup volume",
         [&] {
             return FileNodeArray{node(volumes, 2, {node(target, 1), node(other, 1)})};
         },
         {"Volumes/"},
         2,
         "error"},
        {"a startup-volume folder that holds the mount folder",
         [&] { return FileNodeArray{node(root.path(), 1)}; },
         {},
         1,
         "error"},
        {"dropped destination and target",
         [&] {
             return FileNodeArray{node(copyDest, 1), node(target, 1)};
         },
         {},
         2,
         "error"},
        {"a dropped system root", [&] { return FileNodeArray{node("/", 1)}; }, {}, 1, "error"},
        {"a volume mounted in the mount folder",
         [&] {
             return FileNodeArray{node(usb + "/s.txt", 1), node(other, 2, {node(other + "/o.txt", 1)})};
         },
         {"USB3/", "USB3/o.txt", "s.txt"},
         0,
         "100"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(copyDest).removeRecursively();
        QDir().mkpath(copyDest);
        Platform::SystemLogCapture log;
        Recorder r;
        DoCopyFiles engine(&r);
        runJob(engine, c.arr(), copyDest, target);
        EXPECT_EQ(tree(copyDest), c.copied);
        EXPECT_EQ(log.count("skipped--"), c.skipped);
        EXPECT_EQ(r.events.last(), QString(c.end))
            << log.lines().join(" / ").toStdString()
            << "leaving out other volumes is no failure; leaving out what was chosen is";
        EXPECT_FALSE(r.progress().contains("100") && QString(c.end) == "error");
        EXPECT_EQ(TestSupport::readFile(target + "/old.txt"), "old");
    }
}

TEST_F(DoCopyFilesTest, AnEngineLetGoOfByItsOwnerFinishesItsJob)
{
    Recorder r;
    std::shared_ptr<DoCopyFiles> engine = DoCopyFiles::create(&r);
    std::weak_ptr<DoCopyFiles> watch = engine;
    const FileNodeArray arr = files(2);
    const FileNodeArray second = files(1);
    r.onPath = [&](const QString &) {
        // A second start while the job runs changes nothing.
        if (auto e = watch.lock())
            e->doCopyFilesWithArr(second, m_dir.filePath("elsewhere"));
    };
    Platform::SystemLogCapture log;
    engine->doCopyFilesWithArr(arr, dest());
    engine.reset();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return watch.expired(); }));
    EXPECT_EQ(r.events, (QStringList{"5", "path f0", "50", "path f1", "100"}));
    EXPECT_EQ(tree(dest()), (QStringList{"f0", "f1"}));
    EXPECT_EQ(log.count("is running already"), 2);
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("elsewhere")));
}

TEST_F(DoCopyFilesTest, AJobWithoutADelegateStillCopiesAndALateDelegateHearsNothingAfterItIsCleared)
{
    Recorder r;
    DoCopyFiles engine(&r);
    r.onProgress = [&](float v) {
        if (v > 5)
            engine.setDelegate(nullptr);
    };
    runJob(engine, files(3), dest());
    EXPECT_EQ(r.events, (QStringList{"5", "path f0", "33"}));
    EXPECT_EQ(tree(dest()), (QStringList{"f0", "f1", "f2"}));
}

namespace {

// A node for a path of the file system's bytes, listed as the scanner lists it.
FileNodePtr nativeNode(const QByteArray &path, qint64 state, FileNodeList children = {})
{
    struct stat st;
    const bool isDir = ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
    FileNodePtr n = FileNode::initWithNativePath(path, isDir, nullptr);
    n->recordListing();
    n->state = state;
    for (const FileNodePtr &c : children) {
        c->father = n.get();
        n->children.append(c);
    }
    return n;
}

// Every file below a folder whose content is `data`.
QStringList filesHolding(const QString &root, const QByteArray &data)
{
    QStringList out;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (TestSupport::readFile(it.filePath()) == data)
            out.append(it.filePath());
    }
    return out;
}

} // namespace

TEST_F(DoCopyFilesTest, ASourceFolderSwappedForALinkAfterListingIsAFailedItemAndNothingOfItsTargetIsCopied)
{
    const QString secret = m_dir.filePath("secret");
    TestSupport::writeFile(secret + "/f.txt", "root only");
    ::chmod(QFile::encodeName(secret + "/f.txt").constData(), 0600);
    TestSupport::writeFile(src("A/f.txt"), "mine");
    TestSupport::writeFile(src("B/f.txt"), "mine");
    TestSupport::writeFile(src("c.txt"), "c");
    const FileNodeArray arr{
        nativeNode(QFile::encodeName(src("A")), 2, {nativeNode(QFile::encodeName(src("A/f.txt")), 1)}),
        nativeNode(QFile::encodeName(src("B")), 1), nativeNode(QFile::encodeName(src("c.txt")), 1)};
    // Listed as folders, then swapped for links to a folder the user may not read.
    for (const char *name : {"A", "B"}) {
        ASSERT_TRUE(QDir().rename(src(name), src(QString(name) + ".old")));
        ASSERT_TRUE(QFile::link(secret, src(name)));
    }
    Platform::SystemLogCapture log;
    Recorder r;
    DoCopyFiles engine(&r);
    runJob(engine, arr, dest());
    EXPECT_TRUE(filesHolding(dest(), "root only").isEmpty()) << tree(dest()).join(' ').toStdString();
    EXPECT_EQ(r.events.last(), "error");
    EXPECT_EQ(engine.failedItemCount(), 2);
    EXPECT_TRUE(QFileInfo::exists(dest() + "/c.txt")) << "the other items are copied";
}

TEST_F(DoCopyFilesTest, AFileTickedInAPrivateFolderLandsInAFolderJustAsPrivate)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "owners are kept by root only";
    TestSupport::writeFile(src("P/Q/f.txt"), "private");
    TestSupport::writeFile(src("P/g.txt"), "left out");
    const QByteArray p = QFile::encodeName(src("P")), q = QFile::encodeName(src("P/Q"));
    ASSERT_EQ(::chown(p.constData(), 4321, 4321), 0);
    ASSERT_EQ(::chmod(p.constData(), 0700), 0);
    ASSERT_EQ(::chmod(q.constData(), 0750), 0);
    const struct timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.constData(), times, 0), 0);
    const FileNodeArray arr{nativeNode(p, 2, {nativeNode(q, 2, {nativeNode(QFile::encodeName(src("P/Q/f.txt")), 1)})})};
    Recorder r;
    DoCopyFiles engine(&r);
    runJob(engine, arr, dest());
    ASSERT_EQ(r.events.last(), "100");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(dest() + "/P").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1'600'000'000);
    ASSERT_EQ(::stat(QFile::encodeName(dest() + "/P/Q").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(TestSupport::readFile(dest() + "/P/Q/f.txt"), "private");
    EXPECT_FALSE(QFileInfo::exists(dest() + "/P/g.txt"));
}

TEST_F(DoCopyFilesTest, AStopLeavesWhatWasReportedAndEveryFolderItMadeAsItsSourceHasIt)
{
    // The walk and the copies run far ahead of the reports; the stop comes
    // with the report of the 2nd of 60 files.
    const bool root = geteuid() == 0;
    auto folder = [&](const QString &rel) {
        const QByteArray path = QFile::encodeName(src(rel));
        EXPECT_TRUE(QDir().mkpath(src(rel)));
        EXPECT_EQ(::chmod(path.constData(), 0750), 0);
        if (root) {
            EXPECT_EQ(::chown(path.constData(), 4321, 4321), 0);
        }
        return path;
    };
    auto file = [&](const QString &rel) {
        EXPECT_TRUE(TestSupport::writeFile(src(rel), rel.toUtf8()));
        return nativeNode(QFile::encodeName(src(rel)), 1);
    };
    // A folder's times are set once what it holds is made.
    auto dated = [](const QByteArray &path) {
        const struct timespec times[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
    };
    struct Shape {
        const char *what;
        std::function<FileNodeArray()> build;
        QStringList left;
    };
    const QList<Shape> shapes = {
        {"60 files",
         [&] {
             FileNodeArray arr;
             for (int i = 0; i < 60; ++i)
                 arr.append(file(QStringLiteral("f%1").arg(i)));
             return arr;
         },
         {"f0", "f1"}},
        {"60 folders",
         [&] {
             FileNodeArray arr;
             for (int i = 0; i < 60; ++i) {
                 const QString t = QStringLiteral("T%1").arg(i);
                 const QByteArray path = folder(t);
                 FileNodePtr f = file(t + QStringLiteral("/f"));
                 dated(path);
                 arr.append(nativeNode(path, 2, {f}));
             }
             return arr;
         },
         {"T0/", "T0/f", "T1/", "T1/f"}},
        {"60 folders in one",
         [&] {
             const QByteArray top = folder(QStringLiteral("A"));
             FileNodeList children;
             for (int i = 0; i < 60; ++i) {
                 const QString t = QStringLiteral("A/S%1").arg(i);
                 const QByteArray path = folder(t);
                 FileNodePtr f = file(t + QStringLiteral("/f"));
                 dated(path);
                 children.append(nativeNode(path, 2, {f}));
             }
             dated(top);
             return FileNodeArray{nativeNode(top, 2, children)};
         },
         {"A/", "A/S0/", "A/S0/f", "A/S1/", "A/S1/f"}},
    };
    for (const Shape &shape : shapes) {
        SCOPED_TRACE(shape.what);
        QDir(src("")).removeRecursively();
        QDir(dest()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(dest()));
        const FileNodeArray arr = shape.build();
        Recorder r;
        DoCopyFiles engine(&r);
        int paths = 0;
        r.onPath = [&](const QString &) {
            if (++paths == 2)
                engine.setIsCancel(true);
        };
        runJob(engine, arr, dest());
        EXPECT_EQ(paths, 2);
        EXPECT_NE(r.events.last(), "100");
        EXPECT_EQ(tree(dest()), shape.left);
        for (const QString &rel : tree(dest())) {
            if (!rel.endsWith(QLatin1Char('/'))) {
                EXPECT_EQ(TestSupport::readFile(dest() + "/" + rel), rel.toUtf8());
                continue;
            }
            struct stat made, source;
            ASSERT_EQ(::stat(QFile::encodeName(dest() + "/" + rel).constData(), &made), 0);
            ASSERT_EQ(::stat(QFile::encodeName(src(rel)).constData(), &source), 0);
            EXPECT_EQ(made.st_mode & 07777, source.st_mode & 07777) << rel.toStdString();
            EXPECT_EQ(made.st_uid, source.st_uid) << rel.toStdString();
            EXPECT_EQ(made.st_mtim.tv_sec, 1'600'000'000) << rel.toStdString();
        }
    }
}

TEST_F(DoCopyFilesTest, NamesThatAreNotUtf8AreCopiedByteForByte)
{
    const QByteArray root = QFile::encodeName(src(""));
    QDir().mkpath(src(""));
    const QByteArray file = root + "bad\xff\xfename.txt", folder = root + "dir\xfe", inner = folder + "/in\xff";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    for (const QByteArray &f : {file, inner, QByteArray(folder + "/other")}) {
        const int fd = ::open(f.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "data", 4), 4);
        ::close(fd);
    }
    const FileNodeArray arr{nativeNode(file, 1), nativeNode(folder, 2, {nativeNode(inner, 1)})};
    // Twice: the second copy of the file takes the next free name, still in bytes.
    for (int round = 0; round < 2; ++round) {
        Recorder r;
        DoCopyFiles engine(&r);
        runJob(engine, arr, dest());
        EXPECT_EQ(r.events.last(), "100");
    }
    const QByteArray d = QFile::encodeName(dest());
    auto names = [](const QByteArray &dir) {
        QList<QByteArray> n = FileManager::defaultManager().contentsOfDirectoryBytes(dir);
        std::sort(n.begin(), n.end());
        return n;
    };
    EXPECT_EQ(names(d), (QList<QByteArray>{"bad\xff\xfename 1.txt", "bad\xff\xfename.txt", "dir\xfe"}));
    EXPECT_EQ(names(d + "/dir\xfe"), (QList<QByteArray>{"in\xff", "in\xff 1"}));
}

TEST_F(DoCopyFilesTest, ADestinationThatIsALinkReceivesNothing)
{
    const QString elsewhere = m_dir.filePath("elsewhere");
    QDir().mkpath(elsewhere);
    const QString link = m_dir.filePath("linked");
    ASSERT_TRUE(QFile::link(elsewhere, link));
    Recorder r;
    DoCopyFiles engine(&r);
    Platform::SystemLogCapture log;
    runJob(engine, files(2), link);
    EXPECT_EQ(r.events, (QStringList{"5", "path f0", "error"}));
    EXPECT_TRUE(tree(elsewhere).isEmpty());
}
