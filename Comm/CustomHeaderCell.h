#pragma once
#include <QColor>
#include <QFont>
#include <QPolygonF>
#include <QRectF>
#include <QString>

class QPainter;
class QWidget;

// The dark column header of the program's tables: a near-black band with a
// light grey 12-point title and, on the primary sort column (priority 0), a
// white triangle at the right. Rectangles are in the header's coordinates
// (origin top-left), as a header view lays out its sections.
class CustomHeaderCell {
public:
    struct Title {
        QString text;
        QFont font;
        QColor color;
    };

    // Made from the title of the header cell it replaces; ascending, priority 1.
    explicit CustomHeaderCell(const QString &oldCellTitle);

    QString stringValue() const { return _title.text; }
    void setStringValue(const QString &text) { _title.text = text; }
    // The title in the header's font and colour (which it also keeps).
    Title getStr();

    void drawWithFrame(QPainter &painter, const QRectF &frame, const QWidget *inView);
    void drawSortIndicatorWithFrame(QPainter &painter, const QRectF &frame, const QWidget *inView, bool ascending,
                                    int priority) const;
    void setSortAscending(bool ascending, int priority);
    bool ascending() const { return _ascending; }
    int priority() const { return _priority; }

    // Where the title goes: the primary sort column leaves room for the triangle.
    QRectF titleRectForFrame(const QRectF &frame) const;
    static QPolygonF sortIndicatorTriangle(const QRectF &frame, bool ascending);
    // White for the primary sort column, clear (invisible) otherwise.
    static QColor sortIndicatorColor(int priority);
    static QColor backgroundColor() { return QColor(38, 38, 38); }

private:
    Title _title;
    bool _ascending = true;
    int _priority = 1;
};
