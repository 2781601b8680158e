#include "QoCheckUpdateWindowController.h"

#include "ui_UpdateVersionXib.h"

#include "AppWindowFrame.h"
#include "CocoaGeometry.h"
#include "GetColor.h"
#include "PrivateData.h"
#include "QoLinkUrl.h"
#include "QoPublicUtilities.h"
#include "TextImageButton.h"
#include "ZrImageWindow.h"

#include "Platform/App.h"
#include "Platform/Bundle.h"
#include "Platform/Dispatch.h"
#include "Platform/Http.h"
#include "Platform/PlainText.h"
#include "Platform/PropertyList.h"
#include "Platform/SystemLog.h"
#include "Platform/Workspace.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextLayout>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

namespace {

constexpr double kTitleBarHeight = 38;
constexpr int kFadeMilliseconds = 250;

QFont systemFont(int size)
{
    QFont font = QApplication::font();
    font.setPixelSize(size);
    return font;
}

// The version name as the heading shows it; "(null)" when the list has none
// that can be shown.
QString versionText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        return QStringLiteral("(null)");
    }
}

bool isText(const QVariant &value) { return value.typeId() == QMetaType::QString; }

} // namespace

QoCheckUpdateWindowController::QoCheckUpdateWindowController(QObject *parent)
    : QObject(parent), ui(std::make_unique<Ui::UpdateVersionXib>())
{
    auto *content = new QWidget;
    ui->setupUi(content);
    _installButton = ui->installButton;
    aWindow = AppWindowFrame::windowWithContent(content, kTitleBarHeight);
    aWindow->setObjectName(QStringLiteral("QoCheckUpdateWindowController"));
    // The window asks the controller before it closes the ordinary way.
    aWindow->setDelegate(this);
    awakeFromNib();
    windowDidLoad();
}

QoCheckUpdateWindowController::~QoCheckUpdateWindowController()
{
    if (_alphaAnimation)
        _alphaAnimation->stop();
    if (aWindow)
        aWindow->setDelegate(nullptr);
}

void QoCheckUpdateWindowController::awakeFromNib()
{
    _shuttingDown = false;
    auto *animation = new QPropertyAnimation(this, "alphaValue", this);
    animation->setDuration(kFadeMilliseconds);
    connect(animation, &QAbstractAnimation::finished, this, [this] { animationDidStop(true); });
    _alphaAnimation = animation;
    if (!aWindow->isVisible()) {
        setAlphaValue(0);
        animateAlpha(1);
    }
    aWindow->setBackgroundColor(Qt::white);
    aWindow->setMovableByWindowBackground(true);
}

void QoCheckUpdateWindowController::windowDidLoad()
{
    _titleBarView = aWindow->titleBarView();
    aWindow->setTitleBarHeight(kTitleBarHeight);
    aWindow->setTrafficLightButtonsLeftMargin(15);
    aWindow->setTopButtonMoveUp(0);
    AppWindowFrame::center(aWindow.get());
    aWindow->setMovableByWindowBackground(true);

    ui->changeValueScrollView->setStyleSheet(
        QStringLiteral("QScrollArea#changeValueScrollView { border: 5px solid white; }"));

    if (_installButton) {
        _installButton->setButtonEnabled(true);
        _installButton->setImageFromFileNormalName(QStringLiteral("btn_pop_pri"), QStringLiteral("btn_pop_pri_press"),
                                                   QStringLiteral("btn_pop_pri_hover"),
                                                   QStringLiteral("btn_pop_disable"));
        _installButton->setTextWithName(QStringLiteral("现在安装"));
        connect(_installButton, &QAbstractButton::clicked, this, &QoCheckUpdateWindowController::updateClickHereAction);
    }
    connect(ui->noNetworkCloseButton, &QAbstractButton::clicked, this,
            &QoCheckUpdateWindowController::closeWindowAction);
    connect(ui->noUpdateCloseButton, &QAbstractButton::clicked, this,
            &QoCheckUpdateWindowController::closeWindowAction);

    // A busy bar runs from the moment it has no range.
    ui->progressBar->setRange(0, 0);

    QAbstractButton *close = aWindow->standardWindowButton(0);
    QObject::disconnect(close, &QAbstractButton::clicked, nullptr, nullptr);
    connect(close, &QAbstractButton::clicked, this, &QoCheckUpdateWindowController::closeWindow);

    std::thread([controller = QPointer<QoCheckUpdateWindowController>(this)] {
        getVersionChange(controller);
    }).detach();

    ui->changeValueScrollView->horizontalScrollBar()->setValue(0);
    ui->changeValueScrollView->verticalScrollBar()->setValue(0);
}

void QoCheckUpdateWindowController::getVersionChange(QPointer<QoCheckUpdateWindowController> controller)
{
    // `controller` is only looked at on the main thread.
    if (!QoPublicUtilities::isCanBeUseNetWork()) {
        Platform::Dispatch::mainAsync([controller] {
            if (controller)
                controller->showPanel(controller->noNetworkView());
        });
        return;
    }
    std::optional<QVariantMap> list;
    const QUrl url(QoLinkUrl::GetUrl(QStringLiteral("IniURL")));
    if (!url.isValid() || url.isEmpty()) {
        Platform::systemLog(QStringLiteral("update check: no update list link"));
    } else {
        const Platform::HttpReply reply = Platform::Http::get(url, kFetchTimeoutSeconds);
        if (!reply.ok) {
            Platform::systemLog(QStringLiteral("update check: %1 not fetched: %2").arg(url.toString(), reply.error));
        } else if (reply.status >= 400) {
            Platform::systemLog(
                QStringLiteral("update check: %1 not fetched: HTTP status %2").arg(url.toString()).arg(reply.status));
        } else {
            const QVariant value = Platform::PropertyList::fromData(reply.body);
            if (value.typeId() == QMetaType::QVariantMap)
                list = value.toMap();
            else
                Platform::systemLog(
                    QStringLiteral("update check: %1 is no property-list dictionary").arg(url.toString()));
        }
    }
    Platform::Dispatch::mainAsync([controller, list] {
        if (controller)
            controller->whatIsNewVersionDiff(list);
    });
}

void QoCheckUpdateWindowController::showPanel(QWidget *panel)
{
    for (QWidget *p : {checkProgressView(), noNetworkView(), noUpdateView(), haveUpdateView()})
        p->setVisible(p == panel);
}

void QoCheckUpdateWindowController::whatIsNewVersionDiff(const std::optional<QVariantMap> &list)
{
    // A list that could not be had says nothing about the versions: the
    // check could not be made, which the no-network panel tells.
    if (!list) {
        showPanel(noNetworkView());
        return;
    }
    showPanel(nullptr);
    const auto resource = Platform::PropertyList::readDictionary(Platform::Bundle::mainBundle().resourcePath() +
                                                                 QStringLiteral("/PrivateData.plist"));
    const qint64 installed = resource ? DMIntegerValue(resource->value(QStringLiteral("VersionCheck"))) : 0;
    const qint64 offered = DMIntegerValue(list->value(QStringLiteral("VersionCheck")));
    if (installed >= offered) {
        showPanel(noUpdateView());
        return;
    }
    showPanel(haveUpdateView());
    Platform::setPlainText(ui->versionLabel,
                           versionText(list->value(QStringLiteral("Version"))) + QStringLiteral("版本新功能:"));

    QVariantMap lines = *list;
    lines.remove(QStringLiteral("VersionCheck"));
    lines.remove(QStringLiteral("Version"));

    float total = 0;
    for (const QVariant &value : std::as_const(lines)) {
        if (isText(value))
            total += float(std::max(30.0, heightForStringDrawing(value.toString(), systemFont(10), 200)));
    }
    const float m = std::max(121.0f, total);
    QWidget *document = ui->showVersionScrollView;
    document->resize(414, qRound(m));
    if (lines.isEmpty())
        return;

    const QFont font = systemFont(12);
    QPalette palette = document->palette();
    palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    palette.setColor(QPalette::WindowText, getColor(199, 199, 199, 1));
    for (int j = 1; j <= lines.size(); ++j) {
        const QVariant value = lines.value(QString::number(j));
        // A line that is there but is no text has nothing to show.
        if (value.isValid() && !isText(value))
            continue;
        const QString text = value.isValid() ? value.toString() : QString();
        auto *field = new QLabel(document);
        field->setTextFormat(Qt::PlainText);
        field->setText(QString::number(j) + QLatin1Char(':') + (value.isValid() ? text : QStringLiteral("(null)")));
        field->setWordWrap(true);
        field->setAutoFillBackground(true);
        field->setPalette(palette);
        field->setFont(font);
        field->setTextInteractionFlags(Qt::NoTextInteraction);
        if (value.isValid())
            field->setToolTip(Platform::plainToolTip(text));
        const double h = std::max(20.0, heightForStringDrawing(text, font, 400));
        const float y = m - float(j) * float(h);
        field->setGeometry(CocoaGeometry::toQt(QRectF(0, y, 414, h), m).toRect());
        field->show();
    }
}

double QoCheckUpdateWindowController::heightForStringDrawing(const QString &text, const QFont &font, double width)
{
    if (text.isEmpty())
        return 0;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    double height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

bool QoCheckUpdateWindowController::windowShouldClose(ZrImageWindow *)
{
    if (_closing)
        return true;
    animateAlpha(0);
    return false;
}

void QoCheckUpdateWindowController::animationDidStop(bool)
{
    if (_alphaValue != 0.0)
        return;
    Platform::App::stopModal(aWindow.get());
    closeNow();
    if (_shuttingDown)
        QCoreApplication::quit();
}

void QoCheckUpdateWindowController::animateAlpha(double to)
{
    if (!_alphaAnimation)
        return;
    _alphaAnimation->stop();
    _alphaAnimation->setStartValue(_alphaValue);
    _alphaAnimation->setEndValue(to);
    _alphaAnimation->start();
}

void QoCheckUpdateWindowController::setAlphaValue(double alpha)
{
    _alphaValue = alpha;
    // Platforms without translucent windows (offscreen, minimal) would only
    // complain on every step.
    static const bool translucent = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                                    QGuiApplication::platformName() != QLatin1String("minimal");
    if (translucent)
        aWindow->setWindowOpacity(alpha);
}

void QoCheckUpdateWindowController::closeNow()
{
    _closing = true;
    if (_alphaAnimation)
        _alphaAnimation->stop();
    aWindow->close();
}

void QoCheckUpdateWindowController::closeWindow()
{
    Platform::App::stopModal(aWindow.get());
    closeNow();
}

void QoCheckUpdateWindowController::closeWindowAction()
{
    Platform::App::stopModal(aWindow.get());
    closeNow();
}

void QoCheckUpdateWindowController::updateClickHereAction()
{
    const QString link = QoLinkUrl::GetUrl(QStringLiteral("UpdateURL"));
    if (!link.isNull())
        Platform::Workspace::shared().openURL(link);
}

QWidget *QoCheckUpdateWindowController::checkProgressView() const { return ui->checkProgressView; }
QWidget *QoCheckUpdateWindowController::noNetworkView() const { return ui->noNetworkView; }
QWidget *QoCheckUpdateWindowController::noUpdateView() const { return ui->noUpdateView; }
QWidget *QoCheckUpdateWindowController::haveUpdateView() const { return ui->haveUpdateView; }
QLabel *QoCheckUpdateWindowController::titleLable() const { return ui->titleLable; }
QLabel *QoCheckUpdateWindowController::titleLabel() const { return ui->titleLabel; }
QLabel *QoCheckUpdateWindowController::versionLabel() const { return ui->versionLabel; }
QScrollArea *QoCheckUpdateWindowController::changeValueScrollView() const { return ui->changeValueScrollView; }
QWidget *QoCheckUpdateWindowController::showVersionScrollView() const { return ui->showVersionScrollView; }
QProgressBar *QoCheckUpdateWindowController::progressBar() const { return ui->progressBar; }
TextImageButton *QoCheckUpdateWindowController::installButton() const { return _installButton; }
void QoCheckUpdateWindowController::setInstallButton(TextImageButton *button) { _installButton = button; }

QList<QLabel *> QoCheckUpdateWindowController::lineFields() const
{
    return ui->showVersionScrollView->findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
}
