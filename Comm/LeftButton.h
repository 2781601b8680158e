#pragma once
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRectF>

#include "QoImage.h"

// A tab of the main window's left-hand bar: an icon and a bold label; the
// selected tab sits on a green rounded plate with a black label. It has no
// hover or disabled look. As with the other image buttons, the usable flag
// (`_isDisabled`, true = usable) is set by setButtonEnabled() and a click on
// an unusable tab is swallowed.
class LeftButton : public QPushButton {
    Q_OBJECT
public:
    // Built by an interface file: unusable until setButtonEnabled(true).
    explicit LeftButton(QWidget *parent = nullptr);
    // Built in code: usable, not selected, title a single space.
    explicit LeftButton(const QRect &frame, QWidget *parent = nullptr);

    void setImageFromFileNormalName(const QString &normalName, const QString &withActiveName);
    // Makes the label once; later calls change nothing.
    void setTextWithName(const QString &name);
    void setButtonEnabled(bool enabled);
    // Selects or deselects the tab and redraws at once.
    void setButtonAction(bool action);

    bool isFocus() const { return _isFocus; }
    void setIsFocus(bool focus) { _isFocus = focus; }
    bool isButtonUsable() const { return _isDisabled; }
    bool isAction() const { return _isAction; }
    bool isTracking() const { return _isTracking; }
    QLabel *textField() const { return _textField; }
    QoImage normalImage() const { return _normalImage; }
    QoImage activeImage() const { return _activeImage; }

    // Where the parts are drawn, in the button's coordinates.
    static QRectF selectionPlateRect(); // before the half-point inset
    static QRectF iconRect();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void setLabelColor(const QColor &color);

    QoImage _normalImage;
    QoImage _activeImage;
    QoImage _selectImage; // kept for the interface files; never drawn
    QPointer<QLabel> _textField;
    bool _isTracking = false;
    bool _isFocus = false;
    bool _isDisabled = false;
    bool _isAction = false;
    QRectF _dstRect;
    QRectF _srcRect;
};
