#include "LComboBoxSubView.h"

#include "LComboBoxSubViewDelegate.h"

#include <QMouseEvent>

LComboBoxSubView::LComboBoxSubView(QWidget *parent) : QWidget(parent) {}

void LComboBoxSubView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    if (m_delegate)
        m_delegate->doSelect();
}
