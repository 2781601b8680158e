// The stand-in hdiutil through its command line, with diskutil ejecting what it mounted.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "FileManager.h"
#include "TestSupport.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>
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
