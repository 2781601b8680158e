#pragma once
#include "ConfirmPanel.h"

#include <memory>

class MakeSureToCloneSystemVCDelegate;
class QLabel;

namespace Ui {
class MakeSureToCloneSystemVC;
}

// The start confirmation of the OS Clone page, hosted in the panel over the
// main window. Its title and explanation come from the interface file; the
// controller sets up the two buttons ("现在克隆" starts the clone, "取消"
// only closes). Every action closes the panel before the page is told, so
// the page reacts with the panel already gone.
class MakeSureToCloneSystemVC : public ConfirmPanel<MakeSureToCloneSystemVCDelegate> {
    Q_OBJECT
public:
    explicit MakeSureToCloneSystemVC(QWidget *parent = nullptr);
    ~MakeSureToCloneSystemVC() override;

    // Outlets.
    QLabel *titleLabel() const;
    QWidget *titleBarView() const;

    void doneButtonAction() override;

private:
    std::unique_ptr<Ui::MakeSureToCloneSystemVC> ui;
};
