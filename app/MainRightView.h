#pragma once
#include <QWidget>

// The background of the main window's page area: a dark grey panel whose
// top-left corner is rounded where it meets the tab bar.
class MainRightView : public QWidget {
    Q_OBJECT
public:
    explicit MainRightView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
