#pragma once
#include <QWidget>

// The view of one row of the volume table, laid out by the interface file
// "RepairDiskTableCellView" (subviews named by their identifiers: "select",
// "icon", "name", "type", "size", "Tip", "editname", "pro", "rename", "save",
// "format", "eject"). A volume row draws a light rounded card; a heading row
// (isStr) draws nothing of its own. The page fills the subviews.
class RepairDiskTableCellView : public QWidget {
    Q_OBJECT
public:
    explicit RepairDiskTableCellView(QWidget *parent = nullptr);

    // A new view with the subviews of the interface file.
    static RepairDiskTableCellView *makeFromInterfaceFile();

    bool isSelect() const { return _isSelect; }
    void setIsSelect(bool select) { _isSelect = select; }
    bool isStr() const { return _isStr; }
    void setIsStr(bool isStr) { _isStr = isStr; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool _isSelect = false;
    bool _isStr = false;
};
