// The clone engine on a demo world with the stand-in diskutil and asr: the
// chosen USB disk is erased and ends up holding a copy of the running system.
#include <gtest/gtest.h>

#include "CloneRig.h"

#include "World.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <filesystem>

using CloneTest::CloneRig;
using CloneTest::Event;

namespace {

// One entry of a folder tree, as far as a copy has to keep it.
struct Entry {
    QString kind; // "dir", "file" or "link"
    QByteArray content;
    QString linkTarget;
    QFile::Permissions permissions;
    bool operator==(const Entry &other) const = default;
};

// Every entry below `folder` by its relative path; the top-level names in
// `skip` are left out (what the boot volume's folder holds besides the system).
QMap<QString, Entry> treeOf(const QString &folder, const QStringList &skip = {})
{
    QMap<QString, Entry> out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(folder).relativeFilePath(path);
        if (skip.contains(rel.section(QLatin1Char('/'), 0, 0)))
            continue;
        const QFileInfo info(path);
        Entry e;
        e.permissions = info.permissions();
        if (info.isSymLink()) {
            e.kind = QStringLiteral("link");
            // The link's own text: a relative link must stay relative.
            e.linkTarget = QString::fromStdString(std::filesystem::read_symlink(path.toStdString()).string());
        } else if (info.isDir()) {
            e.kind = QStringLiteral("dir");
        } else {
            e.kind = QStringLiteral("file");
            e.content = TestSupport::readFile(path);
        }
        out.insert(rel, e);
    }
    return out;
}

QStringList differences(const QMap<QString, Entry> &expected, const QMap<QString, Entry> &actual)
{
    QStringList out;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (!actual.contains(it.key()))
            out << QStringLiteral("missing: ") + it.key();
        else if (actual.value(it.key()) != it.value())
            out << QStringLiteral("differs: ") + it.key();
    }
    for (auto it = actual.cbegin(); it != actual.cend(); ++it)
        if (!expected.contains(it.key()))
            out << QStringLiteral("extra: ") + it.key();
    return out;
}

// The file system and the whole disk of a volume in the world.
struct VolumePlace {
    QString fs;
    QString physicalDisk;
    QStringList familyVolumes; // every volume on that physical disk
};

std::optional<VolumePlace> placeOf(const TestSupport::DiskWorldFixture &world, const QString &volumeName)
{
    const Platform::DiskWorld::State s = world.state();
    for (const auto &[d, n] : s.volumes()) {
        if (n->volume->name != volumeName)
            continue;
        VolumePlace p;
        p.fs = n->volume->fs;
        const Platform::DiskWorld::Disk *physical = s.physicalDisk(*d);
        p.physicalDisk = physical ? physical->id : d->id;
        for (const Platform::DiskWorld::Disk *member : s.family(*(physical ? physical : d)))
            for (const Platform::DiskWorld::Node &node : member->nodes)
                if (node.volume)
                    p.familyVolumes << node.volume->name;
        return p;
    }
    return std::nullopt;
}

struct WorldCase {
    const char *name;
    QString version;
    QString fileSystem; // as diskutil names the new volume's
};

void PrintTo(const WorldCase &c, std::ostream *os) { *os << c.name; }

class QoBootableClone : public ::testing::TestWithParam<WorldCase> {};

TEST_P(QoBootableClone, PutsACopyOfTheSystemOnTheChosenDiskOnly)
{
    CloneRig rig(TestSupport::DiskWorldFixture::Options{true, GetParam().version, QStringLiteral("tester")});
    ASSERT_TRUE(rig.world.ok()) << rig.world.error().toStdString();
    const QStringList bootSkip = Platform::DiskWorld::World::bootExclusions();
    const QMap<QString, Entry> system = treeOf(rig.world.root(), bootSkip);
    ASSERT_TRUE(system.contains(QStringLiteral("System/Library/CoreServices/SystemVersion.plist")));
    const QMap<QString, Entry> backup = treeOf(rig.world.mountPoint(QStringLiteral("BACKUP")));
    const QMap<QString, Entry> bootcamp = treeOf(rig.world.mountPoint(QStringLiteral("BOOTCAMP")));
    ASSERT_FALSE(backup.isEmpty());

    const VolumeObjPtr chosen = rig.chooseDisk(QStringLiteral("disk2"));
    ASSERT_EQ(chosen->volumeName, QStringLiteral("SanDisk Cruzer Blade Media"));
    ASSERT_EQ(rig.start(chosen), 0);
    ASSERT_TRUE(rig.waitForEnd(180000));
    rig.settle();

    EXPECT_EQ(*rig.delegate.end(), Event::notify(0, 8, 100));
    QList<int> steps;
    for (const Event &e : rig.delegate.of(Event::Kind::Notify))
        if (steps.isEmpty() || steps.last() != e.step)
            steps << e.step;
    EXPECT_EQ(steps, (QList<int>{0, 1, 2, 3, 4, 5, 8}));
    // Both copying phases count up to their end.
    for (int phase = 1; phase <= 2; ++phase) {
        QList<int> tags;
        for (const Event &e : rig.delegate.of(Event::Kind::Tag))
            if (e.phase == phase)
                tags << e.tag;
        ASSERT_FALSE(tags.isEmpty()) << "phase " << phase;
        EXPECT_TRUE(std::is_sorted(tags.begin(), tags.end())) << "phase " << phase;
        EXPECT_EQ(tags.last(), 10) << "phase " << phase;
    }
    EXPECT_TRUE(rig.delegate.events.contains(Event::label(QStringLiteral("克隆中..."))));

    // The clone: the system tree file by file, on the chosen disk, in the
    // file system of the running version.
    const QString clone = rig.world.at(QStringLiteral("/Volumes/NewCloneSystem"));
    ASSERT_TRUE(QFileInfo(clone).isDir());
    EXPECT_EQ(differences(system, treeOf(clone)), QStringList());
    const std::optional<VolumePlace> place = placeOf(rig.world, QStringLiteral("NewCloneSystem"));
    ASSERT_TRUE(place);
    EXPECT_EQ(place->fs, GetParam().fileSystem);
    EXPECT_EQ(place->physicalDisk, QStringLiteral("disk2"));
    EXPECT_FALSE(place->familyVolumes.contains(QStringLiteral("Travel Drive")));
    if (GetParam().fileSystem == QLatin1String("APFS")) {
        EXPECT_TRUE(place->familyVolumes.contains(QStringLiteral("Preboot")));
    }

    // Nothing else changed: the source, the other disks.
    EXPECT_EQ(differences(system, treeOf(rig.world.root(), bootSkip)), QStringList());
    EXPECT_EQ(differences(backup, treeOf(rig.world.mountPoint(QStringLiteral("BACKUP")))), QStringList());
    EXPECT_EQ(differences(bootcamp, treeOf(rig.world.mountPoint(QStringLiteral("BOOTCAMP")))), QStringList());
    EXPECT_EQ(rig.eraseCalls().size(), 1);
    EXPECT_TRUE(rig.world.problems().isEmpty()) << rig.world.problems().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(rig.logFile().contains("  task terminated\n"));
}

INSTANTIATE_TEST_SUITE_P(Worlds, QoBootableClone,
                         ::testing::Values(WorldCase{"Ventura", QStringLiteral("13.4"), QStringLiteral("APFS")},
                                           WorldCase{"Catalina", QStringLiteral("10.15.7"),
                                                     QStringLiteral("Journaled HFS+")},
                                           WorldCase{"HighSierra", QStringLiteral("10.13.6"), QStringLiteral("APFS")},
                                           WorldCase{"Sierra", QStringLiteral("10.12.6"), QStringLiteral("HFS+")}),
                         [](const ::testing::TestParamInfo<WorldCase> &info) { return std::string(info.param.name); });

TEST(QoBootableClone, TargetTooSmallForTheSystemFailsAndLeavesTheSourceAlone)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    ASSERT_TRUE(TestSupport::writeFile(rig.world.at(QStringLiteral("/Users/tester/Movies/holiday.mov")),
                                       QByteArray(6'000'000, 'm')));
    const QStringList bootSkip = Platform::DiskWorld::World::bootExclusions();
    const QMap<QString, Entry> system = treeOf(rig.world.root(), bootSkip);
    const QString small = rig.world.attachUsb(QStringLiteral("Tiny"), QStringLiteral("ExFAT"), 4'000'000);
    ASSERT_FALSE(small.isEmpty());

    ASSERT_EQ(rig.start(rig.chooseDisk(small)), 0);
    ASSERT_TRUE(rig.waitForEnd(180000));
    rig.settle();
    EXPECT_EQ(*rig.delegate.end(), Event::notify(-7, 8, 100));
    EXPECT_EQ(differences(system, treeOf(rig.world.root(), bootSkip)), QStringList());
    EXPECT_TRUE(rig.world.problems().isEmpty());
}

// Every volume of that name: the whole disk it sits on (through its APFS
// container) and the folder that holds its files.
QMap<QString, QString> volumesNamed(const TestSupport::DiskWorldFixture &world, const QString &volumeName)
{
    QMap<QString, QString> out;
    const Platform::DiskWorld::State s = world.state();
    for (const auto &[d, n] : s.volumes()) {
        if (n->volume->name != volumeName)
            continue;
        const Platform::DiskWorld::Disk *physical = s.physicalDisk(*d);
        out.insert(physical ? physical->id : d->id, world.world().contentPath(*n->volume));
    }
    return out;
}

// A stick that already carries the clone's volume name (an earlier clone) is
// plugged in while the chosen disk is erased: it takes the name's folder, and
// the chosen disk's new volume mounts beside it.
TEST(QoBootableClone, ASameNamedStickPluggedInAtTheEraseKeepsItsFilesAndTheChosenDiskGetsTheClone)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok()) << rig.world.error().toStdString();
    const QStringList bootSkip = Platform::DiskWorld::World::bootExclusions();
    const QMap<QString, Entry> system = treeOf(rig.world.root(), bootSkip);
    QTemporaryDir stickFiles;
    ASSERT_TRUE(TestSupport::writeFile(stickFiles.filePath(QStringLiteral("Photos/keep.jpg")), "an earlier clone's"));
    rig.setEraseHooks("\"$tools/diskworld\" attach --name NewCloneSystem --size 64M --registry 'Second Stick' --from '" +
                          QFile::encodeName(stickFiles.path()) + "' >/dev/null",
                      "");

    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(rig.waitForEnd(180000));
    rig.settle();
    EXPECT_EQ(*rig.delegate.end(), Event::notify(0, 8, 100));

    const QMap<QString, QString> volumes = volumesNamed(rig.world, QStringLiteral("NewCloneSystem"));
    ASSERT_EQ(volumes.size(), 2) << volumes.keys().join(QLatin1Char(' ')).toStdString();
    ASSERT_TRUE(volumes.contains(QStringLiteral("disk2")));
    EXPECT_EQ(differences(system, treeOf(volumes.value(QStringLiteral("disk2")))), QStringList());
    for (auto it = volumes.cbegin(); it != volumes.cend(); ++it) {
        if (it.key() == QLatin1String("disk2"))
            continue;
        EXPECT_EQ(treeOf(it.value()), treeOf(stickFiles.path())) << "the second stick is left as it was";
    }
    EXPECT_EQ(rig.asrArguments().value(4), QStringLiteral("/Volumes/NewCloneSystem 1"));
    EXPECT_TRUE(rig.world.problems().isEmpty()) << rig.world.problems().join(QLatin1Char('\n')).toStdString();
}

// The chosen disk is pulled out right after its erase: nothing is restored
// anywhere, and the run ends on the disk that went away.
TEST(QoBootableClone, TheChosenDiskPulledOutAfterTheEraseEndsOnTheTargetThatWent)
{
    CloneRig rig;
    ASSERT_TRUE(rig.world.ok());
    const QMap<QString, Entry> backup = treeOf(rig.world.mountPoint(QStringLiteral("BACKUP")));
    rig.setEraseHooks("", "\"$tools/diskworld\" detach disk2 >/dev/null");

    ASSERT_EQ(rig.start(rig.chooseDisk(QStringLiteral("disk2"))), 0);
    ASSERT_TRUE(rig.waitForEnd(180000));
    rig.settle();
    EXPECT_EQ(*rig.delegate.end(), Event::notify(-3, 3, 37));
    EXPECT_FALSE(rig.asrRan());
    EXPECT_EQ(differences(backup, treeOf(rig.world.mountPoint(QStringLiteral("BACKUP")))), QStringList());
}

} // namespace
