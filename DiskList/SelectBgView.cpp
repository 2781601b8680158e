#include "SelectBgView.h"

#include "SelectBgViewDelegate.h"

#include <QMouseEvent>

SelectBgView::SelectBgView(QWidget *parent) : QWidget(parent) {}

void SelectBgView::mouseEntered()
{
    if (m_delegate)
        m_delegate->mouseInSelectBgView(true);
}

void SelectBgView::mouseExited()
{
    if (m_delegate)
        m_delegate->mouseInSelectBgView(false);
}

void SelectBgView::mouseDown()
{
    if (m_delegate)
        m_delegate->mouseDownAction();
}

void SelectBgView::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    mouseEntered();
}

void SelectBgView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    mouseExited();
}

void SelectBgView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    mouseDown();
}
