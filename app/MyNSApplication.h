#pragma once
#include <QApplication>
#include <QString>

// The application object: gives every window the standard editing key
// equivalents (Command is the Control key here), even where no menu item
// carries them.
class MyNSApplication : public QApplication {
    Q_OBJECT
public:
    MyNSApplication(int &argc, char **argv);

    // The action a key-down maps to ("cut", "copy", "paste", "undo",
    // "selectAll", "redo"), or an empty string. `characters` are the
    // characters ignoring modifiers other than Shift.
    static QString actionForKey(Qt::KeyboardModifiers modifiers, const QString &characters);
    // Sends the action to the focused widget; true when some responder took it.
    static bool sendAction(const QString &action);

    bool notify(QObject *receiver, QEvent *event) override;
};
