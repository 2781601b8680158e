#pragma once

// What the image confirmation tells its page: the user confirmed.
class DMGMakeSureWCDelegate {
public:
    virtual ~DMGMakeSureWCDelegate() = default;
    virtual void beginToMakeDMGorZIP() {}
};
