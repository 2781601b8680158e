#pragma once
#include "QoImageButton.h"

// A four-image button whose text comes with its own drawing rectangle: the
// state image is drawn into that rectangle narrowed by 4 points.
class ZrImageButton : public QoImageButton {
    Q_OBJECT
public:
    explicit ZrImageButton(QWidget *parent = nullptr);
    explicit ZrImageButton(const QRect &frame, QWidget *parent = nullptr);

    // The image is drawn into (0, 0, width − 4, height) of `withFrame`; the
    // label covers the button 2 points lower, made once.
    void setTextWithName(const QString &name, const QRectF &withFrame);

protected:
    void paintEvent(QPaintEvent *event) override;
    QColor labelColorForState(State state) const override;
};
