#include "RepairDiskTableCellView.h"

#include "ui_RepairDiskTableCellView.h"

#include "GetColor.h"

#include <QPainter>
#include <QPainterPath>

RepairDiskTableCellView::RepairDiskTableCellView(QWidget *parent) : QWidget(parent) {}

RepairDiskTableCellView *RepairDiskTableCellView::makeFromInterfaceFile()
{
    auto *view = new RepairDiskTableCellView;
    // The form only creates the subviews; they are found by their identifiers.
    Ui::RepairDiskTableCellView form;
    form.setupUi(view);
    return view;
}

void RepairDiskTableCellView::paintEvent(QPaintEvent *)
{
    if (_isStr)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(0, 6, 810, 72), 8, 8);
    painter.fillPath(card, getColor(245, 247, 249, 1));
}
