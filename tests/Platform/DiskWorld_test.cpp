// The world itself, through its C++ API: what a new world holds, free space,
// the file manager's full-disk check, identifiers, plugging disks in and out.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "FileManager.h"
#include "FolderTree.h"
#include "Operations.h"
#include "PropertyList.h"
#include "SpaceProvider.h"
#include "SystemInfo.h"
#include "SystemRoot.h"
#include "TestSupport.h"
#include "UsageCache.h"
#include "UsageKeeper.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <linux/fs.h>
#include <random>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

// Failure messages show texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using namespace Platform::DiskWorld;
using TestSupport::DiskWorldFixture;

namespace {

const Volume *volumeNamed(const State &s, const QString &name, const Disk **disk = nullptr, const Node **node = nullptr)
{
    for (const auto &[d, n] : s.volumes())
        if (n->volume->name == name) {
            if (disk)
                *disk = d;
            if (node)
                *node = n;
            return &*n->volume;
        }
    return nullptr;
}

} // namespace

TEST(DiskWorld, DemoHoldsTheStartupDiskTwoUsbDisksAndAReadOnlyNtfsVolume)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok()) << f.error().toStdString();
    const State s = f.state();

    const Disk *d = nullptr;
    const Node *n = nullptr;
    const Volume *boot = volumeNamed(s, QStringLiteral("Macintosh HD"), &d, &n);
    ASSERT_NE(boot, nullptr);
    EXPECT_TRUE(boot->boot);
    EXPECT_EQ(f.world().mountPoint(*boot), f.root());
    EXPECT_TRUE(d->isContainer());
    const Disk *physical = s.physicalDisk(*d);
    ASSERT_NE(physical, nullptr);
    EXPECT_EQ(physical->bus, QStringLiteral("PCI-Express"));
    EXPECT_FALSE(physical->ejectable);
    for (const char *name : {"Preboot", "Data"}) {
        const Disk *c = nullptr;
        ASSERT_NE(volumeNamed(s, QLatin1String(name), &c), nullptr) << name;
        EXPECT_EQ(c->id, d->id) << name;
    }
    // The startup volume is listed under Volumes as a link to the root, as on the original platform.
    EXPECT_EQ(QFileInfo(f.at(QStringLiteral("/Volumes/Macintosh HD"))).canonicalFilePath(),
              QFileInfo(f.root()).canonicalFilePath());

    const Volume *travel = volumeNamed(s, QStringLiteral("Travel Drive"), &d);
    ASSERT_NE(travel, nullptr);
    EXPECT_EQ(travel->fs, QStringLiteral("ExFAT"));
    EXPECT_EQ(d->bus, QStringLiteral("USB"));
    EXPECT_TRUE(d->ejectable);
    EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/Volumes/Travel Drive/Documents/Trip plan.txt"))).isFile());

    const Volume *backup = volumeNamed(s, QStringLiteral("BACKUP"), &d);
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(backup->fs, QStringLiteral("MS-DOS FAT32"));
    EXPECT_EQ(d->bus, QStringLiteral("USB"));

    const Volume *ntfs = volumeNamed(s, QStringLiteral("BOOTCAMP"));
    ASSERT_NE(ntfs, nullptr);
    EXPECT_EQ(ntfs->fs, QStringLiteral("NTFS"));
    EXPECT_FALSE(ntfs->writable);
    EXPECT_TRUE(ntfs->mounted);

    // The system tree: version, the Full Disk Access probe folder, the Preboot cryptexes.
    const auto version = Platform::PropertyList::readDictionary(
        f.at(QStringLiteral("/System/Library/CoreServices/SystemVersion.plist")));
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->value("ProductVersion").toString(), QStringLiteral("13.4"));
    EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/Users/tester/Library/Safari"))).isDir());
    EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/System/Volumes/Preboot/Cryptexes"))).isDir());
    EXPECT_EQ(s.consoleUser, QStringLiteral("tester"));
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

TEST(DiskWorld, TheVersionIsAnOptionOfTheWorld)
{
    DiskWorldFixture::Options o;
    o.demo = false;
    o.version = QStringLiteral("10.15.7");
    DiskWorldFixture f(o);
    ASSERT_TRUE(f.ok());
    Platform::SystemInfo::resetOverrides();
    const auto v = Platform::SystemInfo::systemVersion();
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->major, 10);
    EXPECT_EQ(v->minor, 15);
    // Without the demo there is only the startup disk.
    EXPECT_EQ(f.state().disks.size(), 2u);
}

TEST(DiskWorld, ANewWorldNeverReplacesOne)
{
    DiskWorldFixture f;
    const QByteArray before = f.stateBytes();
    QString error;
    EXPECT_FALSE(createWorld(f.root(), WorldOptions{}, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("already"))) << error.toStdString();
    EXPECT_EQ(f.stateBytes(), before);
}

// The volumes share the host's file system; where it keeps folder flags, the
// folders that hold them ask it to place each volume's tree apart.
TEST(DiskWorld, TheFoldersThatHoldVolumesAreTheTopsOfSeparateTrees)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok());
    for (const QString &dir : {f.world().volumesDir(), f.world().storeDir()}) {
        const int fd = open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(fd, 0) << dir.toStdString();
        int flags = 0;
        const bool kept = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        close(fd);
        if (!kept)
            GTEST_SKIP() << "the host file system keeps no folder flags";
        EXPECT_TRUE(flags & FS_TOPDIR_FL) << dir.toStdString();
    }
}

TEST(DiskWorld, FreeSpaceIsTheCapacityLessWhatTheFolderHolds)
{
    DiskWorldFixture f;
    const QString disk = f.attachUsb(QStringLiteral("Empty"), QStringLiteral("ExFAT"), 10'000'000);
    ASSERT_FALSE(disk.isEmpty()) << f.error().toStdString();
    const QString bsd = f.bsdName(QStringLiteral("Empty"));
    const qint64 total = f.info(bsd).value("TotalSize").toLongLong();
    EXPECT_EQ(f.info(bsd).value("FreeSpace").toLongLong(), total);

    ASSERT_TRUE(TestSupport::writeFile(f.mountPoint(QStringLiteral("Empty")) + QStringLiteral("/a/b.bin"),
                                       QByteArray(1'000'000, 'x')));
    EXPECT_EQ(f.info(bsd).value("FreeSpace").toLongLong(), total - 1'000'000);

    // An APFS volume reports its container: what every volume in it holds counts.
    const QVariantMap boot = f.info(QStringLiteral("/"));
    const qint64 before = boot.value("APFSContainerFree").toLongLong();
    const QString data = f.bsdName(QStringLiteral("Data"));
    const QString dataStore = f.world().storeDir() + QLatin1Char('/') + f.volumeUUID(QStringLiteral("Data"));
    ASSERT_TRUE(TestSupport::writeFile(dataStore + QStringLiteral("/big"), QByteArray(300'000, 'd')));
    EXPECT_EQ(f.info(QStringLiteral("/")).value("APFSContainerFree").toLongLong(), before - 300'000);
    EXPECT_EQ(f.info(data).value("APFSContainerFree").toLongLong(), before - 300'000);
    EXPECT_EQ(boot.value("APFSContainerSize").toLongLong(), boot.value("TotalSize").toLongLong());
}

// diskutil info answers from the used size the world's keeper holds, which
// follows the world's own changes and whatever is written straight into the
// volume's folder, and agrees with the file manager's space check.
TEST(DiskWorld, InfoAnswersFromTheKeptUsedSizeWhoeverChangedTheVolume)
{
    DiskWorldFixture f;
    ASSERT_FALSE(f.attachUsb(QStringLiteral("Kept"), QStringLiteral("ExFAT"), 10'000'000).isEmpty())
        << f.error().toStdString();
    const QString bsd = f.bsdName(QStringLiteral("Kept"));
    const QString mountPoint = f.mountPoint(QStringLiteral("Kept"));
    const qint64 total = f.info(bsd).value("TotalSize").toLongLong();
    QTemporaryDir outside;
    auto kept = [&] {
        const int fd = open(QFile::encodeName(mountPoint).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const std::optional<int64_t> bytes =
            Core::keptBytes(f.world().paths(), QFile::encodeName(mountPoint).toStdString(), false, fd);
        close(fd);
        return bytes;
    };
    // The first info started the keeper; a busy machine may take a moment to run it.
    EXPECT_TRUE(TestSupport::waitUntil([&] { return kept().has_value(); }, 30000));
    auto agrees = [&](const char *step) {
        const qint64 used = FolderTree::bytes(mountPoint);
        EXPECT_EQ(f.info(bsd).value("FreeSpace").toLongLong(), total - used) << step;
        EXPECT_EQ(spaceFor(mountPoint + QStringLiteral("/new")), std::optional<qint64>(total - used)) << step;
        // The keeper answers, with the same number.
        EXPECT_EQ(kept(), std::optional<int64_t>(used)) << step;
    };
    agrees("empty");
    ASSERT_TRUE(TestSupport::writeFile(mountPoint + QStringLiteral("/a/b.bin"), QByteArray(1'000'000, 'x')));
    agrees("a file written into the folder");
    {
        QFile grown(mountPoint + QStringLiteral("/a/b.bin"));
        ASSERT_TRUE(grown.open(QIODevice::Append));
        grown.write(QByteArray(4096, '+'));
    }
    agrees("a file grown in place");
    ASSERT_TRUE(TestSupport::writeFile(outside.filePath(QStringLiteral("in/c.bin")), QByteArray(70'000, 'c')));
    ASSERT_TRUE(QDir().rename(outside.filePath(QStringLiteral("in")), mountPoint + QStringLiteral("/in")));
    agrees("a folder moved in from outside");
    ASSERT_TRUE(QDir(mountPoint + QStringLiteral("/a")).removeRecursively());
    agrees("a folder deleted");

    // The world's own changes: the volume unmounted (its files in the store), mounted again, erased.
    ASSERT_EQ(f.run(QStringLiteral("diskutil"), {QStringLiteral("unmount"), bsd}).status, 0);
    EXPECT_EQ(f.info(bsd).value("FreeSpace").toLongLong(), total - 70'000);
    ASSERT_EQ(f.run(QStringLiteral("diskutil"), {QStringLiteral("mount"), bsd}).status, 0);
    agrees("mounted again");
    ASSERT_EQ(f.run(QStringLiteral("diskutil"),
                    {QStringLiteral("eraseVolume"), QStringLiteral("ExFAT"), QStringLiteral("Kept"), bsd})
                  .status,
              0);
    EXPECT_EQ(f.info(bsd).value("FreeSpace").toLongLong(), total);
    agrees("erased");
}

TEST(DiskWorld, WhatLiesBehindALinkNeverCountsAsAVolumesContent)
{
    DiskWorldFixture f;
    const QString disk = f.attachUsb(QStringLiteral("Linked"), QStringLiteral("ExFAT"), 10'000'000);
    ASSERT_FALSE(disk.isEmpty()) << f.error().toStdString();
    const QString bsd = f.bsdName(QStringLiteral("Linked"));
    const QString mountPoint = f.mountPoint(QStringLiteral("Linked"));
    const qint64 total = f.info(bsd).value("TotalSize").toLongLong();
    QTemporaryDir elsewhere;
    ASSERT_TRUE(TestSupport::writeFile(elsewhere.path() + QStringLiteral("/big"), QByteArray(2'000'000, 'x')));
    const QString uuid = f.volumeUUID(QStringLiteral("Linked"));
    const QString store = f.world().storeDir() + QLatin1Char('/') + uuid;

    // A link inside the volume, and the volume's own folder (mounted, or in the
    // store) replaced by a link: none of them is followed.
    ASSERT_TRUE(QFile::link(elsewhere.path() + QStringLiteral("/big"), mountPoint + QStringLiteral("/link")));
    EXPECT_EQ(f.info(bsd).value("FreeSpace").toLongLong(), total);
    ASSERT_TRUE(QDir().rename(mountPoint, mountPoint + QStringLiteral(".real")));
    ASSERT_TRUE(QFile::link(elsewhere.path(), mountPoint));
    EXPECT_EQ(f.info(bsd).value("FreeSpace").toLongLong(), total);
    EXPECT_EQ(f.run(QStringLiteral("libexec/diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), bsd})
                  .plist()
                  .value("FreeSpace")
                  .toLongLong(),
              total);
    const State s = f.state();
    EXPECT_EQ(f.world().usedBytes(*volumeNamed(s, QStringLiteral("Linked"))), 0);
    ASSERT_TRUE(QFile::remove(mountPoint));
    ASSERT_TRUE(QDir().rename(mountPoint + QStringLiteral(".real"), mountPoint));

    ASSERT_EQ(f.run(QStringLiteral("diskutil"), {QStringLiteral("unmount"), bsd}).status, 0);
    ASSERT_TRUE(QDir().rename(store, store + QStringLiteral(".real")));
    ASSERT_TRUE(QFile::link(elsewhere.path(), store));
    EXPECT_EQ(f.info(bsd).value("FreeSpace").toLongLong(), total);
}
TEST(DiskWorld, ACopyThatWouldOverfillAVolumeFailsAndLeavesNothing)
{
    DiskWorldFixture f;
    ASSERT_FALSE(f.attachUsb(QStringLiteral("Small"), QStringLiteral("ExFAT"), 4'000'000).isEmpty());
    const QString target = f.mountPoint(QStringLiteral("Small"));
    QTemporaryDir src;
    TestSupport::writeFile(src.filePath(QStringLiteral("big/one.bin")), QByteArray(2'500'000, '1'));
    TestSupport::writeFile(src.filePath(QStringLiteral("big/two.bin")), QByteArray(2'500'000, '2'));
    TestSupport::writeFile(src.filePath(QStringLiteral("fits.bin")), QByteArray(1'000'000, 'f'));

    const auto &fm = Platform::FileManager::defaultManager();
    QString error;
    EXPECT_FALSE(fm.copyItem(src.filePath(QStringLiteral("big")), target + QStringLiteral("/big"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/big")));
    EXPECT_EQ(QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());

    EXPECT_TRUE(fm.copyItem(src.filePath(QStringLiteral("fits.bin")), target + QStringLiteral("/fits.bin"), &error))
        << error.toStdString();

    // A read-only volume takes nothing; a folder outside every volume is not the world's business.
    EXPECT_EQ(spaceFor(f.at(QStringLiteral("/Volumes/BOOTCAMP/new"))), std::optional<qint64>(0));
    EXPECT_FALSE(fm.copyItem(src.filePath(QStringLiteral("fits.bin")),
                             f.at(QStringLiteral("/Volumes/BOOTCAMP/fits.bin")), &error));
    EXPECT_FALSE(spaceFor(src.filePath(QStringLiteral("x"))).has_value());
    EXPECT_FALSE(spaceFor(f.at(QStringLiteral("/Volumes/NoSuchVolume/x"))).has_value());
    // The startup volume is the root, its Volumes folder aside.
    EXPECT_TRUE(spaceFor(f.at(QStringLiteral("/Users/tester/Desktop/x"))).has_value());
}

TEST(DiskWorld, IdentifiersLeadToTheirDiskOrVolume)
{
    DiskWorldFixture f;
    const World w = f.world();
    const State s = f.state();
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    const Disk *owner = nullptr;
    ASSERT_NE(s.node(travel, &owner), nullptr);
    const QString wholeTravel = owner->id;
    const QString boot = f.bsdName(QStringLiteral("Macintosh HD"));
    struct Case {
        QString identifier;
        QString node;
    };
    const std::vector<Case> cases = {
        {travel, travel},
        {QStringLiteral("/dev/") + travel, travel},
        {QStringLiteral("/dev/r") + travel, travel},
        {f.mountPoint(QStringLiteral("Travel Drive")), travel},
        {QStringLiteral("/Volumes/Travel Drive"), travel},
        {QStringLiteral("/Volumes/Travel Drive/"), travel},
        {f.volumeUUID(QStringLiteral("Travel Drive")), travel},
        {f.volumeUUID(QStringLiteral("Travel Drive")).toLower(), travel},
        {f.diskUUID(travel), travel},
        {QStringLiteral("Travel Drive"), travel},
        {QStringLiteral("/"), boot},
        {f.root(), boot},
        {QStringLiteral("/Volumes/Macintosh HD"), boot},
        {wholeTravel, QString()},
    };
    for (const Case &c : cases) {
        const std::optional<Ref> r = w.resolve(s, c.identifier);
        ASSERT_TRUE(r.has_value()) << c.identifier.toStdString();
        EXPECT_EQ(r->node, c.node) << c.identifier.toStdString();
    }
    for (const QString &nothing : {QStringLiteral("disk99"), QStringLiteral("/dev/disk99s1"),
                                   QStringLiteral("/Volumes/Nope"), QStringLiteral("No Such Name"), QString()})
        EXPECT_FALSE(w.resolve(s, nothing).has_value()) << nothing.toStdString();
}

TEST(DiskWorld, AnUnpluggedDiskComesBackWithItsContentUnderANewNumber)
{
    DiskWorldFixture f;
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    const QString file = QStringLiteral("/Volumes/Travel Drive/ReadMe.txt");
    const QByteArray content = TestSupport::readFile(f.at(file));
    ASSERT_FALSE(content.isEmpty());

    ASSERT_TRUE(Operations::unplug(f.world(), travel).ok);
    EXPECT_FALSE(QFileInfo::exists(f.at(file)));
    EXPECT_TRUE(f.bsdName(QStringLiteral("Travel Drive")).isEmpty() || !f.state().node(travel));
    // Another disk takes the free number meanwhile.
    const QString other = f.attachUsb(QStringLiteral("Other"));
    ASSERT_FALSE(other.isEmpty());

    const Outcome back = Operations::replug(f.world(), QStringLiteral("Travel Drive"));
    ASSERT_TRUE(back.ok) << back.error.toStdString();
    EXPECT_EQ(TestSupport::readFile(f.at(file)), content);
    EXPECT_NE(f.bsdName(QStringLiteral("Travel Drive")), travel);
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(Operations::replug(f.world(), QStringLiteral("Travel Drive")).ok);
    // The startup disk never leaves.
    EXPECT_FALSE(Operations::unplug(f.world(), QStringLiteral("/")).ok);
}

TEST(DiskWorld, AnApfsDiskSpecMakesAContainerWithItsVolumes)
{
    DiskWorldFixture f;
    DiskSpec spec;
    spec.size = 50'000'000;
    VolumeSpec apfs;
    apfs.fs = QStringLiteral("APFS");
    VolumeSpec a;
    a.name = QStringLiteral("Work");
    a.fs = QStringLiteral("APFS");
    a.files = {{QStringLiteral("notes.txt"), QByteArray("n")}};
    VolumeSpec b;
    b.name = QStringLiteral("Hidden");
    b.fs = QStringLiteral("APFS");
    b.mounted = false;
    apfs.apfsVolumes = {a, b};
    spec.partitions.push_back(apfs);
    const QString disk = f.attach(spec);
    ASSERT_FALSE(disk.isEmpty()) << f.error().toStdString();
    const State s = f.state();
    const Disk *c = nullptr;
    ASSERT_NE(volumeNamed(s, QStringLiteral("Work"), &c), nullptr);
    EXPECT_TRUE(c->isContainer());
    EXPECT_EQ(s.physicalDisk(*c)->id, disk);
    EXPECT_FALSE(volumeNamed(s, QStringLiteral("Hidden"))->mounted);
    EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/Volumes/Work/notes.txt"))).isFile());
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

TEST(DiskWorld, AChangeThatFailsHalfwayPutsEveryFolderBack)
{
    DiskWorldFixture f;
    const QByteArray before = f.stateBytes();
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    const QString preboot = f.bsdName(QStringLiteral("Preboot"));
    const QString backup = f.bsdName(QStringLiteral("BACKUP"));
    QString error;
    const bool ok = f.world().change(
        [&](Change &c) {
            if (!c.unmount(*c.state.node(travel)->volume) || !c.mount(*c.state.node(preboot)->volume) ||
                !c.eraseContent(*c.state.node(backup)->volume, newUUID()))
                return false;
            return c.fail(QStringLiteral("something went wrong after three moves"));
        },
        &error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, QStringLiteral("something went wrong after three moves"));
    EXPECT_EQ(f.stateBytes(), before);
    EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/Volumes/Travel Drive/ReadMe.txt"))).isFile());
    EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/Volumes/BACKUP/old/notes.txt"))).isFile());
    EXPECT_FALSE(QFileInfo::exists(f.at(QStringLiteral("/Volumes/Preboot"))));
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

TEST(DiskWorld, TheSpaceCheckSeesEveryChangeWithoutWalkingEverythingAgain)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    UsageCache &cache = UsageCache::shared();
    auto agrees = [&](const char *step) {
        EXPECT_EQ(cache.bytes(root), FolderTree::bytes(root)) << step;
        EXPECT_EQ(cache.bytes(root, {QStringLiteral("skipped")}), FolderTree::bytes(root, {QStringLiteral("skipped")}))
            << step;
    };
    TestSupport::writeFile(root + QStringLiteral("/a/one.bin"), QByteArray(1000, '1'));
    TestSupport::writeFile(root + QStringLiteral("/a b/two.bin"), QByteArray(2000, '2'));
    TestSupport::writeFile(root + QStringLiteral("/skipped/three.bin"), QByteArray(3000, '3'));
    agrees("first look");
    TestSupport::writeFile(root + QStringLiteral("/a/deep/er/four.bin"), QByteArray(4000, '4'));
    agrees("a new folder deep down");
    {
        QFile f(root + QStringLiteral("/a/one.bin"));
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(QByteArray(500, '+'));
    }
    agrees("a file grown in place");
    ASSERT_TRUE(QFile::resize(root + QStringLiteral("/a b/two.bin"), 10));
    agrees("a file cut short");
    ASSERT_TRUE(QDir().rename(root + QStringLiteral("/a/deep"), root + QStringLiteral("/a b/moved")));
    agrees("a folder moved");
    ASSERT_TRUE(
        QFile::rename(root + QStringLiteral("/a b/moved/er/four.bin"), root + QStringLiteral("/skipped/four.bin")));
    agrees("a file moved into the skipped folder");
    ASSERT_TRUE(QDir(root + QStringLiteral("/a b")).removeRecursively());
    agrees("a folder deleted");
    ASSERT_TRUE(QDir(root + QStringLiteral("/a")).removeRecursively());
    TestSupport::writeFile(root + QStringLiteral("/a/again.bin"), QByteArray(77, 'x'));
    agrees("a folder made again under the same name");
}

// A file written through another of its names gives an event only in that
// name's folder: the sum still follows it, whether the other name lies in the
// tree (made before or after the file was read) or outside it.
TEST(DiskWorld, TheSpaceCheckFollowsAFileWrittenThroughAnotherOfItsNames)
{
    QTemporaryDir dir, outside;
    const QString root = dir.path();
    UsageCache &cache = UsageCache::shared();
    auto grow = [](const QString &path, int bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(QByteArray(bytes, '+'));
    };
    TestSupport::writeFile(root + QStringLiteral("/a/one.bin"), QByteArray(1000, '1'));
    TestSupport::writeFile(outside.path() + QStringLiteral("/two.bin"), QByteArray(2000, '2'));
    ASSERT_EQ(cache.bytes(root), 1000);
    const struct {
        const char *step;
        QString existing, link, writtenThrough;
    } cases[] = {
        {"a link made in the tree to a file already read", root + QStringLiteral("/a/one.bin"),
         root + QStringLiteral("/b/one again.bin"), root + QStringLiteral("/b/one again.bin")},
        {"the same file written through its first name", root + QStringLiteral("/a/one.bin"), QString(),
         root + QStringLiteral("/a/one.bin")},
        {"a link into the tree from outside", outside.path() + QStringLiteral("/two.bin"),
         root + QStringLiteral("/a/two.bin"), outside.path() + QStringLiteral("/two.bin")},
    };
    for (const auto &c : cases) {
        if (!c.link.isEmpty()) {
            QDir().mkpath(QFileInfo(c.link).absolutePath());
            ASSERT_EQ(::link(QFile::encodeName(c.existing).constData(), QFile::encodeName(c.link).constData()), 0)
                << c.step;
            EXPECT_EQ(cache.bytes(root), FolderTree::bytes(root)) << c.step;
        }
        grow(c.writtenThrough, 300);
        EXPECT_EQ(cache.bytes(root), FolderTree::bytes(root)) << c.step;
    }
}

// Folders that move while the space check reads them: a folder renamed between
// its listing and its watch is no failure, and one that is let go leaves no
// watch pointing at it (the next event for it would reach freed memory).
TEST(DiskWorld, TheSpaceCheckStaysRightWhileFoldersMoveUnderIt)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    qint64 total = 0;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 20; ++j) {
            const QByteArray data(100 + i * 20 + j, 'x');
            ASSERT_TRUE(TestSupport::writeFile(root + QStringLiteral("/t%1/s%2/f.bin").arg(i).arg(j), data));
            total += data.size();
        }
    UsageCache &cache = UsageCache::shared();
    std::atomic<bool> done{false};
    // Each top folder goes back and forth between two names.
    std::thread mover([&] {
        std::vector<bool> away(8, false);
        for (unsigned k = 0; !done; ++k) {
            const int i = int(k % 8);
            const QByteArray a = QFile::encodeName(root + QStringLiteral("/t%1").arg(i));
            const QByteArray b = QFile::encodeName(root + QStringLiteral("/u%1").arg(i));
            if (::rename(away[i] ? b.constData() : a.constData(), away[i] ? a.constData() : b.constData()) == 0)
                away[i] = !away[i];
        }
        for (int i = 0; i < 8; ++i)
            if (away[i])
                ::rename(QFile::encodeName(root + QStringLiteral("/u%1").arg(i)).constData(),
                         QFile::encodeName(root + QStringLiteral("/t%1").arg(i)).constData());
    });
    for (int round = 0; round < 300; ++round)
        cache.bytes(root);
    done = true;
    mover.join();
    EXPECT_EQ(cache.bytes(root), total);
    EXPECT_EQ(cache.bytes(root), FolderTree::bytes(root));
}

TEST(DiskWorld, TheSpaceCheckAgreesWithAWalkThroughManyRandomChanges)
{
    for (const unsigned seed : {2024u, 7u, 99u}) {
        QTemporaryDir dir;
        const QString root = dir.path();
        UsageCache &cache = UsageCache::shared();
        std::mt19937 rng(seed);
        auto pick = [&](int n) { return int(rng() % unsigned(n)); };
        QStringList folders{root};
        ASSERT_EQ(cache.bytes(root), 0);
        for (int step = 0; step < 400; ++step) {
            const QString base = folders[pick(int(folders.size()))];
            switch (pick(6)) {
            case 0: { // a new folder
                const QString f = base + QStringLiteral("/d%1").arg(step);
                if (QDir().mkdir(f))
                    folders << f;
                break;
            }
            case 1: // a new file
                TestSupport::writeFile(base + QStringLiteral("/f%1").arg(step), QByteArray(pick(5000), 'x'));
                break;
            case 2: { // a file grown or cut
                const QStringList files = QDir(base).entryList(QDir::Files);
                if (!files.isEmpty())
                    QFile::resize(base + QLatin1Char('/') + files[pick(int(files.size()))], pick(8000));
                break;
            }
            case 3: { // a folder moved somewhere else in the tree
                if (base == root)
                    break;
                const QString to = folders[pick(int(folders.size()))] + QStringLiteral("/m%1").arg(step);
                if (!to.startsWith(base + QLatin1Char('/')) && QDir().rename(base, to)) {
                    for (QString &f : folders)
                        if (f == base || f.startsWith(base + QLatin1Char('/')))
                            f = to + f.mid(base.size());
                }
                break;
            }
            case 4: // a folder deleted
                if (base != root && QDir(base).removeRecursively())
                    folders.erase(std::remove_if(folders.begin(), folders.end(),
                                                 [&](const QString &f) {
                                                     return f == base || f.startsWith(base + QLatin1Char('/'));
                                                 }),
                                  folders.end());
                break;
            case 5: { // a file deleted
                const QStringList files = QDir(base).entryList(QDir::Files);
                if (!files.isEmpty())
                    QFile::remove(base + QLatin1Char('/') + files[pick(int(files.size()))]);
                break;
            }
            }
            if (step % 3 == 0) {
                ASSERT_EQ(cache.bytes(root), FolderTree::bytes(root)) << "seed " << seed << ", after step " << step;
            }
        }
        EXPECT_EQ(cache.bytes(root), FolderTree::bytes(root)) << "seed " << seed;
    }
}
