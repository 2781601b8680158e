#include "VoPopoverController.h"

#include "ChildWindows.h"
#include "CocoaGeometry.h"
#include "VoPopoverControllerDelegate.h"
#include "VoPopoverParentWindow.h"
#include "VoPopoverWindow.h"
#include "VoPopoverWindowFrame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cmath>

namespace {
std::function<bool()> &applicationActiveProvider()
{
    static std::function<bool()> provider;
    return provider;
}

unsigned opposite(unsigned direction)
{
    switch (direction) {
    case 1:
        return 2;
    case 2:
        return 1;
    case 3:
        return 4;
    case 4:
        return 3;
    default:
        return 0;
    }
}
} // namespace

VoPopoverController::VoPopoverController(QObject *parent) : QObject(parent)
{
    m_popoverWindow = std::make_unique<VoPopoverWindow>();
    m_popoverWindow->setPopoverController(this);
    setInitialPropertyValues();
}

VoPopoverController::VoPopoverController(QWidget *contentViewController, QObject *parent) : VoPopoverController(parent)
{
    setContentViewController(contentViewController);
}

VoPopoverController::~VoPopoverController()
{
    m_popoverWindow->setPopoverController(nullptr);
    m_popoverWindow->setAlphaAnimationDelegate(nullptr);
    removeObservers();
}

std::unique_ptr<VoPopoverController> VoPopoverController::initWithContentViewController(QWidget *contentViewController)
{
    return std::make_unique<VoPopoverController>(contentViewController);
}

void VoPopoverController::setInitialPropertyValues()
{
    setColor(QColor(55, 55, 55));
    setBorderColor(QColor(55, 55, 55));
    setBorderWidth(1);
    m_closesWhenEscapeKeyPressed = true;
    m_closesWhenPopoverResignsKey = true;
    m_closesWhenApplicationBecomesInactive = false;
    m_animates = true;
    m_animationType = 0;
}

// ---- settings kept by the frame view ----------------------------------------

QColor VoPopoverController::color() const { return m_popoverWindow->frameView()->color(); }
void VoPopoverController::setColor(const QColor &color) { m_popoverWindow->frameView()->setColor(color); }
QColor VoPopoverController::borderColor() const { return m_popoverWindow->frameView()->borderColor(); }
void VoPopoverController::setBorderColor(const QColor &color) { m_popoverWindow->frameView()->setBorderColor(color); }
QColor VoPopoverController::topHighlightColor() const { return m_popoverWindow->frameView()->topHighlightColor(); }
void VoPopoverController::setTopHighlightColor(const QColor &color)
{
    m_popoverWindow->frameView()->setTopHighlightColor(color);
}
double VoPopoverController::borderWidth() const { return m_popoverWindow->frameView()->borderWidth(); }
void VoPopoverController::setBorderWidth(double width) { m_popoverWindow->frameView()->setBorderWidth(width); }
double VoPopoverController::cornerRadius() const { return m_popoverWindow->frameView()->cornerRadius(); }
void VoPopoverController::setCornerRadius(double radius) { m_popoverWindow->frameView()->setCornerRadius(radius); }
QSizeF VoPopoverController::arrowSize() const { return m_popoverWindow->frameView()->arrowSize(); }
void VoPopoverController::setArrowSize(const QSizeF &size) { m_popoverWindow->frameView()->setArrowSize(size); }
unsigned VoPopoverController::arrowDirection() const { return m_popoverWindow->frameView()->arrowDirection(); }

// ---- content ----------------------------------------------------------------

void VoPopoverController::setContentViewController(QWidget *controller)
{
    if (controller == m_contentViewController)
        return;
    m_popoverWindow->setPopoverContentView(nullptr);
    m_contentViewController = controller;
    setContentSize(controller ? QSizeF(controller->size()) : QSizeF());
    m_popoverWindow->setPopoverContentView(controller);
}

void VoPopoverController::setContentSize(const QSizeF &size)
{
    m_contentSize = size;
    m_popoverWindow->setCocoaFrame(popoverFrameWithSize(size, arrowDirection()), m_animates);
}

QWidget *VoPopoverController::contentView() const { return m_popoverWindow->popoverContentView(); }

bool VoPopoverController::popoverIsVisible() const { return m_popoverWindow->isVisible(); }

// ---- geometry -----------------------------------------------------------------

bool VoPopoverController::containsRect(const QRectF &outer, const QRectF &inner)
{
    return !inner.isEmpty() && outer.left() <= inner.left() && outer.top() <= inner.top() &&
           outer.right() >= inner.right() && outer.bottom() >= inner.bottom();
}

QRectF VoPopoverController::popoverFrame(const QSizeF &frameSize, unsigned direction, const QRectF &a)
{
    const double w = frameSize.width();
    const double h = frameSize.height();
    // Bottom-left coordinates: QRectF's right() and bottom() are maxX and maxY.
    switch (direction) {
    case 1:
        return QRectF(a.right(), a.y() + a.height() / 2 - std::floor(h / 2), w, h);
    case 2:
        return QRectF(a.x() - w, a.y() + a.height() / 2 - std::floor(h / 2), w, h);
    case 3:
        return QRectF(a.x() + a.width() / 2 - std::floor(w / 2) + 10, a.y() - h, w, h);
    case 4:
        return QRectF(a.x() + a.width() / 2 - std::floor(w / 2), a.bottom(), w, h);
    default:
        return QRectF();
    }
}

QRectF VoPopoverController::popoverFrameWithSize(const QSizeF &size, unsigned direction) const
{
    const QSizeF frameSize = m_popoverWindow->frameRectForContentRect(QRectF(QPointF(0, 0), size)).size();
    return popoverFrame(frameSize, direction, m_screenRect);
}

unsigned VoPopoverController::chooseArrowDirection(unsigned preferred, const QRectF &screen, const QRectF &anchor,
                                                   const std::function<QRectF(unsigned)> &frameFor)
{
    auto fits = [&](unsigned d) { return containsRect(screen, frameFor(d)); };
    if (fits(preferred))
        return preferred;
    const unsigned other = opposite(preferred);
    if (fits(other))
        return other;
    if (preferred >= 1 && preferred <= 4) {
        // Below when there is more room under the anchor than above it.
        const unsigned vertical = anchor.y() > screen.height() - (anchor.y() + anchor.height()) ? 3 : 4;
        if (fits(vertical))
            return vertical;
    }
    return preferred;
}

unsigned VoPopoverController::arrowDirectionWithPreferredArrowDirection(unsigned preferred) const
{
    QRectF screen;
    const QWidget *anchorWindow = m_positionView ? m_positionView->window() : nullptr;
    if (anchorWindow && anchorWindow->screen())
        screen = CocoaGeometry::toCocoa(QRectF(anchorWindow->screen()->geometry()), CocoaGeometry::screenHeight());
    return chooseArrowDirection(preferred, screen, m_screenRect,
                                [this](unsigned d) { return popoverFrameWithSize(m_contentSize, d); });
}

QRectF VoPopoverController::anchorScreenRect() const
{
    if (!m_positionView)
        return QRectF();
    const QRectF local = CocoaGeometry::toQt(m_viewRect, m_positionView->height());
    const QRectF global(QPointF(m_positionView->mapToGlobal(local.topLeft())), local.size());
    return CocoaGeometry::toCocoa(global, CocoaGeometry::screenHeight());
}

void VoPopoverController::recalculateAndResetArrowDirection()
{
    m_popoverWindow->frameView()->setArrowDirection(arrowDirectionWithPreferredArrowDirection(arrowDirection()));
}

// ---- showing and closing ------------------------------------------------------

void VoPopoverController::presentPopoverFromRect(const QRectF &rect, QWidget *view, unsigned preferredArrowDirection,
                                                 bool anchorsToPositionView)
{
    if (popoverIsVisible())
        return;
    m_positionView = view;
    m_viewRect = rect;
    m_screenRect = anchorScreenRect();
    const unsigned direction = arrowDirectionWithPreferredArrowDirection(preferredArrowDirection);
    m_popoverWindow->frameView()->setArrowDirection(direction);
    m_popoverWindow->setCocoaFrame(popoverFrameWithSize(m_contentSize, direction));
    m_popoverWindow->setAlphaAnimationDelegate(this);
    if (m_delegate)
        m_delegate->popoverWillShow(this);
    if (m_animates && m_animationType != 2) {
        m_popoverWindow->presentAnimated();
    } else {
        m_popoverWindow->setWindowOpacity(1);
        attachToAnchorWindow();
        m_popoverWindow->show();
        m_popoverWindow->raise();
        m_popoverWindow->activateWindow();
        if (m_delegate)
            m_delegate->popoverDidShow(this);
    }
    addObservers(anchorsToPositionView);
}

void VoPopoverController::attachToAnchorWindow()
{
    if (m_positionView)
        ChildWindows::addChildWindow(m_positionView->window(), m_popoverWindow.get());
}

void VoPopoverController::closePopover(bool fromResignKey)
{
    if (!popoverIsVisible())
        return;
    // Losing key because the application went to the background keeps it open.
    if (fromResignKey && !m_closesWhenApplicationBecomesInactive && !isApplicationActive())
        return;
    if (m_delegate && !m_delegate->popoverShouldClose(this))
        return;
    forceClosePopover();
}

void VoPopoverController::forceClosePopover()
{
    if (!popoverIsVisible())
        return;
    if (m_delegate)
        m_delegate->popoverWillClose(this);
    if (m_animates && m_animationType != 1)
        m_popoverWindow->dismissAnimated();
    else
        closePopoverAndResetVariables();
}

void VoPopoverController::closePopoverAndResetVariables()
{
    QWidget *anchorWindow = m_positionView ? m_positionView->window() : nullptr;
    m_popoverWindow->hide();
    if (m_delegate)
        m_delegate->popoverDidClose(this);
    if (anchorWindow) {
        ChildWindows::removeChildWindow(anchorWindow, m_popoverWindow.get());
        anchorWindow->activateWindow();
        anchorWindow->raise();
    }
    m_popoverWindow->frameView()->setArrowDirection(0);
    removeObservers();
    m_positionView = nullptr;
    m_screenRect = QRectF();
    m_viewRect = QRectF();
    VoPopoverWindow *window = m_popoverWindow.get();
    QTimer::singleShot(0, window, [window] { window->setAlphaAnimationDelegate(nullptr); });
}

void VoPopoverController::animationDidStop(bool finished)
{
    (void)finished;
    const double alpha = m_popoverWindow->windowOpacity();
    if (alpha <= 0.001) {
        closePopoverAndResetVariables();
    } else if (alpha >= 0.999) {
        attachToAnchorWindow();
        if (m_delegate)
            m_delegate->popoverDidShow(this);
    }
}

// ---- observers ----------------------------------------------------------------

void VoPopoverController::addObservers(bool anchors)
{
    if (anchors && m_positionView) {
        m_positionView->installEventFilter(this);
        m_observingAnchor = true;
    }
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (m_closesWhenPopoverResignsKey) {
        m_popoverWindow->installEventFilter(this);
        m_observingKey = true;
        if (!m_closesWhenApplicationBecomesInactive && app) {
            m_appConnection =
                connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
                    if (state == Qt::ApplicationActive)
                        applicationDidBecomeActive();
                });
        }
    } else if (m_closesWhenApplicationBecomesInactive && app) {
        m_appConnection =
            connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    closePopover();
            });
    }
}

void VoPopoverController::removeObservers()
{
    if (m_observingAnchor && m_positionView)
        m_positionView->removeEventFilter(this);
    m_observingAnchor = false;
    if (m_observingKey && m_popoverWindow)
        m_popoverWindow->removeEventFilter(this);
    m_observingKey = false;
    QObject::disconnect(m_appConnection);
}

bool VoPopoverController::eventFilter(QObject *watched, QEvent *event)
{
    if (m_observingAnchor && watched == m_positionView &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        positionViewFrameChanged();
    } else if (m_observingKey && watched == m_popoverWindow.get() && event->type() == QEvent::WindowDeactivate) {
        // Looked at once the activation has settled, so the application's
        // own state is known by then.
        QTimer::singleShot(0, this, [this] {
            if (!m_popoverWindow->isActiveWindow())
                closePopover(true);
        });
    }
    return QObject::eventFilter(watched, event);
}

void VoPopoverController::positionViewFrameChanged()
{
    QWidget *view = m_positionView;
    const QWidget *superview = view ? view->parentWidget() : nullptr;
    if (!view || !superview || !containsRect(QRectF(superview->rect()), QRectF(view->geometry()))) {
        forceClosePopover();
        return;
    }
    m_screenRect = anchorScreenRect();
    m_popoverWindow->setCocoaFrame(popoverFrameWithSize(m_contentSize, arrowDirection()), false);
}

void VoPopoverController::applicationDidBecomeActive()
{
    if (!popoverIsVisible())
        return;
    QTimer::singleShot(0, this, &VoPopoverController::checkPopoverKeyWindowStatus);
}

void VoPopoverController::checkPopoverKeyWindowStatus()
{
    QWidget *anchorWindow = m_positionView ? m_positionView->window() : nullptr;
    if (!anchorWindow)
        return;
    bool key;
    if (auto *parent = qobject_cast<VoPopoverParentWindow *>(anchorWindow))
        key = parent->isReallyKeyWindow();
    else
        key = anchorWindow->isActiveWindow();
    if (key)
        m_popoverWindow->activateWindow();
}

// ---- application state ----------------------------------------------------------

bool VoPopoverController::isApplicationActive()
{
    if (applicationActiveProvider())
        return applicationActiveProvider()();
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void VoPopoverController::setApplicationActiveProvider(std::function<bool()> provider)
{
    applicationActiveProvider() = std::move(provider);
}
