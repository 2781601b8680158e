// The start of the built bundle as real processes: the hand-over to the
// launcher, a start with an argument, and one instance per machine.
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
        ASSERT_TRUE(world.locked()) << "another test kept the instance lock";
        if (!world.aloneOnTheMachine())
            GTEST_SKIP() << "another Tarnwick runs on this machine";
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
