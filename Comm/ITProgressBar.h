#pragma once
#include <QColor>
#include <QEasingCurve>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QRectF>
#include <QWidget>
#include <functional>
#include <optional>

class QVariantAnimation;

// The striped progress bar of the job pages: a rounded grey track, a blue
// fill as wide as the value (0.0 to 1.0) and faint diagonal stripes that move
// while the bar animates. It is drawn as a stack of layers:
//
//   clip (the whole bar, rounded)
//     background gradient, border image
//     inner clip (inset by the border, as wide as the value, rounded)
//       fill gradient, stripes, inner shadow image, colour tint
//
// The inner layers' frames are kept in the inner clip's own coordinates with
// the origin at the bottom-left, as the bar's design states them; drawing
// converts them once. Stripes, fades and the animated value run through
// Platform::Clock.
//
// A value outside 0.0 to 1.0 is refused with InvalidValueException and the old
// value stays.
class ITProgressBar : public QWidget {
    Q_OBJECT
public:
    // Built by an interface file.
    explicit ITProgressBar(QWidget *parent = nullptr);
    // Built in code.
    explicit ITProgressBar(const QRect &frame, QWidget *parent = nullptr);

    double floatValue() const { return _floatValue; }
    // Throws InvalidValueException for a value outside 0.0 to 1.0.
    void setFloatValue(double value);
    // Glides to the value (ease in, ease out), as the pages set it; refuses
    // the same values as setFloatValue().
    void setFloatValueAnimated(double value);
    // The timing of an animated property; only "floatValue" has one.
    static std::optional<QEasingCurve> defaultAnimationForKey(const QString &key);
    bool isValueAnimating() const;

    bool animates() const { return _animates; }
    void setAnimates(bool animates);
    double animationDuration() const { return _animationDuration; }
    void setAnimationDuration(double seconds);
    QColor colorTint() const { return _colorTint; }
    void setColorTint(const QColor &color);
    double colorTintOpacity() const { return _colorTintOpacity; }
    void setColorTintOpacity(double opacity);
    QList<QColor> backgroundColors() const { return _backgroundColors; }
    void setBackgroundColors(const QList<QColor> &colors);
    double borderWidth() const { return _borderWidth; }
    void setBorderWidth(double width);
    QColor borderColor() const { return _borderColor; }
    void setBorderColor(const QColor &color);
    double shadowWidth() const { return _shadowWidth; }
    // Refused (with a warning in the system log) when wider than the border.
    void setShadowWidth(double width);
    QImage stripesImage() const { return _stripesImage; }
    void setStripesImage(const QImage &image);

    // Fades the bar out and hides it at the end of the fade, or shows it and
    // fades it in. A show that comes during a fade-out fades it back in; the
    // earlier fade never hides it. (show() and hide() act at once, as for any
    // widget.)
    void setHidden(bool hidden);
    bool it_isHidden() const { return _it_isHidden; }
    double alphaValue() const { return _alpha; }

    // The layers as they stand after the last layout.
    QRectF clipLayerFrame() const { return _clipFrame; }
    QRectF innerClipLayerFrame() const { return _innerClipFrame; }
    // In the inner clip's coordinates (origin bottom-left):
    QRectF fillLayerFrame() const { return _fillFrame; }
    QRectF stripesLayerFrame() const { return _stripesFrame; }
    QRectF innerShadowLayerFrame() const { return _innerShadowFrame; }
    QRectF colorTintLayerFrame() const { return _colorTintFrame; }
    double stripesOpacity() const { return _stripesOpacity; }
    // The stripes' position animation ("x") is present.
    bool hasStripesAnimation() const;
    // The stripes really move: present and the bar on screen. While the bar
    // is not visible the motion waits, so an unseen bar costs nothing.
    bool isStripesAnimationRunning() const;
    // The stripes layer's x now (moves from −stripe width to 0 and over again).
    double stripesPositionX() const { return _stripesX; }

    static QImage stripesImageWithSize(const QSize &size);
    // Null for a width or height of 0 or less.
    QImage borderImageForSize(const QSizeF &size, bool withInnerShadow) const;

    void resizeLayers();
    void resizeInnerLayers();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void setUp();
    void applyFloatValue(double value);
    void addStripesAnimation();
    void removeStripesAnimation();
    void followVisibility(bool shown);
    void fadeStripesOpacity(double to, std::function<void()> completion);
    void fadeAlpha(double to, std::function<void()> completion);
    QRectF innerToView(const QRectF &innerFrame) const;
    static void checkValue(double value);

    double _floatValue = 1.0;
    bool _animates = false;
    double _animationDuration = 0.5;
    QColor _colorTint;
    double _colorTintOpacity = 0.2f;
    double _borderWidth = 0;
    QColor _borderColor;
    double _shadowWidth = 1.0;
    QImage _stripesImage;
    QList<QColor> _backgroundColors;
    bool _it_isHidden = false;
    double _alpha = 1.0;

    QRectF _clipFrame;
    QRectF _innerClipFrame;
    QRectF _fillFrame;
    QRectF _stripesFrame;
    QRectF _innerShadowFrame;
    QRectF _colorTintFrame;
    QImage _borderContents;
    QImage _innerShadowContents;
    double _stripesOpacity = 0.04;
    double _stripesX = 0;

    QPointer<QVariantAnimation> _stripesAnimation;
    QPointer<QVariantAnimation> _stripesFade;
    QPointer<QVariantAnimation> _alphaFade;
    QPointer<QVariantAnimation> _valueAnimation;
};
