#pragma once
#include "PanelHostedController.h"

#include <memory>

class ITProgressBar;
class QLabel;

namespace Ui {
class FormatingViewController;
}

// The busy panel laid over the main window while a format runs
// ("FormatingViewController"). The page closes it when the format ends.
class FormatingViewController : public PanelHostedController {
    Q_OBJECT
public:
    explicit FormatingViewController(QWidget *parent = nullptr);
    ~FormatingViewController() override;

    QLabel *tipLabel() const;
    ITProgressBar *progressBar() const;

private:
    std::unique_ptr<Ui::FormatingViewController> ui;
};
