#pragma once

// What a volume row's background reports to its row. All calls are optional.
class DiskListViewDelegate {
public:
    virtual ~DiskListViewDelegate() = default;
    virtual void doSelectDisk() {}
    virtual void mouseInView() {}
    virtual void mouseOutView() {}
};
