#include "WindowShadow.h"

#include "WindowCompositing.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWindow>
#include <cmath>

namespace {

using RoundedRect = ShadowCaster::RoundedRect;

QHash<const QWidget *, WindowShadow *> &shadows()
{
    static QHash<const QWidget *, WindowShadow *> map;
    return map;
}

bool showsShadow(const QWidget *window)
{
    return window->isVisible() &&
           !(window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

int s_blurs = 0;

// How far a corner's part of the shadow reaches along the window's edges:
// its radius, the blur and the drop. Beyond it an edge's shadow is the same
// all along, so one column or row of it serves the whole edge.
int cornerReach(const RoundedRect &r)
{
    return int(std::ceil(std::max(r.topRadius, r.bottomRadius) + WindowShadow::BlurRadius + WindowShadow::OffsetY)) + 2;
}

bool fitsStretched(const RoundedRect &r, const QSize &size)
{
    const int smallest = 2 * cornerReach(r) + 1;
    return size.width() >= smallest && size.height() >= smallest;
}

QPainterPath roundedRectPath(const RoundedRect &r, const QSizeF &size)
{
    const double w = size.width(), h = size.height();
    const double t = std::min({r.topRadius, w / 2, h / 2}), b = std::min({r.bottomRadius, w / 2, h / 2});
    QPainterPath path;
    path.moveTo(0, t);
    if (t > 0)
        path.arcTo(QRectF(0, 0, 2 * t, 2 * t), 180, -90);
    path.lineTo(w - t, 0);
    if (t > 0)
        path.arcTo(QRectF(w - 2 * t, 0, 2 * t, 2 * t), 90, -90);
    path.lineTo(w, h - b);
    if (b > 0)
        path.arcTo(QRectF(w - 2 * b, h - 2 * b, 2 * b, 2 * b), 0, -90);
    path.lineTo(b, h);
    if (b > 0)
        path.arcTo(QRectF(0, h - 2 * b, 2 * b, 2 * b), 270, -90);
    path.closeSubpath();
    return path;
}

// The shadow of a window of `size` whose opaque area is `outline`: the
// outline filled, blurred, dropped a little and cut out again where the
// window lies (there the shadow would only darken what the window lets
// through).
QImage blurredOutline(const QPainterPath &outline, const QSize &size)
{
    ++s_blurs;
    const int m = WindowShadow::Margin;
    const QSize out(size + QSize(2 * m, 2 * m));
    QImage image(out, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (size.isEmpty())
        return image;
    QImage silhouette(size, QImage::Format_ARGB32_Premultiplied);
    silhouette.fill(Qt::transparent);
    {
        QPainter p(&silhouette);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(outline, Qt::black);
    }
    QGraphicsScene scene;
    QGraphicsPixmapItem *item = scene.addPixmap(QPixmap::fromImage(silhouette));
    auto *effect = new QGraphicsDropShadowEffect;
    effect->setBlurRadius(WindowShadow::BlurRadius);
    effect->setOffset(0, WindowShadow::OffsetY);
    effect->setColor(QColor(0, 0, 0, WindowShadow::Alpha));
    item->setGraphicsEffect(effect);
    QPainter p(&image);
    scene.render(&p, QRectF(QPointF(), out), QRectF(QPointF(-m, -m), out));
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    p.drawImage(m, m, silhouette);
    return image;
}

// The shadow of the smallest window with these corners, made once.
const QImage &stretchableShape(const RoundedRect &r)
{
    struct Entry {
        RoundedRect corners;
        QImage image;
    };
    static QList<Entry> made;
    for (const Entry &e : made) {
        if (e.corners.topRadius == r.topRadius && e.corners.bottomRadius == r.bottomRadius)
            return e.image;
    }
    const int side = 2 * cornerReach(r) + 1;
    made.append({r, blurredOutline(roundedRectPath(r, QSizeF(side, side)), QSize(side, side))});
    return made.last().image;
}

// Shadows of other outlines, kept by shape and size (the last few).
QImage cachedOutline(const QPainterPath &outline, const QSize &size)
{
    struct Entry {
        QPainterPath outline;
        QSize size;
        QImage image;
    };
    static QList<Entry> kept;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (kept[i].size == size && kept[i].outline == outline) {
            kept.move(i, 0);
            return kept.first().image;
        }
    }
    kept.prepend({outline, size, blurredOutline(outline, size)});
    if (kept.size() > 8)
        kept.removeLast();
    return kept.first().image;
}

// The corners of `shape` as they are, its edges' middle rows and columns
// stretched along a shadow of `target` size.
void drawStretched(QPainter &p, const QImage &shape, const QSize &target, int reach)
{
    const int c = WindowShadow::Margin + reach;
    const int s = shape.width();
    const int w = target.width(), h = target.height();
    p.drawImage(QRect(0, 0, c, c), shape, QRect(0, 0, c, c));
    p.drawImage(QRect(w - c, 0, c, c), shape, QRect(s - c, 0, c, c));
    p.drawImage(QRect(0, h - c, c, c), shape, QRect(0, s - c, c, c));
    p.drawImage(QRect(w - c, h - c, c, c), shape, QRect(s - c, s - c, c, c));
    p.drawImage(QRect(c, 0, w - 2 * c, c), shape, QRect(c, 0, 1, c));
    p.drawImage(QRect(c, h - c, w - 2 * c, c), shape, QRect(c, s - c, 1, c));
    p.drawImage(QRect(0, c, c, h - 2 * c), shape, QRect(0, c, c, 1));
    p.drawImage(QRect(w - c, c, c, h - 2 * c), shape, QRect(s - c, c, c, 1));
}

ShadowCaster::Outline outlineOf(const QWidget *window)
{
    if (const auto *caster = dynamic_cast<const ShadowCaster *>(window))
        return caster->shadowOutline();
    return RoundedRect{};
}

} // namespace

WindowShadow::WindowShadow(QWidget *window)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint | Qt::NoDropShadowWindowHint |
                           Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus),
      m_window(window)
{
    setObjectName(QStringLiteral("WindowShadow"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::NoFocus);
    shadows().insert(window, this);
    window->installEventFilter(this);
    // The window's destruction takes its shadow with it.
    connect(window, &QObject::destroyed, this, [this] { delete this; });
    follow();
}

WindowShadow::~WindowShadow()
{
    disconnect(m_opacityConnection);
    if (QWindow *handle = windowHandle())
        Platform::WindowCompositing::release(handle);
    for (auto it = shadows().begin(); it != shadows().end(); ++it) {
        if (it.value() == this) {
            shadows().erase(it);
            break;
        }
    }
    if (m_window)
        m_window->removeEventFilter(this);
}

void WindowShadow::setWindowHasShadow(QWidget *window, bool on)
{
    if (!window)
        return;
    WindowShadow *shadow = of(window);
    if (on && !shadow && Platform::WindowCompositing::isActive())
        new WindowShadow(window);
    else if (!on)
        delete shadow;
}

WindowShadow *WindowShadow::of(const QWidget *window) { return shadows().value(window, nullptr); }

void WindowShadow::invalidate(const QWidget *window)
{
    if (WindowShadow *shadow = of(window)) {
        shadow->m_dirty = true;
        if (shadow->isVisible())
            shadow->scheduleRedraw();
    }
}

int WindowShadow::blurs() { return s_blurs; }

QImage WindowShadow::shadowImage(const ShadowCaster::Outline &outline, const QSize &size)
{
    if (const auto *r = std::get_if<RoundedRect>(&outline); r && fitsStretched(*r, size)) {
        QImage out(size + QSize(2 * Margin, 2 * Margin), QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        QPainter p(&out);
        drawStretched(p, stretchableShape(*r), out.size(), cornerReach(*r));
        return out;
    }
    const QPainterPath path = std::holds_alternative<QPainterPath>(outline)
                                  ? std::get<QPainterPath>(outline)
                                  : roundedRectPath(std::get<RoundedRect>(outline), QSizeF(size));
    return cachedOutline(path, size);
}

QImage WindowShadow::image() const
{
    QImage out(size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    draw(p);
    return out;
}

void WindowShadow::follow()
{
    if (!m_window)
        return;
    const QRect frame = m_window->geometry();
    setGeometry(frame.adjusted(-Margin, -Margin, Margin, Margin));
    if (!showsShadow(m_window)) {
        hide();
        return;
    }
    if (QWindow *handle = m_window->windowHandle(); handle && !m_opacityConnection) {
        m_opacityConnection = connect(handle, &QWindow::opacityChanged, this, &QWidget::setWindowOpacity);
    }
    setWindowOpacity(m_window->windowOpacity());
    if (!isVisible()) {
        // Drawn before it first shows; later changes are drawn together once
        // the events that caused them are through.
        if (m_dirty)
            redraw();
        // Stacked below its window before it is mapped, and kept there.
        winId();
        m_window->winId();
        Platform::WindowCompositing::keepDirectlyBelow(windowHandle(), m_window->windowHandle());
        show();
    }
}

void WindowShadow::scheduleRedraw()
{
    if (m_redrawPosted)
        return;
    m_redrawPosted = true;
    QTimer::singleShot(0, this, [this] {
        m_redrawPosted = false;
        if (m_dirty && isVisible())
            redraw();
    });
}

void WindowShadow::redraw()
{
    if (!m_window)
        return;
    m_outline = outlineOf(m_window);
    const QSize windowSize = m_window->size();
    const auto *r = std::get_if<RoundedRect>(&m_outline);
    m_stretched = r && fitsStretched(*r, windowSize);
    m_image = m_stretched ? stretchableShape(*r) : shadowImage(m_outline, windowSize);
    m_dirty = false;
    ++m_redraws;
    update();
}

void WindowShadow::draw(QPainter &p) const
{
    if (m_stretched) {
        drawStretched(p, m_image, size(), cornerReach(std::get<RoundedRect>(m_outline)));
        return;
    }
    p.drawImage(0, 0, m_image);
}

bool WindowShadow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Resize:
            // A stretched shape fits every size it fits at all: only the
            // drawing follows.
            if (!m_stretched || !fitsStretched(std::get<RoundedRect>(m_outline), m_window->size())) {
                m_dirty = true;
                if (isVisible())
                    scheduleRedraw();
            }
            follow();
            break;
        case QEvent::Move:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowStateChange:
            follow();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void WindowShadow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    draw(p);
}
