#pragma once

class QWidget;

namespace Platform::App {

// The application's modal sessions. runModal(window) makes the window
// application-modal (nothing else of the program takes input), shows it and
// runs a nested event loop until that window's session is stopped; the
// window gets its old modality back when the session ends. The session also
// ends (with 0) when its window goes by any other way: closed by its own
// action or by the window manager, hidden, or destroyed.
//
// stopModal(window) and abortModal(window) end the session that runs that
// window and leave every other session running; a session that ends while
// one opened above it still runs returns when that one has returned.
// stopModal() without a window ends the innermost session; called again
// before that session has returned it ends nothing more. Asking when no
// session runs does nothing.
int runModal(QWidget *window);
void stopModal(int code = 0);
void stopModal(QWidget *window, int code = 0);
// NSModalResponseAbort's place: ends the window's session with -1001.
void abortModal(QWidget *window);
bool isRunningModal();
// The window whose session is the innermost one (null: none, or a session
// without a window).
QWidget *modalWindow();

} // namespace Platform::App
