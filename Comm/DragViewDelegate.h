#pragma once
#include <QByteArray>
#include <QList>
#include <QStringList>

class QObject;

// What the file-drop view tells its owner (the source card). Both calls are
// optional: the defaults do nothing.
class DragViewDelegate {
public:
    virtual ~DragViewDelegate() = default;
    // Files and folders dropped from the file manager, as full paths in the
    // order the drag gave them, each the file system's bytes (a name need
    // not be UTF-8).
    virtual void viewDragAction(const QList<QByteArray> &paths) { (void)paths; }
    // Sent by the card's own file button; the drop view never sends it.
    virtual void selectFileButtonAction(QObject *sender) { (void)sender; }
};
