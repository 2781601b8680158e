#include "DiskListView.h"

#include "DiskListViewDelegate.h"

#include "CocoaGeometry.h"
#include "QoDrawing.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

DiskListView::DiskListView(QWidget *parent) : QWidget(parent) {}

QRectF DiskListView::highlightRect() { return QRectF(20, 0, 318, 48); }

QColor DiskListView::highlightColor() { return QColor::fromRgbF(77 / 255.0, 77 / 255.0, 77 / 255.0, 1.0); }

void DiskListView::mouseEntered()
{
    m_mouseIn = true;
    if (m_diskViewDelegate)
        m_diskViewDelegate->mouseInView();
    update();
}

void DiskListView::mouseExited()
{
    m_mouseIn = false;
    if (m_diskViewDelegate)
        m_diskViewDelegate->mouseOutView();
    update();
}

void DiskListView::mouseDown()
{
    if (m_diskViewDelegate)
        m_diskViewDelegate->doSelectDisk();
}

void DiskListView::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    mouseEntered();
}

void DiskListView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    mouseExited();
}

void DiskListView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    mouseDown();
}

void DiskListView::paintEvent(QPaintEvent *)
{
    if (!m_mouseIn)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(CocoaGeometry::toQtTransform(height()));
    painter.fillPath(QoDrawing::roundedPath(highlightRect(), 4, 0.5), highlightColor());
}
