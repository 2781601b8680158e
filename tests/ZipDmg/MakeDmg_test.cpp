// The image and archive engine on a disk world of its own: the disk image job
// through the stand-in hdiutil and diskutil, the archive job through this
// machine's zip.
#include "MakeDmgTestRig.h"

#include "Platform/SystemLog.h"
#include "Platform/SystemRoot.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <condition_variable>
#include <csignal>
#include <sys/mount.h>

using MakeDmgRig::node;
using MakeDmgRig::Recorder;
using TestSupport::DiskWorldFixture;

namespace {

const QString kImageVolume = QStringLiteral("KestrovaDiskCloneDmg");
const QString kStatus = QStringLiteral("制作镜像中...");

// The stand-in tools with hdiutil (and, given a body, diskutil) behind a
// script: the body runs first with $REAL naming the real stand-in and $LOG a
// file prefix in the script's folder.
class ScriptedHdiutil {
public:
    explicit ScriptedHdiutil(const QByteArray &body, const QByteArray &diskutilBody = {})
        : m_previous(Platform::toolsDirectory())
    {
        for (const char *tool : {"asr", "diskworld"})
            QFile::link(m_previous + QLatin1Char('/') + QLatin1String(tool),
                        m_dir.path() + QLatin1Char('/') + QLatin1String(tool));
        script("hdiutil", body);
        if (diskutilBody.isEmpty())
            QFile::link(m_previous + QStringLiteral("/diskutil"), m_dir.path() + QStringLiteral("/diskutil"));
        else
            script("diskutil", diskutilBody);
        Platform::setToolsDirectory(m_dir.path());
    }
    ~ScriptedHdiutil() { Platform::setToolsDirectory(m_previous); }
    QString log(const QString &suffix) const
    {
        return QString::fromUtf8(TestSupport::readFile(m_dir.path() + QStringLiteral("/log") + suffix));
    }
    QString path() const { return m_dir.path(); }

private:
    void script(const char *tool, const QByteArray &body)
    {
        const QByteArray head = "REAL='" + QFile::encodeName(m_previous) + "/" + tool + "'\nLOG='" +
                                QFile::encodeName(m_dir.path()) + "/log'\n";
        MakeDmgRig::writeScript(m_dir.path() + QLatin1Char('/') + QLatin1String(tool),
                                head + body + "\nexec \"$REAL\" \"$@\"\n");
    }

    QTemporaryDir m_dir;
    QString m_previous;
};

// Writes down what `hdiutil create` was given and what its staging folder was.
const QByteArray kRecordCreate = R"sh(if [ "$1" = create ]; then
  printf '%s\n' "$@" > "$LOG.create"
  src=""; prev=""
  for a in "$@"; do [ "$prev" = -srcfolder ] && src="$a"; prev="$a"; done
  stat -c '%a %u %F' "$src" > "$LOG.staging"
  stat -c '%a %u' "$(dirname "$2")" > "$LOG.workmode"
  ls -A "$src" > "$LOG.content"
  pwd -P > "$LOG.cwd"
fi)sh";

class DiskImageJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.ok()) << world.error().toStdString();
        source = world.mountPoint(QStringLiteral("Travel Drive"));
        target = world.mountPoint(QStringLiteral("BACKUP"));
        ASSERT_FALSE(source.isEmpty());
        ASSERT_FALSE(target.isEmpty());
        engine.setMakeDmgDelegate(&recorder);
        // The page's answer to a mounted image.
        recorder.onBegin = [this] { engine.doCopyFilesToDmgWithDmg(items); };
    }
    void TearDown() override { Platform::FileManager::setCopyFaultHook({}); }

    // Runs a whole job into `folder` and waits for its end.
    void run(const QStringList &paths, qint64 size = 1000, const QString &folder = QString())
    {
        items = paths;
        engine.makeTmpDmgWithPath(folder.isEmpty() ? target : folder, name, size);
        ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder));
    }
    QString image() const { return target + QLatin1Char('/') + name + QStringLiteral(".dmg"); }
    // The image's content, read by attaching it again; it is ejected afterwards.
    QMap<QString, QByteArray> imageTree(const QString &imagePath)
    {
        const QString mountPoint = MakeDmgRig::mountImage(world, imagePath);
        EXPECT_FALSE(mountPoint.isEmpty()) << imagePath.toStdString();
        if (mountPoint.isEmpty())
            return {};
        const QMap<QString, QByteArray> tree = MakeDmgRig::treeOf(mountPoint);
        EXPECT_EQ(world.run(QStringLiteral("diskutil"), {QStringLiteral("eject"), mountPoint}).status, 0);
        return tree;
    }
    // What the target's root folder holds, hidden entries included.
    QStringList targetEntries() const
    {
        return QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // The copy's reports: what came after the job's first report.
    QList<float> copyValues() const { return recorder.values().mid(1); }

    DiskWorldFixture world;
    Recorder recorder;
    MakeDmg engine;
    QString source, target;
    QString name = QStringLiteral("KestrovaDiskClone(2024-05-06 07:08:09)");
    QStringList items;
};

} // namespace

// --- Names, sizes and progress values ---------------------------------------

TEST(MakeDmgRules, ImageSizeAddsTheMarginToTheSelection)
{
    const struct {
        qint64 selection;
        quint64 size;
    } cases[] = {{0, 50'000'000}, {1, 50'000'001}, {1'234'567'890, 1'284'567'890}, {-1, 50'000'000}};
    for (const auto &c : cases)
        EXPECT_EQ(MakeDmg::imageSize(c.selection), c.size) << c.selection;
}

TEST(MakeDmgRules, CopyProgressForOneThreeAndFortyItems)
{
    EXPECT_EQ(MakeDmg::copyProgress(0, 1), 100);
    EXPECT_EQ((QList<int>{MakeDmg::copyProgress(0, 3), MakeDmg::copyProgress(1, 3), MakeDmg::copyProgress(2, 3)}),
              (QList<int>{33, 66, 100}));
    QList<int> forty;
    for (int j = 0; j < 40; ++j)
        forty << MakeDmg::copyProgress(j, 40);
    EXPECT_EQ(forty.first(), 20); // 2
    EXPECT_EQ(forty.at(5), 20);   // 15
    EXPECT_EQ(forty.at(7), 20);   // 20
    EXPECT_EQ(forty.at(8), 22);
    EXPECT_EQ(forty.last(), 100);
    EXPECT_TRUE(std::is_sorted(forty.begin(), forty.end()));
}

TEST(MakeDmgRules, FixedNames)
{
    EXPECT_EQ(MakeDmg::imageVolumeName(), kImageVolume);
    EXPECT_EQ(MakeDmg::rootImageFolder(), QStringLiteral("/KestrovaDiskClone_dmg"));
    EXPECT_EQ(MakeDmg::stagingFolderPrefix(), QStringLiteral("/tmp/com.kestrova.clone"));
    EXPECT_EQ(MakeDmg::statusText(), kStatus);
}

TEST(MakeDmgRules, WhatHoldsTheResultOrBelongsToOtherVolumesIsKeptOut)
{
    using K = MakeDmg::KeptOut;
    TestSupport::TempRoot root;
    const QString volumes = root.at(QStringLiteral("/Volumes"));
    const QString mount = volumes + QStringLiteral("/KestrovaDiskCloneDmg");
    const QString folder = root.at(QStringLiteral("/Volumes/BACKUP"));
    ASSERT_TRUE(QDir().mkpath(mount) && QDir().mkpath(folder) && QDir().mkpath(root.at(QStringLiteral("/Data"))));
    ASSERT_TRUE(QDir().mkpath(volumes + QStringLiteral("/KestrovaDiskCloneDmgX")));
    ASSERT_TRUE(QDir().mkpath(root.at(QStringLiteral("/.diskworld"))));
    ASSERT_TRUE(TestSupport::writeFile(folder + QStringLiteral("/own.txt"), "own"));
    // A link to the folder of the mounts is copied as a link: it holds nothing.
    ASSERT_TRUE(QFile::link(volumes, root.at(QStringLiteral("/Data/link"))));
    const struct {
        QString item;
        QString top;
        K kept;
    } cases[] = {
        {volumes, volumes, K::OtherVolume},
        {root.path(), root.path(), K::HoldsResult},
        {mount, mount, K::HoldsResult},
        {folder, folder, K::HoldsResult},
        {folder + QStringLiteral("/own.txt"), folder, K::No},
        {volumes + QStringLiteral("/KestrovaDiskCloneDmgX"), volumes + QStringLiteral("/KestrovaDiskCloneDmgX"), K::No},
        // Under the startup volume's folder of mounts, reached from the startup volume's own top level.
        {volumes + QStringLiteral("/KestrovaDiskCloneDmgX"), volumes, K::OtherVolume},
        {root.at(QStringLiteral("/Data")), root.at(QStringLiteral("/Data")), K::No},
        {root.at(QStringLiteral("/Data/link")), root.at(QStringLiteral("/Data")), K::No},
        {root.at(QStringLiteral("/Data/../Volumes")), root.at(QStringLiteral("/Data/../Volumes")), K::OtherVolume},
        {root.at(QStringLiteral("/.diskworld")), root.at(QStringLiteral("/.diskworld")), K::OtherVolume},
    };
    for (const auto &c : cases)
        EXPECT_EQ(int(MakeDmg::keepOut(QFile::encodeName(c.item), QFile::encodeName(c.top),
                                       {QFile::encodeName(mount), QFile::encodeName(folder)})),
                  int(c.kept))
            << c.item.toStdString();
}

TEST(MakeDmgRules, ArchiveCountTakesCheckedNodesDepthFirst)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    for (const char *f : {"A/a1.txt", "A/sub/a2.txt", "A/sub/deeper/a3.txt", "B/b1.txt", "B/b2.txt", "c.txt", "d.txt"})
        ASSERT_TRUE(TestSupport::writeFile(d + QLatin1Char('/') + QLatin1String(f), "x"));
    ASSERT_TRUE(QDir().mkpath(d + QStringLiteral("/E")));
    const FileNodeArray nodes{
        node(d + QStringLiteral("/A"), FileNode::Checked),
        node(d + QStringLiteral("/B"), FileNode::PartlyChecked,
             {node(d + QStringLiteral("/B/b1.txt"), FileNode::Unchecked),
              node(d + QStringLiteral("/B/b2.txt"), FileNode::Checked)}),
        node(d + QStringLiteral("/c.txt"), FileNode::Checked),
        node(d + QStringLiteral("/d.txt"), FileNode::Unchecked),
        node(d + QStringLiteral("/E"), FileNode::Checked),
    };
    const MakeDmg::ZipSelection s = MakeDmg::getAllFileCount(nodes);
    EXPECT_EQ(s.paths, (QStringList{d + QStringLiteral("/A"), d + QStringLiteral("/B/b2.txt"),
                                    d + QStringLiteral("/c.txt"), d + QStringLiteral("/E")}));
    EXPECT_EQ(s.folders, (QStringList{d + QStringLiteral("/A"), d + QStringLiteral("/E")}));
    EXPECT_EQ(s.files, 2u);
    // Below A: a1.txt, sub, a2.txt, deeper, a3.txt; the folder itself does not count.
    EXPECT_EQ(MakeDmg::getAllFileCountWithPath(d + QStringLiteral("/A")), 5u);
    EXPECT_EQ(MakeDmg::getAllFileCountWithPath(d + QStringLiteral("/E")), 0u);
    EXPECT_EQ(MakeDmg::getAllFileCountWithPath(d + QStringLiteral("/missing")), 0u);
}

// --- The disk image job -----------------------------------------------------

TEST_F(DiskImageJob, ThreeItemsReport20Then33And66AndEndAfterTheEject)
{
    const QMap<QString, QByteArray> before = MakeDmgRig::treeOf(source);
    int mountedAt100 = -1;
    recorder.onReport = [&](float value) {
        if (value >= 100)
            mountedAt100 = MakeDmgRig::mountedVolumesNamed(world, kImageVolume);
    };
    run({source + QStringLiteral("/Documents"), source + QStringLiteral("/Photos"),
         source + QStringLiteral("/ReadMe.txt")});

    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.begins, 1);
    EXPECT_EQ(recorder.values(), (QList<float>{20, 20, 33, 66, 100}));
    for (const MakeDmgRig::Report &r : recorder.reports())
        EXPECT_EQ(r.text, kStatus);
    // The first report comes on the starting thread (here the main thread), the rest on the main thread.
    for (const MakeDmgRig::Report &r : recorder.reports())
        EXPECT_TRUE(r.onMainThread);
    // 100 comes once the image is ejected and its file is whole.
    EXPECT_EQ(mountedAt100, 0);
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, kImageVolume), 0);
    QMap<QString, QByteArray> expected =
        MakeDmgRig::subtree(before, QStringLiteral("Documents"), QStringLiteral("Documents"));
    expected.insert(MakeDmgRig::subtree(before, QStringLiteral("Photos"), QStringLiteral("Photos")));
    expected.insert(QStringLiteral("ReadMe.txt"), before.value(QStringLiteral("ReadMe.txt")));
    EXPECT_EQ(imageTree(image()), expected);
    EXPECT_EQ(MakeDmgRig::treeOf(source), before);
    EXPECT_TRUE(world.problems().isEmpty()) << world.problems().join(QLatin1Char('\n')).toStdString();
}

TEST_F(DiskImageJob, OneItemReports20Then100)
{
    run({source + QStringLiteral("/ReadMe.txt")});
    EXPECT_EQ(recorder.values(), (QList<float>{20, 20, 100}));
}

TEST_F(DiskImageJob, FortyItemsFollowTheIntegerSequence)
{
    const QString folder = world.at(QStringLiteral("/Users/tester/forty"));
    QStringList paths;
    for (int i = 0; i < 40; ++i) {
        paths << folder + QStringLiteral("/f%1.txt").arg(i, 2, 10, QLatin1Char('0'));
        ASSERT_TRUE(TestSupport::writeFile(paths.last(), QByteArray::number(i)));
    }
    run(paths);
    const QList<float> after = copyValues().mid(1); // the copy's own 20 first, then one per item
    ASSERT_EQ(after.size(), 40);
    EXPECT_EQ(after.at(0), 20); // 2
    EXPECT_EQ(after.at(5), 20); // 15
    EXPECT_EQ(after.at(8), 22);
    EXPECT_EQ(after.last(), 100);
    EXPECT_EQ(imageTree(image()).size(), 40);
}

TEST_F(DiskImageJob, CreateGetsTheFixedArgumentsAndAFreshPrivateStagingFolder)
{
    ScriptedHdiutil tools(kRecordCreate);
    // Someone else's folder under the old fixed name is never used.
    const QString planted = MakeDmg::stagingFolderPrefix();
    const bool plantedHere = QDir().mkdir(planted);
    if (plantedHere)
        TestSupport::writeFile(planted + QStringLiteral("/planted.txt"), "not yours");

    run({source + QStringLiteral("/ReadMe.txt")}, 0);

    const QStringList args = tools.log(QStringLiteral(".create")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(args.size(), 12) << tools.log(QStringLiteral(".create")).toStdString();
    const QString staging = args.at(11);
    EXPECT_EQ(args.at(0), QStringLiteral("create"));
    EXPECT_EQ(args.mid(2, 9),
              (QStringList{QStringLiteral("-volname"), kImageVolume, QStringLiteral("-size"),
                           QStringLiteral("50000000"), QStringLiteral("-fs"), QStringLiteral("HFS+"),
                           QStringLiteral("-format"), QStringLiteral("UDRW"), QStringLiteral("-srcfolder")}));
    // The image is made in a private folder of the job's own in the target's
    // root folder, where hdiutil starts and which names the image by its name
    // alone; it has its final name only at the end.
    EXPECT_EQ(args.at(1), name + QStringLiteral(".dmg"));
    const QFileInfo made(tools.log(QStringLiteral(".cwd")).trimmed() + QLatin1Char('/') + args.at(1));
    EXPECT_EQ(QFileInfo(made.path()).path(), target);
    EXPECT_TRUE(made.dir().dirName().startsWith(QStringLiteral(".KestrovaDiskClone-"))) << made.path().toStdString();
    EXPECT_EQ(tools.log(QStringLiteral(".workmode")).trimmed(), QStringLiteral("700 %1").arg(getuid()));
    EXPECT_FALSE(QFileInfo::exists(made.path())) << "the work folder is removed";
    EXPECT_TRUE(staging.startsWith(planted + QLatin1Char('.'))) << staging.toStdString();
    EXPECT_EQ(tools.log(QStringLiteral(".staging")).trimmed(), QStringLiteral("700 %1 directory").arg(getuid()));
    EXPECT_EQ(tools.log(QStringLiteral(".content")), QString());
    EXPECT_FALSE(QFileInfo::exists(staging)) << "the staging folder is removed after the job";
    EXPECT_EQ(recorder.hundreds(), 1);
    const QMap<QString, QByteArray> tree = imageTree(image());
    EXPECT_EQ(tree.keys(), QStringList{QStringLiteral("ReadMe.txt")});
    if (plantedHere) {
        EXPECT_EQ(TestSupport::readFile(planted + QStringLiteral("/planted.txt")), QByteArray("not yours"));
        QDir(planted).removeRecursively();
    }
}

TEST_F(DiskImageJob, ASizeOfZeroMakesAnImageOfTheMarginAlone)
{
    items = {source + QStringLiteral("/ReadMe.txt")};
    std::atomic<qint64> capacity{-1};
    recorder.onBegin = [&] {
        const Platform::DiskWorld::State s = world.state();
        for (const auto &[d, n] : s.volumes())
            if (n->volume->name == kImageVolume)
                capacity = n->size;
        engine.doCopyFilesToDmgWithDmg(items);
    };
    engine.makeTmpDmgWithPath(target, name, 0);
    ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder));
    EXPECT_EQ(capacity, 50'000'000);
}

TEST_F(DiskImageJob, TwoItemsOfOneNameBothGoInTheSecondUnderTheNextFreeName)
{
    const QString a = world.at(QStringLiteral("/Users/tester/a/notes.txt"));
    const QString b = world.at(QStringLiteral("/Users/tester/b/notes.txt"));
    ASSERT_TRUE(TestSupport::writeFile(a, "first"));
    ASSERT_TRUE(TestSupport::writeFile(b, "second"));
    Platform::SystemLogCapture log;
    run({a, b});
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.values().last(), 100);
    EXPECT_EQ(imageTree(image()), (QMap<QString, QByteArray>{{QStringLiteral("notes.txt"), "first"},
                                                             {QStringLiteral("notes 1.txt"), "second"}}));
    EXPECT_TRUE(log.contains(b)) << log.lines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(DiskImageJob, AFolderSwappedForALinkInATickedPathIsAFailedItem)
{
    const QString secret = source + QStringLiteral("/secret");
    ASSERT_TRUE(TestSupport::writeFile(secret + QStringLiteral("/B/f.txt"), "root only"));
    ASSERT_EQ(::chmod(QFile::encodeName(secret + QStringLiteral("/B/f.txt")).constData(), 0600), 0);
    ASSERT_TRUE(TestSupport::writeFile(source + QStringLiteral("/A/B/f.txt"), "mine"));
    using MakeDmgRig::listedNode;
    const FileNodeArray nodes{listedNode(
        source + QStringLiteral("/A"), FileNode::PartlyChecked,
        {listedNode(source + QStringLiteral("/A/B"), FileNode::PartlyChecked,
                    {listedNode(source + QStringLiteral("/A/B/f.txt"), FileNode::Checked)})})};
    // Listed, then the first folder of the path is swapped for a link to a
    // folder that holds the same names below it.
    ASSERT_TRUE(MakeDmgRig::swapForLink(source + QStringLiteral("/A"), secret));
    recorder.onBegin = [&] { engine.doCopyFilesToDmgWithDmg(nodes); };
    Platform::SystemLogCapture log;
    engine.makeTmpDmgWithPath(target, name, 1000);
    ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder));
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_FALSE(QFileInfo::exists(image())) << "no image holds what the link led to";
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, kImageVolume), 0);
}

TEST_F(DiskImageJob, AWorkFolderSwappedWhileTheImageIsMountedNeverGivesASuccess)
{
    const QString elsewhere = world.at(QStringLiteral("/Users/tester/elsewhere"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    items = {source + QStringLiteral("/ReadMe.txt")};
    // The receiving folder's owner moves the work folder away and puts a link in its place.
    recorder.onBegin = [&] {
        const QStringList work =
            QDir(target).entryList({QStringLiteral(".KestrovaDiskClone-*")}, QDir::Dirs | QDir::Hidden);
        if (work.size() == 1)
            MakeDmgRig::swapForLink(target + QLatin1Char('/') + work.first(), elsewhere);
        engine.doCopyFilesToDmgWithDmg(items);
    };
    engine.makeTmpDmgWithPath(target, name, 1000);
    ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder));
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_FALSE(QFileInfo::exists(image())) << "the empty image was given the final name";
    EXPECT_TRUE(QDir(elsewhere).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
        << "the image was written through the link";
    // The disk world writes an image back only into the folder it was
    // attached from: with a link in that folder's place it keeps the disk
    // attached, its content untouched, rather than write anywhere else.
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, kImageVolume), 1);
}

TEST_F(DiskImageJob, AnImageDetachedFromOutsideDuringTheCopyFailsAndLeavesNothing)
{
    for (const char *f : {"a.txt", "b.txt", "c.txt"})
        ASSERT_TRUE(TestSupport::writeFile(source + QStringLiteral("/three/") + QLatin1String(f), f));
    const QStringList paths{source + QStringLiteral("/three/a.txt"), source + QStringLiteral("/three/b.txt"),
                            source + QStringLiteral("/three/c.txt")};
    const QStringList targetBefore = targetEntries();
    bool detached = false;
    recorder.onReport = [&](float v) {
        if (detached || v <= 20 || v >= 100)
            return;
        detached = true;
        const QString mountPoint = world.mountPoint(kImageVolume);
        EXPECT_EQ(world.run(QStringLiteral("diskutil"), {QStringLiteral("eject"), mountPoint}).status, 0);
    };
    run(paths);
    ASSERT_TRUE(detached);
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_FALSE(QFileInfo::exists(image())) << "an image holding part of the items is not a backup";
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, kImageVolume), 0);
    EXPECT_EQ(targetEntries(), targetBefore) << targetEntries().join(QLatin1Char(' ')).toStdString();
}

TEST_F(DiskImageJob, NamesNoShellReadsReachTheImageAsTheyAre)
{
    const QString folder = world.at(QStringLiteral("/Users/tester/odd"));
    const QStringList names{QStringLiteral("it's \"quoted\""), QStringLiteral("$(touch pwned)"),
                            QStringLiteral("a;b&c"),           QStringLiteral("back`tick`"),
                            QStringLiteral("new\nline"),       QStringLiteral("a*b")};
    QStringList paths;
    QMap<QString, QByteArray> expected;
    for (const QString &n : names) {
        paths << folder + QLatin1Char('/') + n;
        ASSERT_TRUE(TestSupport::writeFile(paths.last(), n.toUtf8()));
        expected[n] = n.toUtf8();
    }
    run(paths);
    EXPECT_EQ(imageTree(image()), expected);
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("pwned")));
}

TEST_F(DiskImageJob, TheStartupVolumeGetsItsOwnWorldWritableStickyFolder)
{
    const QString folder = world.at(QStringLiteral("/KestrovaDiskClone_dmg"));
    // What lies in the folder already keeps its own mode.
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(TestSupport::writeFile(folder + QStringLiteral("/private.txt"), "mine"));
    ASSERT_TRUE(QFile::setPermissions(folder + QStringLiteral("/private.txt"), QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    run({source + QStringLiteral("/ReadMe.txt")}, 1000, QStringLiteral("/"));

    const auto &fm = Platform::FileManager::defaultManager();
    EXPECT_EQ(fm.attributes(folder).permissions, 01777u) << "nobody removes or renames another's entries";
    EXPECT_EQ(fm.attributes(folder + QStringLiteral("/private.txt")).permissions, 0600u);
    EXPECT_EQ(recorder.hundreds(), 1);
    EXPECT_EQ(imageTree(folder + QLatin1Char('/') + name + QStringLiteral(".dmg")).keys(),
              QStringList{QStringLiteral("ReadMe.txt")});
}

TEST_F(DiskImageJob, AVolumeOfTheImagesNameMountedAlreadyIsLeftAlone)
{
    ASSERT_FALSE(world
                     .attachUsb(kImageVolume, QStringLiteral("ExFAT"), 32'000'000,
                                {{QStringLiteral("theirs.txt"), "their data"}})
                     .isEmpty());
    const QString theirs = world.mountPoint(kImageVolume);
    ASSERT_EQ(theirs, world.at(QStringLiteral("/Volumes/KestrovaDiskCloneDmg")));
    const QMap<QString, QByteArray> theirTree = MakeDmgRig::treeOf(theirs);

    run({source + QStringLiteral("/Documents"), source + QStringLiteral("/ReadMe.txt")});

    EXPECT_EQ(recorder.hundreds(), 1);
    EXPECT_EQ(world.mountPoint(kImageVolume), theirs) << "their volume stays mounted";
    EXPECT_EQ(MakeDmgRig::treeOf(theirs), theirTree);
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, kImageVolume), 1);
    EXPECT_TRUE(imageTree(image()).contains(QStringLiteral("Documents/Budget.csv")));
}

TEST_F(DiskImageJob, AnItemHoldingTheImagesMountPointIsLeftOut)
{
    const QString volumes = world.at(QStringLiteral("/Volumes"));
    run({volumes, source + QStringLiteral("/ReadMe.txt")});
    EXPECT_EQ(recorder.hundreds(), 1);
    EXPECT_EQ(imageTree(image()).keys(), QStringList{QStringLiteral("ReadMe.txt")});
}

TEST_F(DiskImageJob, AFailedMountEndsOnTheFailureAndCopiesNothing)
{
    ScriptedHdiutil tools(R"sh(if [ "$1" = mount ]; then echo "hdiutil: attach failed" >&2; exit 1; fi)sh");
    const QStringList before = targetEntries();
    run({source + QStringLiteral("/ReadMe.txt")});
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.lastError, 0);
    EXPECT_EQ(recorder.begins, 0);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_EQ(targetEntries(), before) << "the image that could not be mounted is removed";
}

TEST_F(DiskImageJob, AMountWithoutAMountPointIsEjectedAndFails)
{
    // The image attaches but its volume is taken out again before anyone sees it.
    ScriptedHdiutil tools(R"sh(if [ "$1" = mount ]; then
  out=$("$REAL" "$@") || exit 1
  "$(dirname "$0")/diskutil" unmount "$(printf '%s\n' "$out" | sed -n '2s/[[:space:]].*//p')" >/dev/null
  printf '%s\n' "$out" | sed 's/\t[^\t]*$/\t/'
  exit 0
fi)sh");
    run({source + QStringLiteral("/ReadMe.txt")});
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.begins, 0);
    const Platform::DiskWorld::State s = world.state();
    for (const auto &d : s.disks)
        EXPECT_FALSE(d.isImage()) << "the half-mounted image is ejected: " << d.id.toStdString();
}

TEST_F(DiskImageJob, AFailedCopyEndsOnTheFailureAndLeavesNoImage)
{
    const QString bad = source + QStringLiteral("/Photos/hills.jpg");
    std::mutex m;
    QStringList tried;
    Platform::FileManager::setCopyFaultHook([&](const QString &file) {
        std::lock_guard<std::mutex> lock(m);
        tried << file;
        return file == bad;
    });
    const QStringList before = targetEntries();
    run({source + QStringLiteral("/ReadMe.txt"), source + QStringLiteral("/Photos"),
         source + QStringLiteral("/Music")});
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, kImageVolume), 0) << "the image is ejected all the same";
    // The items after the failed one are still copied, but a partly filled
    // image is no backup: it is not kept.
    EXPECT_TRUE(tried.contains(source + QStringLiteral("/Music/playlist.m3u")));
    EXPECT_EQ(targetEntries(), before);
}

TEST_F(DiskImageJob, AFailedEjectEndsOnTheFailureAndLeavesNoImage)
{
    ScriptedHdiutil tools("", R"sh(if [ "$1" = eject ]; then echo "diskutil: eject failed" >&2; exit 1; fi)sh");
    const QStringList before = targetEntries();
    run({source + QStringLiteral("/ReadMe.txt")});
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_EQ(targetEntries(), before);
}

TEST_F(DiskImageJob, ACreateThatFailsAfterMakingTheFileLeavesNoImage)
{
    ScriptedHdiutil tools(R"sh(if [ "$1" = create ]; then "$REAL" "$@" >/dev/null; exit 1; fi)sh");
    const QStringList before = targetEntries();
    run({source + QStringLiteral("/ReadMe.txt")});
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.begins, 0);
    EXPECT_EQ(targetEntries(), before);
}

// An hdiutil that has made the image and attached it when the stop comes.
const QByteArray kCreateAttachAndWait = R"sh(if [ "$1" = create ]; then
  "$REAL" "$@" >/dev/null || exit 1
  "$REAL" mount "$2" >/dev/null || exit 1
  : > "$LOG.started"
  exec sleep 30
fi)sh";

TEST_F(DiskImageJob, StopWhileCreatingEndsHdiutilAndMountsNothing)
{
    ScriptedHdiutil tools(kCreateAttachAndWait);
    items = {source + QStringLiteral("/ReadMe.txt")};
    const QStringList before = targetEntries();
    QElapsedTimer clock;
    clock.start();
    engine.makeTmpDmgWithPath(target, name, 1000);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return QFileInfo::exists(tools.path() + QStringLiteral("/log.started")); },
                                       60000));
    ASSERT_EQ(MakeDmgRig::mountedVolumesNamed(world, kImageVolume), 1) << "the image is attached before the stop";
    engine.setIsCancelCopy(true);
    engine.stopMakeDmg();
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue(20000));
    TestSupport::waitUntil([] { return false; }, 200);
    EXPECT_LT(clock.elapsed(), 20000) << "hdiutil was terminated";
    EXPECT_EQ(recorder.values(), QList<float>{20});
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.begins, 0);
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, kImageVolume), 0);
    EXPECT_EQ(targetEntries(), before) << "the image the stopped job made is removed";
}

TEST_F(DiskImageJob, StopBeforeTheCopyEjectsTheMountedImage)
{
    recorder.onBegin = [this] {
        engine.setIsCancelCopy(true);
        engine.stopMakeDmg();
    };
    items = {source + QStringLiteral("/ReadMe.txt")};
    engine.makeTmpDmgWithPath(target, name, 1000);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return recorder.begins > 0; }, 60000));
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return MakeDmgRig::mountedVolumesNamed(world, kImageVolume) == 0; }));
    // A copy asked for after the stop does nothing.
    engine.doCopyFilesToDmgWithDmg(items);
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    EXPECT_EQ(recorder.values(), QList<float>{20});
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_FALSE(QFileInfo::exists(image()));
    EXPECT_TRUE(
        QDir(target).entryList({QStringLiteral(".KestrovaDiskClone-*")}, QDir::AllEntries | QDir::Hidden).isEmpty());
}

TEST_F(DiskImageJob, StopDuringTheCopyReportsNothingMoreAndEjects)
{
    std::mutex m;
    std::condition_variable cv;
    bool inCopy = false, released = false;
    Platform::FileManager::setCopyFaultHook([&](const QString &) {
        std::unique_lock<std::mutex> lock(m);
        inCopy = true;
        cv.wait(lock, [&] { return released; });
        return false;
    });
    items = {source + QStringLiteral("/ReadMe.txt"), source + QStringLiteral("/Photos"),
             source + QStringLiteral("/Music")};
    engine.makeTmpDmgWithPath(target, name, 1000);
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] {
            std::lock_guard<std::mutex> lock(m);
            return inCopy;
        },
        60000));
    const qsizetype reportsAtStop = recorder.reports().size();
    engine.setIsCancelCopy(true);
    engine.stopMakeDmg();
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, kImageVolume), 1) << "not ejected under a running copy";
    {
        std::lock_guard<std::mutex> lock(m);
        released = true;
    }
    cv.notify_all();
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    TestSupport::waitUntil([] { return false; }, 100);
    EXPECT_EQ(recorder.reports().size(), reportsAtStop);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, kImageVolume), 0);
    EXPECT_FALSE(QFileInfo::exists(image()));
    EXPECT_TRUE(
        QDir(target).entryList({QStringLiteral(".KestrovaDiskClone-*")}, QDir::AllEntries | QDir::Hidden).isEmpty());
}

TEST_F(DiskImageJob, ANewJobAfterAStopIsNotDisturbedByTheOldOne)
{
    ScriptedHdiutil tools(
        R"sh(if [ "$1" = create ] && [ ! -e "$LOG.once" ]; then : > "$LOG.once"; exec sleep 30; fi)sh");
    engine.makeTmpDmgWithPath(target, name, 1000);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return QFileInfo::exists(tools.path() + QStringLiteral("/log.once")); }));
    engine.setIsCancelCopy(true);
    engine.stopMakeDmg();
    name = QStringLiteral("second");
    run({source + QStringLiteral("/ReadMe.txt")});
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.begins, 1);
    EXPECT_EQ(recorder.hundreds(), 1);
    EXPECT_FALSE(engine.isCancelCopy());
}

TEST_F(DiskImageJob, AnImageThatCannotBeMadeFails)
{
    // A folder that is not there, and folders that are not full paths.
    for (const QString &folder :
         {world.at(QStringLiteral("/Volumes/missing folder")), QStringLiteral("relative"), QString()}) {
        Recorder failing;
        engine.setMakeDmgDelegate(&failing);
        engine.makeTmpDmgWithPath(folder, name, 1000);
        ASSERT_TRUE(MakeDmgRig::waitForEnd(failing)) << folder.toStdString();
        EXPECT_EQ(failing.fails, 1) << folder.toStdString();
        EXPECT_EQ(failing.begins, 0);
        EXPECT_EQ(failing.values(), QList<float>{20});
    }
    EXPECT_FALSE(QFileInfo::exists(QLatin1Char('/') + name + QStringLiteral(".dmg")));
}

TEST_F(DiskImageJob, AnExistingImageFileIsNeitherOverwrittenNorMounted)
{
    ASSERT_TRUE(TestSupport::writeFile(image(), "someone's image"));
    const QStringList before = targetEntries();
    run({source + QStringLiteral("/ReadMe.txt")});
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.begins, 0);
    EXPECT_EQ(TestSupport::readFile(image()), QByteArray("someone's image"));
    EXPECT_EQ(targetEntries(), before);
}

TEST_F(DiskImageJob, AFileThatAppearsUnderTheFinalNameMeanwhileIsNotReplaced)
{
    items = {source + QStringLiteral("/ReadMe.txt")};
    recorder.onBegin = [this] {
        TestSupport::writeFile(image(), "put there during the job");
        engine.doCopyFilesToDmgWithDmg(items);
    };
    engine.makeTmpDmgWithPath(target, name, 1000);
    ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder));
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_EQ(TestSupport::readFile(image()), QByteArray("put there during the job"));
    EXPECT_TRUE(
        QDir(target).entryList({QStringLiteral(".KestrovaDiskClone-*")}, QDir::AllEntries | QDir::Hidden).isEmpty());
}

TEST_F(DiskImageJob, AnImageSwappedBeforeTheMountIsNeverUsed)
{
    // Another image of the same volume name, holding something of its own.
    const QString other = world.at(QStringLiteral("/Users/tester/other.dmg"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(other).path()));
    const QString content = world.at(QStringLiteral("/Users/tester/payload"));
    ASSERT_TRUE(TestSupport::writeFile(content + QStringLiteral("/planted.txt"), "planted"));
    ASSERT_EQ(
        world
            .run(QStringLiteral("hdiutil"),
                 {QStringLiteral("create"), other, QStringLiteral("-volname"), kImageVolume, QStringLiteral("-size"),
                  QStringLiteral("50000000"), QStringLiteral("-fs"), QStringLiteral("HFS+"), QStringLiteral("-format"),
                  QStringLiteral("UDRW"), QStringLiteral("-srcfolder"), content})
            .status,
        0);
    // Right before the mount, the image file is replaced by that other one.
    ScriptedHdiutil tools("if [ \"$1\" = mount ]; then cp '" + QFile::encodeName(other) +
                          "' \"$2.new\" && mv -f \"$2.new\" \"$2\"; fi");
    const QStringList before = targetEntries();
    run({source + QStringLiteral("/ReadMe.txt")});
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.begins, 0) << "nothing is copied into what was swapped in";
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, kImageVolume), 0);
    EXPECT_EQ(targetEntries(), before);
}

TEST_F(DiskImageJob, ATargetFolderThatIsALinkReceivesNothing)
{
    const QString elsewhere = world.at(QStringLiteral("/Users/tester/elsewhere"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    const QString link = target + QStringLiteral("/Desktop");
    ASSERT_TRUE(QFile::link(elsewhere, link));
    run({source + QStringLiteral("/ReadMe.txt")}, 1000, link);
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.begins, 0);
    EXPECT_TRUE(QDir(elsewhere).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// --- The archive job --------------------------------------------------------

namespace {

// Holds the archive's worker after its first entry until released.
class HeldArchive {
public:
    HeldArchive()
    {
        MakeDmg::setZipEntryHook([this](const QByteArray &) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_held = true;
            m_changed.notify_all();
            m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_released; });
        });
    }
    ~HeldArchive()
    {
        release();
        MakeDmg::setZipEntryHook({});
    }
    bool waitUntilHeld()
    {
        return TestSupport::waitUntil([this] {
            std::lock_guard<std::mutex> lock(m_mutex);
            return m_held;
        });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_released = false;
};

class ArchiveJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        engine.setMakeDmgDelegate(&recorder);
    }
    QString at(const QString &rel) const { return dir.path() + QLatin1Char('/') + rel; }
    void zip(const FileNodeArray &nodes)
    {
        engine.doZipWithPath(archive, nodes);
        ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder));
    }

    QTemporaryDir dir;
    QString archive = at(QStringLiteral("out/KestrovaDiskClone(2024-05-06 07:08:09).zip"));
    Recorder recorder;
    MakeDmg engine;
};

} // namespace

TEST_F(ArchiveJob, AWholeTreeIsArchivedAndReaches100OnlyWhenZipHasEnded)
{
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(
            TestSupport::writeFile(at(QStringLiteral("src/d%1/f%2.txt").arg(i % 4).arg(i)), QByteArray(i * 100, 'a')));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    zip(MakeDmgRig::topLevel(at(QStringLiteral("src"))));

    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(engine.allSelectFileCout(), 30u) << "the four folders count only what they hold";
    const QList<MakeDmgRig::Report> reports = recorder.reports();
    ASSERT_GE(reports.size(), 2);
    EXPECT_EQ(reports.last().value, 100);
    EXPECT_EQ(reports.last().text, QString());
    EXPECT_EQ(recorder.hundreds(), 1);
    for (const MakeDmgRig::Report &r : reports.mid(0, reports.size() - 1)) {
        EXPECT_LE(r.value, 99);
        EXPECT_TRUE(r.text.contains(QStringLiteral("adding:"))) << r.text.toStdString();
    }
    for (const MakeDmgRig::Report &r : reports)
        EXPECT_TRUE(r.onMainThread);
    EXPECT_EQ(engine.proValue(), 34u) << "one per entry: the 30 files and the 4 folders";
    QStringList expected;
    for (int i = 0; i < 30; ++i)
        expected << MakeDmgRig::stored(at(QStringLiteral("src/d%1/f%2.txt").arg(i % 4).arg(i)));
    for (int d = 0; d < 4; ++d)
        expected << MakeDmgRig::stored(at(QStringLiteral("src/d%1/").arg(d)));
    expected.sort();
    EXPECT_EQ(MakeDmgRig::archiveNames(archive), expected);
    EXPECT_TRUE(MakeDmgRig::unzipTests(archive));
}

TEST_F(ArchiveJob, OneFileCountsOneAndItsChunkStopsAt99Until100AtTheEnd)
{
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("one.txt")), "one"));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    zip({node(at(QStringLiteral("one.txt")), FileNode::Checked)});
    EXPECT_EQ(engine.allSelectFileCout(), 1u);
    EXPECT_EQ(engine.allSelectFileArr(), QStringList{at(QStringLiteral("one.txt"))});
    // However zip cuts its output, every chunk stops at 99 and 100 comes once, at the end.
    const QList<float> values = recorder.values();
    ASSERT_GE(values.size(), 2);
    EXPECT_EQ(values.first(), 99);
    for (float v : values.mid(0, values.size() - 1))
        EXPECT_EQ(v, 99);
    EXPECT_EQ(values.last(), 100);
    EXPECT_EQ(recorder.hundreds(), 1);
    EXPECT_EQ(MakeDmgRig::archiveNames(archive), QStringList{MakeDmgRig::stored(at(QStringLiteral("one.txt")))});
}

TEST_F(ArchiveJob, AnExpectedCountOfZeroDoesNotDivideAndEndsAt100)
{
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("empty"))));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    zip({node(at(QStringLiteral("empty")), FileNode::Checked)});
    EXPECT_EQ(engine.allSelectFileCout(), 0u);
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.values().last(), 100);
    for (float v : recorder.values().mid(0, recorder.values().size() - 1))
        EXPECT_EQ(v, 0);
}

TEST_F(ArchiveJob, NamesAreTakenLiterallyNeverAsWildcardsOrShellText)
{
    const QStringList odd{QStringLiteral("a*b"),
                          QStringLiteral("q?"),
                          QStringLiteral("d[1]"),
                          QStringLiteral("it's \"x\""),
                          QStringLiteral("$(touch pwned)"),
                          QStringLiteral("semi;colon"),
                          QStringLiteral("back`tick`")};
    FileNodeArray nodes;
    QStringList expected;
    for (const QString &n : odd) {
        ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/") + n), n.toUtf8()));
        nodes << node(at(QStringLiteral("src/") + n), FileNode::Checked);
        expected << MakeDmgRig::stored(at(QStringLiteral("src/") + n));
    }
    // What a wildcard would also match.
    for (const char *other : {"axb", "qz", "d1"})
        ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/") + QLatin1String(other)), "other"));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    zip(nodes);
    expected.sort();
    EXPECT_EQ(MakeDmgRig::archiveNames(archive), expected);
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("pwned")));
    EXPECT_EQ(recorder.hundreds(), 1);
}

TEST_F(ArchiveJob, TheArchiveStaysOnTheItemsFileSystemAsItsCountDoes)
{
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/a.txt")), "a"));
    const QString mounted = at(QStringLiteral("src/inner/mounted"));
    ASSERT_TRUE(QDir().mkpath(mounted));
    if (mount("none", QFile::encodeName(mounted).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no file system can be mounted here";
    const bool written = TestSupport::writeFile(mounted + QStringLiteral("/other.txt"), "other");
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    Platform::SystemLogCapture log;
    engine.doZipWithPath(archive, MakeDmgRig::topLevel(at(QStringLiteral("src"))));
    const bool ended = MakeDmgRig::waitForEnd(recorder);
    umount(QFile::encodeName(mounted).constData());
    ASSERT_TRUE(written);
    ASSERT_TRUE(ended);
    EXPECT_EQ(recorder.fails, 0);
    QStringList expected{MakeDmgRig::stored(at(QStringLiteral("src/a.txt"))),
                         MakeDmgRig::stored(at(QStringLiteral("src/inner/")))};
    expected.sort();
    EXPECT_EQ(MakeDmgRig::archiveNames(archive), expected);
    EXPECT_EQ(engine.allSelectFileCout(), 1u) << "the taken folder counts only what it holds here";
    EXPECT_EQ(engine.proValue(), 2u);
    EXPECT_EQ(recorder.hundreds(), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("another file system")));
}

TEST_F(ArchiveJob, AFolderSwappedForALinkAfterTheCountIsNeverFollowed)
{
    const QString secret = at(QStringLiteral("secret"));
    ASSERT_TRUE(TestSupport::writeFile(secret + QStringLiteral("/f.txt"), "root only"));
    ASSERT_EQ(::chmod(QFile::encodeName(secret + QStringLiteral("/f.txt")).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    using MakeDmgRig::listedNode;
    // A ticked path through two folders, and a ticked whole folder: each
    // swapped once the first entry is in.
    const struct {
        const char *swapped;
        bool whole;
    } cases[] = {{"src/A/B", false}, {"src/C/D", true}};
    for (const auto &c : cases) {
        ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/a.txt")), "a"));
        ASSERT_TRUE(TestSupport::writeFile(at(QLatin1String(c.swapped) + QStringLiteral("/f.txt")), "mine"));
        const FileNodeArray nodes =
            c.whole ? FileNodeArray{listedNode(at(QStringLiteral("src/a.txt")), FileNode::Checked),
                                    listedNode(at(QStringLiteral("src/C")), FileNode::Checked)}
                    : FileNodeArray{listedNode(at(QStringLiteral("src/a.txt")), FileNode::Checked),
                                    listedNode(at(QStringLiteral("src/A")), FileNode::PartlyChecked,
                                               {listedNode(at(QStringLiteral("src/A/B")), FileNode::PartlyChecked,
                                                           {listedNode(at(QStringLiteral("src/A/B/f.txt")),
                                                                       FileNode::Checked)})})};
        MakeDmg::setZipEntryHook([&, folder = at(QLatin1String(c.swapped))](const QByteArray &stored) {
            if (stored.endsWith("a.txt"))
                MakeDmgRig::swapForLink(folder, secret);
        });
        Recorder r;
        engine.setMakeDmgDelegate(&r);
        engine.doZipWithPath(archive, nodes);
        ASSERT_TRUE(MakeDmgRig::waitForEnd(r)) << c.swapped;
        MakeDmg::setZipEntryHook({});
        const QString swappedEntry = MakeDmgRig::stored(at(QLatin1String(c.swapped)));
        if (c.whole) {
            // The link is stored as a link, as what the folder now is; nothing it leads to goes in.
            EXPECT_EQ(r.hundreds(), 1) << c.swapped;
            EXPECT_TRUE(MakeDmgRig::archiveNames(archive).contains(swappedEntry));
            EXPECT_FALSE(MakeDmgRig::archiveNames(archive).contains(swappedEntry + QStringLiteral("/f.txt")));
            EXPECT_TRUE(MakeDmgRig::unzipTests(archive));
            ASSERT_TRUE(QFile::remove(archive));
        } else {
            EXPECT_EQ(r.fails, 1) << c.swapped;
            EXPECT_EQ(r.hundreds(), 0) << c.swapped;
        }
        EXPECT_TRUE(
            QDir(at(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
        engine.setMakeDmgDelegate(&recorder);
    }
}

TEST_F(ArchiveJob, AWorkFolderSwappedWhileTheArchiveIsWrittenLeadsNothingElsewhere)
{
    const QString elsewhere = at(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/one.txt")), "one"));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/two.txt")), "two"));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    MakeDmg::setZipEntryHook([&](const QByteArray &) {
        const QString out = at(QStringLiteral("out"));
        const QStringList work = QDir(out).entryList({QStringLiteral(".KestrovaDiskClone-*")}, QDir::Dirs | QDir::Hidden);
        if (work.size() == 1)
            MakeDmgRig::swapForLink(out + QLatin1Char('/') + work.first(), elsewhere);
    });
    zip({node(at(QStringLiteral("src")), FileNode::Checked)});
    MakeDmg::setZipEntryHook({});
    EXPECT_TRUE(QDir(elsewhere).isEmpty()) << "the archive went where the link leads";
    EXPECT_EQ(recorder.hundreds(), 1);
    EXPECT_TRUE(MakeDmgRig::unzipTests(archive));
    EXPECT_EQ(MakeDmgRig::archiveNames(archive).size(), 3);
}

TEST_F(ArchiveJob, AnItemHoldingTheArchivesFolderFailsTheJob)
{
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("out/keep.txt")), "keep"));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("one.txt")), "one"));
    zip({node(at(QStringLiteral("out")), FileNode::Checked), node(at(QStringLiteral("one.txt")), FileNode::Checked)});
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_EQ(QDir(at(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("keep.txt")});
}

TEST_F(ArchiveJob, AFailingZipEndsOnTheFailureNotOnSuccess)
{
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("one.txt")), "one"));
    // The archive's folder does not exist: zip cannot write it.
    zip({node(at(QStringLiteral("one.txt")), FileNode::Checked)});
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.lastError, 0);
    EXPECT_EQ(recorder.hundreds(), 0);
}

TEST_F(ArchiveJob, AnExistingArchiveIsNotTouched)
{
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("one.txt")), "one"));
    ASSERT_TRUE(TestSupport::writeFile(archive, "an archive of someone else"));
    zip({node(at(QStringLiteral("one.txt")), FileNode::Checked)});
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_EQ(TestSupport::readFile(archive), QByteArray("an archive of someone else"));
}

TEST_F(ArchiveJob, StopEndsTheArchiveAndNoSuccessFollows)
{
    HeldArchive held;
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/one.txt")), "one"));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/two.txt")), "two"));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    engine.doZipWithPath(archive, {node(at(QStringLiteral("src")), FileNode::Checked)});
    ASSERT_TRUE(held.waitUntilHeld());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !recorder.reports().isEmpty(); }));
    engine.setIsCancelCopy(true);
    engine.stopMakeDmg();
    held.release();
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    TestSupport::waitUntil([] { return false; }, 200);
    EXPECT_EQ(recorder.values(), QList<float>{50}) << "the folder, one of the two entries expected";
    EXPECT_EQ(recorder.fails, 0);
}

TEST_F(ArchiveJob, AStoppedArchiveLeavesNothingBehind)
{
    HeldArchive held;
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/one.txt")), "one"));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/two.txt")), "two"));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    engine.doZipWithPath(archive, {node(at(QStringLiteral("src")), FileNode::Checked)});
    ASSERT_TRUE(held.waitUntilHeld());
    engine.setIsCancelCopy(true);
    engine.stopMakeDmg();
    held.release();
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] {
            return QDir(at(QStringLiteral("out")))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                .isEmpty();
        },
        10000));
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    EXPECT_EQ(recorder.hundreds(), 0);
}

TEST_F(ArchiveJob, WhatCannotBeReadWholeFailsTheJobAndLeavesNoArchive)
{
    // A file whose data does not match its listed size (the kernel's own
    // files list 0 bytes and hold more).
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    zip({node(QStringLiteral("/proc/self/stat"), FileNode::Checked)});
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_TRUE(
        QDir(at(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(ArchiveJob, AnyNameIsStoredByteForByte)
{
    // Neither text nor one line.
    const QByteArray odd = QFile::encodeName(at(QStringLiteral("src"))) + "/two\nlines\xff";
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("src"))));
    ASSERT_TRUE(MakeDmgRig::writeNativeFile(odd, "odd"));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    zip({FileNode::initWithNativePath(odd, false, nullptr)});
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.hundreds(), 1);
    EXPECT_EQ(MakeDmgRig::archiveEntries(archive), (QList<QByteArray>{odd.mid(1)}));
}

TEST_F(ArchiveJob, ATickedItemThatVanishedFailsTheJob)
{
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/kept.txt")), "kept"));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/gone.txt")), "gone"));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    const FileNodeArray nodes{node(at(QStringLiteral("src/kept.txt")), FileNode::Checked),
                              node(at(QStringLiteral("src/gone.txt")), FileNode::Checked)};
    ASSERT_TRUE(QFile::remove(at(QStringLiteral("src/gone.txt"))));
    zip(nodes);
    EXPECT_EQ(recorder.fails, 1);
    EXPECT_EQ(recorder.hundreds(), 0);
    EXPECT_FALSE(QFileInfo::exists(archive));
    EXPECT_TRUE(
        QDir(at(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(ArchiveJob, TheBarMovesWithEveryEntryOfALongArchive)
{
    const int files = 3000;
    for (int i = 0; i < files; ++i)
        ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/d%1/f%2.txt").arg(i % 10).arg(i)), "x"));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    zip(MakeDmgRig::topLevel(at(QStringLiteral("src"))));
    ASSERT_EQ(recorder.fails, 0);
    EXPECT_EQ(engine.allSelectFileCout(), quint64(files));
    const QList<float> values = recorder.values();
    ASSERT_GE(values.size(), 2);
    EXPECT_EQ(values.last(), 100);
    const QList<float> before = values.mid(0, values.size() - 1);
    EXPECT_TRUE(std::is_sorted(before.begin(), before.end()));
    // Whatever sizes zip's output came in, the bar reaches 99 while zip runs.
    EXPECT_EQ(before.last(), 99);
    EXPECT_GE(std::count_if(before.begin(), before.end(), [](float v) { return v > 0 && v < 99; }), 1);
    EXPECT_EQ(engine.proValue(), quint64(files + 10));
}

TEST_F(ArchiveJob, AStopDuringTheCountMakesNothing)
{
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/a.txt")), "a"));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    engine.doZipWithPath(archive, {node(at(QStringLiteral("src")), FileNode::Checked)});
    engine.setIsCancelCopy(true);
    engine.stopMakeDmg();
    ASSERT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    TestSupport::waitUntil([] { return false; }, 300);
    EXPECT_TRUE(
        QDir(at(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_TRUE(recorder.reports().isEmpty());
    EXPECT_EQ(recorder.fails, 0);
}

TEST_F(ArchiveJob, EveryJobStartsWithItsStopFlagCleared)
{
    engine.setIsCancelCopy(true);
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("one.txt")), "one"));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("out"))));
    zip({node(at(QStringLiteral("one.txt")), FileNode::Checked)});
    EXPECT_FALSE(engine.isCancelCopy());
    EXPECT_EQ(recorder.hundreds(), 1);
}
