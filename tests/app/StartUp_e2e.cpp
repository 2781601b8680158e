// The start of the built bundle as real processes: the hand-over to the
// launcher, a start with an argument, and one instance per display and world.
#include <gtest/gtest.h>

#include "Login1Stub.h"
#include "TarnwickProcessRig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace TarnwickRig;

namespace {

class TarnwickStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        TARNWICK_NEEDS_BUILT_PROGRAMS();
        // The started programs keep the display awake through this logind.
        ASSERT_TRUE(logind.ok) << "no private message bus";
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", logind.bus.address().toLatin1());
    }
    LogindOnPrivateBus logind;
    World world;
};

// Tarnwick.app copied out of the launcher's bundle.
QString copyBundleAlone(const QString &folder)
{
    const QString from = tarnwickBundle();
    const QString to = folder + "/Tarnwick.app";
    for (const char *path : {"/Contents/Info.plist", "/Contents/MacOS/Tarnwick",
                             "/Contents/Resources/PrivateData.plist", "/Contents/Resources/SystemFile.plist"}) {
        QDir().mkpath(QFileInfo(to + path).absolutePath());
        QFile::copy(from + path, to + path);
    }
    QFile::setPermissions(to + "/Contents/MacOS/Tarnwick",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    return to;
}

} // namespace

TEST_F(TarnwickStart, WithoutArgumentItHandsOverToTheLauncherAndEnds)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the launcher asks for a password unless it runs as root";
    Process &user = world.process();
    user.start(tarnwickExecutable(), {});
    ASSERT_TRUE(user.waitForFinished(30000));
    EXPECT_TRUE(user.exitedNormally());
    EXPECT_EQ(user.exitCode(), 0);

    // The launcher starts the interface with its one argument, with rights.
    ASSERT_TRUE(TestSupport::waitUntil([&] { return world.ours().size() == 1; }, 30000));
    const qint64 pid = world.ours().first();
    EXPECT_EQ(commandLine(pid), (QStringList{tarnwickExecutable(), "en*loaderflag*"}));
    EXPECT_EQ(effectiveUid(pid), 0);
    EXPECT_TRUE(waitForInterface(pid, tarnwickBundle())) << user.log().toStdString();
    // Only the interface took the assertion; the user's start showed nothing.
    EXPECT_EQ(user.log().count("prevent sleep!"), 1) << user.log().toStdString();
    EXPECT_TRUE(terminate(pid));
}

TEST_F(TarnwickStart, WithoutALauncherAroundItRunsTheInterfaceItself)
{
    QTemporaryDir folder;
    const QString alone = copyBundleAlone(folder.path());
    Process &p = world.process();
    p.start(alone + "/Contents/MacOS/Tarnwick", {});
    ASSERT_TRUE(p.waitForStarted());
    EXPECT_TRUE(waitForInterface(p.pid(), alone)) << p.log().toStdString();
    EXPECT_TRUE(p.running());
    EXPECT_TRUE(p.log().contains("prevent sleep!")) << p.log().toStdString();
    EXPECT_EQ(world.ours(), QList<qint64>{p.pid()});
}

TEST_F(TarnwickStart, AnyArgumentRunsTheInterface)
{
    for (const QString &argument : {QString(), QString("en*loaderflag*"), QString("--anything at all")}) {
        SCOPED_TRACE(argument.toStdString());
        Process &p = world.process();
        p.start(tarnwickExecutable(), {argument});
        ASSERT_TRUE(p.waitForStarted());
        EXPECT_TRUE(waitForInterface(p.pid(), tarnwickBundle())) << p.log().toStdString();
        EXPECT_TRUE(p.log().contains("prevent sleep!")) << p.log().toStdString();
        // No hand-over was tried: this is the only process of the world.
        EXPECT_EQ(world.ours(), QList<qint64>{p.pid()});
        p.stop();
    }
}

TEST_F(TarnwickStart, SecondInstanceBringsTheFirstToTheFrontAndEnds)
{
    Process &first = world.process();
    first.start(tarnwickExecutable(), {"en*loaderflag*"});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(waitForInterface(first.pid(), tarnwickBundle())) << first.log().toStdString();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return first.log().count("brought to the front") == 1; }));

    Process &second = world.process();
    second.start(tarnwickExecutable(), {"en*loaderflag*"});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_TRUE(second.exitedNormally());
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(second.log().contains("brought to the front"));

    EXPECT_TRUE(TestSupport::waitUntil([&] { return first.log().count("brought to the front") == 2; }))
        << first.log().toStdString();
    EXPECT_TRUE(first.running());
}

TEST_F(TarnwickStart, InstancesInOtherWorldsOrOnOtherDisplaysAreNoOtherInstance)
{
    // A Tarnwick of another world, and one of this world on another display.
    World neighbour;
    Process &elsewhere = neighbour.process();
    elsewhere.start(tarnwickExecutable(), {"en*loaderflag*"});
    ASSERT_TRUE(elsewhere.waitForStarted());
    ASSERT_TRUE(waitForInterface(elsewhere.pid(), tarnwickBundle())) << elsewhere.log().toStdString();
    QProcessEnvironment otherDisplay = world.environment();
    otherDisplay.insert("DISPLAY", ":7001");
    Process onOtherDisplay(otherDisplay, world.root() + "/other-display.log");
    onOtherDisplay.start(tarnwickExecutable(), {"en*loaderflag*"});
    ASSERT_TRUE(onOtherDisplay.waitForStarted());
    ASSERT_TRUE(waitForInterface(onOtherDisplay.pid(), tarnwickBundle())) << onOtherDisplay.log().toStdString();
    for (Process *p : {&elsewhere, &onOtherDisplay})
        ASSERT_TRUE(TestSupport::waitUntil([p] { return p->log().count("brought to the front") == 1; }))
            << p->log().toStdString();

    // This world's start on no display still runs its own interface.
    Process &here = world.process();
    here.start(tarnwickExecutable(), {"en*loaderflag*"});
    ASSERT_TRUE(here.waitForStarted());
    EXPECT_TRUE(waitForInterface(here.pid(), tarnwickBundle())) << here.log().toStdString();
    EXPECT_TRUE(here.running());
    EXPECT_TRUE(elsewhere.running());
    EXPECT_TRUE(onOtherDisplay.running());
    // Neither was taken for this world's instance: had the start brought one
    // to the front, that call would have come before this test's own.
    for (Process *p : {&elsewhere, &onOtherDisplay}) {
        ASSERT_TRUE(Platform::RunningApplications::activate({p->pid(), tarnwickBundle()}));
        EXPECT_TRUE(TestSupport::waitUntil([p] { return p->log().count("brought to the front") >= 2; }));
        EXPECT_EQ(p->log().count("brought to the front"), 2) << p->log().toStdString();
    }
    here.stop();
    onOtherDisplay.stop();
}
