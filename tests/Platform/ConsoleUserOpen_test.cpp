// What the program opens for the user (links, folders) is opened by the
// person at the screen, in their session, never by the root process: a
// stand-in opener on PATH notes who it runs as.
#include <gtest/gtest.h>

#include "ConsoleUserProcess.h"
#include "DiskWorldFixture.h"
#include "SystemInfo.h"
#include "SystemLog.h"
#include "TestSupport.h"
#include "Workspace.h"
#include "WorldLockHolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using Platform::SystemInfo;
using Platform::Workspace;

namespace {

class OpenAsUser : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // Every user must reach the stand-in and be able to leave a note.
        chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        QDir().mkpath(m_dir.filePath("notes"));
        chmod(QFile::encodeName(m_dir.filePath("notes")).constData(), 0777);
        const QString opener = m_dir.filePath("bin/xdg-open");
        ASSERT_TRUE(TestSupport::writeFile(
            opener, "#!/bin/sh\nnote=\"" + QFile::encodeName(m_dir.filePath("notes/opened")) +
                        "\"\n{ id -u; id -g; echo \"$HOME\"; echo \"$USER\"; echo \"$LOGNAME\"; echo \"$DISPLAY\"; "
                        "echo \"$1\"; } >\"$note.part\" && mv \"$note.part\" \"$note\"\n"));
        chmod(QFile::encodeName(m_dir.filePath("bin")).constData(), 0755);
        chmod(QFile::encodeName(opener).constData(), 0755);
        m_savedPath = qgetenv("PATH");
        m_savedDisplay = qgetenv("DISPLAY");
        qputenv("PATH", QFile::encodeName(m_dir.filePath("bin")) + ":" + m_savedPath);
        qputenv("DISPLAY", ":57");
        // The person at the screen is another user than this (root) process.
        SystemInfo::setConsoleUserName(QStringLiteral("nobody"));
    }
    void TearDown() override
    {
        qputenv("PATH", m_savedPath);
        if (m_savedDisplay.isNull())
            qunsetenv("DISPLAY");
        else
            qputenv("DISPLAY", m_savedDisplay);
        SystemInfo::resetOverrides();
    }
    // The opener's note: uid, gid, HOME, USER, LOGNAME, DISPLAY, what.
    QStringList note() const
    {
        return QString::fromUtf8(TestSupport::readFile(m_dir.filePath("notes/opened"))).split('\n', Qt::SkipEmptyParts);
    }
    bool opened() const
    {
        return TestSupport::waitUntil([&] { return QFile::exists(m_dir.filePath("notes/opened")); }, 10000);
    }

    QTemporaryDir m_dir;
    QByteArray m_savedPath;
    QByteArray m_savedDisplay;
};

QStringList expectedNote(const char *user, const QString &what)
{
    const passwd *pw = getpwnam(user);
    if (!pw)
        return {};
    return {QString::number(pw->pw_uid),
            QString::number(pw->pw_gid),
            QString::fromLocal8Bit(pw->pw_dir),
            QString::fromLatin1(user),
            QString::fromLatin1(user),
            QStringLiteral(":57"),
            what};
}

} // namespace

TEST_F(OpenAsUser, ALinkOpensAsThePersonAtTheScreen)
{
    ASSERT_EQ(geteuid(), 0u) << "acting for another user needs the rights the program runs with";
    EXPECT_TRUE(Workspace::shared().openURL(QStringLiteral("https://example.com/about")));
    ASSERT_TRUE(opened());
    EXPECT_EQ(note(), expectedNote("nobody", QStringLiteral("https://example.com/about")));
}

TEST_F(OpenAsUser, ShowingAFileForAnotherUserOpensItsFolderAsThatUser)
{
    ASSERT_EQ(geteuid(), 0u);
    const QString file = m_dir.filePath("Trip plan.txt");
    ASSERT_TRUE(TestSupport::writeFile(file, "plan"));
    Workspace::shared().selectFile(file);
    ASSERT_TRUE(opened());
    EXPECT_EQ(note(), expectedNote("nobody", m_dir.path()));
}

TEST_F(OpenAsUser, WithoutTheUserOrTheirSessionNothingIsStarted)
{
    struct Case {
        const char *what;
        const char *user;
        bool display;
        const char *why;
    };
    const Case cases[] = {
        {"no account", "no-such-user-here", true, "has no account"},
        {"no display", "nobody", false, "no display"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SystemInfo::setConsoleUserName(QString::fromLatin1(c.user));
        if (!c.display)
            qunsetenv("DISPLAY");
        Platform::SystemLogCapture log;
        Workspace::shared().openURL(QStringLiteral("https://example.com/help"));
        EXPECT_TRUE(TestSupport::waitUntil([&] { return log.contains(QString::fromLatin1(c.why)); }, 10000))
            << log.lines().join('|').toStdString();
        EXPECT_FALSE(Platform::ConsoleUserProcess::forConsoleUser().isValid());
        qputenv("DISPLAY", ":57");
    }
    QTest::qWait(300);
    EXPECT_FALSE(QFile::exists(m_dir.filePath("notes/opened")));
}

// Who is at the screen comes from the disks' records, which an image's eject
// holds for its whole write: a link opened meanwhile never holds the window up,
// and opens as that person once the records are free.
TEST_F(OpenAsUser, OpeningALinkNeverWaitsForTheDisks)
{
    ASSERT_EQ(geteuid(), 0u);
    TestSupport::DiskWorldFixture::Options options;
    options.user = QStringLiteral("nobody");
    TestSupport::DiskWorldFixture world(options);
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    SystemInfo::resetOverrides();
    {
        TestSupport::WorldLockHolder lock(world.world());
        ASSERT_TRUE(lock.held());
        Workspace::shared().openURL(QStringLiteral("https://example.com/guide"));
        EXPECT_TRUE(lock.held()) << "the main thread waited for the disks";
        EXPECT_TRUE(TestSupport::eventLoopTurns());
        EXPECT_FALSE(QFile::exists(m_dir.filePath("notes/opened")));
    }
    ASSERT_TRUE(opened());
    EXPECT_EQ(note(), expectedNote("nobody", QStringLiteral("https://example.com/guide")));
}
