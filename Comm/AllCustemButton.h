#pragma once
#include <QPushButton>

#include "AllCustemButtonCell.h"

// A standard button whose title is white. However the button is made (in code
// or by an interface file), its drawing goes through AllCustemButtonCell.
class AllCustemButton : public QPushButton {
    Q_OBJECT
public:
    explicit AllCustemButton(QWidget *parent = nullptr);
    const AllCustemButtonCell &cell() const { return _cell; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    AllCustemButtonCell _cell;
};
