#pragma once
#include <QWidget>

// The page's white card background: its bounds inset by half a point, as a
// rounded rectangle of radius 16 filled with opaque white.
class WbgView : public QWidget {
    Q_OBJECT
public:
    explicit WbgView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
