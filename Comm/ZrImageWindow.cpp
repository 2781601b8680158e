#include "ZrImageWindow.h"

#include "ChildWindows.h"
#include "CocoaGeometry.h"
#include "CocoaPath.h"
#include "GetColor.h"
#include "StandardWindowButton.h"
#include "VoTitlebarContainer.h"
#include "VoTitlebarView.h"
#include "WindowCompositing.h"
#include "WindowShadow.h"
#include "ZrImageWindowDelegate.h"
#include "ZrImageWindowDelegateProxy.h"
#include "ZrWindowButton.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindowStateChangeEvent>
#include <cmath>

namespace {

// The platform frame's own title bar, which the window's frame adds above
// the content rectangle it is created with.
constexpr double kPlatformTitleBarHeight = 22;

// Computed once per process; 0 means not yet.
double s_minimumTitleBarHeight = 0;
double s_defaultLeftMargin = 0;
double s_defaultSeparation = 0;

QRect toPixels(const QRectF &r) { return QRect(qRound(r.x()), qRound(r.y()), qRound(r.width()), qRound(r.height())); }

} // namespace

ZrImageWindow::ZrImageWindow(const QSize &contentSize, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    initWindow(contentSize);
    m_appearanceName = QStringLiteral("NSAppearanceNameAqua");
}

ZrImageWindow::ZrImageWindow(const QSize &contentSize, QScreen *screen)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    if (screen)
        setScreen(screen);
    initWindow(contentSize);
}

ZrImageWindow::~ZrImageWindow()
{
    QObject::disconnect(m_appStateConnection);
    for (const auto &sheet : m_sheets) {
        if (sheet)
            ChildWindows::removeChildWindow(this, sheet);
    }
}

void ZrImageWindow::initWindow(const QSize &contentSize)
{
    // What the platform window gives: a frame around the content rectangle,
    // a content view filling that rectangle, and its standard buttons.
    resize(contentSize.width(), contentSize.height() + int(kPlatformTitleBarHeight));
    m_contentView = new QWidget(this);
    m_contentView->setObjectName(QStringLiteral("contentView"));
    setCocoaRectOf(m_contentView, contentRectForFrameRect(QRectF(0, 0, width(), height())));
    const double buttonY = height() - 3 - StandardWindowButton::Height;
    for (int kind = 0; kind < 3; ++kind) {
        auto *b = new StandardWindowButton(StandardWindowButton::Kind(kind), this);
        setCocoaRectOf(b, QRectF(7 + kind * 20, buttonY, StandardWindowButton::Width, StandardWindowButton::Height));
        m_standardButtons[kind] = b;
    }
    connect(m_standardButtons[0], &QAbstractButton::clicked, this, &ZrImageWindow::performClose);
    connect(m_standardButtons[1], &QAbstractButton::clicked, this, &ZrImageWindow::performMiniaturize);
    connect(m_standardButtons[2], &QAbstractButton::clicked, this, &ZrImageWindow::performZoom);
    // The full-screen button sits at the strip's right edge, as far in as
    // the close button on the left.
    auto *full = new StandardWindowButton(StandardWindowButton::FullScreenButton, this);
    setCocoaRectOf(full, QRectF(width() - 7 - StandardWindowButton::Width, buttonY, StandardWindowButton::Width,
                                StandardWindowButton::Height));
    m_standardButtons[3] = full;
    connect(full, &QAbstractButton::clicked, this, &ZrImageWindow::toggleFullScreen);

    setAttribute(Qt::WA_TranslucentBackground);
    setBackgroundColor(getColor(38, 38, 38, 1));
    m_movableByWindowBackground = true;
    WindowShadow::setWindowHasShadow(this, m_hasShadow);
    doInitialWindowSetup();
}

void ZrImageWindow::setHasShadow(bool shadow)
{
    m_hasShadow = shadow;
    WindowShadow::setWindowHasShadow(this, shadow);
}

void ZrImageWindow::doInitialWindowSetup()
{
    m_centerTrafficLightButtons = true;
    if (s_minimumTitleBarHeight == 0) {
        const QRectF frame(0, 0, width(), height());
        s_minimumTitleBarHeight = frame.height() - contentRectForFrameRect(frame).height();
    }
    m_titleBarHeight = m_cachedTitleBarHeight = s_minimumTitleBarHeight;
    if (s_defaultLeftMargin == 0)
        s_defaultLeftMargin = cocoaRectOf(buttonToLayout(StandardWindowButton::CloseButton)).x();
    m_trafficLightButtonsLeftMargin = s_defaultLeftMargin;
    m_delegateProxy = std::make_unique<ZrImageWindowDelegateProxy>();
    m_trafficLightButtonsTopMargin = 3;
    m_fullScreenButtonTopMargin = 3;
    if (s_defaultSeparation == 0) {
        const QRectF close = cocoaRectOf(buttonToLayout(StandardWindowButton::CloseButton));
        const QRectF mini = cocoaRectOf(buttonToLayout(StandardWindowButton::MiniaturizeButton));
        s_defaultSeparation = mini.x() - (close.x() + close.width());
    }
    m_trafficLightSeparation = s_defaultSeparation;
    // Resize, move, the end of a sheet, key changes and full screen arrive
    // as this window's own events; the application's activity as a signal.
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        m_appStateConnection = connect(app, &QGuiApplication::applicationStateChanged, this,
                                       [this](Qt::ApplicationState) { redisplay(); });
    }
    createTitlebarView();
    layoutTrafficLightsAndContent();
}

void ZrImageWindow::createTitlebarView()
{
    m_titleBarContainer = new VoTitlebarContainer(this);
    m_titleBarContainer->setGeometry(QRect());
    m_titleBarContainer->lower();
    m_titleBarContainer->show();
    auto *view = new VoTitlebarView;
    view->setGeometry(QRect());
    setTitleBarView(view);
}

QRectF ZrImageWindow::contentRectForFrameRect(const QRectF &frame)
{
    return QRectF(frame.x(), frame.y(), frame.width(), std::max(0.0, frame.height() - kPlatformTitleBarHeight));
}

QRectF ZrImageWindow::cocoaRectOf(const QWidget *child) const
{
    if (!child)
        return QRectF();
    return CocoaGeometry::toCocoa(QRectF(child->geometry()), height());
}

void ZrImageWindow::setCocoaRectOf(QWidget *child, const QRectF &rect) const
{
    if (child)
        child->setGeometry(toPixels(CocoaGeometry::toQt(rect, height())));
}

QRectF ZrImageWindow::cocoaFrame() const
{
    return CocoaGeometry::toCocoa(QRectF(frameGeometry()), CocoaGeometry::screenHeight());
}

// ---- settings --------------------------------------------------------------

void ZrImageWindow::setTitleBarHeight(double h)
{
    if (h == m_titleBarHeight)
        return;
    m_titleBarHeight = h;
    m_cachedTitleBarHeight = h;
    layoutTrafficLightsAndContent();
    redisplay();
}

void ZrImageWindow::setTrafficLightButtonsLeftMargin(double margin)
{
    if (margin == m_trafficLightButtonsLeftMargin)
        return;
    m_trafficLightButtonsLeftMargin = margin;
    layoutTrafficLightsAndContent();
    redisplay();
}

void ZrImageWindow::setTrafficLightSeparation(double separation)
{
    if (separation == m_trafficLightSeparation)
        return;
    m_trafficLightSeparation = separation;
    layoutTrafficLightsAndContent();
}

void ZrImageWindow::setFullScreenButtonRightMargin(double margin)
{
    if (margin == m_fullScreenButtonRightMargin)
        return;
    m_fullScreenButtonRightMargin = margin;
    m_setFullScreenButtonRightMargin = true;
    layoutTrafficLightsAndContent();
    redisplay();
}

void ZrImageWindow::setCenterTrafficLightButtons(bool center)
{
    if (center == m_centerTrafficLightButtons)
        return;
    m_centerTrafficLightButtons = center;
    layoutTrafficLightsAndContent();
}

void ZrImageWindow::setVerticalTrafficLightButtons(bool vertical)
{
    if (vertical == m_verticalTrafficLightButtons)
        return;
    m_verticalTrafficLightButtons = vertical;
    layoutTrafficLightsAndContent();
}

void ZrImageWindow::setCenterFullScreenButton(bool center)
{
    if (center == m_centerFullScreenButton)
        return;
    m_centerFullScreenButton = center;
    layoutTrafficLightsAndContent();
}

void ZrImageWindow::setShowsTitle(bool shows)
{
    if (shows == m_showsTitle)
        return;
    m_showsTitle = shows;
    redisplay();
}

void ZrImageWindow::setBackgroundColor(const QColor &color)
{
    m_backgroundColor = color;
    update();
}

// ---- views and buttons -----------------------------------------------------

void ZrImageWindow::setTitleBarView(QWidget *view)
{
    if (!view || view == m_titleBarView)
        return;
    if (m_titleBarView)
        delete m_titleBarView.data();
    m_titleBarView = view;
    view->setParent(m_titleBarContainer);
    view->setGeometry(m_titleBarContainer->rect());
    view->show();
}

void ZrImageWindow::setContentView(QWidget *view)
{
    if (!view || view == m_contentView)
        return;
    if (m_contentView)
        delete m_contentView.data();
    m_contentView = view;
    view->setParent(this);
    setCocoaRectOf(view, contentRectForFrameRect(QRectF(0, 0, width(), height())));
    view->show();
    // The bar's buttons stay above the content.
    for (auto *b : m_standardButtons)
        b->raise();
    for (auto *b : {m_closeButton.data(), m_minimizeButton.data(), m_zoomButton.data(), m_fullScreenButton.data()}) {
        if (b)
            b->raise();
    }
    repositionContentView();
}

QAbstractButton *ZrImageWindow::standardWindowButton(int kind) const
{
    if (kind >= 0 && kind < 3)
        return m_standardButtons[kind];
    if (kind == StandardWindowButton::FullScreenButton)
        return m_standardButtons[3];
    return nullptr;
}

void ZrImageWindow::replaceCustomButton(QPointer<ZrWindowButton> &field, ZrWindowButton *button, int kind,
                                        void (ZrImageWindow::*action)())
{
    if (button == field)
        return;
    if (field)
        delete field.data();
    field = button;
    if (!button)
        return;
    connect(button, &QAbstractButton::clicked, this, action);
    const QAbstractButton *standard = standardWindowButton(kind);
    const QPointF origin = standard ? cocoaRectOf(standard).topLeft() : QPointF();
    button->setParent(this);
    setCocoaRectOf(button, QRectF(origin, QSizeF(button->size())));
    button->show();
}

void ZrImageWindow::setCloseButton(ZrWindowButton *button)
{
    replaceCustomButton(m_closeButton, button, StandardWindowButton::CloseButton, &ZrImageWindow::performClose);
}

void ZrImageWindow::setMinimizeButton(ZrWindowButton *button)
{
    replaceCustomButton(m_minimizeButton, button, StandardWindowButton::MiniaturizeButton,
                        &ZrImageWindow::performMiniaturize);
}

void ZrImageWindow::setZoomButton(ZrWindowButton *button)
{
    replaceCustomButton(m_zoomButton, button, StandardWindowButton::ZoomButton, &ZrImageWindow::performZoom);
}

void ZrImageWindow::setFullScreenButton(ZrWindowButton *button)
{
    replaceCustomButton(m_fullScreenButton, button, StandardWindowButton::FullScreenButton,
                        &ZrImageWindow::toggleFullScreen);
}

QWidget *ZrImageWindow::buttonToLayout(int kind) const
{
    ZrWindowButton *custom = nullptr;
    switch (kind) {
    case StandardWindowButton::CloseButton:
        custom = m_closeButton;
        break;
    case StandardWindowButton::MiniaturizeButton:
        custom = m_minimizeButton;
        break;
    case StandardWindowButton::ZoomButton:
        custom = m_zoomButton;
        break;
    case StandardWindowButton::FullScreenButton:
        custom = m_fullScreenButton;
        break;
    default:
        break;
    }
    QAbstractButton *standard = standardWindowButton(kind);
    if (custom) {
        if (standard)
            standard->hide();
        return custom;
    }
    if (!standard)
        return nullptr;
    if (standard->parentWidget() != this)
        standard->show();
    return standard;
}

// ---- layout ----------------------------------------------------------------

QRectF ZrImageWindow::recalculateFrameForTitleBarContainer() const
{
    const QRectF f(0, 0, width(), height());
    const double h = m_titleBarHeight + 2;
    return QRectF(0, f.y() + f.height() - h, f.width(), h);
}

void ZrImageWindow::layoutTrafficLightsAndContent()
{
    if (!m_titleBarContainer)
        return;
    const QRectF s = recalculateFrameForTitleBarContainer();
    setCocoaRectOf(m_titleBarContainer, s);
    if (m_titleBarView)
        m_titleBarView->setGeometry(m_titleBarContainer->rect());

    QWidget *close = buttonToLayout(StandardWindowButton::CloseButton);
    QWidget *mini = buttonToLayout(StandardWindowButton::MiniaturizeButton);
    QWidget *zoom = buttonToLayout(StandardWindowButton::ZoomButton);
    QRectF c = cocoaRectOf(close), m = cocoaRectOf(mini), z = cocoaRectOf(zoom);

    if (!m_verticalTrafficLightButtons) {
        double y = m_centerTrafficLightButtons ? std::round(s.y() + s.height() / 2 - c.height() / 2)
                                               : s.y() + s.height() - c.height() - m_trafficLightButtonsTopMargin;
        y += m_topButtonMoveUp;
        c.moveTo(m_trafficLightButtonsLeftMargin, y);
        m.moveTo(c.x() + c.width() + m_trafficLightSeparation, y);
        z.moveTo(m.x() + m.width() + m_trafficLightSeparation, y);
    } else {
        const double gap = m_trafficLightSeparation - 2;
        const double stack = c.height() + m.height() + z.height() + 2 * gap;
        const double bottom = m_centerTrafficLightButtons ? std::round(s.y() + s.height() / 2 - stack / 2)
                                                          : s.y() + s.height() - stack - m_trafficLightButtonsTopMargin;
        z.moveTo(m_trafficLightButtonsLeftMargin, bottom);
        m.moveTo(m_trafficLightButtonsLeftMargin, z.y() + z.height() + gap);
        c.moveTo(m_trafficLightButtonsLeftMargin, m.y() + m.height() + gap);
    }
    setCocoaRectOf(close, c);
    setCocoaRectOf(mini, m);
    setCocoaRectOf(zoom, z);

    if (QWidget *full = buttonToLayout(StandardWindowButton::FullScreenButton)) {
        QRectF b = cocoaRectOf(full);
        if (!m_setFullScreenButtonRightMargin)
            setFullScreenButtonRightMargin(s.width() - (b.x() + b.width()));
        const double x = s.width() - b.width() - m_fullScreenButtonRightMargin;
        const double y = m_centerFullScreenButton ? std::round(s.y() + s.height() / 2 - b.height() / 2)
                                                  : s.y() + s.height() - b.height() - m_fullScreenButtonTopMargin;
        b.moveTo(x, y);
        setCocoaRectOf(full, b);
    }
    repositionContentView();
}

void ZrImageWindow::repositionContentView()
{
    if (!m_contentView)
        return;
    const QRectF current = cocoaRectOf(m_contentView);
    const QRectF wanted(current.x(), current.y(), current.width(), height() - m_titleBarHeight);
    if (toPixels(CocoaGeometry::toQt(wanted, height())) == m_contentView->geometry())
        return;
    setCocoaRectOf(m_contentView, wanted);
    m_contentView->update();
}

void ZrImageWindow::redisplay()
{
    if (m_titleBarView)
        m_titleBarView->update();
}

// ---- window behaviour ------------------------------------------------------

ZrImageWindowDelegate *ZrImageWindow::delegate() const { return m_delegateProxy->secondaryDelegate(); }

void ZrImageWindow::setDelegate(ZrImageWindowDelegate *delegate) { m_delegateProxy->setSecondaryDelegate(delegate); }

bool ZrImageWindow::drawsAsMainWindow() const
{
    return isActiveWindow() && QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void ZrImageWindow::mouseDown()
{
    if (ZrImageWindowDelegate *d = delegate())
        d->zrimageWindowBecomeKeyWindow();
}

void ZrImageWindow::beginSheet(QWidget *sheet)
{
    if (!sheet)
        return;
    if (!sheet->isWindow()) {
        sheet->setParent(nullptr);
        sheet->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    }
    // Where the platform would open it: the top edge of the content area.
    const QRectF platformRect(0, contentRectForFrameRect(QRectF(0, 0, width(), height())).height(), width(), 0);
    const QRectF r = m_delegateProxy->windowWillPositionSheet(this, sheet, platformRect);
    const QRectF frame = cocoaFrame();
    const QRectF sheetFrame(frame.x() + (width() - sheet->width()) / 2.0, frame.y() + r.y() - sheet->height(),
                            sheet->width(), sheet->height());
    sheet->setGeometry(toPixels(CocoaGeometry::toQt(sheetFrame, CocoaGeometry::screenHeight())));
    m_sheets.append(sheet);
    ChildWindows::addChildWindow(this, sheet);
    sheet->show();
    sheet->raise();
}

void ZrImageWindow::endSheet(QWidget *sheet)
{
    if (!sheet)
        return;
    m_sheets.removeAll(sheet);
    ChildWindows::removeChildWindow(this, sheet);
    sheet->hide();
    layoutTrafficLightsAndContent();
}

void ZrImageWindow::performClose() { close(); }

void ZrImageWindow::performMiniaturize() { miniaturize(); }

void ZrImageWindow::miniaturize()
{
    // Minimising is the window manager's: it takes the window off the screen
    // and gives it back. Without one nothing could, so the window stays.
    if (Platform::WindowCompositing::windowsCanBeMinimized())
        showMinimized();
}

bool ZrImageWindow::contentFollowsSize() const
{
    return minimumSize() != maximumSize() && m_contentView && m_contentView->layout();
}

void ZrImageWindow::performZoom()
{
    // A window whose content does not follow its size keeps that size:
    // zooming it would only add an empty margin.
    if (!isMaximized() && !contentFollowsSize())
        return;
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void ZrImageWindow::toggleFullScreen()
{
    // As for zoom: full screen only where the content fills it.
    if (!isFullScreen() && !contentFollowsSize())
        return;
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
}

void ZrImageWindow::windowWillEnterFullScreen()
{
    if (!m_hideTitleBarInFullScreen)
        return;
    m_titleBarHeight = 2;
    layoutTrafficLightsAndContent();
    redisplay();
    if (m_titleBarView)
        m_titleBarView->hide();
}

void ZrImageWindow::windowWillExitFullScreen()
{
    if (!m_hideTitleBarInFullScreen)
        return;
    m_titleBarHeight = m_cachedTitleBarHeight;
    layoutTrafficLightsAndContent();
    redisplay();
    if (m_titleBarView)
        m_titleBarView->show();
}

void ZrImageWindow::paintEvent(QPaintEvent *)
{
    // The frame's own shape: square at the bottom, rounded at the top.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(CocoaGeometry::toQtTransform(height()));
    const double w = width(), h = height(), r = FrameCornerRadius;
    QPainterPath path;
    path.moveTo(0, 0);
    path.lineTo(0, h - r);
    CocoaPath::appendArcFromPoint(path, QPointF(0, h), QPointF(r, h), r);
    path.lineTo(w - r, h);
    CocoaPath::appendArcFromPoint(path, QPointF(w, h), QPointF(w, h - r), r);
    path.lineTo(w, 0);
    path.closeSubpath();
    p.fillPath(path, m_backgroundColor);
}

void ZrImageWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The platform keeps the content view on the content rectangle; the bar
    // then takes its own height off it.
    if (m_contentView)
        setCocoaRectOf(m_contentView, contentRectForFrameRect(QRectF(0, 0, width(), height())));
    layoutTrafficLightsAndContent();
    if (m_delegateProxy)
        m_delegateProxy->windowDidResize(this);
}

void ZrImageWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    layoutTrafficLightsAndContent();
    if (m_delegateProxy)
        m_delegateProxy->windowDidMove(this);
}

void ZrImageWindow::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ActivationChange:
        redisplay();
        layoutTrafficLightsAndContent();
        if (!m_delegateProxy)
            break;
        if (isActiveWindow())
            m_delegateProxy->windowDidBecomeKey(this);
        else
            m_delegateProxy->windowDidResignKey(this);
        break;
    case QEvent::WindowTitleChange:
        layoutTrafficLightsAndContent();
        redisplay();
        break;
    case QEvent::WindowStateChange: {
        const auto *e = static_cast<QWindowStateChangeEvent *>(event);
        const bool was = e->oldState() & Qt::WindowFullScreen;
        const bool is = windowState() & Qt::WindowFullScreen;
        if (!was && is)
            windowWillEnterFullScreen();
        else if (was && !is)
            windowWillExitFullScreen();
        break;
    }
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void ZrImageWindow::closeEvent(QCloseEvent *event)
{
    if (m_delegateProxy && !m_delegateProxy->windowShouldClose(this)) {
        event->ignore();
        return;
    }
    if (m_delegateProxy)
        m_delegateProxy->windowWillClose(this);
    QWidget::closeEvent(event);
}

void ZrImageWindow::mousePressEvent(QMouseEvent *event)
{
    // A right or middle click is no mouse-down: it neither closes the pages'
    // bubbles nor moves the window.
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    mouseDown();
    if (m_movableByWindowBackground && !isFullScreen()) {
        m_backgroundDrag = true;
        m_dragOffset = event->globalPosition().toPoint() - pos();
    }
    event->accept();
}

void ZrImageWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_backgroundDrag) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void ZrImageWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_backgroundDrag) {
        m_backgroundDrag = false;
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}
