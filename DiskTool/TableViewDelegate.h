#pragma once
#include <QString>

class CustomTableView;
class QWidget;

// How a CustomTableView shows its rows and which ones the user may pick.
// Columns are named by their identifiers. The defaults behave like a plain
// table.
class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;
    // The view of a cell (the table takes it over), or none.
    virtual QWidget *viewForTableColumn(CustomTableView *tableView, const QString &tableColumn, int row)
    {
        (void)tableView;
        (void)tableColumn;
        (void)row;
        return nullptr;
    }
    virtual double heightOfRow(CustomTableView *tableView, int row)
    {
        (void)tableView;
        (void)row;
        return 17;
    }
    // Asked when the user clicks a row; the receiver does what picking it means.
    virtual bool shouldSelectRow(CustomTableView *tableView, int row)
    {
        (void)tableView;
        (void)row;
        return true;
    }
    virtual bool shouldEditTableColumn(CustomTableView *tableView, const QString &tableColumn, int row)
    {
        (void)tableView;
        (void)tableColumn;
        (void)row;
        return true;
    }
    virtual bool shouldSelectTableColumn(CustomTableView *tableView, const QString &tableColumn)
    {
        (void)tableView;
        (void)tableColumn;
        return true;
    }
};
