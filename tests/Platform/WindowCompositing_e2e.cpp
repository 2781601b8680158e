// Whether an X display blends see-through windows, on an X server of the
// test's own: not while it runs bare, yes while a compositing manager runs,
// not again once that manager has ended.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "WindowCompositing.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <xcb/xcb.h>

namespace {

// Xvfb on a display number it picks itself (-displayfd), ended with the test.
class BareXServer {
public:
    BareXServer()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return;
        m_process.start(xvfb, {"-displayfd", "1", "-screen", "0", "320x240x24", "-nolisten", "tcp"});
        if (!m_process.waitForStarted(5000))
            return;
        TestSupport::waitUntil([this] { return m_process.canReadLine(); }, 10000);
        const QByteArray number = m_process.readLine().trimmed();
        if (!number.isEmpty())
            m_display = ":" + number;
    }
    ~BareXServer()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill(), m_process.waitForFinished(2000);
    }
    QByteArray display() const { return m_display; }

private:
    QProcess m_process;
    QByteArray m_display;
};

} // namespace

TEST(WindowCompositing, FollowsTheCompositingManagerOfTheDisplay)
{
    // The program's own platform in the tests draws every window itself.
    EXPECT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    EXPECT_TRUE(Platform::WindowCompositing::isActive());

    BareXServer server;
    ASSERT_FALSE(server.display().isEmpty()) << "Xvfb did not start";
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(server.display().constData(), &screen);
    ASSERT_EQ(xcb_connection_has_error(connection), 0);
    EXPECT_FALSE(Platform::WindowCompositing::x11CompositingManagerRuns(connection, screen));

    const QString xcompmgr = QStandardPaths::findExecutable(QStringLiteral("xcompmgr"));
    ASSERT_FALSE(xcompmgr.isEmpty());
    QProcess manager;
    manager.start(xcompmgr, {QStringLiteral("-d"), QString::fromLatin1(server.display())});
    ASSERT_TRUE(manager.waitForStarted(5000));
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return Platform::WindowCompositing::x11CompositingManagerRuns(connection, screen); }, 10000));

    manager.terminate();
    ASSERT_TRUE(manager.waitForFinished(5000));
    EXPECT_TRUE(TestSupport::waitUntil(
        [&] { return !Platform::WindowCompositing::x11CompositingManagerRuns(connection, screen); }, 10000));
    xcb_disconnect(connection);
}
