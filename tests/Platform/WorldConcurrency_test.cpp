// Several tool processes changing one world at once.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

// Failure messages show texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using TestSupport::DiskWorldFixture;

namespace {

struct LoopRun {
    int status = -1;
    QByteArray out, err;
};

// Runs the shell loops at once on the fixture's world, with $T the stand-in
// diskutil, the given variables and %1 the number of rounds; waits for all.
std::vector<LoopRun> runTogether(const DiskWorldFixture &f, const QMap<QString, QString> &variables,
                                 const QStringList &loops, int rounds)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNWICK_ROOT"), f.root());
    env.insert(QStringLiteral("T"), TestSupport::toolsPath() + QStringLiteral("/diskutil"));
    for (auto it = variables.cbegin(); it != variables.cend(); ++it)
        env.insert(it.key(), it.value());
    std::vector<std::unique_ptr<QProcess>> running;
    for (const QString &loop : loops) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(QStringLiteral("bash"), {QStringLiteral("-c"), loop.arg(rounds)});
        running.push_back(std::move(p));
    }
    std::vector<LoopRun> out;
    for (auto &p : running) {
        LoopRun r;
        if (p->waitForFinished(120000) && p->exitStatus() == QProcess::NormalExit)
            r.status = p->exitCode();
        r.out = p->readAllStandardOutput();
        r.err = p->readAllStandardError();
        out.push_back(r);
    }
    return out;
}

// A USB stick "Spinner" with one file of its own.
QString attachSpinner(DiskWorldFixture &f)
{
    return f.attachUsb(QStringLiteral("Spinner"), QStringLiteral("ExFAT"), 20'000'000,
                       {{QStringLiteral("keep/me.txt"), QByteArray("still here")}});
}

} // namespace

TEST(WorldConcurrency, RenamesAndMountsFromManyProcessesLeaveASoundWorld)
{
    DiskWorldFixture f;
    ASSERT_FALSE(attachSpinner(f).isEmpty());
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    const QString travelUUID = f.diskUUID(travel);
    const QString spinner = f.bsdName(QStringLiteral("Spinner"));
    const Platform::DiskWorld::Disk *owner = nullptr;
    const Platform::DiskWorld::State before = f.state();
    ASSERT_NE(before.node(f.bsdName(QStringLiteral("BACKUP")), &owner), nullptr);
    const QString backupDisk = owner->id;
    const int rounds = 20;
    // Each loop prints FAIL for a command that did not succeed.
    const QStringList loops = {
        QStringLiteral(
            R"sh(for i in $(seq 1 %1); do "$T" rename "$TRAVEL" "Alpha $i" >/dev/null || echo FAIL rename; done)sh"),
        QStringLiteral(
            R"sh(for i in $(seq 1 %1); do "$T" rename "$UUID" "Beta \"$i\" \$(x)" >/dev/null || echo FAIL rename; done)sh"),
        QStringLiteral(R"sh(for i in $(seq 1 %1); do "$T" unmountDisk "/dev/$BACKUP" >/dev/null || echo FAIL unmount;
                             "$T" mountDisk "/dev/$BACKUP" >/dev/null || echo FAIL mount; done)sh"),
        QStringLiteral(R"sh(for i in $(seq 1 %1); do "$T" unmount "$SPINNER" >/dev/null || echo FAIL unmount;
                             "$T" info -plist "$TRAVEL" >/dev/null || echo FAIL info;
                             "$T" mount "$SPINNER" >/dev/null || echo FAIL mount; done)sh"),
        QStringLiteral(R"sh(for i in $(seq 1 %1); do "$T" list -plist >/dev/null || echo FAIL list; done)sh"),
    };
    const QMap<QString, QString> variables = {{QStringLiteral("TRAVEL"), travel},
                                              {QStringLiteral("UUID"), travelUUID},
                                              {QStringLiteral("SPINNER"), spinner},
                                              {QStringLiteral("BACKUP"), backupDisk}};
    for (const LoopRun &r : runTogether(f, variables, loops, rounds)) {
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, QByteArray()) << r.err.toStdString();
    }

    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
    const QVariantMap m = f.info(travel);
    const QString name = m.value("VolumeName").toString();
    EXPECT_TRUE(name == QStringLiteral("Alpha %1").arg(rounds) ||
                name == QStringLiteral("Beta \"%1\" $(x)").arg(rounds))
        << name.toStdString();
    // The content moved with every rename and is whole.
    EXPECT_TRUE(QFileInfo(m.value("MountPoint").toString() + QStringLiteral("/Documents/Trip plan.txt")).isFile());
    EXPECT_EQ(TestSupport::readFile(f.mountPoint(QStringLiteral("Spinner")) + QStringLiteral("/keep/me.txt")),
              QByteArray("still here"));
    EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/Volumes/BACKUP/old/notes.txt"))).isFile());
}

// Changes made at once that each throw content away leave it to one remover:
// the first change to be written starts it, and it holds the trash folder
// while the others hand over what they threw away. The tools here find a
// remover that logs its start and waits for a word before it goes to work.
TEST(WorldConcurrency, ChangesAtOnceLeaveTheTrashToTheOneRemoverThatHoldsIt)
{
    DiskWorldFixture f;
    const int sticks = 4;
    for (int i = 1; i <= sticks; ++i)
        ASSERT_FALSE(f.attachUsb(QStringLiteral("Stick %1").arg(i), QStringLiteral("ExFAT"), 8'000'000,
                                 {{QStringLiteral("old/file.txt"), QByteArray("old")}})
                         .isEmpty())
            << f.error().toStdString();
    QTemporaryDir tools;
    const QString real = TestSupport::toolsPath();
    ASSERT_TRUE(QDir().mkpath(tools.filePath(QStringLiteral("libexec"))));
    for (const QString &name : QDir(real).entryList(QDir::Files | QDir::Executable))
        ASSERT_TRUE(QFile::link(real + QLatin1Char('/') + name, tools.filePath(name)));
    for (const QString &name : QDir(real + QStringLiteral("/libexec")).entryList(QDir::Files | QDir::Executable)) {
        if (name != QLatin1String("trash-remover")) {
            ASSERT_TRUE(QFile::link(real + QStringLiteral("/libexec/") + name,
                                    tools.filePath(QStringLiteral("libexec/") + name)));
        }
    }
    const QString log = tools.filePath(QStringLiteral("starts.log"));
    const QString go = tools.filePath(QStringLiteral("go"));
    const QString remover = tools.filePath(QStringLiteral("libexec/trash-remover"));
    ASSERT_TRUE(TestSupport::writeFile(remover, QStringLiteral("#!/bin/sh\necho started >>'%1'\n"
                                                               "while [ ! -e '%2' ]; do sleep 0.01; done\n"
                                                               "exec '%3/libexec/trash-remover'\n")
                                                    .arg(log, go, real)
                                                    .toUtf8()));
    ASSERT_TRUE(QFile::setPermissions(remover, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner));

    QStringList loops;
    QMap<QString, QString> variables{{QStringLiteral("TARNWICK_TOOLS"), tools.path()}};
    for (int i = 1; i <= sticks; ++i) {
        variables.insert(QStringLiteral("STICK%1").arg(i), f.bsdName(QStringLiteral("Stick %1").arg(i)));
        loops << QStringLiteral(R"sh(for i in $(seq 1 %1); do
                                    "$T" eraseVolume ExFAT "Stick N" "$STICKN" >/dev/null || echo FAIL erase; done)sh")
                     .replace(QLatin1Char('N'), QString::number(i));
    }
    for (const LoopRun &r : runTogether(f, variables, loops, 1)) {
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, QByteArray()) << r.err.toStdString();
    }
    const auto trash = [&] {
        return QDir(f.world().trashDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    };
    // One remover for all of it, waiting; everything thrown away is in the trash.
    EXPECT_EQ(TestSupport::readFile(log), QByteArray("started\n"));
    EXPECT_EQ(trash().size(), sticks);

    ASSERT_TRUE(TestSupport::writeFile(go, {}));
    EXPECT_TRUE(TestSupport::waitUntil([&] { return trash().isEmpty(); }, 30000)) << trash().join(' ').toStdString();
    EXPECT_EQ(TestSupport::readFile(log), QByteArray("started\n"));
    for (int i = 1; i <= sticks; ++i)
        EXPECT_FALSE(QFileInfo::exists(f.mountPoint(QStringLiteral("Stick %1").arg(i)) + QStringLiteral("/old")));
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

// The same, with many of the tools killed (SIGKILL) at whatever point they
// have reached: the world stays sound and no volume loses its content.
TEST(WorldConcurrency, ToolsKilledMidChangeLeaveASoundWorldWithAllContent)
{
    DiskWorldFixture f;
    ASSERT_FALSE(attachSpinner(f).isEmpty());
    const QString travel = f.bsdName(QStringLiteral("Travel Drive"));
    const QString spinner = f.bsdName(QStringLiteral("Spinner"));
    const QString backup = f.bsdName(QStringLiteral("BACKUP"));
    // `timeout -s KILL` ends a tool after a random few milliseconds, often in the middle of its change.
    const QStringList loops = {
        QStringLiteral(
            R"sh(for i in $(seq 1 %1); do timeout -s KILL 0.0$((RANDOM % 9 + 1)) "$T" rename "$TRAVEL" "Alpha $i"; done)sh"),
        QStringLiteral(R"sh(for i in $(seq 1 %1); do timeout -s KILL 0.0$((RANDOM % 9 + 1)) "$T" unmount "$SPINNER";
                             timeout -s KILL 0.0$((RANDOM % 9 + 1)) "$T" mount "$SPINNER"; done)sh"),
        QStringLiteral(R"sh(for i in $(seq 1 %1); do timeout -s KILL 0.0$((RANDOM % 9 + 1)) "$T" unmount "$BACKUP";
                             timeout -s KILL 0.0$((RANDOM % 9 + 1)) "$T" mount "$BACKUP"; done)sh"),
        QStringLiteral(R"sh(for i in $(seq 1 %1); do "$T" list -plist >/dev/null || echo FAIL list; done)sh"),
    };
    const QMap<QString, QString> variables = {
        {QStringLiteral("TRAVEL"), travel}, {QStringLiteral("SPINNER"), spinner}, {QStringLiteral("BACKUP"), backup}};
    // A loop ends with the status of its last, perhaps killed, tool: only the listings must all succeed.
    for (const LoopRun &r : runTogether(f, variables, loops, 20))
        EXPECT_FALSE(r.out.contains("FAIL")) << r.out.toStdString();
    // Whatever was cut short, the next tools set it right; mounted again, everything is there.
    for (const QString &id : {travel, spinner, backup})
        EXPECT_EQ(f.run(QStringLiteral("diskutil"), {QStringLiteral("mount"), id}).status, 0);
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
    const QVariantMap m = f.info(travel);
    EXPECT_TRUE(QFileInfo(m.value("MountPoint").toString() + QStringLiteral("/Documents/Trip plan.txt")).isFile());
    EXPECT_EQ(TestSupport::readFile(f.mountPoint(QStringLiteral("Spinner")) + QStringLiteral("/keep/me.txt")),
              QByteArray("still here"));
    EXPECT_TRUE(QFileInfo(f.at(QStringLiteral("/Volumes/BACKUP/old/notes.txt"))).isFile());
    QStringList stateFiles = QDir(f.world().stateDir()).entryList(QDir::Files | QDir::Hidden);
    stateFiles.removeAll(QStringLiteral("lock"));
    EXPECT_EQ(stateFiles, QStringList{QStringLiteral("state.plist")});
}
