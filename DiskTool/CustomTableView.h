#pragma once
#include <QHash>
#include <QStringList>
#include <QTableWidget>
#include <functional>

class CustomTableViewDelegate;
class TableViewDataSource;
class TableViewDelegate;

// The Disk Manager's volume table: view-based rows asked from a data source
// and a delegate, dark header cells, and its own row backgrounds instead of
// the selection highlight (the row numbered rowNum is drawn lighter). The
// table never selects anything itself: a click on a row asks the delegate's
// shouldSelectRow(), which does what picking the row means.
//
// Columns are named by identifiers, set with the interface file's
// "columnIdentifiers" (one per column, in order); their header texts come
// from the interface file too. Cell views are made by the makers registered
// for an identifier, the way a row's view is made from its column.
class CustomTableView : public QTableWidget {
    Q_OBJECT
    Q_PROPERTY(QStringList columnIdentifiers READ columnIdentifiers WRITE setColumnIdentifiers)
public:
    explicit CustomTableView(QWidget *parent = nullptr);

    // What the interface file's loading finishes: every column's header cell
    // becomes a CustomHeaderCell and the header 25 points high.
    void awakeFromNib();

    QStringList columnIdentifiers() const { return m_columnIdentifiers; }
    void setColumnIdentifiers(const QStringList &identifiers);
    QString identifierOfColumn(int column) const;

    // Not owned.
    TableViewDataSource *dataSource() const { return m_dataSource; }
    void setDataSource(TableViewDataSource *dataSource) { m_dataSource = dataSource; }
    TableViewDelegate *delegate() const { return m_delegate; }
    void setDelegate(TableViewDelegate *delegate) { m_delegate = delegate; }
    CustomTableViewDelegate *listDelegate() const { return m_listDelegate; }
    void setListDelegate(CustomTableViewDelegate *delegate) { m_listDelegate = delegate; }

    int rowNum() const { return m_rowNum; }
    void setRowNum(int row) { m_rowNum = row; }
    // The row drawn as the highlighted one; redraws.
    void setSelectNum(int row);
    // The column a header click selected, when the delegate allowed it; -1 otherwise.
    int selectedColumn() const { return m_selectedColumn; }

    using ViewMaker = std::function<QWidget *()>;
    void registerViewWithIdentifier(const QString &identifier, ViewMaker maker);
    // A new view from the maker of `identifier`, or none.
    QWidget *makeViewWithIdentifier(const QString &identifier) const;

    // Asks the data source and the delegate again for every row.
    void reloadData();
    // The view shown in a cell, or none.
    QWidget *viewAtColumn(int column, int row) const;
    // The row's rectangle in the table's scrolled content (viewport coordinates).
    QRect rectOfRow(int row) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;

private:
    void headerPressed(int column);

    QStringList m_columnIdentifiers;
    QHash<QString, ViewMaker> m_makers;
    TableViewDataSource *m_dataSource = nullptr;
    TableViewDelegate *m_delegate = nullptr;
    CustomTableViewDelegate *m_listDelegate = nullptr;
    int m_rowNum = 0;
    int m_selectedColumn = -1;
};
