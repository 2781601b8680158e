#pragma once
// What the shell's three window controllers share when they make their
// window from an interface file's content view.
#include <memory>

class QWidget;
class ZrImageWindow;

namespace AppWindowFrame {

// A window whose content view, once the controller has given it a custom
// title bar of `barHeight`, has exactly the size of `content` (the interface
// file's content view), which becomes that content view.
std::unique_ptr<ZrImageWindow> windowWithContent(QWidget *content, double barHeight);

// Centres the window on its screen (the primary screen before it is shown).
void center(QWidget *window);

} // namespace AppWindowFrame
