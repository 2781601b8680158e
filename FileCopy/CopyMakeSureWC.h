#pragma once
#include "PanelHostedController.h"

#include <memory>

class CopyMakeSureWCDelegate;
class TextImageButton;

namespace Ui
{
class CopyMakeSureWC;
}

// The confirmation shown in the panel over the main window before a copy
// ("CopyMakeSureWC"). Either button closes the panel; the done button then
// asks the page to start.
class CopyMakeSureWC : public PanelHostedController
{
    Q_OBJECT
public:
    explicit CopyMakeSureWC(QWidget *parent = nullptr);
    ~CopyMakeSureWC() override;

    // Not owned.
    CopyMakeSureWCDelegate *delegate() const { return m_delegate; }
    void setDelegate(CopyMakeSureWCDelegate *delegate) { m_delegate = delegate; }

    TextImageButton *cancelButton() const;
    TextImageButton *doneButton() const;

    void cancelButtonAction();
    void doneButtonAction();

private:
    void awakeFromNib();

    std::unique_ptr<Ui::CopyMakeSureWC> ui;
    CopyMakeSureWCDelegate *m_delegate = nullptr;
};
