#pragma once
#include "ConfirmPanel.h"

#include <memory>

class CopyMakeSureWCDelegate;

namespace Ui {
class CopyMakeSureWC;
}

// The confirmation shown in the panel over the main window before a copy
// ("CopyMakeSureWC"). Either button closes the panel; the done button then
// asks the page to start.
class CopyMakeSureWC : public ConfirmPanel<CopyMakeSureWCDelegate> {
    Q_OBJECT
public:
    explicit CopyMakeSureWC(QWidget *parent = nullptr);
    ~CopyMakeSureWC() override;

    void doneButtonAction() override;

private:
    void awakeFromNib();

    std::unique_ptr<Ui::CopyMakeSureWC> ui;
};
