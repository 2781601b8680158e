#pragma once
#include "FileNode.h"

// What the file browser's view tells the window that hosts it.
class ListFileViewControllerDelagate {
public:
    virtual ~ListFileViewControllerDelagate() = default;
    // The sum after OK: the whole top-level array with its marks, and the
    // selected size. Sent on a background thread.
    virtual void closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 withSelectSize)
    {
        (void)arr;
        (void)withSelectSize;
    }
    // A size sum starts (true); the window must not close meanwhile.
    virtual void getSelectFilesSize(bool summing) { (void)summing; }
};
