#pragma once
#include <QHeaderView>
#include <QMap>

#include "CustomHeaderCell.h"

class QTableView;
class QTreeView;

// A header view that draws every section with its own CustomHeaderCell, made
// from the section's title. The column the view sorts by becomes the primary
// sort column (priority 0, with its triangle); the others get priority 1.
class CustomHeaderView : public QHeaderView {
    Q_OBJECT
public:
    explicit CustomHeaderView(Qt::Orientation orientation, QWidget *parent = nullptr);

    // Puts dark headers on a table or outline once it is loaded: every column
    // gets a CustomHeaderCell and the header becomes `height` points high
    // (the original header was sized `width` x `height`; its width here
    // follows the view).
    static CustomHeaderView *replaceHeader(QTableView *table, int height);
    static CustomHeaderView *replaceHeader(QTreeView *outline, int height);

    // The cell of a section (made on first use).
    CustomHeaderCell &cellForSection(int logicalIndex);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    void sortChanged(int logicalIndex, Qt::SortOrder order);

    mutable QMap<int, CustomHeaderCell> _cells;
};
