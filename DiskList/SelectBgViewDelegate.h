#pragma once

// What a card's background view reports. Both calls are optional: the
// defaults do nothing.
class SelectBgViewDelegate {
public:
    virtual ~SelectBgViewDelegate() = default;
    // The pointer entered (true) or left (false) the view.
    virtual void mouseInSelectBgView(bool inside) { (void)inside; }
    virtual void mouseDownAction() {}
};
