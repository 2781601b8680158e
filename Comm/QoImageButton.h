#pragma once
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRectF>

#include "QoImage.h"

// What the image buttons (TextImageButton, CancelTextImageButton,
// ZrImageButton, and the tab bar's LeftButton) share: the images of the states
// normal, pressed, hover and disabled, the hover and pressed flags that follow
// the mouse, and the usable flag that only setButtonEnabled() changes. A member
// draws the state image centred (the default paint) or paints itself, and
// makes its own label.
//
// The usable flag is kept in `_isDisabled`, whose sense is the opposite of its
// word: true means the button can be used. A button built by an interface
// file (the parent-only constructor that uic calls) starts unusable and stays
// so until setButtonEnabled(true); a button built in code with a frame starts
// usable. The widget's own enabled state is separate and also counts.
//
// The rectangles are in the button's own coordinates with the origin at the
// top-left corner, as a button lays out its content.
class QoImageButton : public QPushButton {
    Q_OBJECT
public:
    enum class State { Normal, Pressed, Hover, Disabled };

    // Stores the usable flag and redraws at once; the widget's enabled state
    // is left as it is.
    void setButtonEnabled(bool enabled);
    // Loads the four images by name; the drawing rectangle takes the normal
    // image's size. Missing names leave that state without a picture.
    void setImageFromFileNormalName(const QString &normalName, const QString &withActiveName,
                                    const QString &withHoverName, const QString &withDisableName);

    bool isFocus() const { return _isFocus; }
    void setIsFocus(bool focus) { _isFocus = focus; }

    bool isButtonUsable() const { return _isDisabled; }
    bool isTracking() const { return _isTracking; }
    QLabel *textField() const { return _textField; }
    QRectF dstRect() const { return _dstRect; }
    QRectF srcRect() const { return _srcRect; }
    QString normalImageName() const { return _normalName; }
    QoImage normalImage() const { return _normalImage; }
    QoImage activeImage() const { return _activeImage; }
    QoImage hoverImage() const { return _hoverImage; }
    QoImage disableImage() const { return _disableImage; }

    // The look the button has now.
    State currentState() const;
    QoImage imageForState(State state) const;
    // Where the state image is drawn: dstRect's size, centred on the button,
    // so that the image and the centred label share one centre.
    QRectF drawingRect() const;

protected:
    QoImageButton(QWidget *parent, bool usable);
    // Built in code with a frame: usable at once.
    QoImageButton(const QRect &frame, QWidget *parent);

    // The state image at drawingRect(); a button without a normal image
    // draws as a plain push button.
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    // A label whose palette is given again (a new parent or style resolving
    // the palettes anew) takes the colour of the button's state back.
    bool eventFilter(QObject *watched, QEvent *event) override;

    // The label is a plain text child laid over the button that lets clicks
    // through to it; made once, by the members' text setters.
    QLabel *makeLabel(const QRectF &frame, const QFont &font, const QString &text);
    void setLabelColor(const QColor &color);
    // The label's colour in a state. Worked out whenever the state may have
    // changed, never while painting: a palette change on the see-through
    // label repaints the button, so colouring from the paint would repaint
    // for ever.
    virtual QColor labelColorForState(State state) const;
    void refreshLabelColor();
    // The system font at a size in points (one point is one pixel here).
    static QFont systemFont(int size, bool bold = false);

    QoImage _normalImage;
    QoImage _activeImage;
    QoImage _hoverImage;
    QoImage _disableImage;
    QPointer<QLabel> _textField;
    bool _isTracking = false;
    bool _isFocus = false;
    bool _isDisabled = false;
    QRectF _dstRect;
    QRectF _srcRect;
    QString _normalName;
};
