#pragma once
#include "SortSelectBgViewDelegate.h"

#include <QStringList>
#include <QWidget>
#include <memory>

class FormatTypeVCDelegate;
class QLabel;
class SortSelectBgView;

namespace Ui {
class FormatTypeViewController;
}

// The menu of file-system types under the format confirmation's type chooser
// ("FormatTypeViewController"): four hover rows whose identifiers "0" to "3"
// are their indexes in formatTypes(). It reports the pointer going in and out
// of it and the row clicked.
class FormatTypeViewController : public QWidget, public SortSelectBgViewDelegate {
    Q_OBJECT
public:
    explicit FormatTypeViewController(QWidget *parent = nullptr);
    ~FormatTypeViewController() override;

    // "ExFAT", "MS-DOS FAT32", "Journaled HFS+", "APFS".
    static QStringList formatTypes();

    // Not owned: the confirmation that opened the menu outlives it.
    FormatTypeVCDelegate *delegate() const { return m_delegate; }
    void setDelegate(FormatTypeVCDelegate *delegate) { m_delegate = delegate; }

    // The outlets view_1 … view_4 and label_1 … label_4, by index 0 to 3.
    SortSelectBgView *rowView(int index) const;
    QLabel *rowLabel(int index) const;

    // SortSelectBgViewDelegate
    void selectSortType(SortSelectBgView *row) override;
    void mouseInView(bool inside, int withTag) override;

    // Pointer tracking over the whole menu.
    void mouseEntered();
    void mouseExited();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::FormatTypeViewController> ui;
    FormatTypeVCDelegate *m_delegate = nullptr;
};
