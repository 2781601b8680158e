#pragma once
// The popover's window: borderless, the caller's view inside a frame view
// that draws the body and the arrow, a margin of the arrow's height on every
// side, and the pop and fade animations.
#include "WindowShadow.h"

#include <QPointer>
#include <QRectF>
#include <QWidget>
#include <memory>

class QAbstractAnimation;

class QLabel;
class QPropertyAnimation;
class VoPopoverController;
class VoPopoverWindowFrame;

class VoPopoverWindow : public QWidget, public ShadowCaster {
    Q_OBJECT
public:
    // The frame view's outline, in the window's top-left coordinates.
    Outline shadowOutline() const override;
    explicit VoPopoverWindow(QWidget *parent = nullptr);
    ~VoPopoverWindow() override;

    // Frame ↔ content: the content grown by the arrow's height on all four
    // sides (bottom-left coordinates; the content rectangle is at the origin).
    QRectF frameRectForContentRect(const QRectF &content) const;
    QRectF contentRectForFrameRect(const QRectF &frame) const;

    bool canBecomeKeyWindow() const { return true; }
    bool canBecomeMainWindow() const { return false; }
    // Visible on screen, or its zoom window is (during the pop animation).
    bool isVisible() const;

    VoPopoverWindowFrame *frameView() const { return m_frameView; }
    void setContentView(QWidget *view) { setPopoverContentView(view); }
    QWidget *popoverContentView() const { return m_popoverContentView; }
    void setPopoverContentView(QWidget *view);
    VoPopoverController *popoverController() const { return m_popoverController; }
    void setPopoverController(VoPopoverController *controller) { m_popoverController = controller; }
    QWidget *zoomWindow() const;

    // The window's frame in bottom-left screen coordinates.
    QRectF cocoaFrame() const;
    void setCocoaFrame(const QRectF &frame, bool animate = false);

    // The "alphaValue" animation and the object told when it ends.
    QPropertyAnimation *alphaAnimation() const { return m_alphaAnimation; }
    VoPopoverController *alphaAnimationDelegate() const { return m_alphaAnimationDelegate; }
    void setAlphaAnimationDelegate(VoPopoverController *delegate) { m_alphaAnimationDelegate = delegate; }
    // How long the window animations run (the platform's default, through the clock).
    static int animationDurationMs();

    void presentAnimated();
    void presentWithPopAnimation();
    void presentWithFadeAnimation();
    void dismissAnimated();
    // End of the pop animation.
    void animationDidStop(bool finished);
    // The Escape key.
    void cancelOperation();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QLabel *zoomWindowWithRect(const QRectF &rect);
    void animateAlpha(QWidget *window, double to);

    VoPopoverWindowFrame *m_frameView = nullptr;
    QPointer<QWidget> m_popoverContentView;
    std::unique_ptr<QLabel> m_zoomWindow;
    // The opening zoom, while it runs; a dismissal stops it so its end cannot show the window again.
    QPointer<QAbstractAnimation> m_popAnimation;
    QPointer<VoPopoverController> m_popoverController;
    QPropertyAnimation *m_alphaAnimation = nullptr;
    QPointer<VoPopoverController> m_alphaAnimationDelegate;
};
