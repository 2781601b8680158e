#pragma once
#include <QWidget>

// The white, thinly edged background of the rename field of a volume row.
class TextFiledBgView : public QWidget {
    Q_OBJECT
public:
    explicit TextFiledBgView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
