#pragma once
#include "SortSelectBgViewDelegate.h"

#include "SortSelectBgView.h"

#include <QLabel>
#include <QWidget>
#include <memory>

class SelectAllFileVCDelegate;

namespace Ui {
class SelectAllFilePopVC;
}

// The content of the copy-mode drop-down ("SelectAllFilePopVC"): two hover
// rows whose identifiers in the interface file are their modes. It reports
// the pointer leaving or entering it and the chosen row's mode. The delegate
// is the page that shows the drop-down; it outlives it and is not owned.
class SelectAllFilePopVC : public QWidget, public SortSelectBgViewDelegate {
    Q_OBJECT
public:
    explicit SelectAllFilePopVC(QWidget *parent = nullptr);
    ~SelectAllFilePopVC() override;

    SelectAllFileVCDelegate *delegate() const { return m_delegate; }
    void setDelegate(SelectAllFileVCDelegate *delegate) { m_delegate = delegate; }

    SortSelectBgView *view_1() const;
    SortSelectBgView *view_2() const;
    QLabel *label_1() const;
    QLabel *label_2() const;

    void mouseEntered();
    void mouseExited();

    // SortSelectBgViewDelegate
    void selectSortType(SortSelectBgView *row) override;
    void mouseInView(bool inside, int withTag) override;

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::SelectAllFilePopVC> ui;
    SelectAllFileVCDelegate *m_delegate = nullptr;
};
