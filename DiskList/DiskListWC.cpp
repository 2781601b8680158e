#include "DiskListWC.h"

#include "ui_DiskListWC.h"

#include "DiskListWCDelegate.h"
#include "ListFileViewController.h"

#include "ZrImageWindow.h"

#include "App.h"
#include "Dispatch.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>

namespace {
// The platform frame's own title bar, which a window's content size leaves out.
constexpr int kPlatformTitleBarHeight = 22;
} // namespace

DiskListWC::DiskListWC(QObject *parent) : QObject(parent), ui(std::make_unique<Ui::DiskListWC>())
{
    windowDidLoad();
    awakeFromNib();
}

DiskListWC::~DiskListWC()
{
    if (m_aWindow)
        m_aWindow->setDelegate(nullptr);
}

QLabel *DiskListWC::titleLabel() const { return ui->titleLabel; }

void DiskListWC::awakeFromNib()
{
    m_aWindow->setBackgroundColor(Qt::white);
    m_aWindow->setMovableByWindowBackground(true);
}

void DiskListWC::windowDidLoad()
{
    // The interface file gives the window's frame and its title.
    auto *content = new QWidget;
    ui->setupUi(content);
    const QSize frame = content->size();
    m_aWindow = std::make_unique<ZrImageWindow>(QSize(frame.width(), frame.height() - kPlatformTitleBarHeight));
    m_aWindow->setWindowTitle(ui->titleLabel->text());
    m_aWindow->setWindowModality(Qt::ApplicationModal);
    m_aWindow->setContentView(content);
    m_titleBarView = m_aWindow->titleBarView();
    m_aWindow->setTitleBarHeight(38);
    m_aWindow->setTrafficLightButtonsLeftMargin(15);
    m_aWindow->setTopButtonMoveUp(0);
    if (m_titleBarView) {
        ui->titleLabel->setParent(m_titleBarView);
        ui->titleLabel->show();
    }
    centerWindow();
    m_aWindow->setMovableByWindowBackground(true);
    m_isGetSelectSize = false;

    if (m_listFileVC)
        delete m_listFileVC.data();
    auto *list = new ListFileViewController(m_aWindow->contentView());
    list->setDetagate(this);
    list->move(0, 0);
    list->show();
    m_listFileVC = list;

    m_aWindow->setDelegate(this);
    if (QAbstractButton *close = m_aWindow->standardWindowButton(0)) {
        QObject::disconnect(close, &QAbstractButton::clicked, m_aWindow.get(), nullptr);
        connect(close, &QAbstractButton::clicked, this, [this, close] { closeWindow(close); });
    }
}

void DiskListWC::centerWindow()
{
    const QScreen *screen = m_aWindow->screen() ? m_aWindow->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect r = m_aWindow->frameGeometry();
    r.moveCenter(screen->availableGeometry().center());
    m_aWindow->move(r.topLeft());
}

int DiskListWC::runModal()
{
    centerWindow();
    return Platform::App::runModal(m_aWindow.get());
}

void DiskListWC::showDetailWithPath(const QString &path) { m_listFileVC->getRootNodeListWithPath(path); }

void DiskListWC::closeWindow(QObject *sender)
{
    (void)sender;
    if (m_isGetSelectSize)
        return;
    m_aWindow->close();
}

bool DiskListWC::windowShouldClose(ZrImageWindow *window)
{
    (void)window;
    return !m_isGetSelectSize;
}

void DiskListWC::windowWillClose(ZrImageWindow *window)
{
    (void)window;
    if (m_isClosed)
        return;
    m_isClosed = true;
    if (m_listFileVC) {
        // Closed without OK: a kept selection goes back to what it was.
        if (!m_isReported)
            m_listFileVC->restoreMarksTakenOnOpen();
        m_listFileVC->stopWork();
    }
    Platform::App::stopModal();
}

void DiskListWC::getSelectFilesSize(bool summing) { m_isGetSelectSize = summing; }

void DiskListWC::closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 withSelectSize)
{
    // The summer's thread. The page hears first, while the window (and the
    // modal loop the page waits in) still stand; then the window closes.
    m_isReported = true;
    m_isGetSelectSize = false;
    DiskListWCDelegate *delegate = m_delegate;
    if (delegate)
        delegate->closeWindowWithSelect(arr, withSelectSize);
    QPointer<DiskListWC> guard(this);
    Platform::Dispatch::mainAsync([guard] {
        if (guard)
            guard->closeWindow();
    });
}
