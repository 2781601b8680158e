#include "CustomHeaderView.h"

#include <QPainter>
#include <QTableView>
#include <QTreeView>

CustomHeaderView::CustomHeaderView(Qt::Orientation orientation, QWidget *parent) : QHeaderView(orientation, parent)
{
    setSectionsClickable(true);
    setHighlightSections(false);
    connect(this, &QHeaderView::sortIndicatorChanged, this, &CustomHeaderView::sortChanged);
}

CustomHeaderView *CustomHeaderView::replaceHeader(QTableView *table, int height)
{
    auto *header = new CustomHeaderView(Qt::Horizontal, table);
    table->setHorizontalHeader(header);
    header->setFixedHeight(height);
    return header;
}

CustomHeaderView *CustomHeaderView::replaceHeader(QTreeView *outline, int height)
{
    auto *header = new CustomHeaderView(Qt::Horizontal, outline);
    outline->setHeader(header);
    header->setFixedHeight(height);
    return header;
}

CustomHeaderCell &CustomHeaderView::cellForSection(int logicalIndex)
{
    auto it = _cells.find(logicalIndex);
    if (it == _cells.end()) {
        const QString title = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
        it = _cells.insert(logicalIndex, CustomHeaderCell(title));
    }
    return it.value();
}

void CustomHeaderView::sortChanged(int logicalIndex, Qt::SortOrder order)
{
    const int sections = count();
    for (int i = 0; i < sections; ++i) {
        CustomHeaderCell &cell = cellForSection(i);
        if (i == logicalIndex)
            cell.setSortAscending(order == Qt::AscendingOrder, 0);
        else
            cell.setSortAscending(cell.ascending(), 1);
    }
    viewport()->update();
}

void CustomHeaderView::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    CustomHeaderCell &cell = const_cast<CustomHeaderView *>(this)->cellForSection(logicalIndex);
    // The title follows the model, as a column's header text may change.
    if (model())
        cell.setStringValue(model()->headerData(logicalIndex, orientation()).toString());
    cell.drawWithFrame(*painter, rect, this);
    cell.drawSortIndicatorWithFrame(*painter, rect, this, cell.ascending(), cell.priority());
}
