#include "QoImageButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

QoImageButton::QoImageButton(QWidget *parent, bool usable) : QPushButton(parent), _isDisabled(usable)
{
    // The buttons are worked with the mouse only, as on the original
    // platform; keyboard focus would let the space bar press an unusable one.
    setFocusPolicy(Qt::NoFocus);
}

QoImageButton::QoImageButton(const QRect &frame, QWidget *parent) : QoImageButton(parent, true) { setGeometry(frame); }

void QoImageButton::setButtonEnabled(bool enabled)
{
    _isDisabled = enabled;
    refreshLabelColor();
    repaint();
}

void QoImageButton::setImageFromFileNormalName(const QString &normalName, const QString &withActiveName,
                                               const QString &withHoverName, const QString &withDisableName)
{
    _normalName = normalName;
    _normalImage = QoImage::named(normalName);
    _activeImage = QoImage::named(withActiveName);
    _hoverImage = QoImage::named(withHoverName);
    _disableImage = QoImage::named(withDisableName);
    _dstRect = QRectF(QPointF(0, 0), _normalImage.size());
    _srcRect = _dstRect;
    refreshLabelColor();
    update();
}

QoImageButton::State QoImageButton::currentState() const
{
    if (isEnabled() && _isDisabled) {
        if (_isTracking)
            return State::Pressed;
        if (_isFocus)
            return State::Hover;
        return State::Normal;
    }
    return State::Disabled;
}

QRectF QoImageButton::drawingRect() const
{
    QRectF r = _dstRect;
    r.moveCenter(QRectF(rect()).center());
    return r;
}

QoImage QoImageButton::imageForState(State state) const
{
    switch (state) {
    case State::Normal:
        return _normalImage;
    case State::Pressed:
        return _activeImage;
    case State::Hover:
        return _hoverImage;
    case State::Disabled:
        return _disableImage;
    }
    return {};
}

void QoImageButton::paintEvent(QPaintEvent *event)
{
    if (_normalImage.isNull()) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    imageForState(currentState()).draw(painter, drawingRect());
}

void QoImageButton::enterEvent(QEnterEvent *event)
{
    QPushButton::enterEvent(event);
    if (isEnabled()) {
        _isFocus = true;
        refreshLabelColor();
        repaint();
    }
}

void QoImageButton::leaveEvent(QEvent *event)
{
    QPushButton::leaveEvent(event);
    _isFocus = false;
    refreshLabelColor();
    repaint();
}

void QoImageButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mousePressEvent(event);
        return;
    }
    if (!_isDisabled) {
        // An unusable button swallows the click: no press, so no action.
        event->accept();
        return;
    }
    if (isEnabled()) {
        _isTracking = true;
        refreshLabelColor();
        repaint();
    }
    QPushButton::mousePressEvent(event);
}

void QoImageButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mouseReleaseEvent(event);
        return;
    }
    // The action runs inside the base class's release handling and may
    // delete the button.
    QPointer<QoImageButton> self(this);
    QPushButton::mouseReleaseEvent(event);
    if (!self || !_isTracking)
        return;
    _isTracking = false;
    refreshLabelColor();
    repaint();
}

void QoImageButton::changeEvent(QEvent *event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        refreshLabelColor();
}

QLabel *QoImageButton::makeLabel(const QRectF &frame, const QFont &font, const QString &text)
{
    auto *label = new QLabel(this);
    label->setGeometry(frame.toRect());
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setText(text);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    // A child of a button would otherwise draw in the button's text colour.
    label->setForegroundRole(QPalette::WindowText);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setAutoFillBackground(false);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->show();
    _textField = label;
    refreshLabelColor();
    label->installEventFilter(this);
    return label;
}

bool QoImageButton::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == _textField && (event->type() == QEvent::PaletteChange || event->type() == QEvent::Polish))
        refreshLabelColor(); // does nothing when the colour is already the state's
    return QPushButton::eventFilter(watched, event);
}

void QoImageButton::setLabelColor(const QColor &color)
{
    if (!_textField)
        return;
    QPalette palette = _textField->palette();
    if (palette.color(QPalette::WindowText) == color)
        return;
    palette.setColor(QPalette::WindowText, color);
    _textField->setPalette(palette);
}

QFont QoImageButton::systemFont(int size, bool bold)
{
    QFont font = QApplication::font();
    font.setPixelSize(size);
    font.setBold(bold);
    return font;
}

QColor QoImageButton::labelColorForState(State) const { return Qt::white; }

void QoImageButton::refreshLabelColor() { setLabelColor(labelColorForState(currentState())); }
