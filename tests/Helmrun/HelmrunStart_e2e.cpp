// The whole start on a display: the launcher of the built bundle, started as
// root without an argument, starts Tarnwick, which opens its main window on
// an X server of the test's own (Xvfb); a screenshot of the screen shows it.
#include <gtest/gtest.h>

#include "../app/TarnwickProcessRig.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace TarnwickRig;

namespace {

// An X server on a free display number, ended with the test.
class XServer {
public:
    XServer()
    {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty())
            return;
        for (int n = 90 + int(::getpid() % 40); n < 200 && m_display.isEmpty(); ++n) {
            if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
                QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            m_process.start(xvfb, {QStringLiteral(":%1").arg(n), "-screen", "0", "1280x900x24", "-nolisten", "tcp"});
            if (!m_process.waitForStarted(5000))
                return;
            if (TestSupport::waitUntil([n] { return QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)); },
                                       5000) &&
                m_process.state() == QProcess::Running)
                m_display = QStringLiteral(":%1").arg(n);
            else
                m_process.kill(), m_process.waitForFinished(2000);
        }
    }
    ~XServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill(), m_process.waitForFinished(2000);
        }
    }
    QString display() const { return m_display; }

    // The whole screen, as `import` reads it.
    QImage screenshot(const QString &path) const
    {
        QProcess import;
        import.start("import", {"-display", m_display, "-window", "root", path});
        if (!import.waitForFinished(20000) || import.exitCode() != 0)
            return {};
        return QImage(path);
    }

private:
    QProcess m_process;
    QString m_display;
};

bool isColor(const QImage &img, int x, int y, const QColor &c)
{
    return img.rect().contains(x, y) && img.pixelColor(x, y) == c;
}

// Pixels of light text (the white labels) in a rectangle of the screen.
int lightPixels(const QImage &img, const QRect &r)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() > 200)
                ++n;
        }
    return n;
}

// Where the main window lies once drawn: centred on the 1280 × 900 screen
// (there is no window manager to move it), recognised by its selected tab's
// green plate (inside the first tab, 3 below the 48-point title bar).
std::optional<QPoint> mainWindowOrigin(const QImage &img)
{
    const QPoint o((1280 - 1200) / 2, (900 - 680) / 2);
    if (isColor(img, o.x() + 25, o.y() + 48 + 3 + 30, QColor(13, 193, 97)))
        return o;
    return std::nullopt;
}

} // namespace

TEST(HelmrunStart, AsRootStartsTarnwickWithItsMainWindow)
{
    TARNWICK_NEEDS_BUILT_PROGRAMS();
    if (::geteuid() != 0)
        GTEST_SKIP() << "the launcher asks for a password unless it runs as root";
    if (QStandardPaths::findExecutable("import").isEmpty())
        GTEST_SKIP() << "no import (imagemagick) to take the screenshot";
    // A world and a display of this test's own: no other Tarnwick on the
    // machine is taken for this one's instance.
    World world;
    XServer x;
    ASSERT_FALSE(x.display().isEmpty()) << "no X server could be started";

    Process &helmrun = world.process("xcb", x.display());
    helmrun.start(helmrunExecutable(), {});
    ASSERT_TRUE(helmrun.waitForFinished(30000));
    EXPECT_TRUE(helmrun.exitedNormally());
    EXPECT_EQ(helmrun.exitCode(), 0);

    ASSERT_TRUE(TestSupport::waitUntil([&] { return world.ours().size() == 1; }, 30000));
    const qint64 pid = world.ours().first();
    EXPECT_EQ(commandLine(pid), (QStringList{tarnwickExecutable(), "en*loaderflag*"}));
    EXPECT_EQ(effectiveUid(pid), 0);
    ASSERT_TRUE(waitForInterface(pid, tarnwickBundle())) << helmrun.log().toStdString();

    const QString shot = QStringLiteral(TARNWICK_BUILD_DIR) + "/screenshots/helmrun_start.png";
    QDir().mkpath(QFileInfo(shot).absolutePath());
    QImage img;
    std::optional<QPoint> origin;
    TestSupport::waitUntil(
        [&] {
            img = x.screenshot(shot);
            origin = img.isNull() ? std::nullopt : mainWindowOrigin(img);
            return origin.has_value();
        },
        30000);
    ASSERT_TRUE(origin.has_value()) << "no main window on the screen; see " << shot.toStdString();
    const QPoint o = *origin;
    EXPECT_TRUE(isColor(img, o.x() + 800, o.y() + 20, QColor(38, 38, 38))) << "title bar";
    EXPECT_GT(lightPixels(img, QRect(o + QPoint(36, 16), QSize(300, 20))), 30) << "the title";
    // Below the first (selected) tab: the two other visible tabs' labels,
    // then nothing where the hidden Disk Manager button lies.
    EXPECT_GT(lightPixels(img, QRect(o + QPoint(75, 48 + 63 + 15), QSize(120, 30))), 30) << "OS Clone tab";
    EXPECT_GT(lightPixels(img, QRect(o + QPoint(75, 48 + 123 + 15), QSize(120, 30))), 30) << "Disk Image tab";
    EXPECT_EQ(lightPixels(img, QRect(o + QPoint(20, 48 + 264), QSize(200, 40))), 0) << "Disk Manager tab";

    EXPECT_TRUE(terminate(pid));
}
