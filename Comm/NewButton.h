#pragma once
#include <QRectF>
#include <QString>

#include "QoImage.h"

class QMouseEvent;
class QPainter;
class QWidget;
class NewButtonDelegate;

// The cell of a list row with an optional 18-point icon and a label, and a
// small hot spot (15 x 30 at the row's origin) that reports a click to its
// delegate. Clicks are taken at most once per 0.2 s across every NewButton of
// the process: a row is hit-tested several times for one click, and only the
// first of them may count.
//
// A cell is a value: a copy shares the label and icon of the original (both
// are immutable values here). The delegate is not owned.
class NewButton {
public:
    // Hit-test answers, as bits.
    enum HitResult { HitNone = 0, HitContentArea = 1, HitEditableTextArea = 2, HitTrackableArea = 4 };

    NewButton() = default;

    // A null text means "no label".
    QString label() const { return _label; }
    void setLabel(const QString &label) { _label = label; }
    QoImage iconImageCell() const { return _iconImageCell; }
    void setIconImageCell(const QoImage &icon) { _iconImageCell = icon; }
    QString name() const { return _name; }
    void setName(const QString &name) { _name = name; }
    NewButtonDelegate *delegate() const { return _delegate; }
    void setDelegate(NewButtonDelegate *delegate) { _delegate = delegate; }

    // The label's rectangle for the cell's bounds (zero without a label).
    QRectF imageRectForBounds(const QRectF &bounds) const;
    // The icon's rectangle for the cell's bounds (zero without an icon).
    QRectF iconImageRectForBounds(const QRectF &bounds) const;
    // Icon, then label; the plain cell adds nothing (these cells have no
    // bezel or title of their own).
    void drawWithFrame(QPainter &painter, const QRectF &frame, const QWidget *inView) const;
    // `event` is a mouse event of `ofView`'s window; `inRect` is the cell's
    // frame in `ofView`. A hit in the hot spot, outside the guard time, tells
    // the delegate and answers content | trackable; anything else answers
    // HitNone.
    int hitTestForEvent(const QMouseEvent &event, const QRectF &inRect, const QWidget *ofView);
    // The same with the point already in `ofView`'s coordinates.
    int hitTestAtPoint(const QPointF &point, const QRectF &inRect);

    // Ends the guard time (run 0.2 s after a taken click).
    static void changeVlaue();
    // Whether a click was taken less than 0.2 s ago.
    static bool clickGuardActive();

private:
    static constexpr QSizeF _imageSize{800, 22};
    static constexpr QSizeF _iconImageSzie{18, 18};

    QString _label;
    QoImage _iconImageCell;
    QString _name;
    NewButtonDelegate *_delegate = nullptr;
};
