#pragma once
#include "FileNode.h"

// What the file browser window gives its page after OK: the top-level array
// with its check marks (the page's own array when it handed one in) and the
// selection's size in bytes. Sent on a background thread; the page moves its
// own work to the main thread.
class DiskListWCDelegate {
public:
    virtual ~DiskListWCDelegate() = default;
    virtual void closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 withSelectSize)
    {
        (void)arr;
        (void)withSelectSize;
    }
};
