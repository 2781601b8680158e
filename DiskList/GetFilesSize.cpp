#include "GetFilesSize.h"

#include "SelectionKeepOut.h"

#include "QoPublicUtilities.h"

#include "Dispatch.h"
#include "SystemLog.h"
#include "TreeWalker.h"

#include <QStringList>

GetFilesSize::GetFilesSize(GetFilesSizeDelegate *delegate) { m_channel->delegate = delegate; }

GetFilesSizeDelegate *GetFilesSize::delegate() const
{
    std::lock_guard<std::recursive_mutex> lock(m_channel->mutex);
    return m_channel->delegate;
}

void GetFilesSize::setDelegate(GetFilesSizeDelegate *delegate)
{
    std::lock_guard<std::recursive_mutex> lock(m_channel->mutex);
    m_channel->delegate = delegate;
}

std::shared_ptr<GetFilesSize> GetFilesSize::create(GetFilesSizeDelegate *delegate)
{
    return std::make_shared<GetFilesSize>(delegate);
}

void GetFilesSize::getAllFilesSizeWithArr(const FileNodeArrayPtr &arr)
{
    getAllFilesSizeWithArr(arr ? *arr : FileNodeArray());
}

void GetFilesSize::getAllFilesSizeWithArr(const FileNodeArray &arr)
{
    *m_allFileSize = 0;
    quint64 sum = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_channel->mutex);
        sum = ++m_channel->sum;
    }

    // What the walk needs is taken from the tree now, so the walk itself never
    // reads nodes that the main thread may be changing. Paths go as the file
    // system's bytes (a name need not be UTF-8), and what the jobs leave out
    // is not counted.
    quint64 listedBytes = 0;
    QList<QByteArray> folders;
    Platform::Dispatch::mainSync([&] {
        const std::unique_ptr<SelectionKeepOut> keepOut = SelectionKeepOut::make();
        for (const FileNodePtr &top : arr) {
            if (!top)
                continue;
            if (keepOut)
                keepOut->enterTopLevel(*top);
            FileNode::walkSelection(FileNodeList{top}, [&](FileNode *node) {
                if (keepOut && keepOut->keepsOut(*node, true))
                    return;
                if (node->isDirectory)
                    folders.append(node->pathBytes());
                else
                    listedBytes += node->size;
            });
        }
    });

    // The block keeps a shared summer alive until its report; it touches
    // nothing of the summer but the shared total, so a summer owned otherwise
    // may even go before it.
    std::shared_ptr<GetFilesSize> keep = weak_from_this().lock();
    Platform::Dispatch::globalAsync([keep, total = m_allFileSize, channel = m_channel, sum, folders, listedBytes] {
        const quint64 bytes = listedBytes + Platform::TreeWalker::totalSize(folders);
        std::lock_guard<std::recursive_mutex> lock(channel->mutex);
        if (channel->sum != sum)
            return; // replaced by a later sum
        *total = qint64(bytes);
        Platform::systemLog(QString::asprintf("---%llu | ", static_cast<unsigned long long>(bytes)) +
                            QoPublicUtilities::longlongDiskSize(qint64(bytes)));
        if (channel->delegate)
            channel->delegate->allCopyFilesSize(qint64(bytes));
    });
}

quint64 GetFilesSize::getFileSizeWithPat(const QString &path, quint64 withTotailSize) const
{
    return withTotailSize + Platform::TreeWalker::totalSize(path);
}
