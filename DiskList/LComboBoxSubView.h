#pragma once
#include <QWidget>

class LComboBoxSubViewDelegate;

// The copy-mode box's clickable background. It draws nothing of its own; a
// press on it, or on a child that leaves the press alone (the label, the
// icon), goes to the delegate, which is not owned.
class LComboBoxSubView : public QWidget {
    Q_OBJECT
public:
    explicit LComboBoxSubView(QWidget *parent = nullptr);

    LComboBoxSubViewDelegate *delegate() const { return m_delegate; }
    void setDelegate(LComboBoxSubViewDelegate *delegate) { m_delegate = delegate; }

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    LComboBoxSubViewDelegate *m_delegate = nullptr;
};
