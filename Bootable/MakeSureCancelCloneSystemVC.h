#pragma once
#include "ConfirmPanel.h"

#include <memory>

class MakeSureCancelCloneSystemVCDelegate;
class QLabel;

namespace Ui {
class MakeSureCancelCloneSystemVC;
}

// The stop confirmation of the OS Clone page, hosted in the panel over the
// main window. Its title and explanation come from the interface file; the
// controller sets up the two buttons ("取消" stops the clone, "继续" goes on
// with it). Every action closes the panel before
// the page is told, so the page reacts with the panel already gone.
class MakeSureCancelCloneSystemVC : public ConfirmPanel<MakeSureCancelCloneSystemVCDelegate> {
    Q_OBJECT
public:
    explicit MakeSureCancelCloneSystemVC(QWidget *parent = nullptr);
    ~MakeSureCancelCloneSystemVC() override;

    // Outlets.
    QLabel *titleLabel() const;
    QWidget *titleBarView() const;

    void cancelButtonAction() override;

private:
    std::unique_ptr<Ui::MakeSureCancelCloneSystemVC> ui;
};
