#pragma once

class QWidget;

namespace Platform::App {

// The application's modal loop: runModal shows the window and runs a nested
// event loop until stopModal() is called; stopModal ends the innermost loop
// that is running and does nothing when none runs. Calling stopModal twice
// before that loop has returned still ends only that one loop.
int runModal(QWidget *window);
void stopModal(int code = 0);
bool isRunningModal();

} // namespace Platform::App
