#pragma once
#include <QtGlobal>

// What the copy-mode drop-down tells its page. Both calls are optional.
class SelectAllFileVCDelegate {
public:
    virtual ~SelectAllFileVCDelegate() = default;
    // The pointer left (true) or entered (false) the drop-down.
    virtual void mouseEixtView(bool exited) { (void)exited; }
    // A row was chosen: its mode (0 all files, other numbers part of them).
    virtual void selectFormatbyType(qint32 type) { (void)type; }
};
