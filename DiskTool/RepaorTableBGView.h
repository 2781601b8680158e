#pragma once
#include <QWidget>

// The dark rounded panel behind the Disk Manager's volume table.
class RepaorTableBGView : public QWidget {
    Q_OBJECT
public:
    explicit RepaorTableBGView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
