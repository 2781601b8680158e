#pragma once
class QMouseEvent;

// Told by a CustomTableView about a right mouse down in it. Optional.
class CustomTableViewDelegate {
public:
    virtual ~CustomTableViewDelegate() = default;
    virtual void listRightMouseDown(QMouseEvent *event) { (void)event; }
};
