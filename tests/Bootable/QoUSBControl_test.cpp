#include <gtest/gtest.h>

#include "QoUSBControl.h"

#include "ShellRunners.h"

#include "PropertyList.h"
#include "RunnerFolder.h"
#include "SystemRoot.h"
#include "TestSupport.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <ostream>

namespace {

struct NameCase {
    const char *name;
    QStringList folders; // under /Volumes
    QStringList files;   // plain files under /Volumes
    QString expected;
};

void PrintTo(const NameCase &c, std::ostream *os) { *os << c.name; }

class QoUSBControlNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(QoUSBControlNames, TakeTheFirstNameNoFolderHolds)
{
    const NameCase &c = GetParam();
    TestSupport::TempRoot root;
    QDir().mkpath(root.at(QStringLiteral("/Volumes")));
    for (const QString &f : c.folders)
        ASSERT_TRUE(QDir().mkpath(root.at(QStringLiteral("/Volumes/") + f)));
    for (const QString &f : c.files)
        ASSERT_TRUE(TestSupport::writeFile(root.at(QStringLiteral("/Volumes/") + f), "not a volume"));

    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->HlbCreateVolumeName();
    EXPECT_EQ(usb->QoGetMorvexVolumeName().toStdString(), c.expected.toStdString());
    EXPECT_EQ(usb->QoGetMorvexVolumePath().toStdString(), ("/Volumes/" + c.expected).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, QoUSBControlNames,
    ::testing::Values(
        NameCase{"NoneTaken", {QStringLiteral("Travel Drive")}, {}, QStringLiteral("NewCloneSystem")},
        NameCase{"BaseTaken", {QStringLiteral("NewCloneSystem")}, {}, QStringLiteral("NewCloneSystem1")},
        NameCase{"BaseAndOneTaken",
                 {QStringLiteral("NewCloneSystem"), QStringLiteral("NewCloneSystem1")},
                 {},
                 QStringLiteral("NewCloneSystem2")},
        NameCase{"FirstGapWins",
                 {QStringLiteral("NewCloneSystem"), QStringLiteral("NewCloneSystem2")},
                 {},
                 QStringLiteral("NewCloneSystem1")},
        NameCase{"PlainFileDoesNotBlock", {}, {QStringLiteral("NewCloneSystem")}, QStringLiteral("NewCloneSystem")},
        NameCase{"PlainFileInTheRowDoesNotBlock",
                 {QStringLiteral("NewCloneSystem")},
                 {QStringLiteral("NewCloneSystem1")},
                 QStringLiteral("NewCloneSystem1")},
        // Names that merely begin like ours take nothing.
        NameCase{
            "SimilarNamesDoNotBlock",
            {QStringLiteral("NewCloneSystem 1"), QStringLiteral("NewCloneSystem01"), QStringLiteral("newclonesystem")},
            {},
            QStringLiteral("NewCloneSystem")},
        NameCase{"NoVolumesFolder", {}, {}, QStringLiteral("NewCloneSystem")}),
    [](const ::testing::TestParamInfo<NameCase> &info) { return std::string(info.param.name); });

TEST(QoUSBControl, EachChoiceReplacesTheLast)
{
    TestSupport::TempRoot root;
    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->HlbCreateVolumeName();
    EXPECT_EQ(usb->QoGetMorvexVolumeName(), QStringLiteral("NewCloneSystem"));
    ASSERT_TRUE(QDir().mkpath(root.at(QStringLiteral("/Volumes/NewCloneSystem"))));
    // The stored name stays until the next choice.
    EXPECT_EQ(usb->QoGetMorvexVolumeName(), QStringLiteral("NewCloneSystem"));
    usb->HlbCreateVolumeName();
    EXPECT_EQ(usb->QoGetMorvexVolumeName(), QStringLiteral("NewCloneSystem1"));
    EXPECT_EQ(usb->QoGetMorvexVolumePath(), QStringLiteral("/Volumes/NewCloneSystem1"));
}

// A `diskutil` of the test's own: it keeps each call's arguments (one file
// per call, NUL after each argument), prints the answer file named after the
// verb and the last argument's last component ("info-disk4", "list--plist"),
// and ends resizeVolume with the status in "resize-status" (0 without one);
// a resize that succeeds puts the answers in "answers/after-resize" in place.
const char *kRecordingDiskutil = R"SH(#!/bin/sh
dir=$(dirname "$0")
n=$(ls "$dir/calls" | wc -l)
for a in "$@"; do printf '%s\0' "$a"; done > "$dir/calls/$n"
for last in "$@"; do :; done
key="$1-${last##*/}"
[ -f "$dir/answers/$key" ] && cat "$dir/answers/$key"
if [ "$1" = resizeVolume ]; then
  status=$(cat "$dir/resize-status" 2>/dev/null || echo 0)
  if [ "$status" = 0 ] && [ -d "$dir/answers/after-resize" ]; then cp "$dir/answers/after-resize/"* "$dir/answers/"; fi
  exit "$status"
fi
exit 0
)SH";

class RecordingDiskutil {
public:
    RecordingDiskutil() : m_previous(Platform::toolsDirectory())
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("calls"));
        QDir(m_dir.path()).mkpath(QStringLiteral("answers"));
        const QString tool = m_dir.filePath(QStringLiteral("diskutil"));
        TestSupport::writeFile(tool, kRecordingDiskutil);
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Platform::setToolsDirectory(m_dir.path());
    }
    ~RecordingDiskutil() { Platform::setToolsDirectory(m_previous); }
    void answer(const QString &key, const QVariantMap &plist)
    {
        TestSupport::writeFile(m_dir.filePath(QStringLiteral("answers/") + key), Platform::PropertyList::toXml(plist));
    }
    // The answer once a resize has succeeded.
    void answerAfterResize(const QString &key, const QVariantMap &plist)
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("answers/after-resize"));
        TestSupport::writeFile(m_dir.filePath(QStringLiteral("answers/after-resize/") + key),
                               Platform::PropertyList::toXml(plist));
    }
    void resizeStatus(int status)
    {
        TestSupport::writeFile(m_dir.filePath(QStringLiteral("resize-status")), QByteArray::number(status));
    }
    // Every call so far, in order, as its argument list.
    QList<QStringList> calls() const
    {
        QStringList names = QDir(m_dir.filePath(QStringLiteral("calls"))).entryList(QDir::Files);
        QCollator numeric;
        numeric.setNumericMode(true);
        std::sort(names.begin(), names.end(), numeric);
        QList<QStringList> out;
        for (const QString &name : names) {
            const QByteArray bytes = TestSupport::readFile(m_dir.filePath(QStringLiteral("calls/") + name));
            QStringList args;
            for (const QByteArray &a : bytes.split('\0'))
                args << QString::fromUtf8(a);
            args.removeLast(); // after the last NUL
            out << args;
        }
        return out;
    }
    QList<QStringList> callsOf(const QString &verb) const
    {
        QList<QStringList> out;
        for (const QStringList &c : calls())
            if (c.value(0) == verb)
                out << c;
        return out;
    }

private:
    QTemporaryDir m_dir;
    TestSupport::RunnerFolder m_runners;
    QString m_previous;
};

QVariantMap diskInfo(const QString &id, const QString &bus, qint64 size, const QString &media,
                     const QString &kind = QStringLiteral("Physical"))
{
    return {{"DeviceIdentifier", id}, {"WholeDisk", true},  {"BusProtocol", bus},
            {"TotalSize", size},      {"MediaName", media}, {"VirtualOrPhysical", kind}};
}

// disk4: a 32 GB USB stick with an EFI partition and one data partition.
void answerStick(RecordingDiskutil &diskutil, qint64 dataSize = 31'000'000'000)
{
    diskutil.answer(QStringLiteral("list--plist"),
                    {{"WholeDisks", QVariantList{"disk0", "disk4"}}, {"AllDisks", QVariantList{"disk0", "disk4"}}});
    diskutil.answer(QStringLiteral("info-disk0"),
                    diskInfo(QStringLiteral("disk0"), QStringLiteral("PCI-Express"), 500'000'000'000, "APPLE SSD"));
    diskutil.answer(QStringLiteral("info-disk4"),
                    diskInfo(QStringLiteral("disk4"), QStringLiteral("USB"), 32'000'000'000, "Big Stick"));
    const QVariantList partitions{
        QVariantMap{{"DeviceIdentifier", "disk4s1"}, {"Content", "EFI"}, {"Size", qint64(209'715'200)}},
        QVariantMap{{"DeviceIdentifier", "disk4s2"}, {"Content", "Microsoft Basic Data"}, {"Size", dataSize}}};
    diskutil.answer(QStringLiteral("list-disk4"),
                    {{"AllDisksAndPartitions",
                      QVariantList{QVariantMap{{"DeviceIdentifier", "disk4"}, {"Partitions", partitions}}}}});
}

// After the resize disk4 has a third partition, the volume `name`, mounted at
// `mountPoint` (a system path; none: not mounted); `diskutil info` of that
// mount point describes `infoAt`'s volume.
void answerNewVolume(RecordingDiskutil &diskutil, const QString &name, const QString &mountPoint,
                     const QString &infoAt = QStringLiteral("disk4s3"))
{
    const QString host = mountPoint.isEmpty() ? QString() : Platform::rootPath(mountPoint);
    QVariantMap added{{"DeviceIdentifier", "disk4s3"}, {"Content", "Apple_HFS"}, {"VolumeName", name}};
    if (!host.isEmpty())
        added.insert("MountPoint", host);
    const QVariantList partitions{
        QVariantMap{{"DeviceIdentifier", "disk4s1"}, {"Content", "EFI"}, {"Size", qint64(209'715'200)}},
        QVariantMap{{"DeviceIdentifier", "disk4s2"}, {"Content", "Microsoft Basic Data"}}, added};
    diskutil.answerAfterResize(QStringLiteral("list-disk4"),
                               {{"AllDisksAndPartitions",
                                 QVariantList{QVariantMap{{"DeviceIdentifier", "disk4"}, {"Partitions", partitions}}}}});
    if (host.isEmpty())
        return;
    diskutil.answerAfterResize(QStringLiteral("info-") + mountPoint.section(QLatin1Char('/'), -1),
                               {{"DeviceIdentifier", infoAt},
                                {"ParentWholeDisk", infoAt.left(infoAt.lastIndexOf(QLatin1Char('s')))},
                                {"VolumeName", name},
                                {"MountPoint", host}});
}

} // namespace

TEST(QoUSBControlDisks, OnlyPhysicalUsbWholeDisksOfTheSizeAreTaken)
{
    struct Case {
        const char *what;
        QVariantMap info;
        bool taken;
    };
    QVariantMap partition = diskInfo("disk4s1", "USB", 3'000'000'000, "");
    partition["WholeDisk"] = false;
    const Case cases[] = {
        {"exactly the smallest size", diskInfo("disk4", "USB", 2'500'000'000, "Stick"), true},
        {"one byte less", diskInfo("disk4", "USB", 2'499'999'999, "Stick"), false},
        {"internal bus", diskInfo("disk0", "PCI-Express", 500'000'000'000, "SSD"), false},
        {"a container on a USB disk", diskInfo("disk5", "USB", 3'000'000'000, "", "Virtual"), false},
        {"a partition", partition, false},
        {"no size", QVariantMap{{"DeviceIdentifier", "disk4"}, {"WholeDisk", true}, {"BusProtocol", "USB"}}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<QVariantMap> entry = QoUSBControl::usbEntryFromInfo(c.info);
        EXPECT_EQ(entry.has_value(), c.taken);
        if (entry) {
            EXPECT_EQ(entry->value("QoUSBBsdName").toString(), c.info.value("DeviceIdentifier").toString());
            EXPECT_EQ(entry->value("QoUSBTotalSize").toLongLong(), c.info.value("TotalSize").toLongLong());
            EXPECT_EQ(entry->value("QoUSBMediaName").toString(), c.info.value("MediaName").toString());
        }
    }
}

TEST(QoUSBControlDisks, TheListComesFromDiskutilAndNotesDisksItCannotRead)
{
    RecordingDiskutil diskutil;
    answerStick(diskutil);
    diskutil.answer(QStringLiteral("list--plist"), {{"WholeDisks", QVariantList{"disk0", "disk4", "disk7"}}});
    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->QoLoadUSBDiskList();
    const QVariantList list = usb->QoGetUSBAllObjs();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.first().toMap(), (QVariantMap{{"QoUSBBsdName", "disk4"},
                                                 {"QoUSBTotalSize", qint64(32'000'000'000)},
                                                 {"QoUSBMediaName", "Big Stick"}}));
    EXPECT_EQ(usb->QoGetErrObjs().keys(), QStringList{"disk7"});
    // Each disk was asked for by its device node.
    const QList<QStringList> infos = diskutil.callsOf(QStringLiteral("info"));
    ASSERT_EQ(infos.size(), 3);
    EXPECT_EQ(infos[1], (QStringList{"info", "-plist", "/dev/disk4"}));
}

TEST(QoUSBControlDisks, ThePartitionMakerShrinksTheLargestPartitionForTheChosenName)
{
    TestSupport::TempRoot root;
    ASSERT_TRUE(QDir().mkpath(root.at(QStringLiteral("/Volumes/NewCloneSystem"))));
    RecordingDiskutil diskutil;
    answerStick(diskutil);
    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->QoLoadUSBDiskList();
    usb->HlbCreateVolumeName();
    answerNewVolume(diskutil, QStringLiteral("NewCloneSystem1"), QStringLiteral("/Volumes/NewCloneSystem1"));
    EXPECT_EQ(usb->QoCreatePartition(QStringLiteral("disk4"), 8'000'000'000),
              QStringLiteral("/Volumes/NewCloneSystem1"));
    const QList<QStringList> resizes = diskutil.callsOf(QStringLiteral("resizeVolume"));
    ASSERT_EQ(resizes.size(), 1);
    // Every part one argument: the name without the quotes a shell line would have held.
    EXPECT_EQ(resizes.first(),
              (QStringList{"resizeVolume", "disk4s2", "23000000000B", "JHFS+", "NewCloneSystem1", "8000000000B"}));
    EXPECT_FALSE(usb->QoGetErrObjs().contains("disk4"));
}

// The stored name is held by another disk's volume by now: the new partition
// is reported where the disk says it is mounted, and only there.
TEST(QoUSBControlDisks, ThePartitionMakerReportsTheNewPartitionsOwnMountPointOrFails)
{
    struct Case {
        const char *what;
        QString mountPoint; // where the listing has the new partition
        QString infoAt;     // what diskutil info of that mount point describes
        QString reported;
    };
    const Case cases[] = {
        {"mounted beside the other volume", QStringLiteral("/Volumes/NewCloneSystem 1"), QStringLiteral("disk4s3"),
         QStringLiteral("/Volumes/NewCloneSystem 1")},
        {"the mount point is another disk's volume", QStringLiteral("/Volumes/NewCloneSystem"),
         QStringLiteral("disk6s1"), QString()},
        {"not mounted", QString(), QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestSupport::TempRoot root;
        QoUSBControl *usb = QoUSBControl::QoShareInstance();
        usb->HlbCreateVolumeName();
        // Since the name was chosen another disk's volume took its folder.
        ASSERT_TRUE(QDir().mkpath(root.at(QStringLiteral("/Volumes/NewCloneSystem"))));
        RecordingDiskutil diskutil;
        answerStick(diskutil);
        answerNewVolume(diskutil, QStringLiteral("NewCloneSystem"), c.mountPoint, c.infoAt);
        usb->QoLoadUSBDiskList();
        ASSERT_EQ(usb->QoGetMorvexVolumeName(), QStringLiteral("NewCloneSystem"));
        EXPECT_EQ(usb->QoCreatePartition(QStringLiteral("disk4"), 1'000'000'000), c.reported);
        EXPECT_EQ(usb->QoGetErrObjs().contains("disk4"), c.reported.isEmpty());
    }
}

TEST(QoUSBControlDisks, ThePartitionMakerRefusesWhatItCannotDoAndKeepsTheReason)
{
    TestSupport::TempRoot root;
    RecordingDiskutil diskutil;
    answerStick(diskutil, 5'000'000'000);
    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->QoLoadUSBDiskList();
    usb->HlbCreateVolumeName();

    struct Case {
        const char *what;
        const char *disk;
        qint64 size;
    };
    const Case refused[] = {
        {"the internal disk is never touched", "disk0", 1'000'000'000},
        {"a disk that is not there", "disk9", 1'000'000'000},
        {"no size", "disk4", 0},
        {"a negative size", "disk4", -5},
        {"more than the partition holds", "disk4", 5'000'000'000},
    };
    for (const Case &c : refused) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(usb->QoCreatePartition(QString::fromLatin1(c.disk), c.size).isEmpty());
        EXPECT_TRUE(usb->QoGetErrObjs().contains(QString::fromLatin1(c.disk)));
    }
    // None of them reached the tool's resize.
    EXPECT_TRUE(diskutil.callsOf(QStringLiteral("resizeVolume")).isEmpty());

    // The tool refuses: the failure is told, with the reason kept.
    diskutil.resizeStatus(1);
    answerNewVolume(diskutil, QStringLiteral("NewCloneSystem"), QStringLiteral("/Volumes/NewCloneSystem"));
    EXPECT_TRUE(usb->QoCreatePartition(QStringLiteral("disk4"), 1'000'000'000).isEmpty());
    EXPECT_EQ(diskutil.callsOf(QStringLiteral("resizeVolume")).size(), 1);
    EXPECT_TRUE(usb->QoGetErrObjs().value("disk4").toString().contains(QLatin1String("status 1")));
    // A later success clears it.
    diskutil.resizeStatus(0);
    EXPECT_EQ(usb->QoCreatePartition(QStringLiteral("disk4"), 1'000'000'000), QStringLiteral("/Volumes/NewCloneSystem"));
    EXPECT_FALSE(usb->QoGetErrObjs().contains("disk4"));
}

TEST(QoUSBControlDisks, ADiskWithoutAListingGivesNoPartition)
{
    RecordingDiskutil diskutil;
    answerStick(diskutil);
    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->QoLoadUSBDiskList();
    // The partition listing is missing (the tool printed nothing).
    QFile::remove(QDir(Platform::toolsDirectory()).filePath(QStringLiteral("answers/list-disk4")));
    EXPECT_TRUE(usb->QoCreatePartition(QStringLiteral("disk4"), 1'000'000'000).isEmpty());
    EXPECT_TRUE(diskutil.callsOf(QStringLiteral("resizeVolume")).isEmpty());
    EXPECT_TRUE(usb->QoGetErrObjs().contains("disk4"));
}
