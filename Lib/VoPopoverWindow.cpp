#include "VoPopoverWindow.h"

#include "Clock.h"
#include "CocoaGeometry.h"
#include "VoPopoverController.h"
#include "VoPopoverWindowFrame.h"
#include "WindowShadow.h"

#include <QKeyEvent>
#include <QLabel>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>

namespace {
QRect toPixels(const QRectF &r) { return QRect(qRound(r.x()), qRound(r.y()), qRound(r.width()), qRound(r.height())); }
QRect screenRectToQt(const QRectF &cocoa)
{
    return toPixels(CocoaGeometry::toQt(cocoa, CocoaGeometry::screenHeight()));
}
// The picture that grows into the popover: its shadow is the popover's
// rounded body at every size of the animation, stretched, never blurred anew.
class ZoomWindow : public QLabel, public ShadowCaster {
public:
    explicit ZoomWindow(double cornerRadius)
        : QLabel(nullptr, Qt::Tool | Qt::FramelessWindowHint), m_cornerRadius(cornerRadius)
    {
    }
    Outline shadowOutline() const override { return RoundedRect{m_cornerRadius, m_cornerRadius}; }

private:
    double m_cornerRadius;
};
} // namespace

ShadowCaster::Outline VoPopoverWindow::shadowOutline() const
{
    return QTransform(1, 0, 0, -1, 0, height()).map(m_frameView->popoverBezierPathWithRect(QRectF(rect())));
}

VoPopoverWindow::VoPopoverWindow(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setObjectName(QStringLiteral("VoPopoverWindow"));
    WindowShadow::setWindowHasShadow(this, true);
    // The frame view exists from the start, so the controller's first settings land in it.
    m_frameView = new VoPopoverWindowFrame(this);
    m_frameView->setGeometry(rect());
    m_alphaAnimation = new QPropertyAnimation(this, "windowOpacity", this);
    connect(m_alphaAnimation, &QPropertyAnimation::finished, this, [this] {
        if (m_alphaAnimationDelegate)
            m_alphaAnimationDelegate->animationDidStop(true);
    });
}

VoPopoverWindow::~VoPopoverWindow()
{
    // Animations still running report nothing once the window is going.
    for (QAbstractAnimation *a : findChildren<QAbstractAnimation *>()) {
        a->disconnect(this);
        a->stop();
    }
    m_zoomWindow.reset();
    // The content view belongs to the caller.
    if (m_popoverContentView && m_popoverContentView->parentWidget() == m_frameView) {
        m_popoverContentView->hide();
        m_popoverContentView->setParent(nullptr);
    }
}

int VoPopoverWindow::animationDurationMs() { return Platform::Clock::realMs(0.25); }

QRectF VoPopoverWindow::frameRectForContentRect(const QRectF &content) const
{
    const double a = m_frameView->arrowSize().height();
    return content.adjusted(-a, -a, a, a);
}

QRectF VoPopoverWindow::contentRectForFrameRect(const QRectF &frame) const
{
    const double a = m_frameView->arrowSize().height();
    return QRectF(QPointF(0, 0), frame.size()).adjusted(a, a, -a, -a);
}

bool VoPopoverWindow::isVisible() const { return QWidget::isVisible() || (m_zoomWindow && m_zoomWindow->isVisible()); }

QWidget *VoPopoverWindow::zoomWindow() const { return m_zoomWindow.get(); }

QRectF VoPopoverWindow::cocoaFrame() const
{
    return CocoaGeometry::toCocoa(QRectF(geometry()), CocoaGeometry::screenHeight());
}

void VoPopoverWindow::setCocoaFrame(const QRectF &frame, bool animate)
{
    const QRect target = screenRectToQt(frame);
    if (!animate || !QWidget::isVisible()) {
        setGeometry(target);
        return;
    }
    auto *a = new QPropertyAnimation(this, "geometry", this);
    a->setDuration(animationDurationMs());
    a->setEndValue(target);
    a->start(QAbstractAnimation::DeleteWhenStopped);
}

void VoPopoverWindow::setPopoverContentView(QWidget *view)
{
    if (view == m_popoverContentView)
        return;
    const QRectF bounds(0, 0, width(), height());
    if (m_popoverContentView && m_popoverContentView->parentWidget() == m_frameView) {
        m_popoverContentView->hide();
        m_popoverContentView->setParent(nullptr);
    }
    m_popoverContentView = view;
    if (!view)
        return;
    const QRectF content = contentRectForFrameRect(bounds);
    if (m_popoverController) {
        m_frameView->setColor(m_popoverController->color());
        m_frameView->setCornerRadius(m_popoverController->cornerRadius());
        m_frameView->setArrowSize(m_popoverController->arrowSize());
    }
    view->setParent(m_frameView);
    view->setGeometry(toPixels(CocoaGeometry::toQt(content, bounds.height())));
    view->show();
}

void VoPopoverWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_frameView->setGeometry(rect());
    // The content view follows the window on both axes.
    if (m_popoverContentView && m_popoverContentView->parentWidget() == m_frameView) {
        const QRectF content = contentRectForFrameRect(QRectF(0, 0, width(), height()));
        m_popoverContentView->setGeometry(toPixels(CocoaGeometry::toQt(content, height())));
    }
}

void VoPopoverWindow::animateAlpha(QWidget *window, double to)
{
    if (window == this) {
        m_alphaAnimation->stop();
        m_alphaAnimation->setDuration(animationDurationMs());
        m_alphaAnimation->setStartValue(windowOpacity());
        m_alphaAnimation->setEndValue(to);
        m_alphaAnimation->start();
        return;
    }
    auto *a = new QPropertyAnimation(window, "windowOpacity", window);
    a->setDuration(animationDurationMs());
    a->setEndValue(to);
    a->start(QAbstractAnimation::DeleteWhenStopped);
}

void VoPopoverWindow::presentAnimated()
{
    if (isVisible())
        return;
    const int type = m_popoverController ? m_popoverController->animationType() : 0;
    if (type == 0)
        presentWithPopAnimation();
    else if (type == 1 || type == 3)
        presentWithFadeAnimation();
}

void VoPopoverWindow::presentWithFadeAnimation()
{
    setWindowOpacity(0);
    show();
    raise();
    activateWindow();
    animateAlpha(this, 1);
}

QLabel *VoPopoverWindow::zoomWindowWithRect(const QRectF &rect)
{
    // A picture of the popover as it will look, drawn while it is still hidden.
    const QPixmap snapshot = m_frameView->grab();
    auto *zoom = new ZoomWindow(m_frameView->cornerRadius());
    zoom->setObjectName(QStringLiteral("zoomWindow"));
    zoom->setAttribute(Qt::WA_TranslucentBackground);
    zoom->setAttribute(Qt::WA_ShowWithoutActivating);
    zoom->setScaledContents(true);
    zoom->setPixmap(snapshot);
    zoom->setGeometry(screenRectToQt(rect));
    WindowShadow::setWindowHasShadow(zoom, WindowShadow::of(this) != nullptr);
    return zoom;
}

void VoPopoverWindow::presentWithPopAnimation()
{
    const QRectF end = cocoaFrame();
    if (!m_popoverController) {
        presentWithFadeAnimation();
        return;
    }
    const unsigned direction = m_frameView->arrowDirection();
    const QRectF start = m_popoverController->popoverFrameWithSize(QSizeF(20, 20), direction);
    const QRectF overshoot =
        m_popoverController->popoverFrameWithSize(QSizeF(end.width() * 1.2, end.height() * 1.2), direction);
    m_zoomWindow.reset(zoomWindowWithRect(start));
    m_zoomWindow->setWindowOpacity(0);
    m_zoomWindow->show();
    m_zoomWindow->raise();

    auto *group = new QParallelAnimationGroup(this);
    auto *frame = new QPropertyAnimation(m_zoomWindow.get(), "geometry", group);
    frame->setDuration(animationDurationMs());
    frame->setStartValue(screenRectToQt(start));
    frame->setKeyValueAt(0.5, screenRectToQt(overshoot));
    frame->setEndValue(screenRectToQt(end));
    auto *alpha = new QPropertyAnimation(m_zoomWindow.get(), "windowOpacity", group);
    alpha->setDuration(animationDurationMs());
    alpha->setStartValue(0.0);
    alpha->setEndValue(1.0);
    group->addAnimation(frame);
    group->addAnimation(alpha);
    connect(group, &QAbstractAnimation::finished, this, [this] { animationDidStop(true); });
    m_popAnimation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

void VoPopoverWindow::animationDidStop(bool finished)
{
    setWindowOpacity(1);
    show();
    raise();
    activateWindow();
    if (m_zoomWindow) {
        m_zoomWindow->close();
        m_zoomWindow.reset();
    }
    if (m_alphaAnimationDelegate)
        m_alphaAnimationDelegate->animationDidStop(finished);
}

void VoPopoverWindow::dismissAnimated()
{
    if (m_popAnimation) {
        // Closed while it still opens: the zoom picture goes at once and the
        // zoom's end no longer shows the window.
        m_popAnimation->disconnect(this);
        m_popAnimation->stop();
        if (m_zoomWindow) {
            m_zoomWindow->close();
            m_zoomWindow.reset();
        }
    }
    if (m_zoomWindow)
        animateAlpha(m_zoomWindow.get(), 0);
    animateAlpha(this, 0);
}

void VoPopoverWindow::cancelOperation()
{
    if (m_popoverController && m_popoverController->closesWhenEscapeKeyPressed())
        m_popoverController->closePopover();
}

void VoPopoverWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        cancelOperation();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
