#include "SortSelectBgView.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <limits>

#include "GetColor.h"
#include "SortSelectBgViewDelegate.h"

SortSelectBgView::SortSelectBgView(QWidget *parent) : QWidget(parent)
{
    // Pointer movement is followed whether or not the window is active.
    setMouseTracking(true);
}

int SortSelectBgView::integerValue(const QString &text)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    long long value = 0;
    while (i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9')) {
        value = value * 10 + (text.at(i).unicode() - '0');
        if (value > std::numeric_limits<int>::max())
            return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
        ++i;
    }
    return int(negative ? -value : value);
}

int SortSelectBgView::rowNumber() const { return integerValue(_identifier); }

void SortSelectBgView::mouseEntered()
{
    _isMouseIn = true;
    if (_delegate)
        _delegate->mouseInView(true, rowNumber());
    update();
}

void SortSelectBgView::mouseExited()
{
    _isMouseIn = false;
    if (_delegate)
        _delegate->mouseInView(false, rowNumber());
    update();
}

void SortSelectBgView::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    mouseEntered();
}

void SortSelectBgView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    mouseExited();
}

void SortSelectBgView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    if (_delegate)
        _delegate->selectSortType(this);
}

void SortSelectBgView::paintEvent(QPaintEvent *event)
{
    if (!_isMouseIn)
        return;
    QPainter painter(this);
    painter.fillRect(event->rect(), getColor(74, 158, 255, 1));
}
