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

namespace {

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

} // namespace

WindowShadow::WindowShadow(QWidget *window)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus),
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

QImage WindowShadow::shadowImage(const QImage &window)
{
    const QSize size = window.size() + QSize(2 * Margin, 2 * Margin);
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    if (window.isNull())
        return out;
    // The window's silhouette: black wherever it draws, as opaque as it draws.
    QImage silhouette(window.size(), QImage::Format_ARGB32_Premultiplied);
    silhouette.fill(Qt::black);
    {
        QPainter p(&silhouette);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, window);
    }
    QGraphicsScene scene;
    QGraphicsPixmapItem *item = scene.addPixmap(QPixmap::fromImage(silhouette));
    auto *effect = new QGraphicsDropShadowEffect;
    effect->setBlurRadius(BlurRadius);
    effect->setOffset(0, OffsetY);
    effect->setColor(QColor(0, 0, 0, Alpha));
    item->setGraphicsEffect(effect);
    QPainter p(&out);
    scene.render(&p, QRectF(QPointF(), size), QRectF(QPointF(-Margin, -Margin), size));
    // Under the window the shadow would only darken what the window lets through.
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    p.drawImage(Margin, Margin, silhouette);
    return out;
}

void WindowShadow::follow()
{
    if (!m_window)
        return;
    const QRect frame = m_window->geometry();
    setGeometry(frame.adjusted(-Margin, -Margin, Margin, Margin));
    if (m_image.size() != size())
        m_dirty = true;
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
        show();
        if (windowHandle() && m_window->windowHandle())
            windowHandle()->setTransientParent(m_window->windowHandle());
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
    QImage picture = m_window->grab().toImage();
    if (picture.devicePixelRatio() != 1.0)
        picture = picture.scaled(m_window->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_image = shadowImage(picture.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    m_dirty = false;
    ++m_redraws;
    update();
}

bool WindowShadow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Resize:
            m_dirty = true;
            if (isVisible())
                scheduleRedraw();
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
    p.drawImage(0, 0, m_image);
}
