#pragma once
#include "PanelHostedController.h"

#include <memory>

class MakeSureToCloneSystemVCDelegate;
class QLabel;
class TextImageButton;

namespace Ui {
class MakeSureToCloneSystemVC;
}

// The start confirmation of the OS Clone page, hosted in the panel over the
// main window. Its title and explanation come from the interface file; the
// controller sets up the two buttons. Every action closes the panel before
// the page is told, so the page reacts with the panel already gone.
class MakeSureToCloneSystemVC : public PanelHostedController {
    Q_OBJECT
public:
    explicit MakeSureToCloneSystemVC(QWidget *parent = nullptr);
    ~MakeSureToCloneSystemVC() override;

    // Not owned.
    MakeSureToCloneSystemVCDelegate *delegate() const { return m_delegate; }
    void setDelegate(MakeSureToCloneSystemVCDelegate *delegate) { m_delegate = delegate; }

    // Outlets.
    QLabel *titleLabel() const;
    QWidget *titleBarView() const;
    TextImageButton *cancelButton() const;
    TextImageButton *doneButton() const;

    void cancelButtonAction();
    void doneButtonAction();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    std::unique_ptr<Ui::MakeSureToCloneSystemVC> ui;
    MakeSureToCloneSystemVCDelegate *m_delegate = nullptr;
};
