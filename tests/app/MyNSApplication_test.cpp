#include <gtest/gtest.h>

#include "MyNSApplication.h"

#include <QLineEdit>
#include <QTest>

TEST(MyNSApplication, KeyEquivalentTable)
{
    struct Case {
        Qt::KeyboardModifiers mods;
        QString chars;
        QString action;
    };
    const Case cases[] = {
        {Qt::ControlModifier, "x", "cut"},
        {Qt::ControlModifier, "c", "copy"},
        {Qt::ControlModifier, "C", "copy"}, // Caps Lock on
        {Qt::ControlModifier, "v", "paste"},
        {Qt::ControlModifier, "z", "undo"},
        {Qt::ControlModifier, "a", "selectAll"},
        {Qt::ControlModifier | Qt::ShiftModifier, "Z", "redo"},
        {Qt::ControlModifier | Qt::AltModifier, "c", ""},
        {Qt::ControlModifier | Qt::ShiftModifier, "C", ""},
        {Qt::ShiftModifier, "Z", ""},
        {Qt::NoModifier, "c", ""},
        {Qt::ControlModifier | Qt::KeypadModifier, "c", "copy"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MyNSApplication::actionForKey(c.mods, c.chars), c.action)
            << c.chars.toStdString() << " " << int(c.mods);
}

TEST(MyNSApplication, ActionGoesToTheFocusedField)
{
    QLineEdit edit;
    edit.setText("hello");
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit) || edit.hasFocus());
    EXPECT_TRUE(MyNSApplication::sendAction("selectAll"));
    EXPECT_EQ(edit.selectedText(), "hello");
    EXPECT_FALSE(MyNSApplication::sendAction("noSuchAction"));
}
