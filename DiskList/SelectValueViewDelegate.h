#pragma once
#include "FileNode.h"

#include <QtGlobal>

class QObject;

// What a source or target card asks of its page. Every call is optional: the
// defaults do nothing. `withID` / `diskFrom` is the card's identifier
// (1 source, 2 target).
class SelectValueViewDelegate {
public:
    virtual ~SelectValueViewDelegate() = default;
    // Open the volume picker; the sender is the card's select button or the
    // control that was used.
    virtual void selectDiskButton(qint32 withID, QObject *sender)
    {
        (void)withID;
        (void)sender;
    }
    // Clear the card's choice.
    virtual void closeDiskValue(qint32 diskFrom) { (void)diskFrom; }
    // Files and folders dropped on the card, as checked top-level nodes in
    // drop order.
    virtual void viewDragAction(const FileNodeArrayPtr &nodes) { (void)nodes; }
    virtual void selectFileButtonAction(QObject *sender) { (void)sender; }
};
