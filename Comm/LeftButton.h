#pragma once
#include "QoImageButton.h"

// A tab of the main window's left-hand bar: an icon and a bold label; the
// selected tab sits on a green rounded plate with a black label. It has no
// hover or disabled look. As with the other image buttons, the usable flag
// (`_isDisabled`, true = usable) is set by setButtonEnabled() and a click on
// an unusable tab is swallowed.
class LeftButton : public QoImageButton {
    Q_OBJECT
public:
    // Built by an interface file: unusable until setButtonEnabled(true).
    explicit LeftButton(QWidget *parent = nullptr);
    // Built in code: usable, not selected, title a single space.
    explicit LeftButton(const QRect &frame, QWidget *parent = nullptr);

    void setImageFromFileNormalName(const QString &normalName, const QString &withActiveName);
    // Makes the label once; later calls change nothing.
    void setTextWithName(const QString &name);
    // Selects or deselects the tab and redraws at once.
    void setButtonAction(bool action);

    bool isAction() const { return _isAction; }

    // Where the parts are drawn, in the button's coordinates.
    static QRectF selectionPlateRect(); // before the half-point inset
    static QRectF iconRect();

protected:
    void paintEvent(QPaintEvent *event) override;
    // Black on the selected tab, white otherwise, whatever the mouse does.
    QColor labelColorForState(State state) const override;

private:
    QoImage _selectImage; // kept for the interface files; never drawn
    bool _isAction = false;
};
