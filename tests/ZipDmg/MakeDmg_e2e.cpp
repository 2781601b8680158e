// The engine end to end on the demo world: an archive of a whole USB volume,
// read back with unzip, and an image of a ticked part, attached again with the
// stand-in hdiutil and compared byte for byte with its source.
#include "MakeDmgTestRig.h"

#include "Platform/SystemLog.h"

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include "Platform/SystemRoot.h"

#include <QProcess>
#include <QTemporaryDir>

using MakeDmgRig::node;
using MakeDmgRig::Recorder;
using TestSupport::DiskWorldFixture;

namespace {

class EngineOnDemoWorld : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.ok()) << world.error().toStdString();
        source = world.mountPoint(QStringLiteral("Travel Drive"));
        target = world.mountPoint(QStringLiteral("BACKUP"));
        ASSERT_FALSE(source.isEmpty());
        ASSERT_FALSE(target.isEmpty());
        // Something more than the demo's files: a nested folder, a hidden file, a link.
        ASSERT_TRUE(TestSupport::writeFile(source + QStringLiteral("/Documents/old/2023/summary.txt"), "last year\n"));
        ASSERT_TRUE(TestSupport::writeFile(source + QStringLiteral("/.hidden"), "hidden\n"));
        ASSERT_TRUE(QFile::link(QStringLiteral("Trip plan.txt"), source + QStringLiteral("/Documents/plan link")));
        before = MakeDmgRig::treeOf(source);
        engine.setMakeDmgDelegate(&recorder);
    }

    // A file whose name is not valid UTF-8 at the volume's top level and
    // another one inside the folder Deep.
    bool plantNamesThatAreNotText()
    {
        const QByteArray volume = QFile::encodeName(source);
        return MakeDmgRig::writeNativeFile(volume + '/' + bad, "not text\n") &&
               QDir().mkpath(source + QStringLiteral("/Deep")) &&
               MakeDmgRig::writeNativeFile(volume + "/Deep/" + bad, "deeper\n");
    }

    DiskWorldFixture world;
    Recorder recorder;
    MakeDmg engine;
    QString source, target;
    QMap<QString, QByteArray> before;
    const QByteArray bad = "bad\xff\xfename.txt";
};

} // namespace

TEST_F(EngineOnDemoWorld, ArchiveOfAWholeVolumeListsEveryFile)
{
    const QString archive = target + QStringLiteral("/KestrovaDiskClone(2024-05-06 07:08:09).zip");
    engine.doZipWithPath(archive, MakeDmgRig::topLevel(source));
    ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder));
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.values().last(), 100);
    EXPECT_EQ(recorder.hundreds(), 1);

    // Every entry of the volume, under the path the system knows it by
    // (never the host folder of the world).
    QStringList expected;
    for (auto it = before.constBegin(); it != before.constEnd(); ++it)
        expected << QStringLiteral("Volumes/Travel Drive/") + it.key() +
                        (it.value() == "dir" ? QStringLiteral("/") : QString());
    expected.sort();
    EXPECT_EQ(MakeDmgRig::archiveNames(archive), expected);

    // And what they hold: unpacked, the volume comes back as it was, its
    // link stored as a link.
    QTemporaryDir out;
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-q"), archive, QStringLiteral("-d"), out.path()});
    ASSERT_TRUE(unzip.waitForFinished(60000));
    ASSERT_EQ(unzip.exitCode(), 0);
    EXPECT_EQ(MakeDmgRig::treeOf(out.path() + QStringLiteral("/Volumes/Travel Drive")), before);

    EXPECT_EQ(MakeDmgRig::treeOf(source), before) << "the source is unchanged";
    EXPECT_TRUE(world.problems().isEmpty()) << world.problems().join(QLatin1Char('\n')).toStdString();
}

TEST_F(EngineOnDemoWorld, ImageOfATickedPartHoldsExactlyThatPart)
{
    // Documents partly ticked (the trip plan, the link and the old folder),
    // Photos whole, the rest unticked; the page hands over the ticked paths.
    const QString d = source + QStringLiteral("/Documents");
    const FileNodeArray nodes{
        node(d, FileNode::PartlyChecked,
             {node(d + QStringLiteral("/Trip plan.txt"), FileNode::Checked),
              node(d + QStringLiteral("/Budget.csv"), FileNode::Unchecked),
              node(d + QStringLiteral("/plan link"), FileNode::Checked),
              node(d + QStringLiteral("/old"), FileNode::Checked)}),
        node(source + QStringLiteral("/Photos"), FileNode::Checked),
        node(source + QStringLiteral("/Music"), FileNode::Unchecked),
        node(source + QStringLiteral("/ReadMe.txt"), FileNode::Unchecked),
        node(source + QStringLiteral("/.hidden"), FileNode::Unchecked),
    };
    const QStringList paths = MakeDmgRig::checkedPaths(nodes);
    recorder.onBegin = [&] { engine.doCopyFilesToDmgWithDmg(paths); };
    const QString name = QStringLiteral("KestrovaDiskClone(2024-05-06 07:08:09)");
    engine.makeTmpDmgWithPath(target, name, 20'000);
    ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder));
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.values(), (QList<float>{20, 20, 25, 50, 75, 100}));
    EXPECT_EQ(MakeDmgRig::mountedVolumesNamed(world, MakeDmg::imageVolumeName()), 0) << "the image is ejected";

    // Attached again, the image shows every ticked item in its root folder.
    const QString image = target + QLatin1Char('/') + name + QStringLiteral(".dmg");
    const QString mountPoint = MakeDmgRig::mountImage(world, image);
    ASSERT_FALSE(mountPoint.isEmpty());
    QMap<QString, QByteArray> expected;
    expected[QStringLiteral("Trip plan.txt")] = before.value(QStringLiteral("Documents/Trip plan.txt"));
    expected[QStringLiteral("plan link")] = before.value(QStringLiteral("Documents/plan link"));
    expected.insert(MakeDmgRig::subtree(before, QStringLiteral("Documents/old"), QStringLiteral("old")));
    expected.insert(MakeDmgRig::subtree(before, QStringLiteral("Photos"), QStringLiteral("Photos")));
    EXPECT_EQ(MakeDmgRig::treeOf(mountPoint), expected);
    EXPECT_EQ(world.run(QStringLiteral("diskutil"), {QStringLiteral("eject"), mountPoint}).status, 0);

    EXPECT_EQ(MakeDmgRig::treeOf(source), before) << "the source is unchanged";
    EXPECT_TRUE(world.problems().isEmpty()) << world.problems().join(QLatin1Char('\n')).toStdString();
}

TEST_F(EngineOnDemoWorld, ArchiveOfTheStartupVolumeHoldsExactlyItsOwnFiles)
{
    const QString root = Platform::systemRoot();
    const QString archive = target + QStringLiteral("/KestrovaDiskClone(2024-05-06 07:08:09).zip");
    // The startup volume's top level as it stands, its folder of mounted
    // volumes and the disk world's own folder among it.
    engine.doZipWithPath(archive, MakeDmgRig::topLevel(root));
    ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder, 120000));
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.hundreds(), 1);

    QStringList expected;
    const QMap<QString, QByteArray> tree = MakeDmgRig::treeOf(root);
    for (auto it = tree.constBegin(); it != tree.constEnd(); ++it) {
        const QString &rel = it.key();
        if (rel == QLatin1String("Volumes") || rel.startsWith(QLatin1String("Volumes/")) ||
            rel == QLatin1String(".diskworld") || rel.startsWith(QLatin1String(".diskworld/")))
            continue;
        expected << rel + (it.value() == "dir" ? QStringLiteral("/") : QString());
    }
    expected.sort();
    const QStringList names = MakeDmgRig::archiveNames(archive);
    EXPECT_EQ(names, expected);
    EXPECT_GT(names.size(), 0);
    const QString host = MakeDmgRig::stored(root);
    for (const QString &n : names) {
        EXPECT_FALSE(n.startsWith(QLatin1String("Volumes"))) << n.toStdString();
        EXPECT_FALSE(n.contains(host)) << n.toStdString();
    }
    // The progress count follows the same rules: it ends where zip ends.
    EXPECT_LE(engine.allSelectFileCout(), quint64(names.size()));
    EXPECT_GE(engine.allSelectFileCout() + 20, quint64(names.size()));
}

TEST_F(EngineOnDemoWorld, NamesThatAreNotTextSurviveTheArchiveByteForByte)
{
    ASSERT_TRUE(plantNamesThatAreNotText());
    const QString archive = target + QStringLiteral("/KestrovaDiskClone(2024-05-06 07:08:09).zip");
    // The volume's top level as the scanner lists it, names as bytes.
    engine.doZipWithPath(archive, MakeDmgRig::topLevelBytes(source));
    ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder));
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.hundreds(), 1);
    const QList<QByteArray> names = MakeDmgRig::archiveNameBytes(archive);
    EXPECT_TRUE(names.contains("Volumes/Travel Drive/" + bad));
    EXPECT_TRUE(names.contains("Volumes/Travel Drive/Deep/" + bad));
}

TEST_F(EngineOnDemoWorld, ADropFromOutsideTheSystemIsArchivedAsDiskCopyCopiesIt)
{
    // Dropped files that lie outside the system: stored from their own folder.
    QTemporaryDir outside;
    ASSERT_TRUE(TestSupport::writeFile(outside.filePath(QStringLiteral("dropped/inner.txt")), "in"));
    ASSERT_TRUE(TestSupport::writeFile(outside.filePath(QStringLiteral("loose.txt")), "loose"));
    const QString archive = target + QStringLiteral("/KestrovaDiskClone(2024-05-06 07:08:09).zip");
    engine.doZipWithPath(archive, {MakeDmgRig::listedNode(outside.filePath(QStringLiteral("dropped")), FileNode::Checked),
                                   MakeDmgRig::listedNode(outside.filePath(QStringLiteral("loose.txt")), FileNode::Checked),
                                   MakeDmgRig::listedNode(source + QStringLiteral("/.hidden"), FileNode::Checked)});
    ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder));
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.hundreds(), 1);
    EXPECT_EQ(MakeDmgRig::archiveNames(archive),
              (QStringList{QStringLiteral("Volumes/Travel Drive/.hidden"), QStringLiteral("dropped/"),
                           QStringLiteral("dropped/inner.txt"), QStringLiteral("loose.txt")}));
}

TEST_F(EngineOnDemoWorld, PipesAndSocketsAreLeftOutOfAnArchiveAndNeverHoldItUp)
{
    const QString folder = source + QStringLiteral("/Special");
    ASSERT_TRUE(TestSupport::writeFile(folder + QStringLiteral("/kept.txt"), "kept"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder + QStringLiteral("/pipe")).constData(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(folder + QStringLiteral("/socket"));
    ASSERT_LT(size_t(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    Platform::SystemLogCapture log;
    const QString archive = target + QStringLiteral("/KestrovaDiskClone(2024-05-06 07:08:09).zip");
    engine.doZipWithPath(archive, {MakeDmgRig::listedNode(folder, FileNode::Checked),
                                   MakeDmgRig::listedNode(folder + QStringLiteral("/pipe"), FileNode::Checked)});
    const bool ended = MakeDmgRig::waitForEnd(recorder, 30000);
    ::close(sock);
    ASSERT_TRUE(ended) << "a pipe held the archive up";
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.hundreds(), 1);
    EXPECT_EQ(MakeDmgRig::archiveNames(archive),
              (QStringList{QStringLiteral("Volumes/Travel Drive/Special/"),
                           QStringLiteral("Volumes/Travel Drive/Special/kept.txt")}));
    EXPECT_TRUE(log.contains(QStringLiteral("not a file, folder or link")));
}

TEST_F(EngineOnDemoWorld, PipesAndSocketsTickedForAnImageNeverFailOrHoldItUp)
{
    // Ticked at the top level, and inside a ticked folder.
    const QString folder = source + QStringLiteral("/Special");
    ASSERT_TRUE(TestSupport::writeFile(folder + QStringLiteral("/kept.txt"), "kept"));
    std::vector<int> sockets;
    auto makeSocket = [&](const QString &path) {
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = QFile::encodeName(path);
        if (sock < 0 || size_t(bytes.size()) >= sizeof address.sun_path)
            return false;
        std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
        sockets.push_back(sock);
        return ::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    };
    for (const QString &dir : {source, folder}) {
        ASSERT_EQ(::mkfifo(QFile::encodeName(dir + QStringLiteral("/pipe")).constData(), 0640), 0);
        ASSERT_TRUE(makeSocket(dir + QStringLiteral("/socket")));
    }
    Platform::SystemLogCapture log;
    const FileNodeArray nodes{MakeDmgRig::listedNode(source + QStringLiteral("/pipe"), FileNode::Checked),
                              MakeDmgRig::listedNode(source + QStringLiteral("/socket"), FileNode::Checked),
                              MakeDmgRig::listedNode(folder, FileNode::Checked)};
    recorder.onBegin = [&] { engine.doCopyFilesToDmgWithDmg(nodes); };
    const QString name = QStringLiteral("KestrovaDiskClone(2024-05-06 07:08:09)");
    engine.makeTmpDmgWithPath(target, name, 20'000);
    const bool ended = MakeDmgRig::waitForEnd(recorder, 60000);
    for (int sock : sockets)
        ::close(sock);
    ASSERT_TRUE(ended) << "a pipe or a socket held the image up";
    EXPECT_EQ(recorder.fails, 0) << "a pipe or a socket failed the image";
    EXPECT_EQ(recorder.hundreds(), 1);

    // Pipes are kept as what they are, as Disk Copy keeps them; an image
    // cannot hold a socket, so sockets are left out with a log line.
    const QString mountPoint = MakeDmgRig::mountImage(world, target + QLatin1Char('/') + name + QStringLiteral(".dmg"));
    ASSERT_FALSE(mountPoint.isEmpty());
    struct stat st;
    for (const QString &rel : {QStringLiteral("/pipe"), QStringLiteral("/Special/pipe")}) {
        ASSERT_EQ(::lstat(QFile::encodeName(mountPoint + rel).constData(), &st), 0) << rel.toStdString();
        EXPECT_TRUE(S_ISFIFO(st.st_mode)) << rel.toStdString();
    }
    for (const QString &rel : {QStringLiteral("/socket"), QStringLiteral("/Special/socket")})
        EXPECT_NE(::lstat(QFile::encodeName(mountPoint + rel).constData(), &st), 0) << rel.toStdString();
    EXPECT_EQ(TestSupport::readFile(mountPoint + QStringLiteral("/Special/kept.txt")), "kept");
    EXPECT_TRUE(log.contains(QStringLiteral("socket"))) << log.lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(world.run(QStringLiteral("diskutil"), {QStringLiteral("eject"), mountPoint}).status, 0);
}

TEST_F(EngineOnDemoWorld, NamesThatAreNotTextSurviveTheImageByteForByte)
{
    ASSERT_TRUE(plantNamesThatAreNotText());
    FileNodeArray nodes;
    for (const FileNodePtr &n : MakeDmgRig::topLevelBytes(source))
        if (n->nameBytes() == bad || n->name == QStringLiteral("Deep"))
            nodes << n;
    ASSERT_EQ(nodes.size(), 2);
    recorder.onBegin = [&] { engine.doCopyFilesToDmgWithDmg(nodes); };
    const QString name = QStringLiteral("KestrovaDiskClone(2024-05-06 07:08:09)");
    engine.makeTmpDmgWithPath(target, name, 20'000);
    ASSERT_TRUE(MakeDmgRig::waitForEnd(recorder));
    EXPECT_EQ(recorder.fails, 0);
    EXPECT_EQ(recorder.hundreds(), 1);

    const QString mountPoint = MakeDmgRig::mountImage(world, target + QLatin1Char('/') + name + QStringLiteral(".dmg"));
    ASSERT_FALSE(mountPoint.isEmpty());
    auto &fm = Platform::FileManager::defaultManager();
    const QByteArray mounted = QFile::encodeName(mountPoint);
    EXPECT_TRUE(fm.contentsOfDirectoryBytes(mounted).contains(bad));
    EXPECT_TRUE(fm.contentsOfDirectoryBytes(mounted + "/Deep").contains(bad));
    EXPECT_EQ(world.run(QStringLiteral("diskutil"), {QStringLiteral("eject"), mountPoint}).status, 0);
}
