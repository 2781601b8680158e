#pragma once
// The bubble window tied to a point: it hosts one view, sits on a chosen side
// of the point at a distance, and draws its own rounded background, which may
// carry an arrow towards the point. The four window classes of this design
// (MAAttachedWindow, NODEAttachedWindow, RMAAttachedWindow on a plain window,
// StatusAttachedWindow on PopBaseWindow) share everything here and differ
// only in their defaults and a few extras.
//
// Geometry is kept in bottom-left (Cocoa) coordinates: the point is in the
// parent window's coordinates when there is a parent, else in screen
// coordinates; frames are screen frames.
#include "AttachedWindowGeometry.h"
#include "PopBaseWindow.h"
#include "WindowShadow.h"

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>

// Defaults of one variant, set at creation.
struct AttachedWindowDefaults {
    QBrush backgroundColor;
    QColor borderColor;
    float borderWidth = 0;
    float viewMargin = 0;
    float arrowBaseWidth = 0;
    float arrowHeight = 0;
    bool hasArrow = false;
    float cornerRadius = 0;
    bool drawsRoundCornerBesideArrow = false;
    bool outlineOnWholeBody = false;
    bool hasShadow = false;
    bool movableByWindowBackground = false;
    bool usesOptimizedDrawing = false;
    // close and the will-close handling stop the application's modal loop.
    bool stopsModalOnClose = false;
};

template <class WindowBase>
class AttachedWindow : public WindowBase, public ShadowCaster {
public:
    ~AttachedWindow() override;

    // The bubble's outline, in the window's top-left coordinates.
    Outline shadowOutline() const override;

    // Placement: stores both unchanged (12 is not resolved here), then
    // updates the geometry and the background.
    void setPoint(const QPointF &point, int side);

    // The fill: a colour, or the pattern set through setBackgroundImage.
    QBrush windowBackgroundColor() const { return m_backgroundColor; }
    QColor borderColor() const { return m_borderColor; }
    float borderWidth() const { return m_borderWidth; }
    float viewMargin() const { return m_viewMargin; }
    float arrowBaseWidth() const { return m_arrowBaseWidth; }
    float arrowHeight() const { return m_arrowHeight; }
    float hasArrow() const { return m_hasArrow ? 1.0f : 0.0f; }
    float cornerRadius() const { return m_cornerRadius; }
    float drawsRoundCornerBesideArrow() const { return m_drawsRoundCornerBesideArrow ? 1.0f : 0.0f; }

    void setBackgroundColor(const QBrush &color);
    void setBorderColor(const QColor &color);
    void setBorderWidth(float value);
    void setViewMargin(float value);
    void setArrowBaseWidth(float value);
    void setArrowHeight(float value);
    // The two flags travel as numbers: the value is truncated toward zero.
    void setHasArrow(float value);
    void setCornerRadius(float value);
    void setDrawsRoundCornerBesideArrow(float value);
    // Fills the bubble with the image as a pattern; a null image does nothing.
    void setBackgroundImage(const QPixmap &image);

    bool canBecomeKeyWindow() const { return true; }
    bool canBecomeMainWindow() const { return false; }
    bool isExcludedFromWindowsMenu() const { return true; }
    // Passed on to the parent window when there is one.
    void performClose();
    // Taken off the screen without closing (how pages take bubbles and menus away).
    void orderOut() { this->hide(); }
    // Moves the window so its bottom-left corner is at `origin` (screen
    // coordinates); the size and the placement settings stay.
    void setFrameOrigin(const QPointF &origin);

    // State as of the last geometry update.
    QWidget *view() const { return m_view; }
    QWidget *parentWindow() const { return m_window; }
    QPointF point() const { return m_point; }
    int side() const { return m_side; }
    float distance() const { return m_distance; }
    QRectF viewFrame() const { return m_viewFrame; }
    QRectF cocoaFrame() const { return m_frame; }
    AttachedWindowMetrics metrics() const;
    QPainterPath backgroundPath() const;
    // The bubble as drawn once per change; ordinary repaints only copy it.
    const QImage &backgroundImage() const { return m_background; }
    int backgroundUpdates() const { return m_backgroundUpdates; }

    bool usesOptimizedDrawing() const { return m_usesOptimizedDrawing; }
    bool windowHasShadow() const { return m_hasShadow; }
    bool movableByWindowBackground() const { return m_movable; }

protected:
    AttachedWindow(QWidget *view, const QPointF &point, QWidget *window, int side, float distance,
                   const AttachedWindowDefaults &defaults);

    // Step between creating the platform window and adding the hosted view
    // (the panel variant puts its background image there).
    virtual void addBackgroundViews() {}
    // The window stopped being the key window.
    virtual void windowDidResignKey() {}
    virtual void pointerEntered() {}
    virtual void pointerExited() {}
    virtual void windowWillClose();

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

    // Completes creation; called by the variant's constructor once the
    // object is whole, so virtual steps reach the variant.
    void finishCreation();

private:
    QPointF screenPoint() const;
    int bestSideForAutomaticPosition() const;
    void updateGeometry();
    void renderBackground();
    void updateBackground();
    void redisplay();

    QColor m_borderColor;
    float m_borderWidth = 0;
    float m_viewMargin = 0;
    float m_arrowBaseWidth = 0;
    float m_arrowHeight = 0;
    signed char m_hasArrow = 0;
    float m_cornerRadius = 0;
    signed char m_drawsRoundCornerBesideArrow = 0;
    QBrush m_backgroundColor;
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_window;
    QPointF m_point;
    int m_side = 0;
    float m_distance = 0;
    QRectF m_viewFrame;
    bool m_resizing = false;

    QRectF m_frame;
    QImage m_background;
    int m_backgroundUpdates = 0;
    bool m_outlineOnWholeBody = false;
    bool m_stopsModalOnClose = false;
    bool m_usesOptimizedDrawing = false;
    bool m_hasShadow = false;
    bool m_movable = false;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

extern template class AttachedWindow<QWidget>;
extern template class AttachedWindow<PopBaseWindow>;

// The creation forms every variant offers: the designated one (declared by
// the variant) and the shorter ones that fill in side 12, no parent window or
// distance 0. Each returns no window when the view is empty.
template <class T>
class AttachedWindowFactory {
public:
    static std::unique_ptr<T> initWithView(QWidget *view, const QPointF &point, QWidget *window, double distance)
    {
        return T::designated(view, point, window, AttachedWindowGeometry::AutomaticSide, distance);
    }
    static std::unique_ptr<T> initWithView(QWidget *view, const QPointF &point, int side, double distance)
    {
        return T::designated(view, point, nullptr, side, distance);
    }
    static std::unique_ptr<T> initWithView(QWidget *view, const QPointF &point, double distance)
    {
        return T::designated(view, point, nullptr, AttachedWindowGeometry::AutomaticSide, distance);
    }
    static std::unique_ptr<T> initWithView(QWidget *view, const QPointF &point, QWidget *window)
    {
        return T::designated(view, point, window, AttachedWindowGeometry::AutomaticSide, 0);
    }
    static std::unique_ptr<T> initWithView(QWidget *view, const QPointF &point, int side)
    {
        return T::designated(view, point, nullptr, side, 0);
    }
    static std::unique_ptr<T> initWithView(QWidget *view, const QPointF &point)
    {
        return T::designated(view, point, nullptr, AttachedWindowGeometry::AutomaticSide, 0);
    }
};
