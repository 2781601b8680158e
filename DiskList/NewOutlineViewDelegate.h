#pragma once

class QMouseEvent;

// What the browser's outline view passes on. Optional; nothing in the
// program sets one, so a right click does nothing.
class NewOutlineViewDelegate {
public:
    virtual ~NewOutlineViewDelegate() = default;
    virtual void listRightMouseDown(QMouseEvent *event) { (void)event; }
};
