#include "ZrPreferenceWindowController.h"

#include "ui_ZrPreferenceWindowController.h"

#include "AppWindowFrame.h"
#include "GetColor.h"
#include "QoImage.h"
#include "QoLinkUrl.h"
#include "ZrImageWindow.h"

#include "Platform/App.h"
#include "Platform/Workspace.h"

#include <QAbstractButton>
#include <QApplication>

namespace {
constexpr double kTitleBarHeight = 38;
}

ZrPreferenceWindowController::ZrPreferenceWindowController(QObject *parent)
    : QObject(parent), ui(std::make_unique<Ui::ZrPreferenceWindowController>())
{
    auto *content = new QWidget;
    ui->setupUi(content);
    _linkButton = ui->linkButton;
    _iconView = ui->iconView;
    _versionBgView = ui->versionBgView;
    const QoImage icon = QoImage::named(QStringLiteral("ic_disk_main"));
    if (!icon.isNull())
        ui->iconView->setPixmap(icon.pixmap(ui->iconView->size()));
    aWindow = AppWindowFrame::windowWithContent(content, kTitleBarHeight);
    aWindow->setObjectName(QStringLiteral("ZrPreferenceWindowController"));
    awakeFromNib();
    windowDidLoad();
}

ZrPreferenceWindowController::~ZrPreferenceWindowController() = default;

void ZrPreferenceWindowController::awakeFromNib()
{
    aWindow->setBackgroundColor(Qt::white);
    aWindow->setMovableByWindowBackground(true);
}

void ZrPreferenceWindowController::windowDidLoad()
{
    QAbstractButton *close = aWindow->standardWindowButton(0);
    QObject::disconnect(close, &QAbstractButton::clicked, nullptr, nullptr);
    connect(close, &QAbstractButton::clicked, this, &ZrPreferenceWindowController::closeWindow);

    _titleBarView = aWindow->titleBarView();
    aWindow->setTitleBarHeight(kTitleBarHeight);
    aWindow->setTrafficLightButtonsLeftMargin(15);
    aWindow->setTopButtonMoveUp(0);
    AppWindowFrame::center(aWindow.get());
    aWindow->setMovableByWindowBackground(true);
    setAboutLink();
    if (_linkButton)
        connect(_linkButton, &QAbstractButton::clicked, this, &ZrPreferenceWindowController::linkButtonAction);
}

void ZrPreferenceWindowController::setAboutLink()
{
    if (!_linkButton)
        return;
    QFont font = QApplication::font();
    font.setPixelSize(14);
    _linkButton->setFont(font);
    const QColor c = getColor(22, 110, 255, 1);
    _linkButton->setStyleSheet(
        QStringLiteral("QPushButton { color: rgb(%1, %2, %3); border: none; background: transparent; }")
            .arg(c.red())
            .arg(c.green())
            .arg(c.blue()));
    _linkButton->setText(_linkButton->text());
}

void ZrPreferenceWindowController::linkButtonAction()
{
    const QString link = QoLinkUrl::GetUrl(QStringLiteral("AboutURL"));
    if (!link.isNull())
        Platform::Workspace::shared().openURL(link);
}

void ZrPreferenceWindowController::closeWindow()
{
    aWindow->close();
    Platform::App::stopModal(aWindow.get());
}

QPushButton *ZrPreferenceWindowController::linkButton() const { return _linkButton; }
void ZrPreferenceWindowController::setLinkButton(QPushButton *button) { _linkButton = button; }
QLabel *ZrPreferenceWindowController::titleLabel() const { return ui->titleLabel; }
QLabel *ZrPreferenceWindowController::iconView() const { return _iconView; }
void ZrPreferenceWindowController::setIconView(QLabel *view) { _iconView = view; }
QWidget *ZrPreferenceWindowController::versionBgView() const { return _versionBgView; }
void ZrPreferenceWindowController::setVersionBgView(QWidget *view) { _versionBgView = view; }
