#include "CustomTableView.h"

#include "CustomTableViewDelegate.h"
#include "TableViewDataSource.h"
#include "TableViewDelegate.h"

#include "CustomHeaderView.h"
#include "GetColor.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

// The row backgrounds of the design: at x 8 from the row's top, 675 × 48.
constexpr double kRowBackgroundX = 8;
constexpr double kRowBackgroundWidth = 675;
constexpr double kRowBackgroundHeight = 48;
constexpr double kRowBackgroundRadius = 8;
constexpr int kHeaderHeight = 25;

} // namespace

CustomTableView::CustomTableView(QWidget *parent) : QTableWidget(parent)
{
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setShowGrid(false);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QTableWidget { background: transparent; border: none; }"));
}

void CustomTableView::awakeFromNib()
{
    CustomHeaderView *header = CustomHeaderView::replaceHeader(this, kHeaderHeight);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setStretchLastSection(false);
    // What lies right of the last column is the header's band too.
    QPalette palette = header->palette();
    palette.setColor(QPalette::Button, CustomHeaderCell::backgroundColor());
    palette.setColor(QPalette::Window, CustomHeaderCell::backgroundColor());
    header->setPalette(palette);
    connect(header, &QHeaderView::sectionPressed, this, &CustomTableView::headerPressed);
}

void CustomTableView::setColumnIdentifiers(const QStringList &identifiers)
{
    m_columnIdentifiers = identifiers;
    if (columnCount() < identifiers.size())
        setColumnCount(int(identifiers.size()));
}

QString CustomTableView::identifierOfColumn(int column) const { return m_columnIdentifiers.value(column); }

void CustomTableView::setSelectNum(int row)
{
    m_rowNum = row;
    viewport()->update();
}

void CustomTableView::registerViewWithIdentifier(const QString &identifier, ViewMaker maker)
{
    m_makers.insert(identifier, std::move(maker));
}

QWidget *CustomTableView::makeViewWithIdentifier(const QString &identifier) const
{
    const auto it = m_makers.constFind(identifier);
    return it == m_makers.constEnd() || !*it ? nullptr : (*it)();
}

void CustomTableView::reloadData()
{
    const int rows = m_dataSource ? std::max(0, m_dataSource->numberOfRowsInTableView(this)) : 0;
    // Cell views go (deleted later, so a button of an old row may still be
    // finishing its click) and come back from the delegate.
    for (int row = 0; row < rowCount(); ++row)
        for (int column = 0; column < columnCount(); ++column)
            removeCellWidget(row, column);
    clearContents();
    setRowCount(rows);
    QList<int> widths(columnCount(), 0);
    for (int row = 0; row < rows; ++row) {
        const double height = m_delegate ? m_delegate->heightOfRow(this, row) : 17;
        setRowHeight(row, int(height));
        for (int column = 0; column < columnCount(); ++column) {
            const QString identifier = identifierOfColumn(column);
            if (m_dataSource) {
                const QVariant value = m_dataSource->objectValueForTableColumn(this, identifier, row);
                if (value.isValid())
                    setItem(row, column, new QTableWidgetItem(value.toString()));
            }
            if (!m_delegate)
                continue;
            if (QWidget *view = m_delegate->viewForTableColumn(this, identifier, row)) {
                widths[column] = std::max(widths[column], view->width());
                setCellWidget(row, column, view);
            }
        }
    }
    // A column is as wide as the views the delegate made for it.
    for (int column = 0; column < columnCount(); ++column)
        if (widths[column] > 0)
            setColumnWidth(column, widths[column]);
    // The views take their places now, not at the next layout pass.
    updateGeometries();
    updateEditorGeometries();
    viewport()->update();
}

QWidget *CustomTableView::viewAtColumn(int column, int row) const { return cellWidget(row, column); }

QRect CustomTableView::rectOfRow(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return QRect(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
}

void CustomTableView::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        const int visibleHeight = viewport()->height();
        for (int row = 0; row < rowCount(); ++row) {
            const int y = rowViewportPosition(row);
            if (y + kRowBackgroundHeight < 0 || y > visibleHeight)
                continue;
            const int grey = row == m_rowNum ? 67 : 52;
            QPainterPath path;
            path.addRoundedRect(QRectF(kRowBackgroundX, y, kRowBackgroundWidth, kRowBackgroundHeight),
                                kRowBackgroundRadius, kRowBackgroundRadius);
            painter.fillPath(path, getColor(grey, grey, grey, 1));
        }
    }
    QTableWidget::paintEvent(event);
}

void CustomTableView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        if (m_listDelegate)
            m_listDelegate->listRightMouseDown(event);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const int row = rowAt(event->position().toPoint().y());
    if (row >= 0 && m_delegate)
        m_delegate->shouldSelectRow(this, row);
}

void CustomTableView::mouseDoubleClickEvent(QMouseEvent *event) { event->accept(); }

bool CustomTableView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (m_delegate && index.isValid() &&
        !m_delegate->shouldEditTableColumn(this, identifierOfColumn(index.column()), index.row()))
        return false;
    return QTableWidget::edit(index, trigger, event);
}

void CustomTableView::headerPressed(int column)
{
    if (m_delegate && !m_delegate->shouldSelectTableColumn(this, identifierOfColumn(column)))
        return;
    m_selectedColumn = column;
}
