// The stand-in diskutil's output on a fixture world, read back through the
// runners and the VolumeObj builders the way the pickers, the clone rescan and
// the Disk Manager read it.
#include <gtest/gtest.h>

#include "DiskArbitration.h"
#include "DiskTestSupport.h"
#include "DiskWorldFixture.h"
#include "QoPublicUtilities.h"
#include "RunnerFolder.h"
#include "ShellRunners.h"
#include "VolumeObjBuilders.h"

#include <QDir>
#include <QTemporaryDir>

using TestSupport::DiskWorldFixture;
using TestSupport::RunnerFolder;

namespace {

std::optional<QVariantMap> infoThrough(RunnerResult (*runner)(const ToolCommand &), const QString &id, int buffer)
{
    return runner(ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), id})
                      .withBuffer(buffer))
        .dictionary();
}

// The normal listing's discovery: each entry of /Volumes, its BSD name from
// DiskArbitration, then "diskutil info -plist <BSD name>".
std::vector<VolumeObjPtr> scanVolumes(const DiskWorldFixture &f, VolumeObjPtr (*builder)(const QVariantMap &),
                                      RunnerResult (*runner)(const ToolCommand &), int buffer)
{
    std::vector<VolumeObjPtr> out;
    const Platform::DiskArbitration::Session session;
    for (const QString &name :
         QDir(f.at(QStringLiteral("/Volumes"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (name == QLatin1String(".DS_Store"))
            continue;
        const auto disk = session.diskForVolumePath(f.at(QStringLiteral("/Volumes/") + name));
        if (!disk || disk->bsdName().trimmed().isEmpty())
            continue;
        if (const auto info = infoThrough(runner, disk->bsdName(), buffer))
            if (VolumeObjPtr v = builder(*info))
                out.push_back(v);
    }
    return out;
}

VolumeObjPtr named(const std::vector<VolumeObjPtr> &records, const QString &name)
{
    for (const VolumeObjPtr &v : records)
        if (v->volumeName == name)
            return v;
    return nullptr;
}

QString wholeDiskOf(const DiskWorldFixture &f, const QString &node)
{
    const Platform::DiskWorld::State s = f.state();
    const Platform::DiskWorld::Disk *owner = nullptr;
    return s.node(node, &owner) ? owner->id : QString();
}

} // namespace

TEST(DiskWorldBuilders, ThePickerGetsOneRecordPerMountedVolume)
{
    DiskWorldFixture f;
    RunnerFolder runners;
    ASSERT_TRUE(TestSupport::writeFile(f.at(QStringLiteral("/Volumes/.DS_Store")), "finder"));
    const std::vector<VolumeObjPtr> records = scanVolumes(f, VolumeObjFromPicker, execCommand, 64);
    ASSERT_EQ(records.size(), 4u);

    const VolumeObjPtr boot = named(records, QStringLiteral("Macintosh HD"));
    ASSERT_TRUE(boot);
    const QVariantMap bootInfo = f.info(QStringLiteral("/"));
    EXPECT_EQ(boot->volumeMountPoint, f.root());
    EXPECT_EQ(boot->volumePath, f.root());
    EXPECT_EQ(boot->volumeType, QStringLiteral("APFS"));
    EXPECT_FALSE(boot->bCanEject);
    EXPECT_EQ(boot->volumeTotalSizeNum, bootInfo.value("TotalSize").toLongLong());
    EXPECT_EQ(boot->volumeFreeSizeNum, bootInfo.value("APFSContainerFree").toLongLong());

    const VolumeObjPtr travel = named(records, QStringLiteral("Travel Drive"));
    ASSERT_TRUE(travel);
    const QVariantMap info = f.info(QStringLiteral("Travel Drive"));
    EXPECT_TRUE(travel->bCanEject);
    EXPECT_EQ(travel->volumePath, f.at(QStringLiteral("/Volumes/Travel Drive")));
    EXPECT_EQ(travel->volumeType, QStringLiteral("ExFAT"));
    EXPECT_EQ(travel->volumeTotalSizeNum, info.value("TotalSize").toLongLong());
    EXPECT_EQ(travel->volumeFreeSizeNum, info.value("FreeSpace").toLongLong());
    EXPECT_GT(travel->volumeTotalSizeNum, travel->volumeFreeSizeNum); // the sample files take their room
    EXPECT_EQ(travel->volumeTotalSize, QoPublicUtilities::longlongConvertVolSpace(travel->volumeTotalSizeNum));
    EXPECT_EQ(travel->diskUUID, info.value("DiskUUID").toString());

    const VolumeObjPtr ntfs = named(records, QStringLiteral("BOOTCAMP"));
    ASSERT_TRUE(ntfs);
    EXPECT_EQ(ntfs->volumeType, QStringLiteral("NTFS"));
    EXPECT_FALSE(ntfs->bCanEject);
    const VolumeObjPtr fat = named(records, QStringLiteral("BACKUP"));
    ASSERT_TRUE(fat);
    EXPECT_EQ(fat->volumeType, QStringLiteral("MS-DOS FAT32"));
    EXPECT_TRUE(fat->bCanEject);
}

TEST(DiskWorldBuilders, TheCloneRescanFindsTheErasedVolumeByItsName)
{
    DiskWorldFixture f;
    RunnerFolder runners;
    const QString disk = wholeDiskOf(f, f.bsdName(QStringLiteral("Travel Drive")));
    for (const char *fs : {"JHFS+", "APFS"}) {
        ASSERT_EQ(f.run(QStringLiteral("diskutil"),
                        {QStringLiteral("eraseDisk"), QLatin1String(fs), QStringLiteral("NewCloneSystem"), disk})
                      .status,
                  0);
        const std::vector<VolumeObjPtr> records = scanVolumes(f, VolumeObjFromCloneRescan, AexecCommand, 64);
        const VolumeObjPtr clone = named(records, QStringLiteral("NewCloneSystem"));
        ASSERT_TRUE(clone) << fs;
        EXPECT_EQ(clone->volumePath, f.bsdName(QStringLiteral("NewCloneSystem"))) << fs;
        EXPECT_EQ(clone->volumeMountPoint, f.at(QStringLiteral("/Volumes/NewCloneSystem"))) << fs;
        const QVariantMap info = f.info(clone->volumePath);
        const qint64 free = QLatin1String(fs) == QLatin1String("APFS") ? info.value("APFSContainerFree").toLongLong()
                                                                       : info.value("FreeSpace").toLongLong();
        EXPECT_EQ(clone->volumeFreeSizeNum, free) << fs;
        EXPECT_TRUE(clone->bCanEject);
    }
}

TEST(DiskWorldBuilders, TheDiskManagerGetsDeviceNodesTypesAndBuses)
{
    DiskWorldFixture f;
    RunnerFolder runners;
    const std::vector<VolumeObjPtr> records = scanVolumes(f, VolumeObjFromDiskManager, aepairExecCommand, 128);
    ASSERT_EQ(records.size(), 4u);
    for (const VolumeObjPtr &v : records) {
        EXPECT_TRUE(v->volumePath.startsWith(QLatin1String("/dev/disk"))) << v->volumeName.toStdString();
        EXPECT_EQ(v->volRootDir, v->volumePath);
        EXPECT_FALSE(v->diskUUID.isEmpty());
        EXPECT_NE(v->volumeName, QStringLiteral("EFI"));
    }
    const VolumeObjPtr travel = named(records, QStringLiteral("Travel Drive"));
    ASSERT_TRUE(travel);
    EXPECT_EQ(travel->BusProtocol, QStringLiteral("USB"));
    EXPECT_EQ(travel->diskType, QStringLiteral("ExFAT"));
    EXPECT_EQ(travel->parentWholeDisk, wholeDiskOf(f, f.bsdName(QStringLiteral("Travel Drive"))));
    const QVariantMap info = f.info(QStringLiteral("Travel Drive"));
    EXPECT_EQ(travel->volumeTotalSizeNum, info.value("TotalSize").toLongLong());
    EXPECT_EQ(travel->volumeFreeSizeNum, info.value("FreeSpace").toLongLong());
    // The startup volume is APFS with a free space of its own: FreeSpace stands.
    const VolumeObjPtr boot = named(records, QStringLiteral("Macintosh HD"));
    ASSERT_TRUE(boot);
    EXPECT_EQ(boot->diskType, QStringLiteral("APFS"));
    EXPECT_EQ(boot->volumeMountPoint, f.root());
    EXPECT_EQ(boot->BusProtocol, QStringLiteral("PCI-Express"));
    EXPECT_EQ(boot->volumeFreeSizeNum, f.info(QStringLiteral("/")).value("FreeSpace").toLongLong());
    EXPECT_FALSE(boot->bCanEject);

    // What the Disk Manager's rename and eject pass back (the DiskUUID) reaches the same volume.
    const auto renamed =
        aepairExecCommand(ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("rename"), travel->diskUUID})
                              .quotedArg(QStringLiteral("Holiday \"2024\" $(x)"))
                              .withBuffer(128));
    EXPECT_TRUE(renamed.ran);
    EXPECT_EQ(f.info(travel->volumePath).value("VolumeName").toString(), QStringLiteral("Holiday \"2024\" $(x)"));
}

TEST(DiskWorldBuilders, TheExternalOnlyPickerOffersThePhysicalUsbDisksOnly)
{
    DiskWorldFixture f;
    RunnerFolder runners;
    // A USB disk with an APFS container, and a mounted disk image: neither container nor image is offered.
    Platform::DiskWorld::DiskSpec apfs;
    apfs.registryName = QStringLiteral("Samsung T7 Media");
    apfs.size = 100'000'000;
    Platform::DiskWorld::VolumeSpec v;
    v.name = QStringLiteral("T7");
    v.fs = QStringLiteral("APFS");
    apfs.partitions.push_back(v);
    const QString apfsDisk = f.attach(apfs);
    ASSERT_FALSE(apfsDisk.isEmpty());
    QTemporaryDir src, images;
    TestSupport::writeFile(src.filePath(QStringLiteral("f")), "f");
    const QString image = images.filePath(QStringLiteral("img.dmg"));
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"),
                    {QStringLiteral("create"), image, QStringLiteral("-volname"), QStringLiteral("Img"),
                     QStringLiteral("-size"), QStringLiteral("10000000"), QStringLiteral("-fs"), QStringLiteral("HFS+"),
                     QStringLiteral("-format"), QStringLiteral("UDRW"), QStringLiteral("-srcfolder"), src.path()})
                  .status,
              0);
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image}).status, 0);

    const auto list =
        execCommand(
            ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("list"), QStringLiteral("-plist")}).withBuffer(64))
            .dictionary();
    ASSERT_TRUE(list.has_value());
    std::vector<VolumeObjPtr> offered;
    QStringList seen;
    for (const QVariant &entry : list->value("WholeDisks").toList()) {
        const QString bsd = entry.toString().section(QLatin1Char('/'), -1);
        seen << bsd;
        const auto info = infoThrough(execCommand, QStringLiteral("/dev/") + bsd, 64);
        ASSERT_TRUE(info.has_value()) << bsd.toStdString();
        if (info->value("BusProtocol").toString() != QLatin1String("USB") || info->value("RAIDMaster").toBool() ||
            info->value("CoreStorageEncrypted").toBool() ||
            info->value("Content").toString() == QLatin1String("Apple_HFSX") ||
            info->value("VirtualOrPhysical").toString() == QLatin1String("Virtual"))
            continue;
        offered.push_back(VolumeObjFromExternalDisk(*info));
    }
    EXPECT_GE(seen.size(), 6); // boot disk, its container, two demo sticks, the T7 and its container, the image
    QStringList names;
    for (const VolumeObjPtr &r : offered) {
        names << r->volumeName;
        EXPECT_TRUE(r->bCanEject);
        EXPECT_EQ(r->volumeType, QStringLiteral(" "));
        EXPECT_TRUE(r->volumeMountPoint.isEmpty());
        EXPECT_EQ(r->volumeTotalSizeNum,
                  f.info(QStringLiteral("/dev/") + r->volumePath).value("TotalSize").toLongLong());
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Kingston DataTraveler 3.0 Media"), QStringLiteral("Samsung T7 Media"),
                                  QStringLiteral("SanDisk Cruzer Blade Media")}));
    const VolumeObjPtr t7 = named(offered, QStringLiteral("Samsung T7 Media"));
    ASSERT_TRUE(t7);
    EXPECT_EQ(t7->volumePath, apfsDisk);
    EXPECT_EQ(t7->volumeTotalSizeNum, 100'000'000);
}

TEST(DiskWorldBuilders, TheWorkspaceBuilderTakesEveryMountedVolumeFromTheWorkspace)
{
    DiskWorldFixture f;
    const std::vector<VolumeObjPtr> records = VolumeObjsFromWorkspace();
    QStringList names;
    for (const VolumeObjPtr &v : records)
        names << v->volumeName;
    // The startup volume first, named by its volume name rather than by its folder.
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(names.first(), QStringLiteral("Macintosh HD"));
    EXPECT_EQ(records.front()->volumePath, f.root());
    names.sort();
    EXPECT_EQ(names, (QStringList{"BACKUP", "BOOTCAMP", "Macintosh HD", "Travel Drive"}));

    const VolumeObjPtr travel = named(records, QStringLiteral("Travel Drive"));
    ASSERT_TRUE(travel);
    const QVariantMap info = f.info(QStringLiteral("Travel Drive"));
    EXPECT_EQ(travel->volumePath, f.at(QStringLiteral("/Volumes/Travel Drive")));
    EXPECT_EQ(travel->volumeMountPoint, travel->volumePath);
    EXPECT_EQ(travel->volumeType, QStringLiteral("exfat"));
    EXPECT_EQ(travel->volumeTotalSizeNum, info.value("TotalSize").toLongLong());
    EXPECT_EQ(travel->volumeFreeSizeNum, info.value("FreeSpace").toLongLong());
    EXPECT_GT(travel->volumeTotalSizeNum, travel->volumeFreeSizeNum);
    EXPECT_EQ(travel->volumeTotalSize, QoPublicUtilities::longlongConvertVolSpace(travel->volumeTotalSizeNum));
    EXPECT_EQ(travel->volumeFreeSize, QoPublicUtilities::longlongConvertVolSpace(travel->volumeFreeSizeNum));
    // The workspace tells nothing of ejecting or of disk identities.
    EXPECT_FALSE(travel->bCanEject);
    EXPECT_TRUE(travel->diskUUID.isNull());
    EXPECT_EQ(named(records, QStringLiteral("BACKUP"))->volumeType, QStringLiteral("msdos"));
    EXPECT_EQ(named(records, QStringLiteral("BOOTCAMP"))->volumeType, QStringLiteral("ntfs"));
}

TEST(DiskWorldBuilders, TheWorkspaceBuilderNamesAVolumeByItsNameNotItsFolder)
{
    DiskWorldFixture f;
    // A second volume of the same name is mounted at another folder.
    ASSERT_FALSE(f.attachUsb(QStringLiteral("Travel Drive")).isEmpty());
    const std::vector<VolumeObjPtr> records = VolumeObjsFromWorkspace();
    int travel = 0;
    for (const VolumeObjPtr &v : records)
        if (v->volumeName == QLatin1String("Travel Drive"))
            ++travel;
    EXPECT_EQ(travel, 2);
    // A path that holds no volume builds no record.
    EXPECT_FALSE(VolumeObjFromWorkspaceVolume(f.at(QStringLiteral("/Volumes/Gone"))));
}
