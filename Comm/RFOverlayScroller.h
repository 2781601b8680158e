#pragma once
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

class QVariantAnimation;

// A thin vertical scroller laid over its content: no track, only a dark
// rounded knob 8 points wide. It shows itself while the content scrolls or
// the pointer is over it, and fades out 1.5 s after the last scroll and when
// the pointer leaves. Delays and fades run through Platform::Clock.
class RFOverlayScroller : public QScrollBar {
    Q_OBJECT
public:
    explicit RFOverlayScroller(QWidget *parent = nullptr);

    // Only this very class lays itself over the content; a subclass answers no.
    static bool isCompatibleWithOverlayScrollers(const QMetaObject *scrollerClass);
    // The width the content leaves free for an overlay scroller: none.
    static int zeroWidth() { return 0; }
    // The scroller's own width.
    static int scrollerWidth() { return 15; }
    // The level fadeOut() takes the scroller to: hidden, as the scrollers of
    // the original platform do.
    static constexpr double fadedAlpha = 0.0;

    // Scrolls to a fraction (0 top, 1 bottom) of the content.
    void setFloatValue(double fraction);
    double floatValue() const;
    void fadeOut();

    double alphaValue() const { return _alpha; }
    bool isFadeOutPending() const { return _fadeOutTimer.isActive(); }
    // The knob's part rectangle (before the thin drawing is cut from it).
    QRectF knobRect() const;
    // The rounded rectangle that is filled for the knob.
    QRectF drawnKnobRect() const;

    void drawKnob(QPainter &painter) const;
    void drawKnobSlotInRect(QPainter &painter, const QRectF &slotRect, bool highlight) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void sliderChange(SliderChange change) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void animateAlpha(double to, double seconds);
    void setAlpha(double alpha);
    int valueForKnobTop(double knobTop) const;

    double _alpha = 1.0;
    QPointer<QVariantAnimation> _alphaAnimation;
    QTimer _fadeOutTimer;
    bool _dragging = false;
    double _dragOffset = 0;
};
