#include "AppDelegate.h"

#include "ui_MainMenu.h"

#include "AppWindowFrame.h"
#include "MainWindowController.h"
#include "PrivateData.h"
#include "ProcessEnd.h"
#include "QoCheckUpdateWindowController.h"
#include "QoLinkUrl.h"
#include "QoPublicUtilities.h"
#include "ZrImageWindow.h"
#include "ZrPreferenceWindowController.h"

#include "Platform/App.h"
#include "Platform/Http.h"
#include "Platform/RunningApplications.h"
#include "Platform/SystemInfo.h"
#include "Platform/SystemLog.h"
#include "Platform/Workspace.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMenu>
#include <QThread>
#include <cstdlib>

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent), ui(std::make_unique<Ui::MainMenu>()), _menuNib(std::make_unique<QWidget>()),
      _mainMenu(std::make_unique<QMenu>())
{
    ui->setupUi(_menuNib.get());
    _fontNormal = ui->fontNormal;
    _fontLight = ui->fontLight;
    _fontMBold = ui->fontMBold;
    _fontSBold = ui->fontSBold;
    _fontBold = ui->fontBold;

    _mainMenu->setObjectName(QStringLiteral("mainMenu"));
    _mainMenu->setTitle(QStringLiteral("Tarnwick"));
    connect(_mainMenu->addAction(QStringLiteral("About Tarnwick")), &QAction::triggered, this,
            &AppDelegate::aboutMenuItemAction);
    connect(_mainMenu->addAction(QStringLiteral("User Guide")), &QAction::triggered, this,
            &AppDelegate::userGuideMenuItemAction);
    connect(_mainMenu->addAction(QStringLiteral("Help")), &QAction::triggered, this, &AppDelegate::helpMenuItemAction);
    _lineMenuItem = _mainMenu->addSeparator();
    _checkUpMenuItem = _mainMenu->addAction(QStringLiteral("Check for Updates…"));
    connect(_checkUpMenuItem, &QAction::triggered, this, &AppDelegate::checkUpdateMenuItemAction);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::awakeFromNib()
{
    QoPublicUtilities::writRegularFont(_fontNormal->font());
    QoPublicUtilities::writLightFont(_fontLight->font());
    QoPublicUtilities::writMBoldFont(_fontMBold->font());
    QoPublicUtilities::writSBoldFont(_fontSBold->font());
    QoPublicUtilities::writBoldFont(_fontBold->font());
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (checkAppDuplicateAndBringToFrontWithBundle(QString::fromLatin1(kBundleIdentifier)))
        endProcess(0);
    Platform::RunningApplications::listenForActivation([self = QPointer<AppDelegate>(this)] {
        if (self)
            self->bringToFront();
    });
    sendInstallNoticeOnFirstRun();
    showMainWindow();
}

bool AppDelegate::checkAppDuplicateAndBringToFrontWithBundle(const QString &bundleIdentifier)
{
    const qint64 own = Platform::RunningApplications::currentProcessIdentifier();
    bool found = false;
    for (const Platform::RunningApplication &app :
         Platform::RunningApplications::withBundleIdentifier(bundleIdentifier)) {
        if (app.processIdentifier == own)
            continue;
        if (Platform::RunningApplications::activate(app)) {
            found = true;
            continue;
        }
        // One that does not answer may be the user's own start, which has
        // just handed over to the launcher and is ending: once it has gone it
        // is no instance (and this process must not end with it).
        if (!endsSoon(bundleIdentifier, app.processIdentifier))
            found = true;
    }
    return found;
}

bool AppDelegate::endsSoon(const QString &bundleIdentifier, qint64 processIdentifier)
{
    const QDeadlineTimer deadline(kEndingInstanceWaitMs);
    for (;;) {
        bool running = false;
        for (const Platform::RunningApplication &app :
             Platform::RunningApplications::withBundleIdentifier(bundleIdentifier))
            running = running || app.processIdentifier == processIdentifier;
        if (!running)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
}

void AppDelegate::sendInstallNoticeOnFirstRun()
{
    const std::optional<QVariantMap> settings = DMReadUserInfoPlist();
    if (!settings)
        return;
    const QVariant flag = settings->value(QStringLiteral("IsFristTime"));
    if (flag.typeId() != QMetaType::QString || flag.toString() != QLatin1String("0"))
        return;
    sendInstallRequest();
    openLink(QStringLiteral("AboutURL"));
    DMSetUserInfoPlistValue(QStringLiteral("IsFristTime"), QStringLiteral("1"));
}

QUrl AppDelegate::installRequestUrl(const QString &uid)
{
    const QString text = QStringLiteral("https://") + QString::fromLatin1(kInstallServiceHost) +
                         QStringLiteral("/userinfo.php?uid=") + (uid.isNull() ? QStringLiteral("(null)") : uid) +
                         QStringLiteral("&ptype=Quillane&install=1");
    // What a query may hold as it is; everything else is percent-encoded.
    return QUrl::fromEncoded(QUrl::toPercentEncoding(text, QByteArrayLiteral("!$&'()*+,-./:;=?@_~")), QUrl::StrictMode);
}

void AppDelegate::sendInstallRequest()
{
    const Platform::HttpReply reply =
        Platform::Http::get(installRequestUrl(getOrCreateUID()), kInstallNoticeTimeoutSeconds);
    // Any answer of the server counts as a reply, whatever its status.
    if (reply.ok || reply.status > 0)
        Platform::systemLog(QStringLiteral("响应: ") + QString::fromUtf8(reply.body));
    else
        Platform::systemLog(QStringLiteral("请求失败: ") + reply.error);
}

QString AppDelegate::getOrCreateUID()
{
    const QString uuid = Platform::SystemInfo::platformUUID();
    if (uuid.isEmpty()) {
        Platform::systemLog(QStringLiteral("❌ 无法读取硬件 UUID 属性"));
        return {};
    }
    return uuid;
}

void AppDelegate::showMainWindow()
{
    if (_mainWindowController)
        return;
    _mainWindowController = std::make_unique<MainWindowController>();
    ZrImageWindow *window = _mainWindowController->window();
    AppWindowFrame::center(window);
    QWidget *bar = window->titleBarView();
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(bar, &QWidget::customContextMenuRequested, this,
            [this, bar](const QPoint &pos) { _mainMenu->popup(bar->mapToGlobal(pos)); });
    window->show();
}

void AppDelegate::bringToFront()
{
    if (!_mainWindowController)
        return;
    ZrImageWindow *window = _mainWindowController->window();
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
    Platform::systemLog(QStringLiteral("brought to the front by another instance"));
}

void AppDelegate::openLink(const QString &key)
{
    const QString link = QoLinkUrl::GetUrl(key);
    if (!link.isNull())
        Platform::Workspace::shared().openURL(link);
}

void AppDelegate::aboutMenuItemAction()
{
    auto *controller = new ZrPreferenceWindowController;
    AppWindowFrame::center(controller->window());
    Platform::App::runModal(controller->window());
    controller->deleteLater();
}

void AppDelegate::userGuideMenuItemAction() { openLink(QStringLiteral("OnlineHelp")); }

void AppDelegate::helpMenuItemAction() { openLink(QStringLiteral("Support")); }

void AppDelegate::checkUpdateMenuItemAction()
{
    // The fetch may still run when the window has closed; it finds the
    // controller gone and drops its result.
    auto *controller = new QoCheckUpdateWindowController;
    AppWindowFrame::center(controller->window());
    Platform::App::runModal(controller->window());
    controller->deleteLater();
}
