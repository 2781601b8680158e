// The application delegate: fonts into the per-user copy before any window,
// the one-time install notice (sent to a local server), the menu actions.
#include <gtest/gtest.h>

#include <QFontInfo>

#include "AppDelegate.h"

#include "MainWindowController.h"
#include "PrivateData.h"
#include "QoPublicUtilities.h"
#include "ZrImageWindow.h"
#include "ZrPreferenceWindowController.h"

#include "App.h"
#include "Bundle.h"
#include "Dispatch.h"
#include "Http.h"
#include "PropertyList.h"
#include "RunningApplications.h"
#include "SystemInfo.h"
#include "SystemLog.h"
#include "TestSupport.h"
#include "Workspace.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
#include <memory>

namespace {

// A web service on 127.0.0.1 that answers every request with "ok" and keeps
// the request lines it saw.
class LocalService {
public:
    LocalService()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    m_buffer[s] += s->readAll();
                    if (!m_buffer[s].contains("\r\n\r\n"))
                        return;
                    requests << QString::fromLatin1(m_buffer[s].left(m_buffer[s].indexOf("\r\n")));
                    s->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
                    s->disconnectFromHost();
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    QStringList requests;

private:
    QTcpServer m_server;
    QMap<QTcpSocket *, QByteArray> m_buffer;
};

// Sends what would go to the vendor's host to the local service instead,
// through Qt's own network stack, and notes the address and time-out asked for.
struct Redirect {
    QList<QUrl> asked;
    QList<double> timeouts;
};

class Delegate : public ::testing::Test {
protected:
    void SetUp() override
    {
        Platform::SystemInfo::setConsoleUserName("tester");
        Platform::SystemInfo::setPlatformUUID("12345678-ABCD-EF01-2345-6789ABCDEF01");
        DMResetCurrentUserNameForTesting();
        QDir().mkpath(root.at("/Users/tester"));
        DMCopyInfoPlistPath();
        ASSERT_TRUE(DMReadUserInfoPlist().has_value());
        Platform::Workspace::shared().setRecordingOpens(true);
        const quint16 port = service.port();
        auto redirect = this->redirect;
        Platform::Http::setTransport([redirect, port](const QUrl &url, double timeout) {
            redirect->asked << url;
            redirect->timeouts << timeout;
            QUrl local = url;
            local.setScheme("http");
            local.setHost("127.0.0.1");
            local.setPort(port);
            QNetworkAccessManager manager;
            QNetworkReply *reply = manager.get(QNetworkRequest(local));
            QEventLoop loop;
            QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(10000, &loop, &QEventLoop::quit);
            loop.exec();
            Platform::HttpReply out;
            out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            out.ok = reply->error() == QNetworkReply::NoError;
            out.body = reply->readAll();
            out.error = reply->errorString();
            delete reply;
            return out;
        });
    }
    void TearDown() override
    {
        Platform::Dispatch::waitForGlobalQueue();
        Platform::Http::setTransport(nullptr);
        Platform::Workspace::shared().setRecordingOpens(false);
        Platform::SystemInfo::resetOverrides();
        DMResetCurrentUserNameForTesting();
    }

    QString flag() const { return DMReadUserInfoPlist().value_or(QVariantMap()).value("IsFristTime").toString(); }
    QString resourceLink(const QString &key) const
    {
        const auto d =
            Platform::PropertyList::readDictionary(TestSupport::bundlePath() + "/Contents/Resources/PrivateData.plist");
        return d->value("en").toMap().value(key).toString();
    }

    TestSupport::TempRoot root;
    LocalService service;
    std::shared_ptr<Redirect> redirect = std::make_shared<Redirect>();
};

// Runs `action` (which opens a modal window) and, once the window is up, lets
// `whileOpen` act on it; returns whether the modal loop ended.
bool runModalAction(const std::function<void()> &action, const QString &windowName,
                    const std::function<void(QWidget *)> &whileOpen)
{
    bool seen = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == windowName && w->isVisible() && !seen) {
                seen = true;
                whileOpen(w);
            }
        }
    });
    poll.start();
    QTimer guard;
    guard.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == windowName)
                w->hide();
        }
        QCoreApplication::exit(1);
    });
    guard.start(15000);
    action();
    return seen && !timedOut;
}

} // namespace

TEST_F(Delegate, FontsAreInThePerUserCopyBeforeTheMainWindowReadsThem)
{
    AppDelegate delegate;
    delegate.awakeFromNib();
    const QVariantMap copy = DMReadUserInfoPlist().value_or(QVariantMap());
    for (const char *key : {"FontRegular", "FontLight", "FontMBold", "FontSBold", "FontBold"})
        EXPECT_FALSE(copy.value(key).toString().isEmpty()) << key;
    // The semi-bold field's font is the bold face of Noto Sans CJK SC, stored
    // by its PostScript name.
    EXPECT_EQ(copy.value("FontSBold").toString(), QStringLiteral("NotoSansCJKsc-Bold"));

    MainWindowController main;
    const QFontInfo title(main.titleLabel()->font());
    EXPECT_EQ(title.family(), QStringLiteral("Noto Sans CJK SC"));
    EXPECT_EQ(title.weight(), int(QFont::Bold));
    EXPECT_EQ(main.titleLabel()->font().pixelSize(), 18);
}

TEST_F(Delegate, InstallNoticeGoesOutOncePerPerUserCopy)
{
    AppDelegate delegate;
    ASSERT_EQ(flag(), "0");
    delegate.sendInstallNoticeOnFirstRun();

    ASSERT_EQ(service.requests.size(), 1);
    const QString line = service.requests.first();
    EXPECT_TRUE(line.startsWith("GET /userinfo.php?")) << line.toStdString();
    const QUrlQuery query(QUrl(line.section(' ', 1, 1)).query());
    EXPECT_EQ(query.queryItemValue("uid"), "12345678-ABCD-EF01-2345-6789ABCDEF01");
    EXPECT_EQ(query.queryItemValue("ptype"), "Quillane");
    EXPECT_EQ(query.queryItemValue("install"), "1");
    ASSERT_EQ(redirect->asked.size(), 1);
    EXPECT_EQ(redirect->asked.first().scheme(), "https");
    EXPECT_EQ(redirect->asked.first().host(), AppDelegate::kInstallServiceHost);
    EXPECT_LE(redirect->timeouts.first(), 10.0);
    EXPECT_EQ(Platform::Workspace::shared().openedItems(), QStringList{resourceLink("AboutURL")});
    EXPECT_EQ(flag(), "1");

    // The next start, and the one after, send nothing.
    delegate.sendInstallNoticeOnFirstRun();
    AppDelegate().sendInstallNoticeOnFirstRun();
    EXPECT_EQ(service.requests.size(), 1);
    EXPECT_EQ(Platform::Workspace::shared().openedItems().size(), 1);
}

TEST_F(Delegate, NoticeThatFailsIsLoggedAndNotRetried)
{
    Platform::Http::setTransport([](const QUrl &, double) {
        Platform::HttpReply r;
        r.error = "Host not found";
        return r;
    });
    Platform::SystemLogCapture log;
    AppDelegate delegate;
    delegate.sendInstallNoticeOnFirstRun();
    EXPECT_TRUE(log.contains("请求失败: Host not found"));
    EXPECT_EQ(flag(), "1");
    EXPECT_EQ(Platform::Workspace::shared().openedItems().size(), 1);
}

TEST_F(Delegate, OnlyTheTextZeroMeansAFirstStart)
{
    for (const QVariant &value : {QVariant(qint64(0)), QVariant(QString("1")), QVariant(QString("00")), QVariant()}) {
        auto copy = DMReadUserInfoPlist().value();
        if (value.isValid())
            copy.insert("IsFristTime", value);
        else
            copy.remove("IsFristTime");
        ASSERT_TRUE(Platform::PropertyList::writeFile(DMGetInfoPlistPath(), copy));
        AppDelegate().sendInstallNoticeOnFirstRun();
    }
    EXPECT_TRUE(service.requests.isEmpty());
    EXPECT_TRUE(Platform::Workspace::shared().openedItems().isEmpty());
}

TEST_F(Delegate, ReplyIsLoggedAndAMissingIdentifierIsSentAsNull)
{
    Platform::SystemInfo::setPlatformUUID(QString());
    Platform::SystemLogCapture log;
    AppDelegate delegate;
    EXPECT_TRUE(delegate.getOrCreateUID().isNull());
    delegate.sendInstallRequest();
    ASSERT_EQ(service.requests.size(), 1);
    EXPECT_TRUE(service.requests.first().contains("uid=(null)&ptype=Quillane&install=1"))
        << service.requests.first().toStdString();
    EXPECT_TRUE(log.contains("响应: ok"));
    EXPECT_TRUE(log.contains("❌ 无法读取硬件 UUID 属性"));
}

TEST(InstallRequestUrl, IsPercentEncodedForAQuery)
{
    const QUrl url = AppDelegate::installRequestUrl("A B%C");
    EXPECT_EQ(url.toEncoded(), QByteArray("https://") + AppDelegate::kInstallServiceHost +
                                   "/userinfo.php?uid=A%20B%25C&ptype=Quillane&install=1");
}

TEST_F(Delegate, MenuHoldsTheFourActions)
{
    AppDelegate delegate;
    QStringList titles;
    for (QAction *a : delegate.mainMenu()->actions()) {
        if (!a->isSeparator())
            titles << a->text();
    }
    EXPECT_EQ(titles, (QStringList{"About Tarnwick", "User Guide", "Help", "Check for Updates…"}));
    EXPECT_EQ(delegate.checkUpMenuItem(), delegate.mainMenu()->actions().last());
    EXPECT_TRUE(delegate.lineMenuItem()->isSeparator());

    delegate.userGuideMenuItemAction();
    delegate.helpMenuItemAction();
    EXPECT_EQ(Platform::Workspace::shared().openedItems(),
              (QStringList{resourceLink("OnlineHelp"), resourceLink("Support")}));
}

TEST_F(Delegate, MainWindowOpensOnceCentredWithTheMenuOnItsTitleBar)
{
    AppDelegate delegate;
    delegate.showMainWindow();
    MainWindowController *main = delegate.mainWindowController();
    ASSERT_TRUE(main);
    EXPECT_TRUE(main->window()->isVisible());
    EXPECT_EQ(main->window()->titleBarView()->contextMenuPolicy(), Qt::CustomContextMenu);
    delegate.showMainWindow();
    EXPECT_EQ(delegate.mainWindowController(), main);
}

TEST_F(Delegate, AboutWindowRunsModallyUntilItsCloseButton)
{
    AppDelegate delegate;
    bool linkOpened = false;
    const bool ended = runModalAction([&] { delegate.aboutMenuItemAction(); }, "ZrPreferenceWindowController",
                                      [&](QWidget *w) {
                                          auto *window = static_cast<ZrImageWindow *>(w);
                                          // Nothing else of the program takes input meanwhile.
                                          EXPECT_TRUE(window->isModal());
                                          EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
                                          EXPECT_EQ(QApplication::activeModalWidget(), window);
                                          EXPECT_EQ(window->titleBarHeight(), 38);
                                          EXPECT_EQ(window->trafficLightButtonsLeftMargin(), 15);
                                          auto *link = window->findChild<QPushButton *>("linkButton");
                                          ASSERT_TRUE(link);
                                          link->click();
                                          linkOpened = Platform::Workspace::shared().openedItems() ==
                                                       QStringList{resourceLink("AboutURL")};
                                          window->standardWindowButton(0)->click();
                                      });
    EXPECT_TRUE(ended);
    EXPECT_TRUE(linkOpened);
}

TEST_F(Delegate, UpdateWindowRunsModallyAndClosesFromItsPanel)
{
    Platform::SystemInfo::setReachabilityFlags(0u);
    AppDelegate delegate;
    const bool ended = runModalAction([&] { delegate.checkUpdateMenuItemAction(); }, "QoCheckUpdateWindowController",
                                      [](QWidget *w) {
                                          auto *panel = w->findChild<QWidget *>("noNetworkView");
                                          ASSERT_TRUE(panel);
                                          ASSERT_TRUE(TestSupport::waitUntil([&] { return panel->isVisible(); }));
                                          w->findChild<QPushButton *>("noNetworkCloseButton")->click();
                                      });
    EXPECT_TRUE(ended);
    EXPECT_TRUE(service.requests.isEmpty());
}

TEST_F(Delegate, ClosingOneModalWindowLeavesTheOtherOneRunning)
{
    Platform::SystemInfo::setReachabilityFlags(0u);
    AppDelegate delegate;
    auto shown = [](const char *name) -> QWidget * {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String(name) && w->isVisible())
                return w;
        }
        return nullptr;
    };
    int step = 0;
    bool aboutStayed = false;
    bool aboutRanOn = false;
    QPointer<QWidget> about;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        switch (step) {
        case 0:
            if (shown("QoCheckUpdateWindowController")) {
                step = 1;
                // About over the update window, as the program opens it.
                QTimer::singleShot(0, [&] { delegate.aboutMenuItemAction(); });
            }
            break;
        case 1:
            if ((about = shown("ZrPreferenceWindowController"))) {
                step = 2;
                // The update window is closed by its own button.
                auto *update = static_cast<ZrImageWindow *>(shown("QoCheckUpdateWindowController"));
                update->standardWindowButton(0)->click();
                QTimer::singleShot(300, [&] {
                    aboutStayed = about && about->isVisible();
                    aboutRanOn = Platform::App::isRunningModal() && Platform::App::modalWindow() == about;
                    step = 3;
                    if (about)
                        static_cast<ZrImageWindow *>(about.data())->standardWindowButton(0)->click();
                });
            }
            break;
        default:
            break;
        }
    });
    poll.start();
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        guard.start(100);
        Platform::App::stopModal();
    });
    guard.start(15000);
    delegate.checkUpdateMenuItemAction();
    EXPECT_EQ(step, 3);
    EXPECT_TRUE(aboutStayed);
    EXPECT_TRUE(aboutRanOn);
    EXPECT_FALSE(timedOut);
    EXPECT_FALSE(Platform::App::isRunningModal());
}

TEST(AboutWindow, LinkInTheLinkColour)
{
    ZrPreferenceWindowController about;
    QPushButton *link = about.linkButton();
    ASSERT_TRUE(link);
    EXPECT_EQ(link->text(), "www.kestrova.com");
    EXPECT_TRUE(link->styleSheet().contains("rgb(22, 110, 255)"));
    EXPECT_EQ(link->font().pixelSize(), 14);
    about.window()->show();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return about.window()->isVisible(); }));
    const QImage img(TestSupport::saveScreenshot(about.window(), "app_about_window"));
    EXPECT_FALSE(img.isNull());
}

TEST(SingleInstance, AStartThatIsEndingIsNoInstanceButOneThatStaysIs)
{
    QTemporaryDir folder;
    const QString identifier = QStringLiteral("com.kestrova.test.sleeper.%1").arg(QCoreApplication::applicationPid());
    const QString sleeper = TestSupport::sleeperBundle(folder.path(), identifier);
    AppDelegate delegate;
    EXPECT_FALSE(delegate.checkAppDuplicateAndBringToFrontWithBundle(identifier));

    // Like the user's start that has just launched the launcher.
    QProcess ending;
    ending.start(sleeper, {"0.3"});
    ASSERT_TRUE(ending.waitForStarted());
    EXPECT_FALSE(delegate.checkAppDuplicateAndBringToFrontWithBundle(identifier));
    ending.waitForFinished();

    // One that neither answers nor ends counts all the same.
    QProcess staying;
    staying.start(sleeper, {"30"});
    ASSERT_TRUE(staying.waitForStarted());
    ASSERT_TRUE(TestSupport::waitUntil(
        [&] { return !Platform::RunningApplications::withBundleIdentifier(identifier).isEmpty(); }));
    EXPECT_TRUE(delegate.checkAppDuplicateAndBringToFrontWithBundle(identifier));
    staying.kill();
    staying.waitForFinished();
}
