#pragma once
#include "PanelHostedController.h"

#include <memory>

class DMGMakeSureWCDelegate;
class TextImageButton;

namespace Ui
{
class DMGMakeSureWC;
}

// The confirmation laid over the main window before an image or archive job
// ("DMGMakeSureWC"). "取消" closes it; "制作镜像" closes it and tells the page.
// Once shown it belongs to its panel (see PanelHostedController).
class DMGMakeSureWC : public PanelHostedController
{
    Q_OBJECT
public:
    explicit DMGMakeSureWC(QWidget *parent = nullptr);
    ~DMGMakeSureWC() override;

    // Not owned: the page outlives its panels.
    DMGMakeSureWCDelegate *delegate() const { return m_delegate; }
    void setDelegate(DMGMakeSureWCDelegate *delegate) { m_delegate = delegate; }

    TextImageButton *cancelButton() const;
    TextImageButton *doneButton() const;

public slots:
    void cancelButtonAction();
    void doneButtonAction();

private:
    std::unique_ptr<Ui::DMGMakeSureWC> ui;
    DMGMakeSureWCDelegate *m_delegate = nullptr;
};
