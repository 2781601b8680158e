// The stand-in diskutil through its command line, on fixture worlds.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

// Failure messages show texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using TestSupport::DiskWorldFixture;
using TestSupport::ToolRun;

namespace {

const QString kDiskutil = QStringLiteral("diskutil");

std::string text(const QByteArray &b) { return b.toStdString(); }

ToolRun diskutil(const DiskWorldFixture &f, const QStringList &args) { return f.run(kDiskutil, args); }

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

QString wholeDiskOf(const DiskWorldFixture &f, const QString &node)
{
    const Platform::DiskWorld::Disk *owner = nullptr;
    const Platform::DiskWorld::State s = f.state();
    if (!s.node(node, &owner))
        return {};
    return owner->id;
}

} // namespace

TEST(DiskutilTool, InfoGivesEveryKeyTheReadersUseWithItsType)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok());
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    const int str = QMetaType::QString, num = QMetaType::LongLong, flag = QMetaType::Bool;
    struct Key {
        const char *name;
        int type;
    };
    const std::vector<Key> volumeKeys = {{"VolumeName", str},
                                         {"DeviceIdentifier", str},
                                         {"DeviceNode", str},
                                         {"MountPoint", str},
                                         {"FilesystemName", str},
                                         {"TotalSize", num},
                                         {"FreeSpace", num},
                                         {"Ejectable", flag},
                                         {"DiskUUID", str},
                                         {"BusProtocol", str},
                                         {"ParentWholeDisk", str},
                                         {"VolumeUUID", str},
                                         {"RAIDMaster", flag},
                                         {"CoreStorageEncrypted", flag},
                                         {"Content", str},
                                         {"VirtualOrPhysical", str},
                                         {"IORegistryEntryName", str},
                                         {"WritableVolume", flag},
                                         {"Internal", flag}};
    const QVariantMap m = f.info(travel);
    for (const Key &k : volumeKeys) {
        ASSERT_TRUE(m.contains(QLatin1String(k.name))) << k.name;
        EXPECT_EQ(m.value(QLatin1String(k.name)).typeId(), k.type) << k.name;
    }
    EXPECT_EQ(m.value("VolumeName").toString(), QStringLiteral("Travel Drive"));
    EXPECT_EQ(m.value("DeviceIdentifier").toString(), travel);
    EXPECT_EQ(m.value("DeviceNode").toString(), QStringLiteral("/dev/") + travel);
    EXPECT_EQ(m.value("MountPoint").toString(), f.at(QStringLiteral("/Volumes/Travel Drive")));
    EXPECT_EQ(m.value("BusProtocol").toString(), QStringLiteral("USB"));
    EXPECT_EQ(m.value("ParentWholeDisk").toString(), wholeDiskOf(f, travel));
    EXPECT_TRUE(m.value("Ejectable").toBool());

    // The running system: "/" answers for it, with its container's sizes.
    const QVariantMap boot = f.info(QStringLiteral("/"));
    for (const char *k : {"APFSContainerSize", "APFSContainerFree", "TotalSize", "FreeSpace"})
        EXPECT_EQ(boot.value(QLatin1String(k)).typeId(), num) << k;
    EXPECT_EQ(boot.value("MountPoint").toString(), f.root());
    EXPECT_EQ(boot.value("FilesystemName").toString(), QStringLiteral("APFS"));
    EXPECT_FALSE(boot.value("Ejectable").toBool());
    EXPECT_EQ(boot.value("BusProtocol").toString(), QStringLiteral("PCI-Express"));
    EXPECT_EQ(boot.value("APFSContainerReference").typeId(), str);
    EXPECT_EQ(f.info(QStringLiteral("/Volumes/Macintosh HD")).value("DeviceIdentifier"),
              boot.value("DeviceIdentifier"));

    // A whole disk, asked the way the external-only picker asks.
    const QVariantMap whole = f.info(QStringLiteral("/dev/") + wholeDiskOf(f, travel));
    EXPECT_EQ(whole.value("IORegistryEntryName").toString(), QStringLiteral("SanDisk Cruzer Blade Media"));
    EXPECT_EQ(whole.value("TotalSize").typeId(), num);
    EXPECT_EQ(whole.value("VirtualOrPhysical").toString(), QStringLiteral("Physical"));
    EXPECT_EQ(whole.value("RAIDMaster").typeId(), flag);
    EXPECT_FALSE(whole.contains("VolumeName"));
    // An unmounted volume has no mount point at all.
    EXPECT_FALSE(f.info(f.bsdName(QStringLiteral("Preboot"))).contains("MountPoint"));
}

TEST(DiskutilTool, InfoOfSomethingUnknownFailsWithNothingOnStandardOutput)
{
    DiskWorldFixture f;
    for (const QString &id : {QStringLiteral("disk42"), QStringLiteral("/dev/disk42s1"),
                              QStringLiteral("/Volumes/Gone"), QStringLiteral("no such volume")}) {
        const ToolRun r = diskutil(f, {QStringLiteral("info"), QStringLiteral("-plist"), id});
        EXPECT_NE(r.status, 0) << id.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << id.toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << id.toStdString();
    }
}

TEST(DiskutilTool, ListGivesEveryDiskPartitionAndVolume)
{
    DiskWorldFixture f;
    const ToolRun r = diskutil(f, {QStringLiteral("list"), QStringLiteral("-plist")});
    ASSERT_EQ(r.status, 0) << text(r.err);
    const QVariantMap m = r.plist();
    const QStringList all = m.value("AllDisks").toStringList();
    const QStringList whole = m.value("WholeDisks").toStringList();
    const Platform::DiskWorld::State s = f.state();
    for (const auto &d : s.disks) {
        EXPECT_TRUE(whole.contains(d.id)) << d.id.toStdString();
        EXPECT_TRUE(all.contains(d.id)) << d.id.toStdString();
        for (const auto &n : d.nodes)
            EXPECT_TRUE(all.contains(n.id)) << n.id.toStdString();
    }
    EXPECT_EQ(m.value("AllDisksAndPartitions").toList().size(), whole.size());
    const QStringList mounted = m.value("VolumesFromDisks").toStringList();
    for (const char *name : {"Macintosh HD", "Travel Drive", "BACKUP", "BOOTCAMP"})
        EXPECT_TRUE(mounted.contains(QLatin1String(name))) << name;
    EXPECT_FALSE(mounted.contains(QStringLiteral("Preboot")));

    // One container: its volumes under "APFSVolumes", the way the Preboot copy reads them.
    const QString container = wholeDiskOf(f, f.bsdName(QStringLiteral("Macintosh HD")));
    const ToolRun one =
        diskutil(f, {QStringLiteral("list"), QStringLiteral("-plist"), QStringLiteral("/dev/") + container});
    ASSERT_EQ(one.status, 0) << text(one.err);
    const QVariantList entries = one.plist().value("AllDisksAndPartitions").toList();
    ASSERT_EQ(entries.size(), 1);
    QStringList names;
    for (const QVariant &v : entries.first().toMap().value("APFSVolumes").toList())
        names << v.toMap().value("VolumeName").toString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Macintosh HD"), QStringLiteral("Preboot"), QStringLiteral("Data")}));

    EXPECT_NE(diskutil(f, {QStringLiteral("list"), QStringLiteral("-plist"), QStringLiteral("disk77")}).status, 0);
}

TEST(DiskutilTool, NamesThatAShellWouldReadSurviveRenameAndEraseUnchanged)
{
    DiskWorldFixture f;
    QTemporaryDir probe;
    const QString marker = probe.filePath(QStringLiteral("ran"));
    const QStringList names = {
        QStringLiteral("My \"Disk\""),
        QStringLiteral("$(touch %1)").arg(marker),
        QStringLiteral("`touch %1`").arg(marker),
        QStringLiteral("a; touch %1").arg(marker),
        QStringLiteral("x & touch %1 &").arg(marker),
        QStringLiteral("line one\nline two"),
        QStringLiteral("  spaced  out  "),
        QStringLiteral("it's 'quoted'"),
        QStringLiteral("back\\slash"),
        QStringLiteral("数据盘"),
    };
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    for (const QString &name : names) {
        // By DiskUUID, as the Disk Manager renames.
        const ToolRun r = diskutil(f, {QStringLiteral("rename"), f.diskUUID(travel), name});
        ASSERT_EQ(r.status, 0) << name.toStdString() << ": " << text(r.err);
        EXPECT_EQ(f.info(travel).value("VolumeName").toString(), name);
        QString folder = name;
        folder.replace(QLatin1Char('/'), QLatin1Char(':'));
        EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/Volumes/") + folder + QStringLiteral("/ReadMe.txt"))).isFile())
            << name.toStdString();
    }
    for (const QString &name : names) {
        const ToolRun r = diskutil(
            f, {QStringLiteral("eraseVolume"), QStringLiteral("ExFAT"), name, QStringLiteral("/dev/") + travel});
        ASSERT_EQ(r.status, 0) << name.toStdString() << ": " << text(r.err);
        const QVariantMap m = f.info(travel);
        EXPECT_EQ(m.value("VolumeName").toString(), name);
        EXPECT_TRUE(QFileInfo(m.value("MountPoint").toString()).isDir()) << name.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(marker));
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

TEST(DiskutilTool, ARenameToANameInUseMountsUnderAFreeFolder)
{
    DiskWorldFixture f;
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    ASSERT_EQ(diskutil(f, {QStringLiteral("rename"), travel, QStringLiteral("BACKUP")}).status, 0);
    const QVariantMap m = f.info(travel);
    EXPECT_EQ(m.value("VolumeName").toString(), QStringLiteral("BACKUP"));
    EXPECT_EQ(m.value("MountPoint").toString(), f.at(QStringLiteral("/Volumes/BACKUP 1")));
    EXPECT_EQ(f.info(QStringLiteral("/Volumes/BACKUP")).value("FilesystemName").toString(),
              QStringLiteral("MS-DOS FAT32"));
}

TEST(DiskutilTool, RefusedCommandsSayWhyAndChangeNothing)
{
    DiskWorldFixture f;
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    const QString boot = f.bsdName(QStringLiteral("Macintosh HD"));
    const QString bootDisk = wholeDiskOf(f, f.bsdName(QStringLiteral("BOOTCAMP")));
    const QString container = wholeDiskOf(f, boot);
    const std::vector<QStringList> refused = {
        {QStringLiteral("rename"), QStringLiteral("BOOTCAMP"), QStringLiteral("Windows")}, // read-only
        {QStringLiteral("rename"), travel, QString()},
        {QStringLiteral("rename"), QStringLiteral("disk42s1"), QStringLiteral("X")},
        {QStringLiteral("rename"), f.bsdName(QStringLiteral("BACKUP")),
         QStringLiteral("TWELVE CHARS")}, // FAT32 keeps 11
        {QStringLiteral("eraseVolume"), QStringLiteral("ZFS"), QStringLiteral("X"), travel},
        {QStringLiteral("eraseVolume"), QStringLiteral("APFS"), QStringLiteral("X"), boot},
        {QStringLiteral("eraseVolume"), QStringLiteral("ExFAT"), QStringLiteral("X"), wholeDiskOf(f, travel)},
        {QStringLiteral("eraseVolume"), QStringLiteral("MS-DOS FAT32"), QStringLiteral("FAR TOO LONG NAME"), travel},
        {QStringLiteral("eraseDisk"), QStringLiteral("JHFS+"), QStringLiteral("X"), bootDisk},
        {QStringLiteral("eraseDisk"), QStringLiteral("APFS"), QStringLiteral("X"), container},
        {QStringLiteral("eraseDisk"), QStringLiteral("NoSuchFS"), QStringLiteral("X"), wholeDiskOf(f, travel)},
        {QStringLiteral("reformat"), QStringLiteral("/")},
        {QStringLiteral("eject"), QStringLiteral("/")},
        {QStringLiteral("eject"), QStringLiteral("BOOTCAMP")}, // internal
        {QStringLiteral("unmountDisk"), QStringLiteral("/dev/") + bootDisk},
        {QStringLiteral("mountDisk"), QStringLiteral("/dev/disk42")},
        {QStringLiteral("frobnicate"), travel},
    };
    const QByteArray before = f.stateBytes();
    const QStringList volumesBefore = entriesOf(f.at(QStringLiteral("/Volumes")));
    for (const QStringList &args : refused) {
        const ToolRun r = diskutil(f, args);
        EXPECT_NE(r.status, 0) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(r.err.trimmed().isEmpty()) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(f.stateBytes(), before) << args.join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_EQ(entriesOf(f.at(QStringLiteral("/Volumes"))), volumesBefore);
    EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/Volumes/Travel Drive/ReadMe.txt"))).isFile());
}

TEST(DiskutilTool, EraseVolumeTakesEveryTypeTextAndEveryFileSystemTheWorldReports)
{
    DiskWorldFixture f;
    struct Case {
        const char *type;
        const char *reported;
    };
    const std::vector<Case> cases = {
        {"ExFAT", "ExFAT"},
        {"MS-DOS FAT32", "MS-DOS FAT32"},
        {"Journaled HFS+", "Journaled HFS+"},
        {"APFS", "APFS"},
        {"HFS+", "HFS+"},
        {"NTFS", "NTFS"},
        {"JHFS+", "Journaled HFS+"},
    };
    const QString other = f.mountPoint(QStringLiteral("BACKUP")) + QStringLiteral("/old/notes.txt");
    for (const Case &c : cases) {
        const QString name = QStringLiteral("V%1").arg(QLatin1String(c.type).size());
        ASSERT_FALSE(f.attachUsb(QStringLiteral("Before"), QStringLiteral("ExFAT"), 20'000'000,
                                 {{QStringLiteral("gone.txt"), QByteArray("old")}})
                         .isEmpty());
        const QString node = f.bsdName(QStringLiteral("Before"));
        const ToolRun r =
            diskutil(f, {QStringLiteral("eraseVolume"), QLatin1String(c.type), name, QStringLiteral("/dev/") + node});
        ASSERT_EQ(r.status, 0) << c.type << ": " << text(r.err);
        EXPECT_FALSE(r.isPlist());
        // The new volume is found by its name; an APFS one sits in a new container.
        const QVariantMap m = f.info(name);
        EXPECT_EQ(m.value("FilesystemName").toString(), QLatin1String(c.reported)) << c.type;
        EXPECT_EQ(m.value("VolumeName").toString(), name);
        const QString mount = m.value("MountPoint").toString();
        EXPECT_EQ(mount, f.at(QStringLiteral("/Volumes/") + name));
        EXPECT_EQ(entriesOf(mount), QStringList()) << c.type;
        EXPECT_EQ(m.contains("APFSContainerReference"), QLatin1String(c.reported) == QLatin1String("APFS")) << c.type;
        EXPECT_TRUE(QFileInfo(other).isFile()) << "another volume was touched by " << c.type;
        // Done with it: out of the way for the next case.
        ASSERT_EQ(diskutil(f, {QStringLiteral("eject"), name}).status, 0);
    }
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

TEST(DiskutilTool, AnApfsVolumeErasedAsAnotherTypeGivesItsPartitionBack)
{
    DiskWorldFixture f;
    const QString node = f.bsdName(QStringLiteral("Travel Drive"));
    const QString disk = wholeDiskOf(f, node);
    ASSERT_EQ(diskutil(f, {QStringLiteral("eraseVolume"), QStringLiteral("APFS"), QStringLiteral("Fast"), node}).status,
              0);
    const QString apfsNode = f.bsdName(QStringLiteral("Fast"));
    EXPECT_NE(wholeDiskOf(f, apfsNode), disk);
    // An APFS volume erased as APFS stays in its container.
    ASSERT_EQ(
        diskutil(f, {QStringLiteral("eraseVolume"), QStringLiteral("APFS"), QStringLiteral("Faster"), apfsNode}).status,
        0);
    EXPECT_EQ(f.bsdName(QStringLiteral("Faster")), apfsNode);
    ASSERT_EQ(
        diskutil(f, {QStringLiteral("eraseVolume"), QStringLiteral("ExFAT"), QStringLiteral("Plain"), apfsNode}).status,
        0);
    EXPECT_EQ(f.bsdName(QStringLiteral("Plain")), node);
    EXPECT_EQ(f.info(node).value("FilesystemName").toString(), QStringLiteral("ExFAT"));
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

TEST(DiskutilTool, EraseDiskGivesTheCloneItsVolumeUnderVolumes)
{
    DiskWorldFixture f;
    // The whole disk keeps its BSD name through every erase.
    const QString disk = wholeDiskOf(f, f.bsdName(QStringLiteral("Travel Drive")));
    ASSERT_FALSE(disk.isEmpty());
    for (const char *fs : {"HFS+", "APFS", "JHFS+"}) {
        const ToolRun r =
            diskutil(f, {QStringLiteral("eraseDisk"), QLatin1String(fs), QStringLiteral("NewCloneSystem"), disk});
        ASSERT_EQ(r.status, 0) << fs << ": " << text(r.err);
        const QString mount = f.at(QStringLiteral("/Volumes/NewCloneSystem"));
        EXPECT_TRUE(QFileInfo(mount).isDir()) << fs;
        EXPECT_EQ(entriesOf(mount), QStringList()) << fs;
        const QVariantMap m = f.info(mount);
        EXPECT_EQ(m.value("FilesystemName").toString(),
                  QLatin1String(fs) == QLatin1String("JHFS+") ? QStringLiteral("Journaled HFS+") : QLatin1String(fs));
        // The whole disk keeps its device: still the same registry name and bus.
        const QVariantMap whole = f.info(QStringLiteral("/dev/") + disk);
        EXPECT_EQ(whole.value("IORegistryEntryName").toString(), QStringLiteral("SanDisk Cruzer Blade Media"));
        EXPECT_EQ(whole.value("Content").toString(), QStringLiteral("GUID_partition_scheme"));
    }
    EXPECT_FALSE(QFileInfo::exists(f.at(QStringLiteral("/Volumes/Travel Drive"))));
    EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/Volumes/BACKUP/old/notes.txt"))).isFile());
    // The Preboot copy's road: the first name of the disk's list with a container names the new one.
    ASSERT_EQ(diskutil(f, {QStringLiteral("eraseDisk"), QStringLiteral("APFS"), QStringLiteral("NewCloneSystem"), disk})
                  .status,
              0);
    const QString container = wholeDiskOf(f, f.bsdName(QStringLiteral("NewCloneSystem")));
    EXPECT_NE(container, disk);
    QString reference;
    const QVariantList names =
        diskutil(f, {QStringLiteral("list"), QStringLiteral("-plist"), QStringLiteral("/dev/") + disk})
            .plist()
            .value("AllDisks")
            .toList();
    for (const QVariant &name : names) {
        reference = f.info(QStringLiteral("/dev/") + name.toString()).value("APFSContainerReference").toString();
        if (!reference.isEmpty())
            break;
    }
    EXPECT_EQ(reference, container);
}

TEST(DiskutilTool, ReformatEmptiesAVolumeAndKeepsItsNameAndType)
{
    DiskWorldFixture f;
    const QString node = f.bsdName(QStringLiteral("Travel Drive"));
    const QString uuid = f.volumeUUID(QStringLiteral("Travel Drive"));
    const ToolRun r = diskutil(f, {QStringLiteral("reformat"), QStringLiteral("/dev/") + node});
    ASSERT_EQ(r.status, 0) << text(r.err);
    const QVariantMap m = f.info(node);
    EXPECT_EQ(m.value("VolumeName").toString(), QStringLiteral("Travel Drive"));
    EXPECT_EQ(m.value("FilesystemName").toString(), QStringLiteral("ExFAT"));
    EXPECT_NE(m.value("VolumeUUID").toString(), uuid);
    EXPECT_EQ(entriesOf(m.value("MountPoint").toString()), QStringList());
}

TEST(DiskutilTool, EjectTakesTheDiskOutByAnyOfItsIdentifiers)
{
    DiskWorldFixture f;
    enum Kind { ByDiskUUID, ByVolumeUUID, ByNode, ByName, ByMountPoint };
    for (Kind k : {ByDiskUUID, ByVolumeUUID, ByNode, ByName, ByMountPoint}) {
        ASSERT_FALSE(f.attachUsb(QStringLiteral("Stick")).isEmpty());
        const QString node = f.bsdName(QStringLiteral("Stick"));
        const QString disk = wholeDiskOf(f, node);
        const QString id = k == ByDiskUUID     ? f.diskUUID(node)
                           : k == ByVolumeUUID ? f.volumeUUID(QStringLiteral("Stick"))
                           : k == ByNode       ? QStringLiteral("/dev/") + node
                           : k == ByName       ? QStringLiteral("Stick")
                                               : f.mountPoint(QStringLiteral("Stick"));
        const ToolRun r = diskutil(f, {QStringLiteral("eject"), id});
        ASSERT_EQ(r.status, 0) << int(k) << ": " << text(r.err);
        EXPECT_FALSE(QFileInfo::exists(f.at(QStringLiteral("/Volumes/Stick")))) << int(k);
        EXPECT_FALSE(diskutil(f, {QStringLiteral("list"), QStringLiteral("-plist")})
                         .plist()
                         .value("WholeDisks")
                         .toStringList()
                         .contains(disk))
            << int(k);
    }
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

TEST(DiskutilTool, UnmountAndMountKeepTheContentAndMountPrintsNoPropertyList)
{
    DiskWorldFixture f;
    const QString node = f.bsdName(QStringLiteral("Travel Drive"));
    const QString disk = wholeDiskOf(f, node);
    const QString file = f.at(QStringLiteral("/Volumes/Travel Drive/Documents/Budget.csv"));
    const QByteArray content = TestSupport::readFile(file);

    ToolRun r = diskutil(f, {QStringLiteral("unmountDisk"), QStringLiteral("/dev/") + disk});
    ASSERT_EQ(r.status, 0) << text(r.err);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(f.info(node).contains("MountPoint"));

    r = diskutil(f, {QStringLiteral("mountDisk"), QStringLiteral("/dev/") + disk});
    ASSERT_EQ(r.status, 0) << text(r.err);
    EXPECT_FALSE(r.out.trimmed().isEmpty());
    EXPECT_FALSE(r.isPlist());
    EXPECT_EQ(TestSupport::readFile(file), content);

    // One volume by its node: an unmounted Preboot volume comes up under Volumes.
    const QString preboot = f.bsdName(QStringLiteral("Preboot"));
    r = diskutil(f, {QStringLiteral("mountDisk"), QStringLiteral("/dev/") + preboot});
    ASSERT_EQ(r.status, 0) << text(r.err);
    EXPECT_FALSE(r.isPlist());
    EXPECT_EQ(f.info(preboot).value("MountPoint").toString(), f.at(QStringLiteral("/Volumes/Preboot")));
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}
