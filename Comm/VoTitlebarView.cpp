#include "VoTitlebarView.h"

#include "CocoaGeometry.h"
#include "CocoaPath.h"
#include "GetColor.h"
#include "UserDefaults.h"
#include "VoTitlebarContainer.h"
#include "ZrAdditions.h"
#include "ZrImageWindow.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>

namespace {
constexpr double kCornerRadius = 8;
}

VoTitlebarView::VoTitlebarView(QWidget *parent) : QWidget(parent) { setObjectName(QStringLiteral("titleBarView")); }

QPainterPath VoTitlebarView::outline(const QRectF &r)
{
    // QRectF's top() and bottom() are minY and maxY in bottom-left coordinates.
    const double minX = r.left(), maxX = r.right(), minY = r.top(), maxY = r.bottom();
    QPainterPath path;
    path.moveTo(minX, minY);
    path.lineTo(minX, maxY - kCornerRadius);
    CocoaPath::appendArcFromPoint(path, QPointF(minX, maxY), QPointF(minX + kCornerRadius, maxY), kCornerRadius);
    path.lineTo(maxX - kCornerRadius, maxY);
    CocoaPath::appendArcFromPoint(path, QPointF(maxX, maxY), QPointF(maxX, maxY - kCornerRadius), kCornerRadius);
    path.lineTo(maxX, minY);
    path.closeSubpath();
    return path;
}

void VoTitlebarView::getTitleFrame(QRectF *frame, TitleAttributes *attributes, const ZrImageWindow *window) const
{
    const bool main = window && window->drawsAsMainWindow();
    TitleAttributes a;
    a.font = QGuiApplication::font();
    a.font.setPointSizeF(13);
    QColor color = window ? (main ? window->titleTextColor() : window->inactiveTitleTextColor()) : QColor();
    if (!color.isValid())
        color = QColor::fromRgbF(0, 0, 0, main ? 1.0f : 0.5f);
    a.color = color;
    std::optional<TitleShadow> shadow =
        window ? (main ? window->titleTextShadow() : window->inactiveTitleTextShadow()) : std::nullopt;
    if (!shadow)
        shadow = TitleShadow{getColor(38, 38, 38, 1), QPointF(0, -2), 8};
    a.shadow = *shadow;

    if (frame) {
        const QString title = window ? window->windowTitle() : QString();
        const QFontMetricsF metrics(a.font);
        const QSizeF size(metrics.horizontalAdvance(title), metrics.height());
        const QRectF bounds(0, 0, width(), height());
        // No document icon or versions button on these windows: centred.
        const double x = bounds.left() + bounds.width() / 2 - size.width() / 2;
        const double y = bounds.top() + bounds.height() - size.height();
        *frame = QRectF(QPointF(x, y), size);
    }
    if (attributes)
        *attributes = a;
}

void VoTitlebarView::paintEvent(QPaintEvent *)
{
    auto *w = qobject_cast<ZrImageWindow *>(window());
    const bool main = w && w->drawsAsMainWindow();
    const QRectF r(0, 0, width(), height());
    const QPainterPath path = outline(r);

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.save();
    p.setTransform(CocoaGeometry::toQtTransform(height()));
    if (w && w->titleBarDrawingBlock()) {
        w->titleBarDrawingBlock()(p, main, r, path);
    } else {
        p.setClipPath(path);
        // Both ends of the gradient are the same grey: a flat bar, active or not.
        const QColor grey = Vo_CGColorCreate(getColor(38, 38, 38, 1));
        QLinearGradient gradient(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
        gradient.setColorAt(0, grey);
        gradient.setColorAt(1, grey);
        p.fillPath(path, gradient);
    }
    p.restore();

    if (w && w->showsTitle() && !(w->isFullScreen() && !w->showsTitleInFullscreen())) {
        QRectF frame;
        TitleAttributes a;
        getTitleFrame(&frame, &a, w);
        const QRectF qtFrame = CocoaGeometry::toQt(frame, height());
        p.setFont(a.font);
        p.setPen(a.shadow.color);
        p.drawText(qtFrame.translated(a.shadow.offset.x(), -a.shadow.offset.y()), Qt::AlignLeft | Qt::AlignTop,
                   w->windowTitle());
        p.setPen(a.color);
        p.drawText(qtFrame, Qt::AlignLeft | Qt::AlignTop, w->windowTitle());
    }
}

void VoTitlebarView::countClick(const QMouseEvent *event)
{
    const qint64 now = qint64(event->timestamp());
    const QPoint pos = event->position().toPoint();
    const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    const int distance = QGuiApplication::styleHints()->mouseDoubleClickDistance();
    if (m_clickCount > 0 && now - m_lastPressMs <= interval && (pos - m_lastPressPos).manhattanLength() <= distance)
        ++m_clickCount;
    else
        m_clickCount = 1;
    m_lastPressMs = now;
    m_lastPressPos = pos;
}

void VoTitlebarView::mousePressEvent(QMouseEvent *event)
{
    // Only the left button clicks; the others are no mouse-down of the window.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    countClick(event);
    if (auto *container = qobject_cast<VoTitlebarContainer *>(parentWidget()))
        container->endDragTracking();
    // The press goes on to the window; the drag goes on to the strip.
    if (auto *w = qobject_cast<ZrImageWindow *>(window()))
        w->mouseDown();
    event->accept();
}

void VoTitlebarView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Qt delivers the second press of a double click as this event alone:
    // it is that press, and counts as one.
    mousePressEvent(event);
}

void VoTitlebarView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    if (auto *container = qobject_cast<VoTitlebarContainer *>(parentWidget());
        container && container->endDragTracking())
        return;
    if (m_clickCount != 2)
        return;
    if (!Platform::UserDefaults::standard().boolForKey(QStringLiteral("AppleMiniaturizeOnDoubleClick")))
        return;
    if (auto *w = qobject_cast<ZrImageWindow *>(window()))
        w->miniaturize();
}
