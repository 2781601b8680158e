#pragma once

// What the stop confirmation tells the OS Clone page.
class MakeSureCancelCloneSystemVCDelegate {
public:
    virtual ~MakeSureCancelCloneSystemVCDelegate() = default;
    // The user asked to stop the running clone; the panel is already closed.
    virtual void cancelToCopySystem() {}
};
