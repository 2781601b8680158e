#pragma once
#include <QString>

// What a copy job tells its owner. Every call arrives on the main thread while
// the job's worker waits for it; every one is optional (the empty bodies stand
// for "not implemented").
class DoCopyFilesDelegate {
public:
    virtual ~DoCopyFilesDelegate() = default;
    // Just before a checked item is copied: its source path.
    virtual void topCopyFilePath(const QString &path) { Q_UNUSED(path); }
    // 5 before the first top-level item, then after each top-level item; 100
    // means the job is done and every item was copied.
    virtual void topCopyProgress(float progress) { Q_UNUSED(progress); }
    // The job failed: the destination folder has gone (nothing more is
    // copied), or the last item is done and some item could not be copied.
    virtual void copyFileError() {}
};
