#pragma once
#include <QWidget>

class DiskListViewDelegate;

// The background of one row of the volume picker: a rounded grey highlight
// while the pointer is over it, and a press that selects the row. The
// delegate is the row that owns this view (the row lives as long as its view
// is on screen), so it is not owned here.
class DiskListView : public QWidget {
    Q_OBJECT
public:
    explicit DiskListView(QWidget *parent = nullptr);

    DiskListViewDelegate *diskViewDelegate() const { return m_diskViewDelegate; }
    void setDiskViewDelegate(DiskListViewDelegate *delegate) { m_diskViewDelegate = delegate; }
    bool mouseIn() const { return m_mouseIn; }

    void mouseEntered();
    void mouseExited();
    void mouseDown();

    // The highlight, in the row's bottom-left coordinates, and its colour.
    static QRectF highlightRect();
    static QColor highlightColor();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_mouseIn = false;
    DiskListViewDelegate *m_diskViewDelegate = nullptr;
};
