// The one rule for the user the program works for: who that is (the world's
// person at the screen, the caller through sudo or pkexec, the login
// session's user, else the process's own) and where the home folder is
// (always under the system root).
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include "SystemInfo.h"
#include "SystemRoot.h"

#include <QDir>
#include <QFile>

#include <pwd.h>
#include <unistd.h>

using Platform::SystemInfo;

namespace {

// The login session's user as the kernel knows it; empty when none.
QString loginSessionUser()
{
    QFile f(QStringLiteral("/proc/self/loginuid"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    bool ok = false;
    const uint uid = QString::fromLatin1(f.readAll()).trimmed().toUInt(&ok);
    if (!ok || uid == 4294967295u)
        return {};
    const passwd *pw = getpwuid(uid);
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
}

class ConsoleUser : public ::testing::Test {
protected:
    void SetUp() override { SystemInfo::resetOverrides(); }
    void TearDown() override { SystemInfo::resetOverrides(); }

    const TestSupport::UnsetEnvironment m_noCaller{{"SUDO_USER", "PKEXEC_UID"}};
};

} // namespace

// In a disk world the person at the screen is the one the world records,
// whoever started the program.
TEST_F(ConsoleUser, InADiskWorldIsTheWorldsUser)
{
    TestSupport::DiskWorldFixture world(
        TestSupport::DiskWorldFixture::Options{false, QStringLiteral("13.4"), QStringLiteral("alice")});
    ASSERT_TRUE(world.ok()) << world.error().toStdString();
    for (const char *caller : {"", "bob"}) {
        SCOPED_TRACE(caller);
        if (*caller)
            qputenv("SUDO_USER", caller);
        const SystemInfo::ConsoleUser user = SystemInfo::consoleUser();
        EXPECT_EQ(user.name, QStringLiteral("alice"));
        EXPECT_EQ(user.homePath, QStringLiteral("/Users/alice"));
        EXPECT_EQ(user.homeFolder(), world.at(QStringLiteral("/Users/alice")));
        EXPECT_EQ(SystemInfo::consoleUserName(), QStringLiteral("alice"));
    }
    qunsetenv("SUDO_USER");
}

// Outside a world: the caller through sudo, then through pkexec; a name that
// is no plain path component is passed over.
TEST_F(ConsoleUser, OutsideAWorldTheCallerNamesTheUser)
{
    const TestSupport::TempRoot root;
    const QString rootName = QString::fromLocal8Bit(getpwuid(0)->pw_name);
    struct Row {
        const char *sudo;
        const char *pkexec;
        QString name;
    };
    const Row rows[] = {
        {"bob", nullptr, QStringLiteral("bob")},
        {"bob", "0", QStringLiteral("bob")},
        {nullptr, "0", rootName},
        {"../etc", "0", rootName},
        {"a/b", "0", rootName},
        {"..", "0", rootName},
        {"", "0", rootName},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.sudo ? r.sudo : "(none)") + " / " + (r.pkexec ? r.pkexec : "(none)"));
        r.sudo ? qputenv("SUDO_USER", r.sudo) : qunsetenv("SUDO_USER");
        r.pkexec ? qputenv("PKEXEC_UID", r.pkexec) : qunsetenv("PKEXEC_UID");
        const SystemInfo::ConsoleUser user = SystemInfo::consoleUser();
        EXPECT_EQ(user.name, r.name);
        EXPECT_EQ(user.homeFolder(), root.at(QStringLiteral("/Users/") + r.name));
    }
    qunsetenv("SUDO_USER");
    qunsetenv("PKEXEC_UID");
}

// With nobody named by a world or a caller: the login session's user, else
// the process's own; never nobody, and the home never the host's own.
TEST_F(ConsoleUser, WithoutACallerFallsBackToTheSessionThenTheProcessUser)
{
    const TestSupport::TempRoot root;
    const QString session = loginSessionUser();
    const SystemInfo::ConsoleUser user = SystemInfo::consoleUser();
    EXPECT_EQ(user.name, session.isEmpty() ? SystemInfo::userName() : session);
    ASSERT_FALSE(user.name.isEmpty());
    EXPECT_EQ(user.homeFolder(), root.at(QStringLiteral("/Users/") + user.name));
    EXPECT_NE(user.homeFolder(), QDir::homePath());
}

// What a test says sits at the screen stands in for step 1 of the rule: an
// empty or unusable name leaves the process's own user.
TEST_F(ConsoleUser, ScreenUserSetByATestIsTakenLikeTheSystemsAnswer)
{
    const TestSupport::TempRoot root;
    qputenv("SUDO_USER", "bob");
    struct Row {
        QString set;
        QString name;
    };
    const Row rows[] = {{QStringLiteral("tester"), QStringLiteral("tester")},
                        {QString(), SystemInfo::userName()},
                        {QStringLiteral(".."), SystemInfo::userName()},
                        {QStringLiteral("x/../../etc"), SystemInfo::userName()}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.set.toStdString());
        SystemInfo::setConsoleUserName(r.set);
        EXPECT_EQ(SystemInfo::consoleUser().name, r.name);
        EXPECT_EQ(SystemInfo::consoleUser().homePath, QStringLiteral("/Users/") + r.name);
    }
    qunsetenv("SUDO_USER");
}
