#include "GetFilesSize.h"

#include "QoPublicUtilities.h"

#include "Dispatch.h"
#include "SystemLog.h"
#include "TreeWalker.h"

#include <QStringList>

GetFilesSize::GetFilesSize(GetFilesSizeDelegate *delegate) : m_delegate(delegate) {}

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

    // What the walk needs is taken from the tree now, so the walk itself never
    // reads nodes that the main thread may be changing.
    quint64 listedBytes = 0;
    QStringList folders;
    Platform::Dispatch::mainSync([&] {
        FileNode::walkSelection(arr, [&](FileNode *node) {
            if (node->isDirectory)
                folders.append(node->path);
            else
                listedBytes += node->size;
        });
    });

    // The block keeps a shared summer alive until its report; it touches
    // nothing of the summer but the shared total, so a summer owned otherwise
    // may even go before it.
    std::shared_ptr<GetFilesSize> keep = weak_from_this().lock();
    Platform::Dispatch::globalAsync([keep, total = m_allFileSize, delegate = m_delegate, folders, listedBytes] {
        const quint64 sum = listedBytes + Platform::TreeWalker::totalSize(folders);
        *total = qint64(sum);
        Platform::systemLog(QString::asprintf("---%llu | ", static_cast<unsigned long long>(sum)) +
                            QoPublicUtilities::longlongDiskSize(qint64(sum)));
        if (delegate)
            delegate->allCopyFilesSize(qint64(sum));
    });
}

quint64 GetFilesSize::getFileSizeWithPat(const QString &path, quint64 withTotailSize) const
{
    return withTotailSize + Platform::TreeWalker::totalSize(path);
}
