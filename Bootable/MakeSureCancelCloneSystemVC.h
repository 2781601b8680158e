#pragma once
#include "PanelHostedController.h"

#include <memory>

class MakeSureCancelCloneSystemVCDelegate;
class QLabel;
class TextImageButton;

namespace Ui {
class MakeSureCancelCloneSystemVC;
}

// The stop confirmation of the OS Clone page, hosted in the panel over the
// main window. Its title and explanation come from the interface file; the
// controller sets up the two buttons ("取消" stops the clone, "继续" goes on
// with it). Every action closes the panel before
// the page is told, so the page reacts with the panel already gone.
class MakeSureCancelCloneSystemVC : public PanelHostedController {
    Q_OBJECT
public:
    explicit MakeSureCancelCloneSystemVC(QWidget *parent = nullptr);
    ~MakeSureCancelCloneSystemVC() override;

    // Not owned.
    MakeSureCancelCloneSystemVCDelegate *delegate() const { return m_delegate; }
    void setDelegate(MakeSureCancelCloneSystemVCDelegate *delegate) { m_delegate = delegate; }

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
    std::unique_ptr<Ui::MakeSureCancelCloneSystemVC> ui;
    MakeSureCancelCloneSystemVCDelegate *m_delegate = nullptr;
};
