#pragma once
#include <QWidget>

// The white track of QoProgressView, edged by a soft light shadow.
class BgProgressView : public QWidget {
    Q_OBJECT
public:
    explicit BgProgressView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
