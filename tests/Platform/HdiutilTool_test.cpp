// The stand-in hdiutil through its command line, with diskutil ejecting what it mounted.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "FileManager.h"
#include "TestSupport.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

// Failure messages show texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using TestSupport::DiskWorldFixture;
using TestSupport::ToolRun;

namespace {

const QString kVolume = QStringLiteral("KestrovaDiskCloneDmg");

QStringList createArgs(const QString &image, const QString &source, qint64 size, const QString &name = kVolume)
{
    return {QStringLiteral("create"),     image,
            QStringLiteral("-volname"),   name,
            QStringLiteral("-size"),      QString::number(size),
            QStringLiteral("-fs"),        QStringLiteral("HFS+"),
            QStringLiteral("-format"),    QStringLiteral("UDRW"),
            QStringLiteral("-srcfolder"), source};
}

// Relative path → content ("dir", or "link:" + target).
QMap<QString, QByteArray> treeOf(const QString &root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString rel = path.mid(root.size() + 1);
        if (info.isSymLink()) {
            char target[4096];
            const ssize_t n = readlink(QFile::encodeName(path).constData(), target, sizeof target);
            out[rel] = "link:" + QByteArray(target, int(std::max<ssize_t>(0, n)));
        } else {
            out[rel] = info.isDir() ? QByteArray("dir") : TestSupport::readFile(path);
        }
    }
    return out;
}

// A source tree with what an image must carry: folders, a link, a name longer
// than an old tar header holds, and a name no shell should read.
void makeSource(const QString &dir)
{
    TestSupport::writeFile(dir + QStringLiteral("/Documents/report.txt"), "quarterly numbers\n");
    TestSupport::writeFile(dir + QStringLiteral("/Photos/a.jpg"), QByteArray(70'000, '\x42'));
    TestSupport::writeFile(dir + QStringLiteral("/") + QString(120, QLatin1Char('n')) + QStringLiteral("/") +
                               QString(110, QLatin1Char('m')) + QStringLiteral(".txt"),
                           "long");
    TestSupport::writeFile(dir + QStringLiteral("/$(touch x); `id` \"q\"\n名字.txt"), "odd");
    QDir(dir).mkpath(QStringLiteral("Empty"));
    QFile::link(QStringLiteral("Documents/report.txt"), dir + QStringLiteral("/report link"));
}

QString fileOutput(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("file"), {QStringLiteral("-b"), path});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(HdiutilTool, AnImageIsMadeMountedFilledAndWrittenBackByTheEject)
{
    DiskWorldFixture f;
    QTemporaryDir source;
    makeSource(source.path());
    const QString image = f.at(QStringLiteral("/Volumes/Travel Drive/backup.dmg"));

    ToolRun r = f.run(QStringLiteral("hdiutil"), createArgs(image, source.path(), 50'000'000));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    ASSERT_TRUE(QFileInfo(image).isFile());
    EXPECT_TRUE(fileOutput(image).contains(QStringLiteral("tar archive"))) << fileOutput(image).toStdString();
    // The file takes space on the volume it lies on.
    EXPECT_LT(f.info(QStringLiteral("Travel Drive")).value("FreeSpace").toLongLong(),
              f.info(QStringLiteral("Travel Drive")).value("TotalSize").toLongLong() - QFileInfo(image).size() + 1);

    r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString mount = f.at(QStringLiteral("/Volumes/") + kVolume);
    EXPECT_TRUE(r.out.contains(mount.toUtf8()));
    EXPECT_EQ(treeOf(mount), treeOf(source.path()));

    const QVariantMap m = f.info(kVolume);
    EXPECT_EQ(m.value("BusProtocol").toString(), QStringLiteral("Disk Image"));
    EXPECT_EQ(m.value("VirtualOrPhysical").toString(), QStringLiteral("Virtual"));
    EXPECT_EQ(m.value("FilesystemName").toString(), QStringLiteral("HFS+"));
    EXPECT_EQ(m.value("TotalSize").toLongLong(), 50'000'000);
    EXPECT_TRUE(m.value("Ejectable").toBool());
    const QString uuid = m.value("VolumeUUID").toString();
    ASSERT_FALSE(uuid.isEmpty());

    // Fill it the way the image engine does: the file manager, into the image's root.
    QTemporaryDir more;
    TestSupport::writeFile(more.filePath(QStringLiteral("added/new.txt")), "new content");
    QString error;
    ASSERT_TRUE(Platform::FileManager::defaultManager().copyItem(more.filePath(QStringLiteral("added")),
                                                                 mount + QStringLiteral("/added"), &error))
        << error.toStdString();
    const QMap<QString, QByteArray> filled = treeOf(mount);

    r = f.run(QStringLiteral("diskutil"), {QStringLiteral("eject"), uuid});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(mount));
    EXPECT_TRUE(f.info(kVolume).isEmpty());

    // Mounted again, the image holds what was copied in, byte for byte.
    r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(treeOf(mount), filled);
    EXPECT_EQ(f.info(kVolume).value("VolumeUUID").toString(), uuid);
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
    // Attached twice: refused.
    EXPECT_NE(f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image}).status, 0);
}

// Bytes that tell every 4 KiB block of a file apart, so a block written at
// the wrong place shows.
QByteArray numberedBlocks(qint64 size, char seed)
{
    QByteArray data(size, seed);
    for (qint64 at = 0; at + 16 <= size; at += 4096)
        memcpy(data.data() + at, QByteArray::number(at).rightJustified(16, '.').constData(), 16);
    return data;
}

// The image written where the file system takes direct writes (the
// temporary folder here) and where it does not (a memory file system).
class HdiutilImagePlace : public testing::TestWithParam<const char *> {};

TEST_P(HdiutilImagePlace, LargeAndManyFilesComeBackWholeAfterTheEjectAndTarReadsTheImage)
{
    const QString folder = QString::fromUtf8(GetParam());
    if (!folder.isEmpty() && !QFileInfo(folder).isDir())
        GTEST_SKIP() << folder.toStdString() << " is not here";
    DiskWorldFixture f;
    QTemporaryDir source, unpacked;
    QTemporaryDir place(folder.isEmpty() ? QDir::tempPath() + QStringLiteral("/tw-XXXXXX")
                                         : folder + QStringLiteral("/tw-XXXXXX"));
    // Files larger than the pieces an image is written in, of sizes that end
    // inside a block, among many small ones and empty ones.
    TestSupport::writeFile(source.filePath(QStringLiteral("big.bin")), numberedBlocks((40 << 20) + 5, 'b'));
    for (int i = 0; i < 300; ++i)
        TestSupport::writeFile(source.filePath(QStringLiteral("many/%1/file%2.txt").arg(i % 7).arg(i)),
                               numberedBlocks(i * 97, char('a' + i % 26)));
    TestSupport::writeFile(source.filePath(QStringLiteral("many/empty")), QByteArray());
    const QString image = place.filePath(QStringLiteral("large.dmg"));
    ToolRun r = f.run(QStringLiteral("hdiutil"), createArgs(image, source.path(), 200'000'000));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString mount = f.at(QStringLiteral("/Volumes/") + kVolume);
    EXPECT_EQ(treeOf(mount), treeOf(source.path()));

    TestSupport::writeFile(mount + QStringLiteral("/added/second.bin"), numberedBlocks((33 << 20) + 1234, 's'));
    const QMap<QString, QByteArray> filled = treeOf(mount);
    r = f.run(QStringLiteral("diskutil"), {QStringLiteral("eject"), mount});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(treeOf(mount), filled);
    // The image is an archive any tar reads, member for member.
    QProcess tar;
    tar.start(QStringLiteral("tar"), {QStringLiteral("-xf"), image, QStringLiteral("-C"), unpacked.path()});
    ASSERT_TRUE(tar.waitForFinished(60000));
    EXPECT_EQ(tar.exitCode(), 0) << tar.readAllStandardError().toStdString();
    QMap<QString, QByteArray> fromTar = treeOf(unpacked.path());
    fromTar.remove(QStringLiteral(".TarnwickImage.plist"));
    EXPECT_EQ(fromTar, filled);
}

INSTANTIATE_TEST_SUITE_P(HdiutilTool, HdiutilImagePlace, testing::Values("", "/dev/shm"));

TEST(HdiutilTool, CreateNeverReplacesAFileAndRefusesWhatDoesNotFit)
{
    DiskWorldFixture f;
    QTemporaryDir source;
    makeSource(source.path());
    const QString image = f.at(QStringLiteral("/Volumes/BACKUP/old.dmg"));
    ASSERT_TRUE(TestSupport::writeFile(image, "someone's file"));
    ToolRun r = f.run(QStringLiteral("hdiutil"), createArgs(image, source.path(), 50'000'000));
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_EQ(TestSupport::readFile(image), QByteArray("someone's file"));

    // A size below the content, and an image bigger than the volume it would lie on.
    const QString small = f.at(QStringLiteral("/Volumes/BACKUP/small.dmg"));
    r = f.run(QStringLiteral("hdiutil"), createArgs(small, source.path(), 1000));
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(QFileInfo::exists(small));
    ASSERT_FALSE(f.attachUsb(QStringLiteral("Little"), QStringLiteral("ExFAT"), 2'000'000).isEmpty());
    QTemporaryDir big;
    TestSupport::writeFile(big.filePath(QStringLiteral("big.bin")), QByteArray(2'500'000, 'b'));
    const QString onLittle = f.at(QStringLiteral("/Volumes/Little/big.dmg"));
    r = f.run(QStringLiteral("hdiutil"), createArgs(onLittle, big.path(), 3'000'000));
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(QFileInfo::exists(onLittle));
    EXPECT_EQ(
        QDir(f.at(QStringLiteral("/Volumes/Little"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList());
    // Other formats are not made here.
    QStringList args = createArgs(f.at(QStringLiteral("/Volumes/BACKUP/z.dmg")), source.path(), 50'000'000);
    args[args.indexOf(QStringLiteral("UDRW"))] = QStringLiteral("UDZO");
    EXPECT_NE(f.run(QStringLiteral("hdiutil"), args).status, 0);
}

TEST(HdiutilTool, ABrokenOrMissingImageAttachesNothing)
{
    DiskWorldFixture f;
    QTemporaryDir dir;
    QTemporaryDir source;
    makeSource(source.path());
    const QString good = dir.filePath(QStringLiteral("good.dmg"));
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), createArgs(good, source.path(), 50'000'000)).status, 0);
    const QByteArray bytes = TestSupport::readFile(good);

    const QString notTar = dir.filePath(QStringLiteral("text.dmg"));
    TestSupport::writeFile(notTar, "this is not an image at all");
    const QString truncated = dir.filePath(QStringLiteral("cut.dmg"));
    TestSupport::writeFile(truncated, bytes.left(bytes.size() / 2 + 100));
    const QString damaged = dir.filePath(QStringLiteral("damaged.dmg"));
    // The second member's header: after the first header and its data, in 512-byte blocks.
    const qint64 firstSize = bytes.mid(124, 11).toLongLong(nullptr, 8);
    const qint64 second = 512 + (firstSize + 511) / 512 * 512;
    QByteArray broken = bytes;
    broken[second + 10] = char(broken[second + 10] ^ 0x55); // its name changes, its checksum no longer fits
    TestSupport::writeFile(damaged, broken);
    QTemporaryDir plainTar;
    TestSupport::writeFile(plainTar.filePath(QStringLiteral("a.txt")), "a");
    const QString otherTar = dir.filePath(QStringLiteral("other.tar"));
    QProcess tar;
    tar.start(QStringLiteral("tar"),
              {QStringLiteral("-cf"), otherTar, QStringLiteral("-C"), plainTar.path(), QStringLiteral("a.txt")});
    tar.waitForFinished();

    const QByteArray before = f.stateBytes();
    const QStringList volumesBefore =
        QDir(f.at(QStringLiteral("/Volumes"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QString &path : {notTar, truncated, damaged, otherTar, dir.filePath(QStringLiteral("missing.dmg"))}) {
        const ToolRun r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), path});
        EXPECT_NE(r.status, 0) << path.toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << path.toStdString();
        EXPECT_EQ(f.stateBytes(), before) << path.toStdString();
        EXPECT_EQ(QDir(f.at(QStringLiteral("/Volumes"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  volumesBefore);
    }
    // Nothing is left half-extracted in the world's store either.
    EXPECT_EQ(QDir(f.world().storeDir())
                  .entryList(QStringList{QStringLiteral(".incoming-*")}, QDir::AllEntries | QDir::Hidden),
              QStringList());
}

TEST(HdiutilTool, AnImageWhoseNameIsTakenMountsBesideTheOtherVolume)
{
    DiskWorldFixture f;
    ASSERT_FALSE(f.attachUsb(kVolume).isEmpty()); // another volume of that name, mounted first
    QTemporaryDir source;
    TestSupport::writeFile(source.filePath(QStringLiteral("x.txt")), "x");
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("i.dmg"));
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), createArgs(image, source.path(), 10'000'000)).status, 0);
    const ToolRun r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString own = f.at(QStringLiteral("/Volumes/") + kVolume + QStringLiteral(" 1"));
    EXPECT_TRUE(r.out.contains(own.toUtf8()));
    EXPECT_TRUE(QFileInfo(own + QStringLiteral("/x.txt")).isFile());
    EXPECT_FALSE(QFileInfo::exists(f.at(QStringLiteral("/Volumes/") + kVolume + QStringLiteral("/x.txt"))));
    // The image's capacity holds for copies into it.
    QTemporaryDir big;
    TestSupport::writeFile(big.filePath(QStringLiteral("big.bin")), QByteArray(10'500'000, 'b'));
    EXPECT_FALSE(Platform::FileManager::defaultManager().copyItem(big.filePath(QStringLiteral("big.bin")),
                                                                  own + QStringLiteral("/big.bin")));
    EXPECT_FALSE(QFileInfo::exists(own + QStringLiteral("/big.bin")));
}

namespace {

// A stand-in tool started in `folder`, as the image job starts it.
ToolRun runIn(const DiskWorldFixture &f, const QString &folder, const QString &tool, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNWICK_ROOT"), f.root());
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(TestSupport::toolsPath() + QLatin1Char('/') + tool, args);
    ToolRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

} // namespace

TEST(HdiutilTool, NamesRelativeToTheWorkingFolderAreTakenFromIt)
{
    DiskWorldFixture f;
    const QString work = f.at(QStringLiteral("/Volumes/Travel Drive/work"));
    TestSupport::writeFile(work + QStringLiteral("/src/a.txt"), "a");
    ToolRun r = runIn(f, work, QStringLiteral("hdiutil"),
                      createArgs(QStringLiteral("x.dmg"), QStringLiteral("src"), 10'000'000));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo(work + QStringLiteral("/x.dmg")).isFile());
    // The image lies on Travel Drive and takes its space there.
    const qint64 free = f.info(QStringLiteral("Travel Drive")).value("FreeSpace").toLongLong();
    r = runIn(f, work, QStringLiteral("hdiutil"), createArgs(QStringLiteral("y.dmg"), QStringLiteral("src"), free + 1));
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(QFileInfo::exists(work + QStringLiteral("/y.dmg")));

    r = runIn(f, work, QStringLiteral("hdiutil"), {QStringLiteral("attach"), QStringLiteral("x.dmg")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString mount = f.at(QStringLiteral("/Volumes/") + kVolume);
    EXPECT_TRUE(QFileInfo(mount + QStringLiteral("/a.txt")).isFile());
    // The mounted volume by a relative path, and the image by its file's name.
    r = runIn(f, work, QStringLiteral("diskutil"),
              {QStringLiteral("info"), QStringLiteral("-plist"), QStringLiteral("../../") + kVolume});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.plist().value("VolumeName").toString(), kVolume);
    TestSupport::writeFile(mount + QStringLiteral("/b.txt"), "b");
    r = runIn(f, work, QStringLiteral("hdiutil"), {QStringLiteral("detach"), QStringLiteral("x.dmg")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(mount));
    r = runIn(f, work, QStringLiteral("hdiutil"), {QStringLiteral("attach"), QStringLiteral("./x.dmg")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(TestSupport::readFile(mount + QStringLiteral("/b.txt")), QByteArray("b"));
    r = runIn(f, work, QStringLiteral("diskutil"), {QStringLiteral("eject"), QStringLiteral("./x.dmg")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

TEST(HdiutilTool, AnImageWhoseFileHasGoneIsDetached)
{
    DiskWorldFixture f;
    QTemporaryDir source;
    TestSupport::writeFile(source.filePath(QStringLiteral("a.txt")), "a");
    const QString image = f.at(QStringLiteral("/Volumes/Travel Drive/i.dmg"));
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), createArgs(image, source.path(), 10'000'000)).status, 0);
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("attach"), image}).status, 0);
    const QString device = QStringLiteral("/dev/") + f.bsdName(kVolume);
    // The stick that holds the image file is pulled out.
    ToolRun r = f.run(QStringLiteral("diskworld"), {QStringLiteral("detach"), QStringLiteral("Travel Drive")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("detach"), device});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(f.info(kVolume).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(f.at(QStringLiteral("/Volumes/") + kVolume)));
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
    // Plugged back in, the stick still holds the image as it was.
    ASSERT_EQ(f.run(QStringLiteral("diskworld"), {QStringLiteral("attach"), QStringLiteral("Travel Drive")}).status, 0);
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("attach"), image}).status, 0);
    EXPECT_EQ(entriesOf(f.at(QStringLiteral("/Volumes/") + kVolume)), QStringList{QStringLiteral("a.txt")});
}

TEST(HdiutilTool, AnImageIsHeldToTheSpaceOfItsVolumeAtCreateAndAtEject)
{
    DiskWorldFixture f;
    ASSERT_FALSE(f.attachUsb(QStringLiteral("Little"), QStringLiteral("ExFAT"), 4'800'000).isEmpty());
    const QString little = f.at(QStringLiteral("/Volumes/Little"));
    QTemporaryDir source;
    TestSupport::writeFile(source.filePath(QStringLiteral("a.txt")), "a");
    // An image larger than the volume that would hold it.
    ToolRun r =
        f.run(QStringLiteral("hdiutil"), createArgs(little + QStringLiteral("/big.dmg"), source.path(), 12'000'000));
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains("No space left on device")) << r.err.toStdString();
    EXPECT_EQ(entriesOf(little), QStringList());

    const QString image = little + QStringLiteral("/i.dmg");
    r = f.run(QStringLiteral("hdiutil"), createArgs(image, source.path(), 4'000'000));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QByteArray before = TestSupport::readFile(image);
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("attach"), image}).status, 0);
    const QString mount = f.at(QStringLiteral("/Volumes/") + kVolume);
    EXPECT_EQ(f.info(kVolume).value("TotalSize").toLongLong(), 4'000'000);
    // The image's content would fit the image, but its file no longer fits the volume.
    TestSupport::writeFile(mount + QStringLiteral("/data.bin"), QByteArray(3'000'000, 'd'));
    TestSupport::writeFile(little + QStringLiteral("/other.bin"), QByteArray(2'500'000, 'o'));
    r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("detach"), mount});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains("No space left on device")) << r.err.toStdString();
    EXPECT_EQ(TestSupport::readFile(image), before);
    EXPECT_EQ(QFileInfo(mount + QStringLiteral("/data.bin")).size(), 3'000'000);
    EXPECT_EQ(entriesOf(little), (QStringList{QStringLiteral("i.dmg"), QStringLiteral("other.bin")}));
    // With the room back, the same eject goes through.
    QFile::remove(little + QStringLiteral("/other.bin"));
    r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("detach"), mount});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_GT(QFileInfo(image).size(), 3'000'000);
}

TEST(HdiutilTool, TheEjectWritesOnlyIntoTheFolderTheImageWasAttachedFrom)
{
    DiskWorldFixture f;
    QTemporaryDir source, elsewhere;
    TestSupport::writeFile(source.filePath(QStringLiteral("a.txt")), "a");
    const QString folder = f.at(QStringLiteral("/Volumes/Travel Drive/images"));
    QDir().mkpath(folder);
    const QString image = folder + QStringLiteral("/i.dmg");
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), createArgs(image, source.path(), 10'000'000)).status, 0);
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("attach"), image}).status, 0);
    const QString mount = f.at(QStringLiteral("/Volumes/") + kVolume);
    TestSupport::writeFile(mount + QStringLiteral("/b.txt"), "b");
    // The folder is moved away and a link to another folder put in its place.
    ASSERT_TRUE(QDir().rename(folder, folder + QStringLiteral(".moved")));
    ASSERT_TRUE(QFile::link(elsewhere.path(), folder));
    ToolRun r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("detach"), mount});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(entriesOf(elsewhere.path()), QStringList());
    EXPECT_TRUE(QFileInfo(mount + QStringLiteral("/b.txt")).isFile());
    // Once the folder is back, the eject writes the image there.
    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().rename(folder + QStringLiteral(".moved"), folder));
    r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("detach"), mount});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(entriesOf(elsewhere.path()), QStringList());
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("attach"), image}).status, 0);
    EXPECT_EQ(entriesOf(mount), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
}

namespace {

// What an image stores for a member, read back with libarchive.
struct StoredMember {
    int type = 0; // AE_IF*
    qint64 uid = -1, gid = -1;
    int mode = 0;
    qint64 mtime = 0;
    unsigned rdevMajor = 0, rdevMinor = 0;
    QMap<QByteArray, QByteArray> xattrs;
};

QMap<QByteArray, StoredMember> storedIn(const QString &image)
{
    QMap<QByteArray, StoredMember> out;
    struct archive *a = archive_read_new();
    archive_read_support_format_tar(a);
    if (archive_read_open_filename(a, QFile::encodeName(image).constData(), 1 << 16) != ARCHIVE_OK) {
        archive_read_free(a);
        return out;
    }
    struct archive_entry *e = nullptr;
    while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
        StoredMember m;
        m.type = int(archive_entry_filetype(e));
        m.uid = archive_entry_uid(e);
        m.gid = archive_entry_gid(e);
        m.mode = int(archive_entry_perm(e));
        m.mtime = archive_entry_mtime(e);
        m.rdevMajor = unsigned(archive_entry_rdevmajor(e));
        m.rdevMinor = unsigned(archive_entry_rdevminor(e));
        archive_entry_xattr_reset(e);
        const char *name = nullptr;
        const void *value = nullptr;
        size_t size = 0;
        while (archive_entry_xattr_next(e, &name, &value, &size) == ARCHIVE_OK)
            m.xattrs.insert(name, QByteArray(static_cast<const char *>(value), qsizetype(size)));
        QByteArray path = archive_entry_pathname(e);
        if (path.endsWith('/'))
            path.chop(1);
        out.insert(path, m);
        archive_read_data_skip(a);
    }
    archive_read_free(a);
    return out;
}

QByteArray xattrOf(const QString &path, const char *name)
{
    char value[256];
    const ssize_t n = lgetxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return n < 0 ? QByteArray() : QByteArray(value, int(n));
}

} // namespace

TEST(HdiutilTool, OwnersAttributesPipesAndDevicesLiveInTheImageAcrossAMountAndAnEject)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "owners and device nodes are set by root";
    DiskWorldFixture f;
    QTemporaryDir source, images;
    const QByteArray src = QFile::encodeName(source.path());
    TestSupport::writeFile(source.filePath(QStringLiteral("docs/owned.txt")), "owned");
    TestSupport::writeFile(source.filePath(QStringLiteral("big-id.txt")), "far");
    TestSupport::writeFile(source.filePath(QStringLiteral("tool")), "#!/bin/sh\n");
    ASSERT_EQ(chown((src + "/docs/owned.txt").constData(), 1234, 1234), 0);
    ASSERT_EQ(chown((src + "/docs").constData(), 1234, 1234), 0);
    ASSERT_EQ(chown((src + "/big-id.txt").constData(), 3'000'000, 4'000'000), 0);
    ASSERT_EQ(chmod((src + "/tool").constData(), 04755), 0);
    ASSERT_EQ(setxattr((src + "/docs/owned.txt").constData(), "user.tag", "blue", 4, 0), 0);
    // A capability and an ACL, as the system stores them.
    const QByteArray cap("\x01\x00\x00\x02\x00\x04\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00", 20);
    ASSERT_EQ(setxattr((src + "/tool").constData(), "security.capability", cap.constData(), size_t(cap.size()), 0), 0);
    QProcess acl;
    acl.start(QStringLiteral("setfacl"),
              {QStringLiteral("-m"), QStringLiteral("u:1234:r"), source.filePath("big-id.txt")});
    ASSERT_TRUE(acl.waitForFinished(10000));
    ASSERT_EQ(acl.exitCode(), 0) << acl.readAllStandardError().toStdString();
    ASSERT_EQ(mkfifo((src + "/pipe").constData(), 0640), 0);
    ASSERT_EQ(mknod((src + "/null").constData(), S_IFCHR | 0666, makedev(1, 3)), 0);

    const QString image = images.filePath(QStringLiteral("i.dmg"));
    ToolRun r = f.run(QStringLiteral("hdiutil"), createArgs(image, source.path(), 10'000'000));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    auto check = [&](const char *when) {
        SCOPED_TRACE(when);
        const QMap<QByteArray, StoredMember> m = storedIn(image);
        EXPECT_EQ(m.value("docs/owned.txt").uid, 1234);
        EXPECT_EQ(m.value("docs/owned.txt").gid, 1234);
        EXPECT_EQ(m.value("docs").uid, 1234);
        EXPECT_EQ(m.value("docs/owned.txt").xattrs.value("user.tag"), QByteArray("blue"));
        EXPECT_EQ(m.value("big-id.txt").uid, 3'000'000);
        EXPECT_EQ(m.value("big-id.txt").gid, 4'000'000);
        EXPECT_TRUE(m.value("big-id.txt").xattrs.contains("system.posix_acl_access"));
        EXPECT_EQ(m.value("tool").mode, 04755);
        EXPECT_EQ(m.value("tool").xattrs.value("security.capability"), cap);
        EXPECT_EQ(m.value("pipe").type, int(AE_IFIFO));
        EXPECT_EQ(m.value("pipe").mode, 0640);
        EXPECT_EQ(m.value("null").type, int(AE_IFCHR));
        EXPECT_EQ(m.value("null").rdevMajor, 1u);
        EXPECT_EQ(m.value("null").rdevMinor, 3u);
    };
    check("created");

    r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("attach"), image});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString mount = f.at(QStringLiteral("/Volumes/") + kVolume);
    const QByteArray view = QFile::encodeName(mount);
    // The mounted content gains nothing from the image: no stored owner,
    // set-id bit, capability, ACL or device takes effect; the user's own
    // attributes and the pipe are there.
    struct stat st;
    ASSERT_EQ(lstat((view + "/docs/owned.txt").constData(), &st), 0);
    EXPECT_EQ(st.st_uid, geteuid());
    ASSERT_EQ(lstat((view + "/tool").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07000, 0u);
    EXPECT_TRUE(xattrOf(mount + QStringLiteral("/tool"), "security.capability").isEmpty());
    EXPECT_TRUE(xattrOf(mount + QStringLiteral("/big-id.txt"), "system.posix_acl_access").isEmpty());
    EXPECT_EQ(xattrOf(mount + QStringLiteral("/docs/owned.txt"), "user.tag"), QByteArray("blue"));
    ASSERT_EQ(lstat((view + "/pipe").constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(lstat((view + "/null").constData(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_size, 0);

    // A change elsewhere makes the eject write the image again.
    TestSupport::writeFile(mount + QStringLiteral("/docs/new.txt"), "new");
    r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("detach"), mount});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    check("mounted and ejected");
    const QMap<QByteArray, StoredMember> m = storedIn(image);
    EXPECT_EQ(m.value("docs/new.txt").uid, qint64(geteuid())) << "a new member has its writer's owner";

    // GNU tar reads the image, attributes and all.
    QTemporaryDir unpacked;
    QProcess tar;
    tar.start(QStringLiteral("tar"),
              {QStringLiteral("--xattrs"), QStringLiteral("-xf"), image, QStringLiteral("-C"), unpacked.path()});
    ASSERT_TRUE(tar.waitForFinished(60000));
    EXPECT_EQ(tar.exitCode(), 0) << tar.readAllStandardError().toStdString();
    EXPECT_EQ(xattrOf(unpacked.filePath(QStringLiteral("docs/owned.txt")), "user.tag"), QByteArray("blue"));
    EXPECT_EQ(QFileInfo(unpacked.filePath(QStringLiteral("big-id.txt"))).ownerId(), 3'000'000u);

    // A socket cannot be stored: the eject says so and keeps the disk.
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("attach"), image}).status, 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray sockPath = view + "/s";
    ASSERT_LT(sockPath.size(), qsizetype(sizeof addr.sun_path));
    memcpy(addr.sun_path, sockPath.constData(), size_t(sockPath.size()));
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    close(sock);
    const QByteArray before = TestSupport::readFile(image);
    r = f.run(QStringLiteral("hdiutil"), {QStringLiteral("detach"), mount});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains("socket")) << r.err.toStdString();
    EXPECT_EQ(TestSupport::readFile(image), before);
    EXPECT_TRUE(QFileInfo(mount + QStringLiteral("/docs/owned.txt")).isFile());
}

TEST(HdiutilTool, TheNewImageIsOnTheDiskBeforeTheOldOneGoes)
{
    DiskWorldFixture f;
    QTemporaryDir source, images, trace;
    TestSupport::writeFile(source.filePath(QStringLiteral("a.txt")), "a");
    const QString image = images.filePath(QStringLiteral("i.dmg"));
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), createArgs(image, source.path(), 10'000'000)).status, 0);
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("attach"), image}).status, 0);
    const QString mount = f.at(QStringLiteral("/Volumes/") + kVolume);
    TestSupport::writeFile(mount + QStringLiteral("/b.txt"), "b");
    // The eject's calls that put the new image in place, in their order.
    const QString log = trace.filePath(QStringLiteral("calls"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNWICK_ROOT"), f.root());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("strace"),
            {QStringLiteral("-f"), QStringLiteral("-e"),
             QStringLiteral("trace=fsync,fdatasync,linkat,renameat2,unlinkat"), QStringLiteral("-o"), log,
             TestSupport::toolsPath() + QStringLiteral("/hdiutil"), QStringLiteral("detach"), mount});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QStringList calls;
    for (const QByteArray &line : TestSupport::readFile(log).split('\n')) {
        const QString text = QString::fromUtf8(line).section(QLatin1Char(' '), 1).trimmed();
        if (text.startsWith(QLatin1String("fsync")) || text.startsWith(QLatin1String("fdatasync")))
            calls << QStringLiteral("sync");
        else if (text.startsWith(QLatin1String("linkat")) && text.contains(QLatin1String("/proc/self/fd/")))
            calls << QStringLiteral("name");
        else if (text.startsWith(QLatin1String("renameat2")) && text.contains(QLatin1String("i.dmg")))
            calls << QStringLiteral("swap");
        else if (text.startsWith(QLatin1String("unlinkat")) && text.contains(QLatin1String(".i.dmg.tw-")))
            calls << QStringLiteral("old gone");
    }
    const qsizetype name = calls.indexOf(QStringLiteral("name"));
    const qsizetype swap = calls.indexOf(QStringLiteral("swap"));
    const qsizetype gone = calls.indexOf(QStringLiteral("old gone"));
    ASSERT_TRUE(name >= 0 && swap > name && gone > swap) << calls.join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(calls.mid(0, name).contains(QStringLiteral("sync"))) << "the file's data before it is named";
    EXPECT_TRUE(calls.mid(swap, gone - swap).contains(QStringLiteral("sync"))) << "the folder before the old one goes";
    // The content is still whole once the new image stands.
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("attach"), image}).status, 0);
    EXPECT_EQ(entriesOf(mount), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
}
