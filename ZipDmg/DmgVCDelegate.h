#pragma once

// What the Disk Image page tells its owner (the main window controller).
class DmgVCDelegate {
public:
    virtual ~DmgVCDelegate() = default;
    // NO when an image or archive job starts (tab switching is locked), YES
    // when its end view is shown.
    virtual void canChangeTab(bool can) { (void)can; }
};
