#pragma once

// What the copy-mode box asks of its page. Every call is optional.
class LComboBoxDelegate {
public:
    virtual ~LComboBoxDelegate() = default;
    // The mode went back to "all files".
    virtual void changeSelectCopyType() {}
    // The search button: open the file browser.
    virtual void doShowSearchView() {}
    // Open the two-row drop-down of modes.
    virtual void showSelectAllVC() {}
};
