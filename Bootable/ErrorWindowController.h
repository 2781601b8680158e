#pragma once
#include "PanelHostedController.h"

#include <memory>

class QLabel;
class TextImageButton;

namespace Ui {
class ErrorWindowController;
}

// The error panel of the OS Clone page (a view hosted in the panel over the
// main window, despite its name): says why a clone could not start.
class ErrorWindowController : public PanelHostedController {
    Q_OBJECT
public:
    explicit ErrorWindowController(QWidget *parent = nullptr);
    ~ErrorWindowController() override;

    // Outlets.
    QLabel *errorLabel() const;
    TextImageButton *okButton() const;

    void changeErrorLabelStr(const QString &text);
    void okButtonAction();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    std::unique_ptr<Ui::ErrorWindowController> ui;
};
