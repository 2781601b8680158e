#include "LeftButton.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "GetColor.h"

LeftButton::LeftButton(QWidget *parent) : QPushButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

LeftButton::LeftButton(const QRect &frame, QWidget *parent) : QPushButton(parent), _isDisabled(true), _isAction(false)
{
    setFocusPolicy(Qt::NoFocus);
    setGeometry(frame);
    setText(QStringLiteral(" "));
}

QRectF LeftButton::selectionPlateRect() { return QRectF(20, 10, 210, 40); }

QRectF LeftButton::iconRect() { return QRectF(40, 18, 24, 24); }

void LeftButton::setImageFromFileNormalName(const QString &normalName, const QString &withActiveName)
{
    _normalImage = QoImage::named(normalName);
    _activeImage = QoImage::named(withActiveName);
    _dstRect = QRectF(QPointF(0, 0), _normalImage.size());
    _srcRect = _dstRect;
    update();
}

void LeftButton::setTextWithName(const QString &name)
{
    if (_textField)
        return;
    auto *label = new QLabel(this);
    label->setGeometry(QRectF(75, (height() - 21) * 0.5, 120, 21).toRect());
    QFont font = QApplication::font();
    font.setPixelSize(16);
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setWordWrap(true);
    label->setText(name);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    // A child of a button would otherwise draw in the button's text colour.
    label->setForegroundRole(QPalette::WindowText);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, _isAction ? getColor(0, 0, 0, 1) : QColor(Qt::white));
    label->setPalette(palette);
    label->show();
    _textField = label;
}

void LeftButton::setButtonEnabled(bool enabled)
{
    _isDisabled = enabled;
    repaint();
}

void LeftButton::setButtonAction(bool action)
{
    _isAction = action;
    // Coloured here, not while painting: a palette change on the label
    // repaints the button.
    setLabelColor(_isAction ? getColor(0, 0, 0, 1) : QColor(Qt::white));
    repaint();
}

void LeftButton::setLabelColor(const QColor &color)
{
    if (!_textField)
        return;
    QPalette palette = _textField->palette();
    if (palette.color(QPalette::WindowText) == color)
        return;
    palette.setColor(QPalette::WindowText, color);
    _textField->setPalette(palette);
}

void LeftButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (_isAction) {
        QPainterPath plate;
        plate.addRoundedRect(selectionPlateRect().adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.fillPath(plate, QColor(13, 193, 97));
        _activeImage.draw(painter, iconRect());
    } else {
        _normalImage.draw(painter, iconRect());
    }
}

void LeftButton::enterEvent(QEnterEvent *event)
{
    QPushButton::enterEvent(event);
    if (isEnabled()) {
        _isFocus = true;
        repaint();
    }
}

void LeftButton::leaveEvent(QEvent *event)
{
    QPushButton::leaveEvent(event);
    _isFocus = false;
    repaint();
}

void LeftButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mousePressEvent(event);
        return;
    }
    if (!_isDisabled) {
        event->accept();
        return;
    }
    if (isEnabled()) {
        _isTracking = true;
        repaint();
    }
    QPushButton::mousePressEvent(event);
}

void LeftButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mouseReleaseEvent(event);
        return;
    }
    QPointer<LeftButton> self(this);
    QPushButton::mouseReleaseEvent(event);
    if (!self || !_isTracking)
        return;
    _isTracking = false;
    repaint();
}
