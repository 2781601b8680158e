#pragma once
#include <QStringList>
#include <QWidget>

class DragViewDelegate;
class QMimeData;

// The invisible area of the source card onto which the user drops files and
// folders from the desktop's file manager. It takes file lists
// ("text/uri-list" of local files) and TIFF image data; an image is accepted
// and ignored. It swallows button-up events and draws nothing.
//
// The original platform had a "generic" drag operation (the destination
// decides); a file manager here offers copy and move and lets the destination
// choose. So a drag is accepted when its source offers both, and it is always
// taken as a copy: the drop never asks the source to remove anything. A
// source that offers only copy, or only link, is refused.
class DragView : public QWidget {
    Q_OBJECT
public:
    explicit DragView(QWidget *parent = nullptr);

    // Not owned: the card that owns the view outlives it.
    DragViewDelegate *delegate() const { return _delegate; }
    void setDelegate(DragViewDelegate *delegate) { _delegate = delegate; }

    // The answer to a drag that enters: the copy it will be taken as, or no
    // operation.
    static Qt::DropAction operationForDrag(const QMimeData *data, Qt::DropActions offered);
    bool prepareForDragOperation() const { return true; }
    // Reads the drop: true when it was taken (a file list, or image data).
    bool performDragOperation(const QMimeData *data);
    // Passes the paths (the file system's bytes) to the delegate unchanged.
    void viewDragAction(const QList<QByteArray> &paths);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    DragViewDelegate *_delegate = nullptr;
};
