#pragma once
#include <QWidget>
#include <memory>

class QLabel;

namespace Ui {
class SetpFViewController;
}

// The step indicator of the OS Clone page: one picture per step
// ("step2-1" … "step2-4").
class SetpFViewController : public QWidget {
    Q_OBJECT
public:
    explicit SetpFViewController(QWidget *parent = nullptr);
    ~SetpFViewController() override;

    QLabel *stepImageView() const;
    // The image name shown now (empty before the first step is set).
    QString stepImageName() const { return m_stepImageName; }

    // Steps 1 to 4 show their picture; any other number leaves the picture as it is.
    void setSetpIn(int n);

private:
    std::unique_ptr<Ui::SetpFViewController> ui;
    QString m_stepImageName;
};
