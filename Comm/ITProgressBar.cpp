#include "ITProgressBar.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <cmath>

#include "Clock.h"
#include "CocoaGeometry.h"
#include "InvalidValueException.h"
#include "QoDrawing.h"
#include "SystemLog.h"

namespace {

// The implicit fade of a layer and the standard length of a view animation.
constexpr double StandardDuration = 0.25;
constexpr double StripesOpacity = 0.04;

QPainterPath roundedByHalfHeight(const QRectF &rect) { return QoDrawing::roundedPath(rect, rect.height() / 2, 0); }

// Animations are owned by the bar and replaced, never stacked: starting one
// stops the one before (its completion is dropped; the new one decides).
QVariantAnimation *startAnimation(QObject *owner, QPointer<QVariantAnimation> &slot, double from, double to,
                                  double seconds, const std::function<void(double)> &step,
                                  std::function<void()> completion)
{
    if (slot) {
        slot->disconnect(owner);
        slot->stop();
    }
    auto *animation = new QVariantAnimation(owner);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(Platform::Clock::realMs(seconds));
    QObject::connect(animation, &QVariantAnimation::valueChanged, owner,
                     [step](const QVariant &value) { step(value.toDouble()); });
    QObject::connect(animation, &QVariantAnimation::finished, owner, [step, to, completion] {
        step(to);
        if (completion)
            completion();
    });
    slot = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}

} // namespace

ITProgressBar::ITProgressBar(QWidget *parent) : QWidget(parent) { setUp(); }

ITProgressBar::ITProgressBar(const QRect &frame, QWidget *parent) : QWidget(parent)
{
    setGeometry(frame);
    setUp();
}

void ITProgressBar::setUp()
{
    _borderWidth = 0;
    _borderColor = QColor(221, 221, 223);
    _shadowWidth = 1.0;
    _floatValue = 1.0;
    _animationDuration = 0.5;
    _stripesImage = stripesImageWithSize(QSize(30, 10));
    _colorTintOpacity = 0.2f;
    _backgroundColors = {QColor(221, 221, 223), QColor(221, 221, 223)};
    _stripesOpacity = StripesOpacity;
    setAttribute(Qt::WA_NoSystemBackground);
    resizeLayers();
    setAnimates(true);
}

void ITProgressBar::checkValue(double value)
{
    // A NaN is no value between 0 and 1 either.
    if (!(value >= 0.0 && value <= 1.0))
        throw InvalidValueException(
            QStringLiteral("Invalid value passed for `setFloatValue:`. Value must be between 0.0 and 1.0"));
}

void ITProgressBar::setFloatValue(double value)
{
    checkValue(value);
    if (_valueAnimation) {
        _valueAnimation->disconnect(this);
        _valueAnimation->stop();
    }
    applyFloatValue(value);
}

void ITProgressBar::applyFloatValue(double value)
{
    _floatValue = value;
    resizeInnerLayers();
    update();
}

std::optional<QEasingCurve> ITProgressBar::defaultAnimationForKey(const QString &key)
{
    if (key != QLatin1String("floatValue"))
        return std::nullopt;
    QEasingCurve easeInEaseOut(QEasingCurve::BezierSpline);
    easeInEaseOut.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return easeInEaseOut;
}

void ITProgressBar::setFloatValueAnimated(double value)
{
    checkValue(value);
    QVariantAnimation *animation = startAnimation(this, _valueAnimation, _floatValue, value, StandardDuration,
                                                  [this](double v) { applyFloatValue(v); }, {});
    if (auto curve = defaultAnimationForKey(QStringLiteral("floatValue")))
        animation->setEasingCurve(*curve);
}

bool ITProgressBar::isValueAnimating() const
{
    return _valueAnimation && _valueAnimation->state() == QAbstractAnimation::Running;
}

void ITProgressBar::setAnimates(bool animates)
{
    if (animates == _animates)
        return;
    _animates = animates;
    if (animates) {
        if (!_stripesAnimation && _animates && !_it_isHidden)
            addStripesAnimation();
        fadeStripesOpacity(StripesOpacity, {});
    } else {
        fadeStripesOpacity(0, [this] {
            if (_stripesAnimation && !_animates)
                removeStripesAnimation();
        });
    }
}

void ITProgressBar::setAnimationDuration(double seconds)
{
    _animationDuration = seconds;
    if (_animates) {
        setAnimates(false);
        removeStripesAnimation();
        setAnimates(true);
    }
}

void ITProgressBar::setColorTint(const QColor &color)
{
    _colorTint = color;
    update();
}

void ITProgressBar::setColorTintOpacity(double opacity)
{
    _colorTintOpacity = opacity;
    update();
}

void ITProgressBar::setBackgroundColors(const QList<QColor> &colors)
{
    _backgroundColors = colors;
    update();
}

void ITProgressBar::setBorderWidth(double width)
{
    if (_shadowWidth > width)
        _shadowWidth = width;
    _borderWidth = width;
    update();
}

void ITProgressBar::setBorderColor(const QColor &color)
{
    _borderColor = color;
    update();
}

void ITProgressBar::setShadowWidth(double width)
{
    if (width > _borderWidth) {
        Platform::systemLog(QStringLiteral("Warning: Line width must be at least as large as shadow width"));
        return;
    }
    _shadowWidth = width;
    update();
}

void ITProgressBar::setStripesImage(const QImage &image)
{
    _stripesImage = image;
    update();
}

bool ITProgressBar::hasStripesAnimation() const { return !_stripesAnimation.isNull(); }

bool ITProgressBar::isStripesAnimationRunning() const
{
    return _stripesAnimation && _stripesAnimation->state() == QAbstractAnimation::Running;
}

void ITProgressBar::followVisibility(bool shown)
{
    if (!_stripesAnimation)
        return;
    if (shown && _stripesAnimation->state() == QAbstractAnimation::Paused)
        _stripesAnimation->resume();
    else if (!shown && _stripesAnimation->state() == QAbstractAnimation::Running)
        _stripesAnimation->pause();
}

void ITProgressBar::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    followVisibility(true);
}

void ITProgressBar::hideEvent(QHideEvent *event)
{
    // Also a minimised window: its widgets stay "visible" but nobody sees them.
    QWidget::hideEvent(event);
    followVisibility(false);
}

void ITProgressBar::addStripesAnimation()
{
    const double width = _stripesImage.width();
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(-width);
    animation->setEndValue(0.0);
    animation->setDuration(Platform::Clock::realMs(_animationDuration));
    animation->setLoopCount(-1);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        _stripesX = value.toDouble();
        update();
    });
    _stripesAnimation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    followVisibility(isVisible() && !window()->isMinimized());
}

void ITProgressBar::removeStripesAnimation()
{
    if (!_stripesAnimation)
        return;
    _stripesAnimation->stop();
    _stripesAnimation = nullptr;
    _stripesX = _stripesFrame.x();
    update();
}

void ITProgressBar::fadeStripesOpacity(double to, std::function<void()> completion)
{
    startAnimation(
        this, _stripesFade, _stripesOpacity, to, StandardDuration,
        [this](double v) {
            _stripesOpacity = v;
            update();
        },
        std::move(completion));
}

void ITProgressBar::fadeAlpha(double to, std::function<void()> completion)
{
    startAnimation(
        this, _alphaFade, _alpha, to, StandardDuration,
        [this](double v) {
            _alpha = v;
            update();
        },
        std::move(completion));
}

void ITProgressBar::setHidden(bool hidden)
{
    _it_isHidden = hidden;
    if (isHidden() == hidden) {
        // A show during a fade-out: the bar is still there, so fade it back.
        if (!hidden && (_alpha < 1.0 || (_alphaFade && _alphaFade->endValue().toDouble() < 1.0))) {
            fadeAlpha(1.0, {});
            if (_animates && !_stripesAnimation)
                addStripesAnimation();
        }
        return;
    }
    if (hidden) {
        fadeAlpha(0.0, [this] {
            if (_it_isHidden) {
                QWidget::setHidden(true);
                removeStripesAnimation();
            }
        });
    } else {
        QWidget::setHidden(false);
        fadeAlpha(1.0, {});
        if (_animates && !_stripesAnimation)
            addStripesAnimation();
    }
}

void ITProgressBar::resizeLayers()
{
    const QRectF bounds(QPointF(0, 0), QSizeF(size()));
    _clipFrame = bounds;
    resizeInnerLayers();
    _fillFrame = bounds;
    _colorTintFrame = bounds;
    _borderContents = borderImageForSize(bounds.size(), false);
    const double stripe = std::max(1, _stripesImage.width());
    _stripesFrame = QRectF(-stripe, bounds.y(), stripe * (std::ceil(bounds.width() / stripe) + 1), bounds.height());
    if (!_stripesAnimation)
        _stripesX = _stripesFrame.x();
    update();
}

void ITProgressBar::resizeInnerLayers()
{
    const QRectF bounds(QPointF(0, 0), QSizeF(size()));
    QRectF inner = bounds.adjusted(_borderWidth, _borderWidth, -_borderWidth, -_borderWidth);
    if (inner.width() < 0 || inner.height() < 0)
        inner = QRectF(inner.topLeft(), QSizeF(0, 0));
    inner.setWidth(inner.width() * _floatValue);
    _innerClipFrame = inner;
    const QRectF innerBounds(QPointF(0, 0), inner.size());
    _innerShadowFrame = innerBounds.adjusted(-_borderWidth, -_borderWidth, _borderWidth, _borderWidth);
    _innerShadowContents = borderImageForSize(_innerShadowFrame.size(), true);
}

QImage ITProgressBar::stripesImageWithSize(const QSize &size)
{
    const double w = size.width();
    const double h = size.height();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPolygon(QPolygonF({QPointF(w, 0), QPointF(w, h / 2), QPointF(w / 2, h), QPointF(0, h)}));
    painter.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(w / 2, 0), QPointF(0, h / 2)}));
    return image;
}

QImage ITProgressBar::borderImageForSize(const QSizeF &size, bool withInnerShadow) const
{
    if (size.width() <= 0 || size.height() <= 0)
        return {};
    const qreal ratio = devicePixelRatioF();
    QImage image((size * ratio).toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn upright: y grows upwards, so the shadow's negative offset lies below.
    painter.setTransform(CocoaGeometry::toQtTransform(size.height()));
    const double bw = _borderWidth;
    QPainterPath path;
    path.addRoundedRect(QRectF(bw / 2, bw / 2, size.width() - bw, size.height() - bw), size.height() / 2,
                        size.height() / 2);
    QPen pen(_borderColor);
    pen.setWidthF(bw);
    if (withInnerShadow) {
        QColor shadow(Qt::white);
        shadow.setAlphaF(0.6f);
        QoDrawing::strokeWithShadow(painter, path, pen, shadow, QPointF(0, -_shadowWidth), 0);
    } else {
        painter.strokePath(path, pen);
    }
    return image;
}

QRectF ITProgressBar::innerToView(const QRectF &innerFrame) const
{
    return CocoaGeometry::toQt(innerFrame, _innerClipFrame.height()).translated(_innerClipFrame.topLeft());
}

void ITProgressBar::paintEvent(QPaintEvent *)
{
    if (_alpha <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(_alpha);
    painter.setClipPath(roundedByHalfHeight(_clipFrame));

    // Gradients run from their first colour at the bottom to the last at the top.
    const auto vertical = [](const QRectF &r, const QColor &bottom, const QColor &top) {
        QLinearGradient gradient(r.bottomLeft(), r.topLeft());
        gradient.setColorAt(0, bottom);
        gradient.setColorAt(1, top);
        return gradient;
    };
    if (!_backgroundColors.isEmpty())
        painter.fillRect(_clipFrame, vertical(_clipFrame, _backgroundColors.first(), _backgroundColors.last()));
    if (!_borderContents.isNull())
        painter.drawImage(_clipFrame, _borderContents);

    if (_innerClipFrame.width() <= 0 || _innerClipFrame.height() <= 0)
        return;
    painter.setClipPath(roundedByHalfHeight(_innerClipFrame), Qt::IntersectClip);

    const QRectF fill = innerToView(_fillFrame);
    painter.fillRect(fill, vertical(fill, QColor(2, 125, 255), QColor(91, 210, 255)));

    if (_stripesOpacity > 0 && !_stripesImage.isNull()) {
        QRectF stripes = _stripesFrame;
        stripes.moveLeft(_stripesX);
        const QRectF onView = innerToView(stripes);
        QBrush pattern(_stripesImage);
        pattern.setTransform(QTransform::fromTranslate(onView.x(), onView.y()));
        painter.save();
        painter.setOpacity(_alpha * _stripesOpacity);
        painter.fillRect(onView, pattern);
        painter.restore();
    }
    if (!_innerShadowContents.isNull())
        painter.drawImage(innerToView(_innerShadowFrame), _innerShadowContents);
    if (_colorTint.isValid()) {
        painter.save();
        painter.setOpacity(_alpha * _colorTintOpacity);
        painter.fillRect(innerToView(_colorTintFrame), _colorTint);
        painter.restore();
    }
}

void ITProgressBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    resizeLayers();
}
