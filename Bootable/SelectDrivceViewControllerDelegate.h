#pragma once

// What the OS Clone page tells its owner (the main window controller).
class SelectDrivceViewControllerDelegate {
public:
    virtual ~SelectDrivceViewControllerDelegate() = default;
    // NO when a clone starts (tab switching is locked), YES when its end view
    // is shown.
    virtual void canChangeTab(bool can) { (void)can; }
};
