#pragma once
#include "ConfirmPanel.h"

#include <memory>

class DMGMakeSureWCDelegate;

namespace Ui {
class DMGMakeSureWC;
}

// The confirmation laid over the main window before an image or archive job
// ("DMGMakeSureWC"). "取消" closes it; "制作镜像" closes it and tells the page.
// Once shown it belongs to its panel (see PanelHostedController).
class DMGMakeSureWC : public ConfirmPanel<DMGMakeSureWCDelegate> {
    Q_OBJECT
public:
    explicit DMGMakeSureWC(QWidget *parent = nullptr);
    ~DMGMakeSureWC() override;

    void doneButtonAction() override;

private:
    std::unique_ptr<Ui::DMGMakeSureWC> ui;
};
