#include "DragView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <algorithm>

#include "DragViewDelegate.h"
#include "SystemLog.h"

namespace {

const QString TiffType = QStringLiteral("image/tiff");

bool offersFiles(const QMimeData *data)
{
    if (!data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}

// The file's path as the file system's bytes. A name that is not UTF-8 comes
// percent-encoded byte by byte, which the URL's decoded text would turn into
// replacement characters: the path is decoded from its encoded form instead.
QByteArray localPathBytes(const QUrl &url)
{
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

} // namespace

DragView::DragView(QWidget *parent) : QWidget(parent) { setAcceptDrops(true); }

Qt::DropAction DragView::operationForDrag(const QMimeData *data, Qt::DropActions offered)
{
    if (!data || !(data->hasFormat(TiffType) || offersFiles(data)))
        return Qt::IgnoreAction;
    if ((offered & Qt::CopyAction) && (offered & Qt::MoveAction))
        return Qt::CopyAction;
    return Qt::IgnoreAction;
}

void DragView::dragEnterEvent(QDragEnterEvent *event)
{
    const Qt::DropAction action = operationForDrag(event->mimeData(), event->possibleActions());
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void DragView::dragMoveEvent(QDragMoveEvent *event)
{
    const Qt::DropAction action = operationForDrag(event->mimeData(), event->possibleActions());
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

bool DragView::performDragOperation(const QMimeData *data)
{
    if (!data)
        return false;
    // Image data is looked at before file lists, as the original did.
    if (data->hasFormat(TiffType)) {
        if (!data->data(TiffType).isEmpty()) {
            update();
            return true;
        }
        Platform::systemLog(QStringLiteral("Error: MyNSView performDragOperation zPasteboardData == nil"));
        return false;
    }
    if (offersFiles(data)) {
        QList<QByteArray> paths;
        for (const QUrl &url : data->urls()) {
            // Only local files have a path; other links in the list are not files.
            if (url.isLocalFile())
                paths.append(localPathBytes(url));
        }
        viewDragAction(paths);
        return true;
    }
    Platform::systemLog(QStringLiteral("Error MyNSView performDragOperation"));
    return false;
}

void DragView::dropEvent(QDropEvent *event)
{
    if (operationForDrag(event->mimeData(), event->possibleActions()) == Qt::IgnoreAction ||
        !prepareForDragOperation()) {
        event->ignore();
        return;
    }
    if (performDragOperation(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    // The drag is over either way.
    update();
}

void DragView::viewDragAction(const QList<QByteArray> &paths)
{
    if (_delegate)
        _delegate->viewDragAction(paths);
}

void DragView::mouseReleaseEvent(QMouseEvent *event) { event->accept(); }
