#include "MyNSApplication.h"

#include <QKeyEvent>
#include <QWidget>

MyNSApplication::MyNSApplication(int &argc, char **argv) : QApplication(argc, argv) {}

QString MyNSApplication::actionForKey(Qt::KeyboardModifiers modifiers, const QString &characters)
{
    // Only the modifiers the original mask keeps; the keypad flag is not one
    // of the keys a user holds.
    const Qt::KeyboardModifiers mods =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!(mods & Qt::ControlModifier))
        return {};
    if (mods == Qt::ControlModifier) {
        const QString c = characters.toLower();
        if (c == QLatin1String("x"))
            return QStringLiteral("cut");
        if (c == QLatin1String("c"))
            return QStringLiteral("copy");
        if (c == QLatin1String("v"))
            return QStringLiteral("paste");
        if (c == QLatin1String("z"))
            return QStringLiteral("undo");
        if (c == QLatin1String("a"))
            return QStringLiteral("selectAll");
        return {};
    }
    if (characters == QLatin1String("Z"))
        return QStringLiteral("redo");
    return {};
}

bool MyNSApplication::sendAction(const QString &action)
{
    QWidget *target = QApplication::focusWidget();
    for (; target; target = target->parentWidget()) {
        if (QMetaObject::invokeMethod(target, action.toLatin1().constData()))
            return true;
    }
    return false;
}

bool MyNSApplication::notify(QObject *receiver, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && event->spontaneous()) {
        auto *key = static_cast<QKeyEvent *>(event);
        QString characters;
        if (key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z) {
            const QChar letter(char16_t(u'a' + (key->key() - Qt::Key_A)));
            characters = (key->modifiers() & Qt::ShiftModifier) ? letter.toUpper() : letter;
        }
        const QString action = actionForKey(key->modifiers(), characters);
        if (!action.isEmpty() && sendAction(action))
            return true;
    }
    return QApplication::notify(receiver, event);
}
