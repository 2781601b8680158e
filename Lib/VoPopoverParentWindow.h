#pragma once
// A window that counts as key while one of its popovers is key, so its
// controls keep their active look while a popover is open.
#include <QWidget>

class VoPopoverParentWindow : public QWidget {
    Q_OBJECT
public:
    explicit VoPopoverParentWindow(QWidget *parent = nullptr);

    // Key when really key; otherwise, with a popover among its child windows,
    // whenever the application is active.
    bool isKeyWindow() const;
    bool isReallyKeyWindow() const { return isActiveWindow(); }
};
