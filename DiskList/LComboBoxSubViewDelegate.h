#pragma once

// What the copy-mode box's background reports: a click anywhere on the box.
class LComboBoxSubViewDelegate {
public:
    virtual ~LComboBoxSubViewDelegate() = default;
    virtual void doSelect() {}
};
