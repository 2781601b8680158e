#pragma once
#include <QWidget>

// A dark grey panel with slightly rounded corners.
// Drawn in the coordinates of the original design (origin bottom-left).
class PopBgView : public QWidget {
    Q_OBJECT
public:
    explicit PopBgView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
