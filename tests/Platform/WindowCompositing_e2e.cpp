// Whether an X display blends see-through windows, on an X server of the
// test's own: not while it runs bare, yes while a compositing manager runs,
// not again once that manager has ended.
#include <gtest/gtest.h>

#include "PrivateXServer.h"
#include "TestSupport.h"
#include "WindowCompositing.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <xcb/xcb.h>

TEST(WindowCompositing, FollowsTheCompositingManagerOfTheDisplay)
{
    // The program's own platform in the tests draws every window itself.
    EXPECT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    EXPECT_TRUE(Platform::WindowCompositing::isActive());

    TestSupport::PrivateXServer server({.screen = QSize(320, 240)});
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(server.display().toLatin1().constData(), &screen);
    ASSERT_EQ(xcb_connection_has_error(connection), 0);
    EXPECT_FALSE(Platform::WindowCompositing::x11CompositingManagerRuns(connection, screen));

    const QString xcompmgr = QStandardPaths::findExecutable(QStringLiteral("xcompmgr"));
    ASSERT_FALSE(xcompmgr.isEmpty());
    QProcess manager;
    manager.start(xcompmgr, {QStringLiteral("-d"), server.display()});
    ASSERT_TRUE(manager.waitForStarted(5000));
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return Platform::WindowCompositing::x11CompositingManagerRuns(connection, screen); }, 10000));

    manager.terminate();
    ASSERT_TRUE(manager.waitForFinished(5000));
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return !Platform::WindowCompositing::x11CompositingManagerRuns(connection, screen); }, 10000));
    xcb_disconnect(connection);
}

// The program itself, on a display of its own where a compositing manager
// and a window manager run, finds the blending there.
TEST(WindowCompositing, IsActiveForTheProgramOnACompositedDisplay)
{
    TARNWICK_RUN_ON_PRIVATE_X({.compositingManager = true, .windowManager = true});
    EXPECT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    EXPECT_TRUE(Platform::WindowCompositing::isActive());
    TestSupport::XDisplay x;
    ASSERT_TRUE(x.ok());
    EXPECT_TRUE(x.clientList().isEmpty());
}
