#pragma once

// Told by the drop-down menu window when it stops being the key window.
class RMAAttachedWindowDelegate {
public:
    virtual ~RMAAttachedWindowDelegate() = default;
    virtual void closeMattachedWindow() {}
};
