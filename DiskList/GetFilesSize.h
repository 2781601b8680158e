#pragma once
#include "Controller.h"
#include "FileNode.h"

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

// The one report of a GetFilesSize: the selection's size in bytes, sent once,
// on a background thread.
class GetFilesSizeDelegate {
public:
    virtual ~GetFilesSizeDelegate() = default;
    virtual void allCopyFilesSize(qint64 size) { Q_UNUSED(size); }
};

// Sums how many bytes a checked selection stands for: checked files with the
// size stored when they were listed, checked folders from what they hold on
// disk now, leaving out what the jobs leave out (SelectionKeepOut). One sum per summer; it reports once, on a background thread.
// Clearing or replacing the delegate takes effect at once: once setDelegate
// has returned, the old delegate is never called again (a report under way
// finishes first). A sum started again on the same summer replaces the first,
// which then never reports.
class GetFilesSize : public ControllerDelegate, public std::enable_shared_from_this<GetFilesSize> {
public:
    explicit GetFilesSize(GetFilesSizeDelegate *delegate = nullptr);
    // A summer that keeps itself alive until its report: make it, start it, let go.
    static std::shared_ptr<GetFilesSize> create(GetFilesSizeDelegate *delegate = nullptr);

    GetFilesSizeDelegate *delegate() const;
    void setDelegate(GetFilesSizeDelegate *delegate);
    // Nothing reads it: a sum, once started, runs to its report.
    bool isCancel() const { return m_isCancel; }
    void setIsCancel(bool cancel) { m_isCancel = cancel; }
    // The running total; the sum's result once it has reported.
    qint64 allFileSize() const { return *m_allFileSize; }

    // Reads the selection right away (on the main thread, where the tree
    // changes, when called from elsewhere), then walks the ticked folders on
    // the global queue and reports. Returns at once.
    void getAllFilesSizeWithArr(const FileNodeArray &arr);
    void getAllFilesSizeWithArr(const FileNodeArrayPtr &arr);
    // What everything at `path` holds, plus `withTotailSize`.
    quint64 getFileSizeWithPat(const QString &path, quint64 withTotailSize) const;

    GetFilesSize(const GetFilesSize &) = delete;
    GetFilesSize &operator=(const GetFilesSize &) = delete;

private:
    // What the sum's worker shares with the summer: the delegate, read under
    // the lock for every report, and the number of the sum that may report.
    struct Channel {
        mutable std::recursive_mutex mutex;
        GetFilesSizeDelegate *delegate = nullptr;
        quint64 sum = 0;
    };
    bool m_isCancel = false;
    std::shared_ptr<std::atomic<qint64>> m_allFileSize = std::make_shared<std::atomic<qint64>>(0);
    std::shared_ptr<Channel> m_channel = std::make_shared<Channel>();
};
