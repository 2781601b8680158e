#pragma once
// An image in a window layout that leaves a press to the window, so the
// window can be dragged by it.
#include "TopImageCell.h"

#include <QLabel>

class TopImageView : public QLabel {
    Q_OBJECT
public:
    explicit TopImageView(QWidget *parent = nullptr);

    bool mouseDownCanMoveWindow() const { return m_cell.mouseDownCanMoveWindow(); }
    const TopImageCell &cell() const { return m_cell; }

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    TopImageCell m_cell;
};
