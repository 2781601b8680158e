// The update-check window: its three result panels, the line layout of the
// list of changes, lists of the wrong shape, and its two ways of closing.
#include <gtest/gtest.h>

#include "QoCheckUpdateWindowController.h"

#include "QoImage.h"
#include "TextImageButton.h"
#include "ZrImageWindow.h"

#include "App.h"
#include "Bundle.h"
#include "Http.h"
#include "PropertyList.h"
#include "SystemInfo.h"
#include "SystemLog.h"
#include "TestSupport.h"
#include "Workspace.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <memory>

namespace {

const QString kListUrl = "https://updates.invalid/tarnwick/update.plist";
const QString kDownloadUrl = "https://updates.invalid/tarnwick/download.html";

// What the fetch thread is handed, shared with it by value.
struct ListServer {
    QMutex mutex;
    QByteArray body;
    bool reachable = true;
    QStringList asked;
};

class UpdateWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        setInstalledBuild(120);
        Platform::SystemInfo::setReachabilityFlags(2u);
        auto server = this->server;
        Platform::Http::setTransport([server](const QUrl &url, double) {
            QMutexLocker lock(&server->mutex);
            server->asked << url.toString();
            Platform::HttpReply r;
            if (!server->reachable) {
                r.error = "Connection refused";
                return r;
            }
            r.ok = true;
            r.status = 200;
            r.body = server->body;
            return r;
        });
        Platform::Workspace::shared().setRecordingOpens(true);
    }
    void TearDown() override
    {
        Platform::Http::setTransport(nullptr);
        Platform::SystemInfo::resetOverrides();
        Platform::Workspace::shared().setRecordingOpens(false);
        Platform::Bundle::setMainBundlePath(TestSupport::bundlePath());
        QoImage::clearCache();
    }

    void setInstalledBuild(const QVariant &build)
    {
        const QString bundle = dir.filePath("Tarnwick.app");
        QDir().mkpath(bundle + "/Contents/Resources");
        // The built bundle's images, so the window draws as it does there.
        const QDir images(TestSupport::bundlePath() + "/Contents/Resources");
        for (const QString &name : images.entryList({"*.svg"}, QDir::Files))
            QFile::link(images.filePath(name), bundle + "/Contents/Resources/" + name);
        Platform::PropertyList::writeFile(bundle + "/Contents/Info.plist",
                                          QVariantMap{{"CFBundleIdentifier", "com.kestrova.clone"}});
        Platform::PropertyList::writeFile(
            bundle + "/Contents/Resources/PrivateData.plist",
            QVariantMap{{"VersionCheck", build},
                        {"en", QVariantMap{{"IniURL", kListUrl}, {"UpdateURL", kDownloadUrl}}}});
        Platform::Bundle::setMainBundlePath(bundle);
    }
    void serve(const QVariant &list)
    {
        QMutexLocker lock(&server->mutex);
        server->body = list.isValid() ? Platform::PropertyList::toXml(list) : QByteArray("<html>not found</html>");
    }
    // Opens a window and waits for its result panel; the name of the panel.
    std::string resultOf(QoCheckUpdateWindowController &c)
    {
        const std::pair<QWidget *, const char *> panels[] = {{c.checkProgressView(), "checking"},
                                                             {c.noNetworkView(), "noNetwork"},
                                                             {c.noUpdateView(), "noUpdate"},
                                                             {c.haveUpdateView(), "haveUpdate"}};
        TestSupport::waitUntil([&] { return c.checkProgressView()->isHidden(); });
        std::string shown;
        for (const auto &[panel, name] : panels) {
            if (!panel->isHidden())
                shown += shown.empty() ? name : std::string("+") + name;
        }
        return shown;
    }

    QTemporaryDir dir;
    std::shared_ptr<ListServer> server = std::make_shared<ListServer>();
};

using TestSupport::shownText;
using TestSupport::shownToolTip;

QVariantMap list(const QVariant &build, const QVariantMap &lines = {}, const QVariant &version = QString("2.0"))
{
    QVariantMap d = lines;
    if (build.isValid())
        d["VersionCheck"] = build;
    if (version.isValid())
        d["Version"] = version;
    return d;
}

} // namespace

TEST_F(UpdateWindow, StartsCheckingWithTheInstallButtonReady)
{
    serve(list(qint64(100)));
    QoCheckUpdateWindowController c;
    EXPECT_FALSE(c.checkProgressView()->isHidden());
    EXPECT_TRUE(c.noNetworkView()->isHidden());
    EXPECT_TRUE(c.noUpdateView()->isHidden());
    EXPECT_TRUE(c.haveUpdateView()->isHidden());
    EXPECT_EQ(c.window()->titleBarHeight(), 38);
    EXPECT_EQ(c.window()->trafficLightButtonsLeftMargin(), 15);
    EXPECT_EQ(c.window()->topButtonMoveUp(), 0);
    ASSERT_TRUE(c.installButton());
    EXPECT_TRUE(c.installButton()->isButtonUsable());
    EXPECT_EQ(c.installButton()->normalImageName(), "btn_pop_pri");
    ASSERT_TRUE(c.installButton()->textField());
    EXPECT_EQ(c.installButton()->textField()->text(), "现在安装");
    EXPECT_EQ(resultOf(c), "noUpdate");
}

TEST_F(UpdateWindow, ResultPanelFollowsTheBuildNumbers)
{
    struct Case {
        const char *what;
        QVariant installed;
        QVariant offered; // invalid: no plist at all
        bool reachable;
        quint32 reachability;
        std::string panel;
    };
    const Case cases[] = {
        {"newer build", qint64(120), list(qint64(121)), true, 2u, "haveUpdate"},
        {"same build", qint64(121), list(qint64(121)), true, 2u, "noUpdate"},
        {"older build", qint64(122), list(qint64(121)), true, 2u, "noUpdate"},
        // A list that cannot be had is no answer about the versions.
        {"list is no property list", qint64(120), QVariant(), true, 2u, "noNetwork"},
        {"list cannot be fetched", qint64(120), list(qint64(121)), false, 2u, "noNetwork"},
        {"list is no dictionary", qint64(120), QVariantList{qint64(999)}, true, 2u, "noNetwork"},
        // A build given as numeric text counts by its number, as the settings refresh reads it.
        {"build given as text", qint64(120), list(QString("999")), true, 2u, "haveUpdate"},
        {"installed build given as text", QString("130"), list(qint64(121)), true, 2u, "noUpdate"},
        {"build given as other text", qint64(120), list(QString("new")), true, 2u, "noUpdate"},
        {"build missing", qint64(120), list(QVariant()), true, 2u, "noUpdate"},
        {"build given as a real", qint64(120), list(121.7), true, 2u, "haveUpdate"},
        {"no network", qint64(120), list(qint64(121)), true, 0u, "noNetwork"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        setInstalledBuild(c.installed);
        serve(c.offered);
        server->reachable = c.reachable;
        Platform::SystemInfo::setReachabilityFlags(c.reachability);
        QoCheckUpdateWindowController window;
        EXPECT_EQ(resultOf(window), c.panel);
    }
}

TEST_F(UpdateWindow, ThreeOneRowLinesAreLaidOutFromTheTop)
{
    serve(list(qint64(121), {{"1", "Faster copies"}, {"2", "Fewer clicks"}, {"3", "New icons"}}));
    QoCheckUpdateWindowController c;
    ASSERT_EQ(resultOf(c), "haveUpdate");
    EXPECT_EQ(c.versionLabel()->text(), "2.0版本新功能:");
    EXPECT_EQ(c.showVersionScrollView()->size(), QSize(414, 121));

    const QList<QLabel *> lines = c.lineFields();
    ASSERT_EQ(lines.size(), 3);
    const int cocoaY[] = {101, 81, 61};
    const char *texts[] = {"1:Faster copies", "2:Fewer clicks", "3:New icons"};
    const char *tips[] = {"Faster copies", "Fewer clicks", "New icons"};
    for (int i = 0; i < 3; ++i) {
        const QRect g = lines[i]->geometry();
        EXPECT_EQ(121 - g.y() - g.height(), cocoaY[i]) << i;
        EXPECT_EQ(g.size(), QSize(414, 20)) << i;
        EXPECT_EQ(lines[i]->text(), texts[i]);
        EXPECT_EQ(shownToolTip(lines[i]), tips[i]);
        EXPECT_EQ(lines[i]->palette().color(QPalette::WindowText), QColor(199, 199, 199));
    }
    c.window()->show();
    TestSupport::saveScreenshot(c.window(), "app_update_window");

    c.installButton()->click();
    EXPECT_EQ(Platform::Workspace::shared().openedItems(), QStringList{kDownloadUrl});
    EXPECT_EQ(server->asked, QStringList{kListUrl});
}

TEST_F(UpdateWindow, TextFromTheListIsShownAsItIs)
{
    const QString line = QStringLiteral("Faster <b>copies</b> <img src=\"/etc/hostname\">");
    serve(list(qint64(121), {{"1", line}}, QStringLiteral("<i>2.0</i>")));
    QoCheckUpdateWindowController c;
    ASSERT_EQ(resultOf(c), "haveUpdate");
    EXPECT_EQ(shownText(c.versionLabel()), QStringLiteral("<i>2.0</i>版本新功能:"));
    const QList<QLabel *> lines = c.lineFields();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(shownText(lines[0]), QStringLiteral("1:") + line);
    EXPECT_EQ(shownToolTip(lines[0]), line);
}

TEST_F(UpdateWindow, LongListGrowsTheDocument)
{
    QVariantMap lines;
    for (int i = 1; i <= 6; ++i)
        lines[QString::number(i)] = QString("Change %1").arg(i);
    serve(list(qint64(121), lines));
    QoCheckUpdateWindowController c;
    ASSERT_EQ(resultOf(c), "haveUpdate");
    // Six lines of at least 30 each in the sum; each placed 20 high.
    EXPECT_EQ(c.showVersionScrollView()->height(), 180);
    const QList<QLabel *> fields = c.lineFields();
    ASSERT_EQ(fields.size(), 6);
    EXPECT_EQ(180 - fields[5]->geometry().bottom() - 1, 180 - 6 * 20);
}

TEST_F(UpdateWindow, LinesThatAreNoTextAreSkippedAndMissingOnesShowNull)
{
    serve(list(qint64(121),
               {{"1", "First"}, {"2", qint64(5)}, {"3", QVariantMap{{"x", "y"}}}, {"4", "Fourth"}, {"6", "Sixth"}},
               QVariant()));
    QoCheckUpdateWindowController c;
    ASSERT_EQ(resultOf(c), "haveUpdate");
    EXPECT_EQ(c.versionLabel()->text(), "(null)版本新功能:");
    // Only the text lines count in the height: 3 × 30 < 121.
    EXPECT_EQ(c.showVersionScrollView()->height(), 121);

    // Five entries: lines 1 to 5; 2 and 3 hold no text, 5 is missing.
    QStringList texts, tips;
    for (QLabel *l : c.lineFields()) {
        texts << l->text();
        tips << shownToolTip(l);
    }
    EXPECT_EQ(texts, (QStringList{"1:First", "4:Fourth", "5:(null)"}));
    EXPECT_EQ(tips, (QStringList{"First", "Fourth", ""}));
    const QList<QLabel *> fields = c.lineFields();
    EXPECT_EQ(121 - fields[1]->geometry().y() - 20, 121 - 4 * 20);
}

TEST_F(UpdateWindow, AListThatCannotBeHadIsLoggedWithItsReason)
{
    struct Case {
        const char *what;
        bool reachable;
        int status;
        QVariant offered;
        QString logged;
    };
    const Case cases[] = {
        {"refused", false, 200, list(qint64(121)), "update check: " + kListUrl + " not fetched: Connection refused"},
        {"no property list", true, 200, QVariant(), "update check: " + kListUrl + " is no property-list dictionary"},
        {"not found", true, 404, list(qint64(121)), "update check: " + kListUrl + " not fetched: HTTP status 404"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        serve(c.offered);
        server->reachable = c.reachable;
        const int status = c.status;
        if (status != 200) {
            auto server = this->server;
            Platform::Http::setTransport([server, status](const QUrl &, double) {
                Platform::HttpReply r;
                r.ok = true;
                r.status = status;
                r.body = "<html>not here</html>";
                return r;
            });
        }
        Platform::SystemLogCapture log;
        QoCheckUpdateWindowController window;
        EXPECT_EQ(resultOf(window), "noNetwork");
        EXPECT_EQ(log.count(c.logged), 1) << log.lines().join('\n').toStdString();
    }
}

TEST_F(UpdateWindow, TitleBarCloseEndsTheModalLoopAtOnce)
{
    serve(list(qint64(100)));
    QoCheckUpdateWindowController c;
    ASSERT_EQ(resultOf(c), "noUpdate");
    QTimer::singleShot(50, [&] { c.window()->standardWindowButton(0)->click(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { Platform::App::stopModal(7); });
    guard.start(10000);
    EXPECT_EQ(Platform::App::runModal(c.window()), 0);
    EXPECT_FALSE(c.window()->isVisible());
    EXPECT_GT(c.alphaValue(), 0.0);
}

TEST_F(UpdateWindow, OrdinaryCloseFadesOutFirst)
{
    serve(list(qint64(100)));
    QoCheckUpdateWindowController c;
    ASSERT_EQ(resultOf(c), "noUpdate");
    c.window()->show();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return c.alphaValue() == 1.0; }));
    c.window()->close();
    EXPECT_TRUE(c.window()->isVisible());
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !c.window()->isVisible(); }));
    EXPECT_EQ(c.alphaValue(), 0.0);
}

TEST_F(UpdateWindow, ClosedWindowStillTakesALateResult)
{
    serve(list(qint64(121), {{"1", "Late"}}));
    auto c = std::make_unique<QoCheckUpdateWindowController>();
    c->closeWindow();
    EXPECT_EQ(resultOf(*c), "haveUpdate");
    // A controller that goes before its fetch has answered is left alone.
    auto early = std::make_unique<QoCheckUpdateWindowController>();
    early.reset();
    EXPECT_TRUE(TestSupport::waitUntil([&] {
        QMutexLocker lock(&server->mutex);
        return server->asked.size() == 2;
    }));
    QTest::qWait(200); // its result, queued for the main thread, finds nobody
}

TEST(TextHeight, GrowsWithTheLinesTheTextNeeds)
{
    QFont font;
    font.setPixelSize(12);
    const double one = QoCheckUpdateWindowController::heightForStringDrawing("word", font, 400);
    EXPECT_GT(one, 0);
    EXPECT_LT(one, 20);
    const double many =
        QoCheckUpdateWindowController::heightForStringDrawing(QString("word ").repeated(200), font, 400);
    EXPECT_GT(many, 5 * one);
    EXPECT_EQ(QoCheckUpdateWindowController::heightForStringDrawing("", font, 400), 0);
}
