#pragma once
#include <QWidget>

class SelectBgViewDelegate;

// The background of a source or target card. It follows the pointer over its
// whole bounds and reports entry, exit and a press (also a press on any of
// its children that does not take the press itself, such as the labels and
// the drop area laid over the card).
//
// The delegate is the card that owns this view, so it is not owned here.
class SelectBgView : public QWidget {
    Q_OBJECT
public:
    explicit SelectBgView(QWidget *parent = nullptr);

    SelectBgViewDelegate *delegate() const { return m_delegate; }
    void setDelegate(SelectBgViewDelegate *delegate) { m_delegate = delegate; }

    // What a pointer entry, exit and press do.
    void mouseEntered();
    void mouseExited();
    void mouseDown();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    SelectBgViewDelegate *m_delegate = nullptr;
};
