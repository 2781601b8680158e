#pragma once

// What the copy confirmation tells its page. Optional.
class CopyMakeSureWCDelegate {
public:
    virtual ~CopyMakeSureWCDelegate() = default;
    // The user confirmed: start the copy.
    virtual void beginToCopyFiles() {}
};
