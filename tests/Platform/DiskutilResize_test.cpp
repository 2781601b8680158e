// diskutil resizeVolume: a partition shrinks to make room for a new volume.
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
namespace DW = Platform::DiskWorld;

namespace {

const DW::Disk *diskOf(const DW::State &s, const QString &node)
{
    const DW::Disk *owner = nullptr;
    s.node(node, &owner);
    return owner;
}

} // namespace

TEST(DiskutilResize, ShrinksThePartitionAndMountsTheNewJournaledVolumeAfterIt)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok());
    const QString disk = f.attachUsb(QStringLiteral("Big Stick"), QStringLiteral("ExFAT"), 3'000'000'000,
                                     {{QStringLiteral("keep/me.txt"), QByteArray("still here")}});
    ASSERT_FALSE(disk.isEmpty());
    const QString part = f.bsdName(QStringLiteral("Big Stick"));
    const qint64 before = f.state().node(part)->size;

    const ToolRun r =
        f.run(QStringLiteral("diskutil"),
              {QStringLiteral("resizeVolume"), part, QString::number(before - 1'000'000'000) + "B",
               QStringLiteral("JHFS+"), QStringLiteral("New \"Clone\" $(x)"), QStringLiteral("1000000000B")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    const DW::State s = f.state();
    const DW::Disk *d = s.disk(disk);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(s.node(part)->size, before - 1'000'000'000);
    const QString added = f.bsdName(QStringLiteral("New \"Clone\" $(x)"));
    ASSERT_FALSE(added.isEmpty());
    EXPECT_EQ(diskOf(s, added), d);
    // The new partition comes right after the one that shrank.
    for (size_t i = 0; i + 1 < d->nodes.size(); ++i) {
        if (d->nodes[i].id == part) {
            EXPECT_EQ(d->nodes[i + 1].id, added);
        }
    }
    const QVariantMap info = f.info(added);
    EXPECT_EQ(info.value("FilesystemName").toString(), QStringLiteral("Journaled HFS+"));
    EXPECT_EQ(info.value("Content").toString(), QStringLiteral("Apple_HFS"));
    EXPECT_EQ(info.value("TotalSize").toLongLong(), 1'000'000'000);
    EXPECT_EQ(info.value("MountPoint").toString(), f.at(QStringLiteral("/Volumes/New \"Clone\" $(x)")));
    EXPECT_TRUE(QFileInfo(info.value("MountPoint").toString()).isDir());
    EXPECT_EQ(TestSupport::readFile(f.mountPoint(QStringLiteral("Big Stick")) + QStringLiteral("/keep/me.txt")),
              QByteArray("still here"));
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join('\n').toStdString();
}

TEST(DiskutilResize, RefusesWhatCannotBeDoneAndLeavesTheWorldAsItWas)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok());
    const QString disk = f.attachUsb(QStringLiteral("Full Stick"), QStringLiteral("ExFAT"), 40'000'000,
                                     {{QStringLiteral("big.bin"), QByteArray(20'000'000, 'x')}});
    ASSERT_FALSE(disk.isEmpty());
    const QString part = f.bsdName(QStringLiteral("Full Stick"));
    const qint64 size = f.state().node(part)->size;
    const QString half = QString::number(size / 2) + "B";
    const QString quarter = QString::number(size / 4) + "B";
    const QString boot = f.bsdName(f.state().bootVolume()->name);
    struct Case {
        const char *why;
        QStringList args;
    };
    const std::vector<Case> cases = {
        {"malformed size", {part, QStringLiteral("12x"), "JHFS+", "N", quarter}},
        {"negative size", {part, QStringLiteral("-5B"), "JHFS+", "N", quarter}},
        {"empty size", {part, QString(), "JHFS+", "N", quarter}},
        {"malformed new size", {part, half, "JHFS+", "N", QStringLiteral("lots")}},
        {"data would not fit", {part, QStringLiteral("10000000B"), "JHFS+", "N", QStringLiteral("5000000B")}},
        {"new partition too large", {part, QString::number(size - 2'000'000) + "B", "JHFS+", "N", half}},
        {"not smaller", {part, QString::number(size) + "B", "JHFS+", "N", quarter}},
        {"whole disk", {disk, half, "JHFS+", "N", quarter}},
        {"startup disk", {boot, half, "JHFS+", "N", quarter}},
        {"no such partition", {QStringLiteral("disk99s9"), half, "JHFS+", "N", quarter}},
        {"unknown file system", {part, QString::number(size - 25'000'000) + "B", "XYZFS", "N", "20000000B"}},
        {"name taken by the rules", {part, QString::number(size - 25'000'000) + "B", "JHFS+", QString(), "20000000B"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        const QByteArray before = f.stateBytes();
        const ToolRun r = f.run(QStringLiteral("diskutil"), QStringList{QStringLiteral("resizeVolume")} + c.args);
        EXPECT_NE(r.status, 0);
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_EQ(f.stateBytes(), before);
    }
    // An APFS volume is not a partition of a whole disk.
    ASSERT_EQ(f.run(QStringLiteral("diskutil"),
                    {QStringLiteral("eraseVolume"), QStringLiteral("APFS"), QStringLiteral("Shiny"), part})
                  .status,
              0);
    const QByteArray before = f.stateBytes();
    const ToolRun r = f.run(QStringLiteral("diskutil"), {QStringLiteral("resizeVolume"), f.bsdName("Shiny"),
                                                         QStringLiteral("10000000B"), "JHFS+", "N", "5000000B"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(f.stateBytes(), before);
    EXPECT_TRUE(f.problems().isEmpty());
}

TEST(DiskutilResize, AnApfsStoreShrinksWithItsContainer)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok());
    const QString disk = f.attachUsb(QStringLiteral("Store"), QStringLiteral("APFS"), 100'000'000);
    ASSERT_FALSE(disk.isEmpty());
    const DW::State s = f.state();
    QString store;
    for (const DW::Node &n : s.disk(disk)->nodes)
        if (!n.container.isEmpty())
            store = n.id;
    ASSERT_FALSE(store.isEmpty());
    const ToolRun r = f.run(QStringLiteral("diskutil"), {QStringLiteral("resizeVolume"), store, "50000000B",
                                                         QStringLiteral("JHFS+"), "Beside", "40000000B"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const DW::State after = f.state();
    EXPECT_EQ(after.disk(after.node(store)->container)->size, 50'000'000);
    EXPECT_FALSE(f.mountPoint(QStringLiteral("Beside")).isEmpty());
    EXPECT_TRUE(f.problems().isEmpty());
}

TEST(DiskutilResize, RefusesFractionsTinyPartitionsImagesReadOnlyVolumesAndAFullMasterBootRecord)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok());
    const QString stick = f.attachUsb(QStringLiteral("Stick"), QStringLiteral("ExFAT"), 200'000'000);
    const QString part = f.bsdName(QStringLiteral("Stick"));
    ASSERT_FALSE(f.attachUsb(QStringLiteral("Windows"), QStringLiteral("NTFS"), 200'000'000).isEmpty());
    const QString ntfs = f.bsdName(QStringLiteral("Windows"));
    // A disk image, attached.
    QTemporaryDir source, images;
    const QString image = images.filePath(QStringLiteral("i.dmg"));
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"),
                    {QStringLiteral("create"), image, QStringLiteral("-volname"), QStringLiteral("Img"),
                     QStringLiteral("-size"), QStringLiteral("100000000"), QStringLiteral("-srcfolder"), source.path()})
                  .status,
              0);
    ASSERT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("attach"), image}).status, 0);
    const QString imagePart = f.bsdName(QStringLiteral("Img"));
    // A master boot record disk with its four partitions.
    DW::DiskSpec mbr;
    mbr.size = 400'000'000;
    mbr.scheme = QStringLiteral("FDisk_partition_scheme");
    DW::VolumeSpec v;
    v.name = QStringLiteral("Four");
    v.fs = QStringLiteral("MS-DOS FAT32");
    mbr.partitions.push_back(v);
    ASSERT_FALSE(f.attach(mbr).isEmpty());
    const QString four = f.bsdName(QStringLiteral("Four"));
    for (int i = 1; i < 4; ++i) {
        const qint64 size = f.state().node(four)->size;
        const ToolRun r = f.run(QStringLiteral("diskutil"),
                                {QStringLiteral("resizeVolume"), four, QString::number(size - 50'000'000) + "B",
                                 "JHFS+", QStringLiteral("P%1").arg(i), "50000000B"});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
    }
    const qint64 fourSize = f.state().node(four)->size;
    struct Case {
        const char *why;
        QStringList args;
    };
    const std::vector<Case> cases = {
        {"half a byte", {part, QStringLiteral("0.5B"), "JHFS+", "N", "50000000B"}},
        {"a new size of a fraction of a byte", {part, "100000000B", "JHFS+", "N", QStringLiteral("2000000.5B")}},
        {"a fraction of a kibibyte that is no whole byte",
         {part, QStringLiteral("97656.0001KiB"), "JHFS+", "N", "50MB"}},
        {"a shrunk partition of one byte", {part, QStringLiteral("1B"), "JHFS+", "N", "50000000B"}},
        {"a shrunk partition below a mebibyte", {part, QStringLiteral("1048575B"), "JHFS+", "N", "50000000B"}},
        {"a disk image", {imagePart, "50000000B", "JHFS+", "N", "20000000B"}},
        {"a read-only NTFS volume", {ntfs, "100000000B", "JHFS+", "N", "50000000B"}},
        {"a fifth partition on a master boot record",
         {four, QString::number(fourSize - 50'000'000) + "B", "JHFS+", "N", "50000000B"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.why);
        const QByteArray before = f.stateBytes();
        const QStringList volumes =
            QDir(f.at(QStringLiteral("/Volumes"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const ToolRun r = f.run(QStringLiteral("diskutil"), QStringList{QStringLiteral("resizeVolume")} + c.args);
        EXPECT_NE(r.status, 0);
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_EQ(f.stateBytes(), before);
        EXPECT_EQ(QDir(f.at(QStringLiteral("/Volumes"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), volumes);
    }
    // Fractions that come to whole bytes are sizes.
    const ToolRun ok = f.run(QStringLiteral("diskutil"), {QStringLiteral("resizeVolume"), part,
                                                          QStringLiteral("0.15GB"), "JHFS+", "Half", "1.5MiB"});
    ASSERT_EQ(ok.status, 0) << ok.err.toStdString();
    EXPECT_EQ(f.state().node(part)->size, 150'000'000);
    EXPECT_EQ(f.info(QStringLiteral("Half")).value("TotalSize").toLongLong(), 1'572'864);
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join('\n').toStdString();
    EXPECT_FALSE(stick.isEmpty());
}
