// Tools killed in the middle of a change: at every stop point of every verb,
// the next tool finds a sound world in which every volume keeps its content.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <functional>
#include <map>

// Failure messages show texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using TestSupport::DiskWorldFixture;
using TestSupport::ToolRun;
namespace DW = Platform::DiskWorld;

namespace {

const QByteArray kMark("this volume's own content\n");

// Every volume that is not the startup volume gets a marker file named after its uuid.
void markVolumes(const DiskWorldFixture &f)
{
    const DW::World w = f.world();
    const DW::State s = f.state();
    for (const auto &[d, n] : s.volumes()) {
        if (!n->volume->boot) {
            ASSERT_TRUE(TestSupport::writeFile(w.contentPath(*n->volume) + QStringLiteral("/mark-") + n->volume->uuid +
                                                   QStringLiteral(".txt"),
                                               kMark));
        }
    }
}

// The files the state's folders hold besides the state itself.
QStringList leftOverStateFiles(const DiskWorldFixture &f)
{
    QStringList out;
    for (const QString &name : QDir(f.world().stateDir()).entryList(QDir::Files | QDir::Hidden))
        if (name != QLatin1String("state.plist") && name != QLatin1String("lock"))
            out << name;
    return out;
}

using Prepare = std::function<std::pair<QString, QStringList>(DiskWorldFixture &)>;

struct Drill {
    const char *name;
    // Brings the world to where the verb starts; gives the tool and its arguments.
    Prepare prepare;
    // The volumes (by uuid) the verb may take away when it completes, and the
    // image file that then holds their content (empty: none).
    std::function<QStringList(const DiskWorldFixture &)> mayGo;
    QString image;
};

// Runs the drill's tool killed at stop point 1, 2, … until it runs to its end,
// checking the world after every kill.
void runDrill(const Drill &drill)
{
    int kills = 0;
    for (int stopAt = 1; stopAt < 200; ++stopAt) {
        SCOPED_TRACE(std::string(drill.name) + " stopped at " + std::to_string(stopAt));
        DiskWorldFixture f;
        ASSERT_TRUE(f.ok()) << f.error().toStdString();
        const auto [tool, args] = drill.prepare(f);
        markVolumes(f);
        const DW::State before = f.state();
        const QStringList mayGo = drill.mayGo(f);

        qputenv("TARNWICK_DISKWORLD_STOP_AT", QByteArray::number(stopAt));
        const ToolRun killed = f.run(tool, args);
        qunsetenv("TARNWICK_DISKWORLD_STOP_AT");

        // The next tool that opens the world sets it right.
        const ToolRun list = f.run(QStringLiteral("diskutil"), {QStringLiteral("list"), QStringLiteral("-plist")});
        EXPECT_EQ(list.status, 0) << list.err.toStdString();
        EXPECT_TRUE(list.isPlist());
        const ToolRun check = f.run(QStringLiteral("diskworld"), {QStringLiteral("check")});
        EXPECT_EQ(check.status, 0) << check.err.toStdString();
        EXPECT_EQ(leftOverStateFiles(f), QStringList());

        // Every volume that is still there holds its content; one that went
        // is one the verb takes away, and its image holds its content.
        const DW::World w = f.world();
        const DW::State after = f.state();
        std::map<QString, const DW::Volume *> now;
        for (const auto &[d, n] : after.volumes())
            now[n->volume->uuid] = &*n->volume;
        for (const DW::Disk &d : after.unplugged)
            for (const DW::Node &n : d.nodes)
                if (n.volume)
                    now[n.volume->uuid] = &*n.volume;
        bool imageNeeded = false;
        for (const auto &[d, n] : before.volumes()) {
            const DW::Volume &v = *n->volume;
            if (v.boot)
                continue;
            const auto it = now.find(v.uuid);
            if (it == now.end()) {
                EXPECT_TRUE(mayGo.contains(v.uuid)) << v.name.toStdString() << " is gone";
                imageNeeded = imageNeeded || !drill.image.isEmpty();
                continue;
            }
            EXPECT_EQ(TestSupport::readFile(w.contentPath(*it->second) + QStringLiteral("/mark-") + v.uuid +
                                            QStringLiteral(".txt")),
                      kMark)
                << v.name.toStdString() << " lost its content";
        }
        if (imageNeeded) {
            const ToolRun mount = f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), f.at(drill.image)});
            ASSERT_EQ(mount.status, 0) << mount.err.toStdString();
            const QStringList marks =
                QDir(f.mountPoint(QStringLiteral("Carried"))).entryList({QStringLiteral("mark-*.txt")}, QDir::Files);
            EXPECT_EQ(marks.size(), 1) << "the image lost its content";
        }

        // The world goes on working: the same verb now runs to its end.
        if (killed.status == -1) {
            ++kills;
            continue;
        }
        EXPECT_EQ(killed.status, 0) << killed.err.toStdString();
        // What earlier changes threw away goes once a change has run (its
        // removal runs on after the tool has ended).
        const auto trash = [&] {
            return QDir(f.world().trashDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        };
        TestSupport::waitUntil([&] { return trash().isEmpty(); });
        EXPECT_EQ(trash(), QStringList());
        break;
    }
    EXPECT_GT(kills, 0) << drill.name << " has no stop point";
}

QStringList none(const DiskWorldFixture &) { return {}; }

// `diskutil <verb> <the volume's BSD name>`.
Prepare diskutilOn(const QString &verb, const QString &volume)
{
    return [verb, volume](DiskWorldFixture &f) {
        return std::pair{QStringLiteral("diskutil"), QStringList{verb, f.bsdName(volume)}};
    };
}

const QString kImage = QStringLiteral("/Users/Shared/carried.dmg");

// A small image of a volume called "Carried"; its path.
QString makeImage(DiskWorldFixture &f)
{
    const QString image = f.at(kImage);
    QDir().mkpath(QFileInfo(image).absolutePath());
    EXPECT_EQ(
        f.run(QStringLiteral("hdiutil"), {QStringLiteral("create"), image, QStringLiteral("-volname"),
                                          QStringLiteral("Carried"), QStringLiteral("-size"), QStringLiteral("4m")})
            .status,
        0);
    return image;
}

} // namespace

TEST(WorldKill, RenameKilledAtEveryStepKeepsEveryVolume)
{
    runDrill({"rename",
              [](DiskWorldFixture &f) {
                  return std::pair{QStringLiteral("diskutil"),
                                   QStringList{QStringLiteral("rename"), f.bsdName(QStringLiteral("Travel Drive")),
                                               QStringLiteral("Renamed")}};
              },
              none,
              {}});
}

TEST(WorldKill, UnmountKilledAtEveryStepKeepsEveryVolume)
{
    runDrill({"unmount", diskutilOn(QStringLiteral("unmount"), QStringLiteral("BACKUP")), none, {}});
}

TEST(WorldKill, MountKilledAtEveryStepKeepsEveryVolume)
{
    runDrill({"mount",
              [](DiskWorldFixture &f) {
                  const QString backup = f.bsdName(QStringLiteral("BACKUP"));
                  EXPECT_EQ(f.run(QStringLiteral("diskutil"), {QStringLiteral("unmount"), backup}).status, 0);
                  return std::pair{QStringLiteral("diskutil"), QStringList{QStringLiteral("mountDisk"), backup}};
              },
              none,
              {}});
}

TEST(WorldKill, EraseKilledAtEveryStepKeepsEveryOtherVolume)
{
    runDrill({"eraseVolume",
              [](DiskWorldFixture &f) {
                  return std::pair{QStringLiteral("diskutil"),
                                   QStringList{QStringLiteral("eraseVolume"), QStringLiteral("ExFAT"),
                                               QStringLiteral("Fresh"), f.bsdName(QStringLiteral("Travel Drive"))}};
              },
              [](const DiskWorldFixture &f) { return QStringList{f.volumeUUID(QStringLiteral("Travel Drive"))}; },
              {}});
}

TEST(WorldKill, EjectKilledAtEveryStepKeepsEveryVolume)
{
    runDrill({"eject", diskutilOn(QStringLiteral("eject"), QStringLiteral("BACKUP")), none, {}});
}

TEST(WorldKill, ImageEjectKilledAtEveryStepKeepsTheContentInTheWorldOrInTheImage)
{
    runDrill({"hdiutil detach",
              [](DiskWorldFixture &f) {
                  EXPECT_EQ(f.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), makeImage(f)}).status, 0);
                  return std::pair{QStringLiteral("hdiutil"),
                                   QStringList{QStringLiteral("detach"), f.bsdName(QStringLiteral("Carried"))}};
              },
              [](const DiskWorldFixture &f) { return QStringList{f.volumeUUID(QStringLiteral("Carried"))}; }, kImage});
}

TEST(WorldKill, ImageAttachKilledAtEveryStepLeavesASoundWorld)
{
    runDrill({"hdiutil mount",
              [](DiskWorldFixture &f) {
                  return std::pair{QStringLiteral("hdiutil"), QStringList{QStringLiteral("mount"), makeImage(f)}};
              },
              none,
              {}});
}

TEST(WorldKill, ResizeKilledAtEveryStepKeepsEveryVolume)
{
    runDrill({"resizeVolume",
              [](DiskWorldFixture &f) {
                  const QString part = f.bsdName(QStringLiteral("Travel Drive"));
                  const qint64 size = f.state().node(part)->size;
                  return std::pair{QStringLiteral("diskutil"),
                                   QStringList{QStringLiteral("resizeVolume"), part,
                                               QString::number(size - 5'000'000) + QStringLiteral("B"),
                                               QStringLiteral("JHFS+"), QStringLiteral("Added"),
                                               QStringLiteral("5000000B")}};
              },
              none,
              {}});
}

// An unmount that finds content of the volume in the store (left there by
// hand or by an older tool) must not throw it away to make room.
TEST(WorldKill, UnmountNeverDiscardsContentItDidNotPutThere)
{
    DiskWorldFixture f;
    ASSERT_TRUE(f.ok());
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    const QString stored = f.world().storeDir() + QLatin1Char('/') + f.volumeUUID(QStringLiteral("Travel Drive"));
    ASSERT_TRUE(TestSupport::writeFile(stored + QStringLiteral("/only copy.txt"), "precious\n"));
    const QString mounted = f.mountPoint(QStringLiteral("Travel Drive"));

    const ToolRun unmount = f.run(QStringLiteral("diskutil"), {QStringLiteral("unmount"), travel});
    EXPECT_NE(unmount.status, 0);
    EXPECT_FALSE(unmount.err.isEmpty());
    EXPECT_EQ(TestSupport::readFile(stored + QStringLiteral("/only copy.txt")), QByteArray("precious\n"));
    EXPECT_TRUE(QFileInfo(mounted + QStringLiteral("/Documents/Trip plan.txt")).isFile());
    EXPECT_FALSE(f.mountPoint(QStringLiteral("Travel Drive")).isEmpty());
}
