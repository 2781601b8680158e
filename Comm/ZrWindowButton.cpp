#include "ZrWindowButton.h"

#include "Clock.h"
#include "NotificationCenter.h"
#include "ZrWindowButtonGroup.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QWindowStateChangeEvent>

ZrWindowButton *ZrWindowButton::windowButtonWithSize(const QSize &size, const QString &groupIdentifier, QWidget *parent)
{
    return new ZrWindowButton(size, groupIdentifier, parent);
}

ZrWindowButton::ZrWindowButton(const QSize &size, const QString &groupIdentifier, QWidget *parent)
    : QAbstractButton(parent), m_groupIdentifier(groupIdentifier)
{
    setGeometry(QRect(QPoint(0, 0), size));
    setText(QString());
    setFocusPolicy(Qt::NoFocus);
    Platform::NotificationCenter::defaultCenter().addObserver(
        this, ZrWindowButtonGroup::DidUpdateRolloverStateNotification, group(),
        [this](const Platform::Notification &) { updateRollOverImage(); });
    updateTrackingAreas();
    updateRollOverImage();
    m_liveResizeEnd.setSingleShot(true);
    connect(&m_liveResizeEnd, &QTimer::timeout, this, &ZrWindowButton::viewDidEndLiveResize);
}

void ZrWindowButton::viewDidEndLiveResize()
{
    // The pointer may have left the buttons during the resize without an
    // exit: the count starts again from the buttons the pointer is over now.
    group()->resetMouseCaptures();
    if (!m_window)
        return;
    const QPoint pointer = QCursor::pos();
    QList<ZrWindowButton *> buttons;
    for (ZrWindowButton *b : m_window->findChildren<ZrWindowButton *>()) {
        if (b->group() != group())
            continue;
        b->m_pointerInside = b->isVisible() && b->m_trackingArea.contains(b->mapFromGlobal(pointer));
        if (b->m_pointerInside)
            group()->didCaptureMousePointer();
        buttons << b;
    }
    for (ZrWindowButton *b : buttons)
        b->updateRollOverImage();
}

ZrWindowButton::~ZrWindowButton()
{
    Platform::NotificationCenter::defaultCenter().removeObserver(this);
    if (m_windowHandle)
        m_windowHandle->removeEventFilter(this);
    if (m_window)
        m_window->removeEventFilter(this);
}

ZrWindowButtonGroup *ZrWindowButton::group() const
{
    return ZrWindowButtonGroup::groupWithIdentifier(m_groupIdentifier);
}

void ZrWindowButton::setImage(const QPixmap &image)
{
    m_image = image;
    update();
}

void ZrWindowButton::updateImage()
{
    if (!isEnabled())
        setImage(m_inactiveImage);
    else
        updateActiveImage();
}

void ZrWindowButton::updateActiveImage()
{
    const bool key = window() && window()->isActiveWindow();
    setImage(key ? m_activeImage : m_activeNotKeyWindowImage);
}

void ZrWindowButton::updateRollOverImage()
{
    if (group()->shouldDisplayRollOver() && isEnabled())
        setImage(m_rolloverImage);
    else
        updateImage();
}

void ZrWindowButton::updateTrackingAreas() { m_trackingArea = rect().adjusted(-4, -4, 4, 4); }

void ZrWindowButton::mouseEntered()
{
    group()->didCaptureMousePointer();
    updateRollOverImage();
}

void ZrWindowButton::mouseExited()
{
    group()->didReleaseMousePointer();
    updateRollOverImage();
}

void ZrWindowButton::paintEvent(QPaintEvent *)
{
    const QPixmap &shown = (isDown() && !m_alternateImage.isNull()) ? m_alternateImage : m_image;
    if (shown.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), shown);
}

void ZrWindowButton::resizeEvent(QResizeEvent *event)
{
    QAbstractButton::resizeEvent(event);
    updateTrackingAreas();
}

void ZrWindowButton::showEvent(QShowEvent *event)
{
    QAbstractButton::showEvent(event);
    if (window() != m_window || (window()->windowHandle() && window()->windowHandle() != m_windowHandle))
        viewWillMoveToWindow(window());
}

void ZrWindowButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange)
        windowDidChangeFocus();
    else if (event->type() == QEvent::EnabledChange)
        setImage(isEnabled() ? m_activeImage : m_inactiveImage);
    QAbstractButton::changeEvent(event);
}

bool ZrWindowButton::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange)
        viewWillMoveToWindow(window());
    return QAbstractButton::event(event);
}

void ZrWindowButton::viewWillMoveToWindow(QWidget *newWindow)
{
    if (m_windowHandle)
        m_windowHandle->removeEventFilter(this);
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = newWindow != this ? newWindow : nullptr;
    m_windowHandle = m_window ? m_window->windowHandle() : nullptr;
    if (m_window)
        m_window->installEventFilter(this);
    // The pointer is watched on the window itself, so the area may reach
    // past the button's own edges.
    if (m_windowHandle)
        m_windowHandle->installEventFilter(this);
    viewDidMoveToWindow();
}

void ZrWindowButton::viewDidMoveToWindow()
{
    if (m_window)
        updateImage();
}

bool ZrWindowButton::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_windowHandle) {
        if (event->type() == QEvent::MouseMove) {
            const auto *e = static_cast<QMouseEvent *>(event);
            const QPoint local = mapFrom(m_window, e->position().toPoint());
            const bool inside = isVisible() && m_trackingArea.contains(local);
            if (inside != m_pointerInside) {
                m_pointerInside = inside;
                inside ? mouseEntered() : mouseExited();
            }
        } else if (event->type() == QEvent::Leave && m_pointerInside) {
            m_pointerInside = false;
            mouseExited();
        }
    } else if (watched == m_window && event->type() == QEvent::WindowStateChange) {
        const auto *e = static_cast<QWindowStateChangeEvent *>(event);
        const bool was = e->oldState() & Qt::WindowFullScreen;
        const bool is = m_window->windowState() & Qt::WindowFullScreen;
        if (!was && is) {
            group()->resetMouseCaptures();
            hide();
        } else if (was && !is) {
            group()->resetMouseCaptures();
            show();
        }
    } else if (watched == m_window && event->type() == QEvent::Resize) {
        // A live resize is a run of resizes; it has ended when they stop.
        m_liveResizeEnd.start(Platform::Clock::realMs(LiveResizeSettleSeconds));
    }
    return QAbstractButton::eventFilter(watched, event);
}
