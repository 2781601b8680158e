#pragma once
#include <QPointer>
#include <QWidget>

class QAbstractScrollArea;
class QScrollArea;
class RFOverlayScroller;

// A scroll view whose content takes its full width, with a thin
// RFOverlayScroller laid over the right edge instead of a scroll bar beside
// it. Over a table the scroller starts below the table's header.
//
// The content is any widget: a table, outline or list scrolls itself (its own
// vertical bar is hidden and follows the overlay scroller), anything else is
// placed in a frameless scroll area that fits it to the width.
class RFOverlayScrollView : public QWidget {
    Q_OBJECT
public:
    explicit RFOverlayScrollView(QWidget *parent = nullptr);

    void setDocumentView(QWidget *content);
    QWidget *documentView() const { return _document; }
    // The scroll area that moves the content (the content itself for a table).
    QAbstractScrollArea *contentView() const { return _clip; }
    RFOverlayScroller *verticalScroller() const { return _scroller; }

    // Lays the content out over the whole view and the scroller over its
    // right edge, below `headerOffset`, above every sibling.
    void tile();
    // The height of the header of the table inside, 0 when there is none.
    int tableHeaderOffsetFromSuperview() const;
    int headerOffset() const { return _headerOffset; }
    void setHeaderOffset(int offset);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void followContentBar();

    QPointer<QWidget> _document;
    QPointer<QAbstractScrollArea> _clip;
    QPointer<QScrollArea> _wrapper;
    RFOverlayScroller *_scroller;
    int _headerOffset = 0;
};
