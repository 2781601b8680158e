#pragma once

// What the start confirmation tells the OS Clone page.
class MakeSureToCloneSystemVCDelegate {
public:
    virtual ~MakeSureToCloneSystemVCDelegate() = default;
    // The user confirmed; the panel is already closed.
    virtual void beginToCopySystem() {}
};
