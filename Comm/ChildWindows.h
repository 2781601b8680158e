#pragma once
// Child windows: a top-level window attached to another one that stays above
// it and moves with it (bubbles, menus and panels over the main window, the
// popover over its anchor's window). The parent does not own its children.
#include <QList>
#include <QWidget>

class ChildWindows {
public:
    // Attaches `child` above `parent`; the child keeps its offset to the
    // parent whenever the parent moves. Adding a child again only raises it.
    static void addChildWindow(QWidget *parent, QWidget *child);
    // Detaches `child` from `parent` (nothing when it is not a child of it).
    static void removeChildWindow(QWidget *parent, QWidget *child);
    // The children of `parent`, in the order they were added.
    static QList<QWidget *> childWindows(const QWidget *parent);
    // The window `child` is attached to, or nullptr.
    static QWidget *parentWindow(const QWidget *child);
};
