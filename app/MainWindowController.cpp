#include "MainWindowController.h"

#include "ui_MainWindowController.h"

#include "AppWindowFrame.h"
#include "CocoaGeometry.h"
#include "DiskCopyViewController.h"
#include "DmgViewController.h"
#include "Fonts.h"
#include "GetColor.h"
#include "LeftButton.h"
#include "ProcessEnd.h"
#include "QoPublicUtilities.h"
#include "RepairDiskViewController.h"
#include "SelectDrivceViewController.h"
#include "ZrImageWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>

namespace {

constexpr double kTitleBarHeight = 48;

QRect qtRect(double x, double y, double w, double h, const QWidget *in)
{
    return CocoaGeometry::toQt(QRectF(x, y, w, h), in->height()).toRect();
}

} // namespace

MainWindowController::MainWindowController(QObject *parent)
    : QObject(parent), ui(std::make_unique<Ui::MainWindowController>())
{
    auto *content = new QWidget;
    ui->setupUi(content);
    _aWindow = AppWindowFrame::windowWithContent(content, kTitleBarHeight);
    _aWindow->setObjectName(QStringLiteral("MainWindowController"));
    awakeFromNib();
    windowDidLoad();
}

MainWindowController::~MainWindowController()
{
    if (_aWindow)
        _aWindow->setDelegate(nullptr);
}

void MainWindowController::awakeFromNib() { _aWindow->setBackgroundColor(Qt::white); }

void MainWindowController::windowDidLoad()
{
    ZrImageWindow *w = _aWindow.get();
    w->setDelegate(this);
    _titleBarView = w->titleBarView();

    w->setTitleBarHeight(kTitleBarHeight);
    w->setTrafficLightButtonsLeftMargin(16);
    w->setTopButtonMoveUp(-3);

    auto *line = new QLabel(_titleBarView);
    line->setObjectName(QStringLiteral("separatorLine"));
    line->setGeometry(qtRect(0, 0, w->width(), 1, _titleBarView));
    line->setAutoFillBackground(true);
    QPalette linePalette = line->palette();
    linePalette.setColor(QPalette::Window, QColor(230, 230, 235));
    line->setPalette(linePalette);
    line->show();
    _separatorLine = line;

    _canChangeTab = true;
    buildTitleAndTabBar();
    createPages();
    // The pages are laid out at fixed places: the window keeps its size
    // (zoom and the window manager's maximise leave it as it is).
    w->setFixedSize(w->size());

    QAbstractButton *close = w->standardWindowButton(0);
    QObject::disconnect(close, &QAbstractButton::clicked, nullptr, nullptr);
    connect(close, &QAbstractButton::clicked, this, &MainWindowController::closeWindow);
}

void MainWindowController::buildTitleAndTabBar()
{
    auto *title = new QLabel(_titleBarView);
    title->setObjectName(QStringLiteral("titleLabel"));
    title->setGeometry(qtRect(36, 14, 300, 20, _titleBarView));
    title->setAlignment(Qt::AlignCenter);
    // The stored name is the semi-bold face's own; without one, the
    // application font is made semi-bold.
    const std::optional<QFont> named = Platform::Fonts::fontWithName(QoPublicUtilities::getSBoldFontName(), 18);
    QFont font = named.value_or(QApplication::font());
    if (!named)
        font.setWeight(QFont::DemiBold);
    font.setPixelSize(18);
    title->setFont(font);
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, getColor(255, 255, 255, 1));
    title->setPalette(palette);
    title->setText(QStringLiteral("Tarnwick"));
    title->show();
    _titleLabel = title;

    _tab_diskclone = makeTab(0, 569, 230, 60, QStringLiteral("icon_disk"), QStringLiteral("磁盘拷贝"),
                             &MainWindowController::TopCloneButtonAction);
    _tab_diskclone->setButtonAction(true);
    _tab_bootable = makeTab(0, 509, 230, 60, QStringLiteral("icon_os"), QStringLiteral("系统克隆"),
                            &MainWindowController::BootableButtonAction);
    _tab_bootable->setButtonAction(false);
    _tab_createImage = makeTab(0, 449, 230, 60, QStringLiteral("icon_image"), QStringLiteral("镜像制作"),
                               &MainWindowController::TopDmgButtonAction);
    _tab_createImage->setButtonAction(false);
    _tab_disktool = makeTab(20, 328, 230, 40, QStringLiteral("icon_manager"), QStringLiteral("磁盘管理"),
                            &MainWindowController::TopDiskToolButtonAction);
    _tab_disktool->setHidden(true);
}

LeftButton *MainWindowController::makeTab(double x, double y, double w, double h, const QString &image,
                                          const QString &label, void (MainWindowController::*action)())
{
    QWidget *content = _aWindow->contentView();
    auto *button = new LeftButton(qtRect(x, y, w, h, content), content);
    button->setFlat(true);
    button->setButtonEnabled(true);
    button->setImageFromFileNormalName(image, image);
    button->setTextWithName(label);
    connect(button, &QAbstractButton::clicked, this, action);
    button->show();
    return button;
}

void MainWindowController::createPages()
{
    _diskCopyVC = new DiskCopyViewController;
    _diskCopyVC->setDelegate(this);
    placePage(_diskCopyVC, diskCopyView());

    _dmgVC = new DmgViewController;
    _dmgVC->setDelegate(this);
    placePage(_dmgVC, dmgView());

    _repairDiskVC = new RepairDiskViewController;
    placePage(_repairDiskVC, diskTool());

    _bootableVC = new SelectDrivceViewController;
    _bootableVC->setDelegate(this);
    placePage(_bootableVC, bootableView());
}

void MainWindowController::placePage(QWidget *page, QWidget *container)
{
    page->setParent(container);
    page->setGeometry(container->rect());
    page->show();
}

QWidget *MainWindowController::dmgView() const { return ui->dmgView; }
QWidget *MainWindowController::diskCopyView() const { return ui->diskCopyView; }
QWidget *MainWindowController::diskTool() const { return ui->diskTool; }
QWidget *MainWindowController::bootableView() const { return ui->bootableView; }

void MainWindowController::canChangeTab(bool can) { _canChangeTab = can; }

void MainWindowController::zrimageWindowBecomeKeyWindow()
{
    _diskCopyVC->closeErrorWindow();
    _dmgVC->closeErrorWindow();
    _bootableVC->closeErrorWindow();
}

void MainWindowController::closeWindow() { endProcess(0); }

void MainWindowController::selectTab(LeftButton *button, QWidget *container)
{
    for (LeftButton *b : {_tab_diskclone, _tab_bootable, _tab_createImage, _tab_disktool})
        b->setButtonAction(b == button);
    for (QWidget *c : {diskCopyView(), bootableView(), dmgView(), diskTool()})
        c->setHidden(c != container);
}

void MainWindowController::TopCloneButtonAction()
{
    if (!_canChangeTab)
        return;
    selectTab(_tab_diskclone, diskCopyView());
}

void MainWindowController::BootableButtonAction()
{
    if (!_canChangeTab)
        return;
    _diskCopyVC->chengeTabCloseNode();
    selectTab(_tab_bootable, bootableView());
}

void MainWindowController::TopDmgButtonAction()
{
    if (!_canChangeTab)
        return;
    _diskCopyVC->chengeTabCloseNode();
    selectTab(_tab_createImage, dmgView());
}

void MainWindowController::TopDiskToolButtonAction()
{
    if (!_canChangeTab)
        return;
    _diskCopyVC->chengeTabCloseNode();
    selectTab(_tab_disktool, diskTool());
    _tab_diskclone->setHidden(false);
    _tab_bootable->setHidden(false);
    _tab_createImage->setHidden(false);
    _tab_disktool->setHidden(true);
    _repairDiskVC->normalSelectCell();
}
