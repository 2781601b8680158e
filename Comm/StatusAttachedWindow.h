#pragma once
#include "AttachedWindow.h"
#include "StatusAttachedWindowDelegate.h"

class QLabel;

// The panel laid over the main window: no outline of its own, the image
// "popWBg" behind the hosted view, and pointer reports to its delegate.
class StatusAttachedWindow : public AttachedWindow<PopBaseWindow>, public AttachedWindowFactory<StatusAttachedWindow> {
public:
    using AttachedWindowFactory<StatusAttachedWindow>::initWithView;
    static std::unique_ptr<StatusAttachedWindow> initWithView(QWidget *view, const QPointF &point, QWidget *window,
                                                              int side, double distance);
    static AttachedWindowDefaults defaults();

    StatusAttachedWindowDelegate *mattachedWDelegate() const { return m_delegate; }
    void setMattachedWDelegate(StatusAttachedWindowDelegate *delegate) { m_delegate = delegate; }

    bool canBecomeMainWindow() const override { return false; }
    // The window server's background blur behind the panel; nothing here can
    // blur what lies behind a window, so the value is only kept.
    void setWindowBackgroundBlurRadius(int radius) { m_blurRadius = radius; }
    int windowBackgroundBlurRadius() const { return m_blurRadius; }
    // The image view behind the hosted view.
    QLabel *backgroundImageView() const { return m_imageView; }
    // The area the pointer is tracked in (the content bounds at creation).
    QRect trackingArea() const { return m_trackingArea; }

protected:
    void addBackgroundViews() override;
    void windowDidResignKey() override;
    void pointerEntered() override;
    void pointerExited() override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    friend class AttachedWindowFactory<StatusAttachedWindow>;
    StatusAttachedWindow(QWidget *view, const QPointF &point, QWidget *window, int side, float distance);
    static std::unique_ptr<StatusAttachedWindow> designated(QWidget *view, const QPointF &point, QWidget *window,
                                                            int side, double distance)
    {
        return initWithView(view, point, window, side, distance);
    }
    void updateTrackingAreas();
    void setPointerInside(bool inside);

    StatusAttachedWindowDelegate *m_delegate = nullptr;
    QLabel *m_imageView = nullptr;
    QRect m_trackingArea;
    bool m_pointerInside = false;
    int m_blurRadius = 0;
};
