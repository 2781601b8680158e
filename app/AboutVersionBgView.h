#pragma once
#include <QWidget>

// The light blue rounded plate behind the About window's version text.
class AboutVersionBgView : public QWidget {
    Q_OBJECT
public:
    explicit AboutVersionBgView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
