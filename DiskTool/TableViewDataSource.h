#pragma once
#include <QString>
#include <QVariant>

class CustomTableView;

// What a CustomTableView asks for its rows. The methods carry the names of
// their distinguishing keywords (several share the first one).
class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfRowsInTableView(CustomTableView *tableView) = 0;
    // A cell's value; an invalid value leaves the cell empty.
    virtual QVariant objectValueForTableColumn(CustomTableView *tableView, const QString &tableColumn, int row)
    {
        (void)tableView;
        (void)tableColumn;
        (void)row;
        return {};
    }
};
