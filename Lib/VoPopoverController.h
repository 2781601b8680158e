#pragma once
// The popover: holds the settings, works out where the popover goes and which
// way its arrow points, shows and closes it, and tells an optional delegate.
// Geometry is in bottom-left (Cocoa) screen coordinates.
//
// Arrow directions: 0 none, 1 left (popover right of the anchor), 2 right,
// 3 up (popover below), 4 down. Animation types (while animates is on):
// 0 pop in / fade out, 1 fade in / no animation out, 2 none in / fade out,
// 3 fade in / fade out.
#include <QColor>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <functional>
#include <memory>

class QWidget;
class VoPopoverControllerDelegate;
class VoPopoverWindow;

class VoPopoverController : public QObject {
    Q_OBJECT
public:
    explicit VoPopoverController(QObject *parent = nullptr);
    explicit VoPopoverController(QWidget *contentViewController, QObject *parent = nullptr);
    ~VoPopoverController() override;

    static std::unique_ptr<VoPopoverController> initWithContentViewController(QWidget *contentViewController);

    VoPopoverWindow *popoverWindow() const { return m_popoverWindow.get(); }
    QRectF screenRect() const { return m_screenRect; }
    QRectF viewRect() const { return m_viewRect; }

    bool closesWhenEscapeKeyPressed() const { return m_closesWhenEscapeKeyPressed; }
    void setClosesWhenEscapeKeyPressed(bool closes) { m_closesWhenEscapeKeyPressed = closes; }
    bool closesWhenPopoverResignsKey() const { return m_closesWhenPopoverResignsKey; }
    void setClosesWhenPopoverResignsKey(bool closes) { m_closesWhenPopoverResignsKey = closes; }
    bool closesWhenApplicationBecomesInactive() const { return m_closesWhenApplicationBecomesInactive; }
    void setClosesWhenApplicationBecomesInactive(bool closes) { m_closesWhenApplicationBecomesInactive = closes; }
    bool animates() const { return m_animates; }
    void setAnimates(bool animates) { m_animates = animates; }
    VoPopoverControllerDelegate *delegate() const { return m_delegate; }
    void setDelegate(VoPopoverControllerDelegate *delegate) { m_delegate = delegate; }
    int animationType() const { return m_animationType; }
    void setAnimationType(int type) { m_animationType = type; }

    // The view (controller) shown inside; the caller keeps it alive.
    QWidget *contentViewController() const { return m_contentViewController; }
    void setContentViewController(QWidget *controller);
    void setContectViewController(QWidget *controller) { setContentViewController(controller); }
    QWidget *positionView() const { return m_positionView; }
    QSizeF contentSize() const { return m_contentSize; }
    void setContentSize(const QSizeF &size);

    // Kept by the window's frame view.
    QColor color() const;
    void setColor(const QColor &color);
    QColor borderColor() const;
    void setBorderColor(const QColor &color);
    QColor topHighlightColor() const;
    void setTopHighlightColor(const QColor &color);
    double borderWidth() const;
    void setBorderWidth(double width);
    double cornerRadius() const;
    void setCornerRadius(double radius);
    QSizeF arrowSize() const;
    void setArrowSize(const QSizeF &size);
    unsigned arrowDirection() const;

    // Shows the popover beside `rect` (bottom-left coordinates of `view`);
    // nothing while it is visible.
    void presentPopoverFromRect(const QRectF &rect, QWidget *view, unsigned preferredArrowDirection,
                                bool anchorsToPositionView);
    // Closes unless the delegate refuses. `fromResignKey` is set when the
    // popover window lost key status.
    void closePopover(bool fromResignKey = false);
    void forceClosePopover();
    bool popoverIsVisible() const;
    QWidget *contentView() const;
    void recalculateAndResetArrowDirection();
    // The window frame for a content size and a direction, against the
    // current anchor rectangle.
    QRectF popoverFrameWithSize(const QSizeF &size, unsigned direction) const;

    // The same rules as pure functions of their inputs.
    static QRectF popoverFrame(const QSizeF &frameSize, unsigned direction, const QRectF &anchor);
    // `screen` is the anchor's screen frame (empty without one); `frameFor`
    // gives the popover frame for a direction.
    static unsigned chooseArrowDirection(unsigned preferred, const QRectF &screen, const QRectF &anchor,
                                         const std::function<QRectF(unsigned)> &frameFor);
    // Whether `outer` wholly holds a non-empty `inner`.
    static bool containsRect(const QRectF &outer, const QRectF &inner);

    // Whether the application is active; tests may stand in for it.
    static bool isApplicationActive();
    static void setApplicationActiveProvider(std::function<bool()> provider);

    // Handlers.
    void animationDidStop(bool finished);
    void applicationDidBecomeActive();
    void checkPopoverKeyWindowStatus();
    void positionViewFrameChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setInitialPropertyValues();
    unsigned arrowDirectionWithPreferredArrowDirection(unsigned preferred) const;
    QRectF anchorScreenRect() const;
    void addObservers(bool anchors);
    void removeObservers();
    void closePopoverAndResetVariables();
    void attachToAnchorWindow();

    std::unique_ptr<VoPopoverWindow> m_popoverWindow;
    QRectF m_screenRect;
    QRectF m_viewRect;
    bool m_closesWhenEscapeKeyPressed = false;
    bool m_closesWhenPopoverResignsKey = false;
    bool m_closesWhenApplicationBecomesInactive = false;
    bool m_animates = false;
    VoPopoverControllerDelegate *m_delegate = nullptr;
    int m_animationType = 0;
    QPointer<QWidget> m_contentViewController;
    QPointer<QWidget> m_positionView;
    QSizeF m_contentSize;

    bool m_observingAnchor = false;
    bool m_observingKey = false;
    QMetaObject::Connection m_appConnection;
};
