#pragma once
#include "QoImageButton.h"

// The image button of the pages, dialogs and panels: four state images and a
// centred white label. Callers set it up in a fixed order: setButtonEnabled(),
// then the images, then the text, because the label's font depends on the
// normal image's name ("btn_main" bold 14 and 20 high, "btn_tool" 12 and not
// lifted by a point, any other 13).
class TextImageButton : public QoImageButton {
    Q_OBJECT
public:
    // Built by an interface file: unusable until setButtonEnabled(true).
    explicit TextImageButton(QWidget *parent = nullptr);
    // Built in code: usable at once.
    explicit TextImageButton(const QRect &frame, QWidget *parent = nullptr);

    // Makes the label on the first call; later calls change nothing, so the
    // label keeps its first text.
    virtual void setTextWithName(const QString &name);

protected:
    QColor labelColorForState(State state) const override;
};
