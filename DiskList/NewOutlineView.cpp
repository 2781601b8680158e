#include "NewOutlineView.h"

#include "NewOutlineViewDelegate.h"

#include "CustomHeaderView.h"
#include "QoDrawing.h"

#include "GetColor.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

NewOutlineView::NewOutlineView(QWidget *parent) : QTreeView(parent)
{
    CustomHeaderView::replaceHeader(this, 30);
    setUniformRowHeights(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setAllColumnsShowFocus(false);
    setAnimated(false);
    setExpandsOnDoubleClick(true);
    setIconSize(QSize(16, 16));
    setFrameShape(QFrame::NoFrame);
}

void NewOutlineView::setRowNum(qint64 row)
{
    m_rowNum = row;
    viewport()->update();
}

int NewOutlineView::columnWithIdentifier(const QString &identifier) const
{
    return int(m_columnIdentifiers.indexOf(identifier));
}

QString NewOutlineView::identifierOfColumn(int column) const { return m_columnIdentifiers.value(column); }

void NewOutlineView::applyColumnWidths()
{
    header()->setStretchLastSection(false);
    for (int i = 0; i < m_columnWidths.size(); ++i) {
        bool ok = false;
        const int width = m_columnWidths[i].toInt(&ok);
        if (ok)
            setColumnWidth(i, width);
    }
}

qint64 NewOutlineView::rowForIndex(const QModelIndex &index) const
{
    if (!index.isValid())
        return -1;
    const QRect r = visualRect(index.siblingAtColumn(0));
    if (!r.isValid() || r.height() <= 0)
        return -1;
    return (r.top() + verticalOffset()) / r.height();
}

QModelIndex NewOutlineView::indexForRow(qint64 row) const
{
    if (row < 0 || !model())
        return {};
    QModelIndex index = model()->index(0, 0);
    for (qint64 i = 0; i < row && index.isValid(); ++i)
        index = indexBelow(index);
    return index;
}

QColor NewOutlineView::highlightColor() { return getColor(55, 55, 55, 1); }

void NewOutlineView::drawRow(QPainter *painter, const QStyleOptionViewItem &options, const QModelIndex &index) const
{
    const int height = options.rect.height();
    const qint64 row = height > 0 ? (options.rect.top() + verticalOffset()) / height : -1;
    if (row == m_rowNum) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        QRectF band(options.rect);
        band.setLeft(0);
        band.setWidth(highlightWidth - horizontalOffset());
        painter->fillPath(QoDrawing::roundedPath(band, 4, 0), highlightColor());
        painter->restore();
    }
    QStyleOptionViewItem plain(options);
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    QTreeView::drawRow(painter, plain, index);
}

void NewOutlineView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        if (m_aDelegate)
            m_aDelegate->listRightMouseDown(event);
        return;
    }
    QTreeView::mouseReleaseEvent(event);
}
