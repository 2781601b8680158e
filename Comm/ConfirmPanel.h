#pragma once
// What the panels over the main window share.
//
// Their buttons: four-image buttons with one of two looks, the secondary
// ("btn_pop_sec": cancel, refresh) and the primary ("btn_pop_pri": the button
// that goes on). A button is set up usable first, then given the images of its
// look, then its label, whose font follows the normal image.
//
// The confirmations (ConfirmPanel): a cancel and a done button, both of which
// close the panel, and the page as delegate. The button that answers the page
// closes the panel first and then tells the delegate, so the page reacts with
// the panel already gone.
#include "PanelHostedController.h"

#include <QPointer>

class QoImageButton;
class QResizeEvent;
class TextImageButton;

enum class PanelButtonLook { Secondary, Primary };

// Makes the button usable and gives it the four images of the look.
void setPanelButtonLook(QoImageButton *button, PanelButtonLook look);

// A panel button in full: usable, the images of the look, then the label.
template <class Button>
void setUpPanelButton(Button *button, PanelButtonLook look, const QString &text)
{
    setPanelButtonLook(button, look);
    button->setTextWithName(text);
}

class ConfirmPanelController : public PanelHostedController {
    Q_OBJECT
public:
    // Outlets, handed over by setUpButtons.
    TextImageButton *cancelButton() const;
    TextImageButton *doneButton() const;

public slots:
    // Both close the panel; a confirmation overrides the one that answers
    // its page.
    virtual void cancelButtonAction();
    virtual void doneButtonAction();

protected:
    explicit ConfirmPanelController(QWidget *parent = nullptr);

    // Once the interface file has loaded: the cancel button with the
    // secondary look and "取消", the done button with the primary look and
    // its text; a click runs the button's action.
    void setUpButtons(TextImageButton *cancelButton, TextImageButton *doneButton, const QString &doneText);
    // Keeps the box in the middle of the panel, which may take the main
    // window's size.
    void keepInMiddle(QWidget *box);

    void resizeEvent(QResizeEvent *event) override;

private:
    QPointer<TextImageButton> m_cancelButton;
    QPointer<TextImageButton> m_doneButton;
    QPointer<QWidget> m_box;
};

// A confirmation that answers the page through a delegate of its own kind.
template <class Delegate>
class ConfirmPanel : public ConfirmPanelController {
public:
    // Not owned: the page outlives its panels.
    Delegate *delegate() const { return m_delegate; }
    void setDelegate(Delegate *delegate) { m_delegate = delegate; }

protected:
    using ConfirmPanelController::ConfirmPanelController;

    // Closes the panel, then sends the message to the delegate when there is
    // one. The delegate is read first: the panel takes this controller with
    // it when it goes.
    void closeThenTell(void (Delegate::*message)())
    {
        Delegate *delegate = m_delegate;
        closeWindow();
        if (delegate)
            (delegate->*message)();
    }

private:
    Delegate *m_delegate = nullptr;
};
