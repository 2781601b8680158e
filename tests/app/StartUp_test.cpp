// The two start-up functions that run before the application object: the
// hand-over to the launcher around the bundle and the display-sleep assertion.
#include <gtest/gtest.h>

#include "PreventSleep.h"
#include "ZZManRunLoader.h"

#include "Bundle.h"
#include "PowerAssertion.h"
#include "PropertyList.h"
#include "SystemLog.h"
#include "TestSupport.h"
#include "Workspace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void writeBundle(const QString &path, const QString &executable)
{
    QDir().mkpath(path + "/Contents/MacOS");
    Platform::PropertyList::writeFile(path + "/Contents/Info.plist", QVariantMap{{"CFBundleExecutable", executable}});
    if (executable.isEmpty())
        return;
    const QString exe = path + "/Contents/MacOS/" + executable;
    TestSupport::writeFile(exe, "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

class HandOver : public ::testing::Test {
protected:
    void SetUp() override
    {
        Platform::Workspace::shared().setLauncher([this](const QString &exe, const QStringList &args) {
            launched << exe;
            launchedArguments << args;
            return true;
        });
    }
    void TearDown() override
    {
        Platform::Workspace::shared().setLauncher(nullptr);
        Platform::Bundle::setMainBundlePath(TestSupport::bundlePath());
    }
    QTemporaryDir dir;
    QStringList launched;
    QStringList launchedArguments;
};

} // namespace

TEST_F(HandOver, LaunchesTheBundleThreeComponentsUp)
{
    const QString outer = dir.filePath("Helmrun.app");
    writeBundle(outer, "Helmrun");
    writeBundle(outer + "/Contents/MacOS/Tarnwick.app", "Tarnwick");
    Platform::Bundle::setMainBundlePath(outer + "/Contents/MacOS/Tarnwick.app");

    EXPECT_TRUE(ZZManRunLoader());
    EXPECT_EQ(launched, QStringList{outer + "/Contents/MacOS/Helmrun"});
    EXPECT_TRUE(launchedArguments.isEmpty());
}

TEST_F(HandOver, WithoutALauncherAroundNothingIsLaunched)
{
    // Tarnwick.app on its own: three components up is a plain folder.
    const QString alone = dir.filePath("a/b/Tarnwick.app");
    writeBundle(alone, "Tarnwick");
    Platform::Bundle::setMainBundlePath(alone);
    EXPECT_FALSE(ZZManRunLoader());

    // A bundle three up whose program is missing is refused too.
    const QString broken = dir.filePath("Broken.app");
    writeBundle(broken, "");
    writeBundle(broken + "/Contents/MacOS/Tarnwick.app", "Tarnwick");
    Platform::Bundle::setMainBundlePath(broken + "/Contents/MacOS/Tarnwick.app");
    EXPECT_FALSE(ZZManRunLoader());

    // No bundle at all: nothing is looked up from the working folder.
    Platform::Bundle::setMainBundlePath(QString());
    EXPECT_FALSE(ZZManRunLoader());
    EXPECT_TRUE(launched.isEmpty());
}

TEST(PreventSleep, TakesTheAssertionAndSaysSo)
{
    assertionID = 0;
    Platform::SystemLogCapture log;
    PreventSleep();
    EXPECT_NE(assertionID, 0u);
    EXPECT_EQ(log.count("prevent sleep!"), 1);
    EXPECT_EQ(Platform::PowerAssertion::release(assertionID), Platform::PowerAssertion::Success);
    assertionID = 0;
}
