#pragma once
// The one-label view shown in an error bubble.
#include <QWidget>
#include <memory>

class QLabel;
namespace Ui {
class ErrorViewController;
}

class ErrorViewController : public QWidget {
    Q_OBJECT
public:
    explicit ErrorViewController(QWidget *parent = nullptr);
    ~ErrorViewController() override;

    void setErrorStr(const QString &message);
    QLabel *errorLabel() const;

private:
    std::unique_ptr<Ui::ErrorViewController> ui;
};
