#pragma once
#include <QWidget>

// The filled part of QoProgressView: a plain blue-green rectangle with a soft
// light edge. (A class of this program, despite its prefix.)
class NSProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit NSProgressBar(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
