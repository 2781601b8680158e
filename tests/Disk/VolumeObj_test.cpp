#include <gtest/gtest.h>

#include "DiskTestSupport.h"

#include "DiskManagerSizeText.h"
#include "QoPublicUtilities.h"
#include "VolumeObjBuilders.h"

namespace {

// A `diskutil info -plist` dictionary of an APFS data volume on a USB disk.
QVariantMap apfsVolume()
{
    return {{"VolumeName", QStringLiteral("Data")},
            {"DeviceIdentifier", QStringLiteral("disk4s1")},
            {"DeviceNode", QStringLiteral("/dev/disk4s1")},
            {"MountPoint", QStringLiteral("/Volumes/Data")},
            {"FilesystemName", QStringLiteral("APFS")},
            {"TotalSize", qint64(500000000000)},
            {"FreeSpace", qint64(0)},
            {"APFSContainerFree", qint64(123456789012)},
            {"Ejectable", true},
            {"DiskUUID", QStringLiteral("6E0B2C7A-1111-2222-3333-444455556666")},
            {"BusProtocol", QStringLiteral("USB")},
            {"ParentWholeDisk", QStringLiteral("disk4")},
            {"IORegistryEntryName", QStringLiteral("SanDisk Extreme")}};
}

QVariantMap hfsVolume()
{
    QVariantMap d = apfsVolume();
    d["FilesystemName"] = QStringLiteral("Mac OS Extended (Journaled)");
    d["FreeSpace"] = qint64(2000000000);
    d["Ejectable"] = false;
    return d;
}

using Builder = VolumeObjPtr (*)(const QVariantMap &);

} // namespace

TEST(VolumeObj, NewRecordIsEmpty)
{
    const VolumeObj v;
    EXPECT_TRUE(v.volumeName.isNull());
    EXPECT_TRUE(v.volumeMountPoint.isNull());
    EXPECT_FALSE(v.bCanEject);
    EXPECT_EQ(v.volumeTotalSizeNum, 0);
    EXPECT_EQ(v.chrCount, 0);
}

TEST(VolumeObjBuilders, EachBuilderFillsItsRow)
{
    const QVariantMap d = apfsVolume();

    const VolumeObjPtr clone = VolumeObjFromCloneRescan(d);
    ASSERT_TRUE(clone);
    EXPECT_EQ(clone->volumeName, QStringLiteral("Data"));
    EXPECT_EQ(clone->volumePath, QStringLiteral("disk4s1"));
    EXPECT_EQ(clone->volumeMountPoint, QStringLiteral("/Volumes/Data"));
    EXPECT_EQ(clone->volumeType, QStringLiteral("APFS"));
    EXPECT_TRUE(clone->bCanEject);
    EXPECT_EQ(clone->diskUUID, d["DiskUUID"].toString());
    EXPECT_EQ(clone->volumeTotalSizeNum, 500000000000);
    EXPECT_EQ(clone->volumeTotalSize, QStringLiteral("500.00 GB"));
    EXPECT_TRUE(clone->diskType.isNull());
    EXPECT_TRUE(clone->volRootDir.isNull());
    EXPECT_TRUE(clone->BusProtocol.isNull());

    const VolumeObjPtr picker = VolumeObjFromPicker(d);
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->volumePath, QStringLiteral("/Volumes/Data"));
    EXPECT_EQ(picker->volumeName, QStringLiteral("Data"));

    EXPECT_EQ(VolumeObjFromPickerDeviceNode(d)->volumePath, QStringLiteral("/dev/disk4s1"));

    const VolumeObjPtr external = VolumeObjFromExternalDisk(d);
    ASSERT_TRUE(external);
    EXPECT_EQ(external->volumeName, QStringLiteral("SanDisk Extreme"));
    EXPECT_EQ(external->volumePath, QStringLiteral("disk4s1"));
    EXPECT_EQ(external->volumeType, QStringLiteral("APFS"));

    const VolumeObjPtr manager = VolumeObjFromDiskManager(d);
    ASSERT_TRUE(manager);
    EXPECT_EQ(manager->volumeName, QStringLiteral("Data"));
    EXPECT_EQ(manager->volumePath, QStringLiteral("/dev/disk4s1"));
    EXPECT_EQ(manager->volRootDir, QStringLiteral("/dev/disk4s1"));
    EXPECT_EQ(manager->BusProtocol, QStringLiteral("USB"));
    EXPECT_EQ(manager->parentWholeDisk, QStringLiteral("disk4"));
    EXPECT_EQ(manager->diskType, QStringLiteral("APFS"));
    EXPECT_EQ(manager->volumeMountPoint, QStringLiteral("/Volumes/Data"));
    EXPECT_TRUE(manager->volumeType.isNull());
    EXPECT_TRUE(manager->bCanEject);
}

TEST(VolumeObjBuilders, ApfsShowsItsContainersFreeSpaceInTextAndBytes)
{
    for (Builder build :
         {VolumeObjFromCloneRescan, VolumeObjFromPicker, VolumeObjFromExternalDisk, VolumeObjFromDiskManager}) {
        const VolumeObjPtr v = build(apfsVolume());
        ASSERT_TRUE(v);
        EXPECT_EQ(v->volumeFreeSizeNum, 123456789012);
        EXPECT_EQ(v->volumeFreeSize, QStringLiteral("123.46 GB"));
    }
    for (Builder build : {VolumeObjFromCloneRescan, VolumeObjFromPicker, VolumeObjFromDiskManager}) {
        const VolumeObjPtr v = build(hfsVolume());
        EXPECT_EQ(v->volumeFreeSizeNum, 2000000000);
        EXPECT_EQ(v->volumeFreeSize, QStringLiteral("2.00 GB"));
    }
}

TEST(VolumeObjBuilders, LowerCaseApfsCountsForPickersAndCloneNotForTheDiskManager)
{
    QVariantMap d = apfsVolume();
    d["FilesystemName"] = QStringLiteral("apfs");
    d["FreeSpace"] = qint64(0);
    for (Builder build : {VolumeObjFromCloneRescan, VolumeObjFromPicker, VolumeObjFromExternalDisk})
        EXPECT_EQ(build(d)->volumeFreeSizeNum, 123456789012);
    EXPECT_EQ(VolumeObjFromExternalDisk(d)->volumeType, QStringLiteral("apfs"));
    const VolumeObjPtr manager = VolumeObjFromDiskManager(d);
    EXPECT_EQ(manager->volumeFreeSizeNum, 0);
    EXPECT_EQ(manager->diskType, QStringLiteral("apfs"));
}

TEST(VolumeObjBuilders, DiskManagerKeepsANonZeroFreeSpaceOfApfs)
{
    QVariantMap d = apfsVolume();
    d["FreeSpace"] = qint64(7000);
    const VolumeObjPtr v = VolumeObjFromDiskManager(d);
    EXPECT_EQ(v->volumeFreeSizeNum, 7000);
    EXPECT_EQ(v->volumeFreeSize, QStringLiteral("7.00 KB"));
    EXPECT_EQ(v->diskType, QStringLiteral("APFS"));
}

TEST(VolumeObjBuilders, WithoutVolumeNameNoRecordIsBuilt)
{
    QVariantMap d = apfsVolume();
    d.remove("VolumeName");
    EXPECT_FALSE(VolumeObjFromCloneRescan(d));
    EXPECT_FALSE(VolumeObjFromPicker(d));
    EXPECT_FALSE(VolumeObjFromDiskManager(d));
    // Whole disks have no volume name; they are named by the registry.
    EXPECT_TRUE(VolumeObjFromExternalDisk(d));
    // An empty name is still a name.
    d["VolumeName"] = QString();
    EXPECT_TRUE(VolumeObjFromPicker(d));
}

TEST(VolumeObjBuilders, ExternalWholeDiskWithoutRegistryNameIsUnknown)
{
    const QVariantMap d{{"DeviceIdentifier", QStringLiteral("disk5")},
                        {"FilesystemName", QStringLiteral("Mac OS Extended")},
                        {"Ejectable", false},
                        {"TotalSize", qint64(64000000000)}};
    const VolumeObjPtr v = VolumeObjFromExternalDisk(d);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->volumeName, QStringLiteral("Unknown"));
    EXPECT_EQ(v->volumeType, QStringLiteral(" "));
    EXPECT_TRUE(v->bCanEject);
    EXPECT_EQ(v->volumePath, QStringLiteral("disk5"));
}

TEST(VolumeObjBuilders, MissingSizesAreZeroBytes)
{
    const QVariantMap d{{"VolumeName", QStringLiteral("Empty")}};
    for (Builder build :
         {VolumeObjFromCloneRescan, VolumeObjFromPicker, VolumeObjFromExternalDisk, VolumeObjFromDiskManager}) {
        const VolumeObjPtr v = build(d);
        ASSERT_TRUE(v);
        EXPECT_EQ(v->volumeTotalSizeNum, 0);
        EXPECT_EQ(v->volumeFreeSizeNum, 0);
        EXPECT_EQ(v->volumeTotalSize, QStringLiteral("0 byte"));
        EXPECT_EQ(v->volumeFreeSize, QStringLiteral("0 byte"));
        EXPECT_TRUE(v->volumeMountPoint.isNull());
    }
}

TEST(VolumeObjBuilders, SharedRecordIsOneObject)
{
    // Each build makes one record of its own, which only its holders keep.
    VolumeObjPtr a = VolumeObjFromPicker(apfsVolume());
    const VolumeObjPtr other = VolumeObjFromPicker(apfsVolume());
    ASSERT_TRUE(a && other);
    EXPECT_NE(a.get(), other.get());
    EXPECT_EQ(a.use_count(), 1);

    // Handed on (a picker to a page, a page to its engine), it is the same
    // record: a change through one holder is seen through every other, and
    // a record built apart is not touched.
    std::vector<VolumeObjPtr> page{a};
    VolumeObjPtr engine = page.front();
    engine->volumeName = QStringLiteral("Renamed");
    EXPECT_EQ(a->volumeName, QStringLiteral("Renamed"));
    EXPECT_EQ(page.front()->volumeName, QStringLiteral("Renamed"));
    EXPECT_NE(other->volumeName, QStringLiteral("Renamed"));

    // It lives as long as someone holds it, and no longer.
    const std::weak_ptr<VolumeObj> watch = a;
    a.reset();
    page.clear();
    EXPECT_EQ(watch.lock(), engine);
    engine.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(DiskManagerSizeText, StepsOf1000WithSinglePrecision)
{
    const std::pair<quint64, const char *> cases[] = {
        {0, "0 byte"},
        {999, "999 byte"},
        {1000, "1.00 KB"},
        {999999, "1000.00 KB"},
        {1000000, "1.00 MB"},
        {999999999999ull, "1000.00 GB"},
        {1000000000000ull, "1.00 TB"},
        {18446744073709551615ull, "18446744.00 TB"},
    };
    for (const auto &[bytes, text] : cases)
        EXPECT_EQ(byteToSizeWithByte(bytes), QString::fromLatin1(text)) << bytes;
}
