#pragma once
#include "QoImageButton.h"

// A four-image button whose label changes colour with the state (blue shades
// when pressed or hovered, pale grey when unusable) and keeps the default
// font. Set up in the same order as TextImageButton.
class CancelTextImageButton : public QoImageButton {
    Q_OBJECT
public:
    explicit CancelTextImageButton(QWidget *parent = nullptr);
    explicit CancelTextImageButton(const QRect &frame, QWidget *parent = nullptr);

    // Makes the label once; later calls change nothing.
    void setTextWithName(const QString &name);

protected:
    QColor labelColorForState(State state) const override;
};
