#pragma once

// What the Disk Copy page tells its owner (the main window controller).
class DiskCopyVCDelegate {
public:
    virtual ~DiskCopyVCDelegate() = default;
    // NO when a copy starts (tab switching is locked), YES when its end view
    // is shown.
    virtual void canChangeTab(bool can) { (void)can; }
};
