#pragma once
#include <QPushButton>

// A plain button that shows the pointing hand while the pointer is over it
// (the link-like "open the folder" buttons).
class QoHandButton : public QPushButton {
    Q_OBJECT
public:
    explicit QoHandButton(QWidget *parent = nullptr);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
};
