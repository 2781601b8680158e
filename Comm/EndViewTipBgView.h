#pragma once
#include <QWidget>

// The dashed rounded outline around the tip of an end view.
// Drawn in the coordinates of the original design (origin bottom-left).
class EndViewTipBgView : public QWidget {
    Q_OBJECT
public:
    explicit EndViewTipBgView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
