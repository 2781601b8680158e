#pragma once
#include <QString>
#include <QWidget>

class SortSelectBgViewDelegate;

// One row of a small pop-up menu: highlighted in blue while the pointer is
// over it, reporting the hover (with the row's number) and the click to its
// delegate. The highlight and the hover call always come in pairs.
//
// The row's number is its identifier (a text, set by the interface file as
// the "identifier" property) read as an integer the way the original platform
// reads one: leading spaces and a sign allowed, digits up to the first other
// character, 0 when there are none.
class SortSelectBgView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString identifier READ identifier WRITE setIdentifier)
public:
    explicit SortSelectBgView(QWidget *parent = nullptr);

    QString identifier() const { return _identifier; }
    void setIdentifier(const QString &identifier) { _identifier = identifier; }
    int rowNumber() const;
    static int integerValue(const QString &text);

    // Not owned: the menu that owns the row outlives it.
    SortSelectBgViewDelegate *delegate() const { return _delegate; }
    void setDelegate(SortSelectBgViewDelegate *delegate) { _delegate = delegate; }
    bool isMouseIn() const { return _isMouseIn; }

    void mouseEntered();
    void mouseExited();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString _identifier;
    SortSelectBgViewDelegate *_delegate = nullptr;
    bool _isMouseIn = false;
};
