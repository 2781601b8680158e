// The buttons the panels share and the confirmation shape: the two looks, the
// labels, closing before the page is told, and the box that stays in the
// middle of a panel sized to the main window.
#include <gtest/gtest.h>

#include "CancelTextImageButton.h"
#include "ConfirmPanel.h"
#include "MainWindowPanel.h"
#include "StatusAttachedWindow.h"
#include "TestSupport.h"
#include "TextImageButton.h"

#include <QPointer>
#include <QTest>

namespace {

struct Look {
    PanelButtonLook look;
    const char *normal;
    const char *active;
    const char *hover;
};

const Look kLooks[] = {
    {PanelButtonLook::Secondary, "btn_pop_sec", "btn_pop_press", "btn_pop_hover"},
    {PanelButtonLook::Primary, "btn_pop_pri", "btn_pop_pri_press", "btn_pop_pri_hover"},
};

template <class Button>
void expectLook(Button *button, const Look &look, const QString &text)
{
    SCOPED_TRACE(look.normal);
    EXPECT_TRUE(button->isButtonUsable());
    EXPECT_EQ(button->normalImage().name(), QLatin1String(look.normal));
    EXPECT_EQ(button->activeImage().name(), QLatin1String(look.active));
    EXPECT_EQ(button->hoverImage().name(), QLatin1String(look.hover));
    EXPECT_EQ(button->disableImage().name(), QStringLiteral("btn_pop_disable"));
    ASSERT_TRUE(button->textField());
    EXPECT_EQ(button->textField()->text(), text);
}

TEST(PanelButtons, EachLookGivesItsImagesToEitherKindOfButton)
{
    for (const Look &look : kLooks) {
        // Built as an interface file builds them: unusable until set up.
        TextImageButton text;
        CancelTextImageButton cancel;
        ASSERT_FALSE(text.isButtonUsable());
        ASSERT_FALSE(cancel.isButtonUsable());
        setUpPanelButton(&text, look.look, QStringLiteral("好的"));
        setUpPanelButton(&cancel, look.look, QStringLiteral("取消"));
        expectLook(&text, look, QStringLiteral("好的"));
        expectLook(&cancel, look, QStringLiteral("取消"));
    }
}

struct Answer {
    virtual ~Answer() = default;
    virtual void answer() {}
};

struct AnswerSpy : Answer {
    QPointer<StatusAttachedWindow> *panel = nullptr;
    int answers = 0;
    bool panelUpWhenTold = false;
    void answer() override
    {
        ++answers;
        panelUpWhenTold = panel && *panel && (*panel)->isVisible();
    }
};

// A confirmation built as the pages build theirs: buttons from an interface
// file inside a box, the done button answering the page.
class TestConfirmation : public ConfirmPanel<Answer> {
public:
    TestConfirmation()
    {
        resize(420, 240);
        box = new QWidget(this);
        box->setGeometry(0, 0, 300, 120);
        cancel = new TextImageButton(box);
        cancel->setGeometry(20, 70, 100, 32);
        done = new TextImageButton(box);
        done->setGeometry(180, 70, 100, 32);
        setUpButtons(cancel, done, QStringLiteral("现在开始"));
        keepInMiddle(box);
    }
    void doneButtonAction() override { closeThenTell(&Answer::answer); }

    QWidget *box;
    TextImageButton *cancel;
    TextImageButton *done;
};

struct MainWindow {
    QWidget widget;
    MainWindow()
    {
        widget.resize(1000, 628);
        widget.show();
        QCoreApplication::processEvents();
    }
};

TEST(ConfirmPanel, ButtonsAreSetUpWithCancelSecondaryAndDonePrimary)
{
    TestConfirmation vc;
    EXPECT_EQ(vc.cancelButton(), vc.cancel);
    EXPECT_EQ(vc.doneButton(), vc.done);
    expectLook(vc.cancelButton(), kLooks[0], QStringLiteral("取消"));
    expectLook(vc.doneButton(), kLooks[1], QStringLiteral("现在开始"));
}

TEST(ConfirmPanel, DoneClosesThePanelThenTellsAndCancelOnlyCloses)
{
    for (bool done : {true, false}) {
        SCOPED_TRACE(done ? "done" : "cancel");
        MainWindow main;
        AnswerSpy spy;
        QPointer<TestConfirmation> vc = new TestConfirmation;
        vc->setDelegate(&spy);
        EXPECT_EQ(vc->delegate(), &spy);
        QPointer<StatusAttachedWindow> panel = MainWindowPanel::show(vc, &main.widget, true);
        ASSERT_TRUE(panel);
        spy.panel = &panel;
        QTest::mouseClick(done ? vc->doneButton() : vc->cancelButton(), Qt::LeftButton);
        EXPECT_EQ(spy.answers, done ? 1 : 0);
        EXPECT_FALSE(spy.panelUpWhenTold);
        EXPECT_TRUE(TestSupport::waitUntil([&] { return panel.isNull() && vc.isNull(); }, 3000));
    }
}

TEST(ConfirmPanel, WithoutAPanelOrADelegateTheButtonsDoNoHarm)
{
    AnswerSpy spy;
    TestConfirmation vc;
    vc.doneButtonAction();
    vc.cancelButtonAction();
    vc.setDelegate(&spy);
    vc.cancelButtonAction();
    vc.doneButtonAction();
    EXPECT_EQ(spy.answers, 1);
}

TEST(ConfirmPanel, TheBoxStaysInTheMiddleOfAPanelSizedToTheMainWindow)
{
    MainWindow main;
    QPointer<TestConfirmation> vc = new TestConfirmation;
    QPointer<StatusAttachedWindow> panel = MainWindowPanel::show(vc, &main.widget, true);
    ASSERT_TRUE(panel);
    QCoreApplication::processEvents();
    EXPECT_EQ(vc->size(), main.widget.frameGeometry().size());
    EXPECT_EQ(vc->box->geometry().center(), vc->rect().center());
    vc->resize(800, 500);
    EXPECT_EQ(vc->box->geometry().center(), vc->rect().center());
    vc->closeWindow();
    EXPECT_TRUE(TestSupport::waitUntil([&] { return panel.isNull(); }, 3000));
}

} // namespace
