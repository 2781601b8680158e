#pragma once
#include <QWidget>

// The dark background of the main window behind its tab bar and pages; a
// narrow one (under 800 points) also draws a lighter line along its top edge.
class MainBgView : public QWidget {
    Q_OBJECT
public:
    explicit MainBgView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
