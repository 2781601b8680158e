#include "AttachedWindow.h"

#include "App.h"
#include "CocoaGeometry.h"
#include "WindowShadow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <type_traits>

namespace {

// The main screen's user-space scale factor: Qt already works in device-
// independent points.
double userSpaceScaleFactor() { return 1.0; }

QRect toPixels(const QRectF &r) { return QRect(qRound(r.x()), qRound(r.y()), qRound(r.width()), qRound(r.height())); }

} // namespace

template <class WindowBase>
AttachedWindow<WindowBase>::AttachedWindow(QWidget *view, const QPointF &point, QWidget *window, int side,
                                           float distance, const AttachedWindowDefaults &d)
    : WindowBase(nullptr, Qt::Tool | Qt::FramelessWindowHint)
{
    // The window starts with the view's size as its content.
    this->setAttribute(Qt::WA_TranslucentBackground);
    this->resize(view->size());
    m_view = view;
    m_window = window ? window->window() : nullptr;
    m_point = point;
    m_side = side;
    m_distance = distance;

    m_movable = d.movableByWindowBackground;
    m_hasShadow = d.hasShadow;
    if constexpr (std::is_base_of_v<PopBaseWindow, WindowBase>)
        this->setHasShadow(d.hasShadow);
    else
        WindowShadow::setWindowHasShadow(this, d.hasShadow);
    m_usesOptimizedDrawing = d.usesOptimizedDrawing;
    this->setWindowOpacity(1.0);

    m_backgroundColor = d.backgroundColor;
    m_borderColor = d.borderColor;
    m_borderWidth = d.borderWidth;
    m_viewMargin = d.viewMargin;
    m_arrowBaseWidth = d.arrowBaseWidth;
    m_arrowHeight = d.arrowHeight;
    m_hasArrow = d.hasArrow ? 1 : 0;
    m_cornerRadius = d.cornerRadius;
    m_drawsRoundCornerBesideArrow = d.drawsRoundCornerBesideArrow ? 1 : 0;
    m_outlineOnWholeBody = d.outlineOnWholeBody;
    m_stopsModalOnClose = d.stopsModalOnClose;
    m_resizing = false;
}

template <class WindowBase>
void AttachedWindow<WindowBase>::finishCreation()
{
    addBackgroundViews();
    if (m_side == AttachedWindowGeometry::AutomaticSide)
        m_side = bestSideForAutomaticPosition();
    updateGeometry();
    updateBackground();
    if (m_view) {
        m_view->setParent(this);
        m_view->setGeometry(toPixels(CocoaGeometry::toQt(m_viewFrame, m_frame.height())));
        m_view->show();
    }
}

template <class WindowBase>
AttachedWindow<WindowBase>::~AttachedWindow()
{
    // The hosted view belongs to its controller, not to the window.
    if (m_view && m_view->parentWidget() == this) {
        m_view->hide();
        m_view->setParent(nullptr);
    }
}

template <class WindowBase>
AttachedWindowMetrics AttachedWindow<WindowBase>::metrics() const
{
    AttachedWindowMetrics m;
    m.viewMargin = m_viewMargin;
    m.arrowBaseWidth = m_arrowBaseWidth;
    m.arrowHeight = m_arrowHeight;
    m.cornerRadius = m_cornerRadius;
    m.hasArrow = m_hasArrow != 0;
    m.drawsRoundCornerBesideArrow = m_drawsRoundCornerBesideArrow != 0;
    m.outlineOnWholeBody = m_outlineOnWholeBody;
    m.scale = userSpaceScaleFactor();
    return m;
}

template <class WindowBase>
QPainterPath AttachedWindow<WindowBase>::backgroundPath() const
{
    return AttachedWindowGeometry::backgroundPath(m_viewFrame, m_side, metrics());
}

template <class WindowBase>
QPointF AttachedWindow<WindowBase>::screenPoint() const
{
    if (!m_window)
        return m_point;
    const QRectF frame = CocoaGeometry::toCocoa(QRectF(m_window->frameGeometry()), CocoaGeometry::screenHeight());
    return frame.topLeft() + m_point;
}

template <class WindowBase>
int AttachedWindow<WindowBase>::bestSideForAutomaticPosition() const
{
    QScreen *screen = (m_window && m_window->screen()) ? m_window->screen() : QGuiApplication::primaryScreen();
    QRectF visible;
    if (screen)
        visible = CocoaGeometry::toCocoa(QRectF(screen->availableGeometry()), CocoaGeometry::screenHeight());
    const QRectF parent =
        m_window ? CocoaGeometry::toCocoa(QRectF(m_window->frameGeometry()), CocoaGeometry::screenHeight()) : visible;
    const QSizeF viewSize = m_view ? QSizeF(m_view->size()) : QSizeF();
    return AttachedWindowGeometry::bestSide(viewSize, screenPoint(), m_distance, metrics(), visible, parent);
}

template <class WindowBase>
void AttachedWindow<WindowBase>::updateGeometry()
{
    const QSizeF viewSize = m_view ? QSizeF(m_view->size()) : QSizeF();
    const auto layout = AttachedWindowGeometry::layout(viewSize, screenPoint(), m_side, m_distance, metrics());
    m_frame = layout.frame;
    m_viewFrame = layout.viewFrame;
    this->setGeometry(toPixels(CocoaGeometry::toQt(m_frame, CocoaGeometry::screenHeight())));
    if (m_view && m_view->parentWidget() == this)
        m_view->setGeometry(toPixels(CocoaGeometry::toQt(m_viewFrame, m_frame.height())));
}

template <class WindowBase>
void AttachedWindow<WindowBase>::renderBackground()
{
    // As sharp as the screen the window is on: the picture has that screen's
    // pixels, and its device pixel ratio keeps it at the window's size.
    const qreal ratio = this->devicePixelRatioF();
    const QSize size = toPixels(QRectF(QPointF(), m_frame.size())).size();
    QImage image(size.expandedTo(QSize(1, 1)) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setTransform(CocoaGeometry::toQtTransform(size.height()));
        const QPainterPath path = backgroundPath();
        p.save();
        p.setClipPath(path);
        QBrush fill = m_backgroundColor;
        if (fill.style() == Qt::TexturePattern)
            fill.setTransform(QTransform(1, 0, 0, -1, 0, 0)); // keep the image upright, anchored at the bottom
        p.fillPath(path, fill);
        if (m_borderWidth > 0) {
            // Twice the width, half of it clipped away: the border lies inside the outline.
            QPen pen(m_borderColor, m_borderWidth * 2 * userSpaceScaleFactor());
            pen.setJoinStyle(Qt::RoundJoin);
            p.strokePath(path, pen);
        }
        p.restore();
    }
    m_background = image;
}

template <class WindowBase>
void AttachedWindow<WindowBase>::updateBackground()
{
    renderBackground();
    ++m_backgroundUpdates;
    // The outline may have changed without a change of size (another side).
    WindowShadow::invalidate(this);
    if (this->isVisible()) {
        this->update();
        if constexpr (std::is_base_of_v<PopBaseWindow, WindowBase>)
            this->invalidateShadow();
    }
}

template <class WindowBase>
ShadowCaster::Outline AttachedWindow<WindowBase>::shadowOutline() const
{
    return QTransform(1, 0, 0, -1, 0, m_frame.height()).map(backgroundPath());
}

template <class WindowBase>
void AttachedWindow<WindowBase>::redisplay()
{
    if (m_resizing)
        return;
    m_resizing = true;
    const bool enabled = this->updatesEnabled();
    this->setUpdatesEnabled(false);
    updateGeometry();
    updateBackground();
    this->setUpdatesEnabled(enabled);
    m_resizing = false;
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setPoint(const QPointF &point, int side)
{
    m_point = point;
    m_side = side;
    const bool enabled = this->updatesEnabled();
    this->setUpdatesEnabled(false);
    updateGeometry();
    updateBackground();
    this->setUpdatesEnabled(enabled);
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setFrameOrigin(const QPointF &origin)
{
    m_frame.moveTopLeft(origin); // topLeft() of a bottom-left rectangle is its origin
    this->move(toPixels(CocoaGeometry::toQt(m_frame, CocoaGeometry::screenHeight())).topLeft());
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setBackgroundColor(const QBrush &color)
{
    if (color == m_backgroundColor)
        return;
    m_backgroundColor = color;
    updateBackground();
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setBorderColor(const QColor &color)
{
    if (color == m_borderColor)
        return;
    m_borderColor = color;
    updateBackground();
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setBorderWidth(float value)
{
    if (value == m_borderWidth)
        return;
    m_borderWidth = std::min(value, m_viewMargin);
    updateBackground();
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setViewMargin(float value)
{
    if (value == m_viewMargin)
        return;
    m_viewMargin = std::max(value, 0.0f);
    setCornerRadius(m_cornerRadius);
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setCornerRadius(float value)
{
    const float shorter = float(std::min(m_viewFrame.width(), m_viewFrame.height()));
    const float limit = (shorter + 2 * m_viewMargin - m_arrowBaseWidth) * 0.5f;
    m_cornerRadius = std::max(0.0f, std::min(value, limit));
    setArrowBaseWidth(m_arrowBaseWidth);
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setArrowBaseWidth(float value)
{
    const float shorter = float(std::min(m_viewFrame.width(), m_viewFrame.height()));
    float limit = shorter + 2 * m_viewMargin - m_cornerRadius;
    if (m_drawsRoundCornerBesideArrow)
        limit -= m_cornerRadius;
    m_arrowBaseWidth = std::min(value, limit);
    redisplay();
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setArrowHeight(float value)
{
    if (value == m_arrowHeight)
        return;
    m_arrowHeight = value;
    redisplay();
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setHasArrow(float value)
{
    const auto stored = static_cast<signed char>(static_cast<int>(value));
    if (stored == m_hasArrow)
        return;
    m_hasArrow = stored;
    updateBackground();
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setDrawsRoundCornerBesideArrow(float value)
{
    const auto stored = static_cast<signed char>(static_cast<int>(value));
    if (stored == m_drawsRoundCornerBesideArrow)
        return;
    m_drawsRoundCornerBesideArrow = stored;
    redisplay();
}

template <class WindowBase>
void AttachedWindow<WindowBase>::setBackgroundImage(const QPixmap &image)
{
    if (image.isNull())
        return;
    setBackgroundColor(QBrush(image));
}

template <class WindowBase>
void AttachedWindow<WindowBase>::performClose()
{
    if (m_window) {
        m_window->close();
        return;
    }
    this->close();
}

template <class WindowBase>
void AttachedWindow<WindowBase>::windowWillClose()
{
    Platform::App::stopModal();
}

template <class WindowBase>
void AttachedWindow<WindowBase>::paintEvent(QPaintEvent *)
{
    // Moved to a screen of another pixel density: drawn again for it, here,
    // with no further paint.
    if (m_background.devicePixelRatio() != this->devicePixelRatioF())
        renderBackground();
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, m_background);
}

template <class WindowBase>
void AttachedWindow<WindowBase>::resizeEvent(QResizeEvent *event)
{
    WindowBase::resizeEvent(event);
    // Only a real change of size: the resize that Qt delivers when a window
    // is first shown carries the size the geometry update gave it.
    if (event->size() != toPixels(QRectF(QPointF(), m_frame.size())).size())
        redisplay();
}

template <class WindowBase>
void AttachedWindow<WindowBase>::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !this->isActiveWindow())
        windowDidResignKey();
    WindowBase::changeEvent(event);
}

template <class WindowBase>
void AttachedWindow<WindowBase>::closeEvent(QCloseEvent *event)
{
    if (m_stopsModalOnClose)
        windowWillClose();
    WindowBase::closeEvent(event);
}

template <class WindowBase>
void AttachedWindow<WindowBase>::enterEvent(QEnterEvent *event)
{
    pointerEntered();
    WindowBase::enterEvent(event);
}

template <class WindowBase>
void AttachedWindow<WindowBase>::leaveEvent(QEvent *event)
{
    pointerExited();
    WindowBase::leaveEvent(event);
}

template <class WindowBase>
void AttachedWindow<WindowBase>::mousePressEvent(QMouseEvent *event)
{
    if (m_movable && event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - this->pos();
        event->accept();
        return;
    }
    WindowBase::mousePressEvent(event);
}

template <class WindowBase>
void AttachedWindow<WindowBase>::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging) {
        this->move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    WindowBase::mouseMoveEvent(event);
}

template <class WindowBase>
void AttachedWindow<WindowBase>::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragging) {
        m_dragging = false;
        event->accept();
        return;
    }
    WindowBase::mouseReleaseEvent(event);
}

template class AttachedWindow<QWidget>;
template class AttachedWindow<PopBaseWindow>;
