#pragma once
// The program's own window: frameless, with a taller dark title bar of its
// own (a strip with rounded top corners), its own close, minimise and zoom
// buttons laid out inside the strip at a margin and offset the controller
// chooses, a content view shortened by the bar, sheets that open below the
// bar, and dragging by the bar or the background. Every mouse-down that no
// control took is reported to the delegate.
//
// Layout works in bottom-left (Cocoa) coordinates of the window, which here
// is its own frame view.
#include "VoTitlebarView.h"
#include "WindowShadow.h"
#include "ZrWindowButton.h"

#include <QColor>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QScreen;
class VoTitlebarContainer;
class ZrImageWindowDelegate;
class ZrImageWindowDelegateProxy;

class ZrImageWindow : public QWidget, public ShadowCaster {
    Q_OBJECT
public:
    // The frame's shape: rounded at the top, square at the bottom.
    static constexpr double FrameCornerRadius = 8;
    using TitleShadow = VoTitlebarView::TitleShadow;
    // Draws the bar in place of the flat fill: painter in bottom-left
    // coordinates of the bar view, drawn-as-main flag, bar rectangle, outline.
    using TitleBarDrawingBlock = std::function<void(QPainter &, bool, const QRectF &, const QPainterPath &)>;

    // `contentSize` is the size of the content area under the platform's own
    // (22-point) title bar; the window's frame is that much taller.
    explicit ZrImageWindow(const QSize &contentSize = QSize(480, 360), QWidget *parent = nullptr);
    // The form that is given a screen: it places the window there and does
    // not set the appearance.
    ZrImageWindow(const QSize &contentSize, QScreen *screen);
    ~ZrImageWindow() override;

    // Settings.
    double titleBarHeight() const { return m_titleBarHeight; }
    void setTitleBarHeight(double height);
    double cachedTitleBarHeight() const { return m_cachedTitleBarHeight; }
    void setCachedTitleBarHeight(double height) { m_cachedTitleBarHeight = height; }
    double trafficLightButtonsLeftMargin() const { return m_trafficLightButtonsLeftMargin; }
    void setTrafficLightButtonsLeftMargin(double margin);
    double topButtonMoveUp() const { return m_topButtonMoveUp; }
    void setTopButtonMoveUp(double moveUp) { m_topButtonMoveUp = moveUp; }
    double trafficLightSeparation() const { return m_trafficLightSeparation; }
    void setTrafficLightSeparation(double separation);
    double trafficLightButtonsTopMargin() const { return m_trafficLightButtonsTopMargin; }
    void setTrafficLightButtonsTopMargin(double margin) { m_trafficLightButtonsTopMargin = margin; }
    double fullScreenButtonTopMargin() const { return m_fullScreenButtonTopMargin; }
    void setFullScreenButtonTopMargin(double margin) { m_fullScreenButtonTopMargin = margin; }
    double fullScreenButtonRightMargin() const { return m_fullScreenButtonRightMargin; }
    void setFullScreenButtonRightMargin(double margin);
    // Whether fullScreenButtonRightMargin has been set.
    bool setFullScreenButtonRightMargin() const { return m_setFullScreenButtonRightMargin; }
    void setSetFullScreenButtonRightMargin(bool set) { m_setFullScreenButtonRightMargin = set; }
    bool centerTrafficLightButtons() const { return m_centerTrafficLightButtons; }
    void setCenterTrafficLightButtons(bool center);
    bool verticalTrafficLightButtons() const { return m_verticalTrafficLightButtons; }
    void setVerticalTrafficLightButtons(bool vertical);
    bool centerFullScreenButton() const { return m_centerFullScreenButton; }
    void setCenterFullScreenButton(bool center);
    bool showsTitle() const { return m_showsTitle; }
    void setShowsTitle(bool shows);
    bool showsTitleInFullscreen() const { return m_showsTitleInFullscreen; }
    void setShowsTitleInFullscreen(bool shows) { m_showsTitleInFullscreen = shows; }
    bool hideTitleBarInFullScreen() const { return m_hideTitleBarInFullScreen; }
    void setHideTitleBarInFullScreen(bool hide) { m_hideTitleBarInFullScreen = hide; }
    QColor titleTextColor() const { return m_titleTextColor; }
    void setTitleTextColor(const QColor &color) { m_titleTextColor = color; }
    QColor inactiveTitleTextColor() const { return m_inactiveTitleTextColor; }
    void setInactiveTitleTextColor(const QColor &color) { m_inactiveTitleTextColor = color; }
    std::optional<TitleShadow> titleTextShadow() const { return m_titleTextShadow; }
    void setTitleTextShadow(const std::optional<TitleShadow> &shadow) { m_titleTextShadow = shadow; }
    std::optional<TitleShadow> inactiveTitleTextShadow() const { return m_inactiveTitleTextShadow; }
    void setInactiveTitleTextShadow(const std::optional<TitleShadow> &shadow) { m_inactiveTitleTextShadow = shadow; }
    const TitleBarDrawingBlock &titleBarDrawingBlock() const { return m_titleBarDrawingBlock; }
    void setTitleBarDrawingBlock(TitleBarDrawingBlock block) { m_titleBarDrawingBlock = std::move(block); }

    // Custom window buttons in place of the standard ones (owned).
    ZrWindowButton *closeButton() const { return m_closeButton; }
    void setCloseButton(ZrWindowButton *button);
    ZrWindowButton *minimizeButton() const { return m_minimizeButton; }
    void setMinimizeButton(ZrWindowButton *button);
    ZrWindowButton *zoomButton() const { return m_zoomButton; }
    void setZoomButton(ZrWindowButton *button);
    ZrWindowButton *fullScreenButton() const { return m_fullScreenButton; }
    void setFullScreenButton(ZrWindowButton *button);

    // The bar: the strip (behind everything in the window) and the view that
    // fills it, where controllers add their own labels.
    VoTitlebarContainer *titleBarContainer() const { return m_titleBarContainer; }
    QWidget *titleBarView() const { return m_titleBarView; }
    void setTitleBarView(QWidget *view);
    // The window's frame view: the window itself.
    QWidget *themeFrameView() { return this; }
    const QWidget *themeFrameView() const { return this; }
    QWidget *contentView() const { return m_contentView; }
    void setContentView(QWidget *view);
    // The standard buttons by kind (0 close, 1 minimise, 2 zoom, 7 full
    // screen; any other kind: nullptr). Each is wired to its perform action;
    // a controller that wants its own action disconnects the button's clicked
    // signal and connects its own.
    QAbstractButton *standardWindowButton(int kind) const;

    // Whether the content lays itself out to a new size of the window (its
    // size is not fixed and the content view has a layout): only then do
    // zoom and full screen change the window's size; otherwise their buttons
    // do nothing.
    bool contentFollowsSize() const;

    ZrImageWindowDelegate *delegate() const;
    void setDelegate(ZrImageWindowDelegate *delegate);
    ZrImageWindowDelegateProxy *delegateProxy() const { return m_delegateProxy.get(); }

    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor &color);
    bool isMovableByWindowBackground() const { return m_movableByWindowBackground; }
    void setMovableByWindowBackground(bool movable) { m_movableByWindowBackground = movable; }
    bool isOpaque() const { return false; }
    // The shadow it casts on what lies under it (on from the start).
    bool hasShadow() const { return m_hasShadow; }
    void setHasShadow(bool shadow);
    Outline shadowOutline() const override { return RoundedRect{FrameCornerRadius, 0}; }
    // "Aqua" for the plain form, empty for the form given a screen.
    QString appearanceName() const { return m_appearanceName; }
    void setTitle(const QString &title) { setWindowTitle(title); }

    // Drawn as the main window: the active window of the active application.
    bool drawsAsMainWindow() const;

    // The window's frame in screen coordinates, bottom-left.
    QRectF cocoaFrame() const;
    // The platform's content rectangle for a frame rectangle (its own 22-point
    // title bar taken off the top).
    static QRectF contentRectForFrameRect(const QRectF &frame);

    // A sheet: a window of its own, opened just below the bar and centred,
    // kept above this window until endSheet.
    void beginSheet(QWidget *sheet);
    void endSheet(QWidget *sheet);

    // Mouse-down that no control took: tells the delegate, nothing else.
    void mouseDown();

public slots:
    void performClose();
    void performMiniaturize();
    void performZoom();
    void toggleFullScreen();
    void miniaturize();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void initWindow(const QSize &contentSize);
    void doInitialWindowSetup();
    void createTitlebarView();
    QWidget *buttonToLayout(int kind) const;
    QRectF recalculateFrameForTitleBarContainer() const;
    void layoutTrafficLightsAndContent();
    void repositionContentView();
    void redisplay();
    void windowWillEnterFullScreen();
    void windowWillExitFullScreen();
    void replaceCustomButton(QPointer<ZrWindowButton> &field, ZrWindowButton *button, int kind,
                             void (ZrImageWindow::*action)());
    QRectF cocoaRectOf(const QWidget *child) const;
    void setCocoaRectOf(QWidget *child, const QRectF &rect) const;

    double m_titleBarHeight = 0;
    double m_cachedTitleBarHeight = 0;
    double m_trafficLightButtonsLeftMargin = 0;
    double m_topButtonMoveUp = 0;
    double m_trafficLightSeparation = 0;
    double m_trafficLightButtonsTopMargin = 0;
    double m_fullScreenButtonTopMargin = 0;
    double m_fullScreenButtonRightMargin = 0;
    bool m_setFullScreenButtonRightMargin = false;
    bool m_centerTrafficLightButtons = false;
    bool m_verticalTrafficLightButtons = false;
    bool m_centerFullScreenButton = false;
    bool m_showsTitle = false;
    bool m_showsTitleInFullscreen = false;
    bool m_hideTitleBarInFullScreen = false;
    QColor m_titleTextColor;
    QColor m_inactiveTitleTextColor;
    std::optional<TitleShadow> m_titleTextShadow;
    std::optional<TitleShadow> m_inactiveTitleTextShadow;
    TitleBarDrawingBlock m_titleBarDrawingBlock;
    QPointer<ZrWindowButton> m_closeButton;
    QPointer<ZrWindowButton> m_minimizeButton;
    QPointer<ZrWindowButton> m_zoomButton;
    QPointer<ZrWindowButton> m_fullScreenButton;

    VoTitlebarContainer *m_titleBarContainer = nullptr;
    QPointer<QWidget> m_titleBarView;
    QPointer<QWidget> m_contentView;
    // Close, minimise, zoom and full screen (kinds 0, 1, 2 and 7).
    QAbstractButton *m_standardButtons[4] = {nullptr, nullptr, nullptr, nullptr};
    std::unique_ptr<ZrImageWindowDelegateProxy> m_delegateProxy;
    QColor m_backgroundColor;
    bool m_hasShadow = true;
    bool m_movableByWindowBackground = false;
    QString m_appearanceName;
    QMetaObject::Connection m_appStateConnection;

    bool m_backgroundDrag = false;
    QPoint m_dragOffset;
    QList<QPointer<QWidget>> m_sheets;
};
