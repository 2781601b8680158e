#include "SelectAllFilePopVC.h"

#include "ui_SelectAllFilePopVC.h"

#include "SelectAllFileVCDelegate.h"

#include "SortSelectBgView.h"

SelectAllFilePopVC::SelectAllFilePopVC(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::SelectAllFilePopVC>())
{
    ui->setupUi(this);
    ui->view_1->setDelegate(this);
    ui->view_2->setDelegate(this);
    // The row texts lie over the rows and leave the pointer to them.
    ui->label_1->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui->label_2->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Entry and exit are followed whether or not the window is active.
    setMouseTracking(true);
}

SelectAllFilePopVC::~SelectAllFilePopVC() = default;

SortSelectBgView *SelectAllFilePopVC::view_1() const { return ui->view_1; }
SortSelectBgView *SelectAllFilePopVC::view_2() const { return ui->view_2; }
QLabel *SelectAllFilePopVC::label_1() const { return ui->label_1; }
QLabel *SelectAllFilePopVC::label_2() const { return ui->label_2; }

void SelectAllFilePopVC::mouseEntered()
{
    if (m_delegate)
        m_delegate->mouseEixtView(false);
}

void SelectAllFilePopVC::mouseExited()
{
    if (m_delegate)
        m_delegate->mouseEixtView(true);
}

void SelectAllFilePopVC::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    mouseEntered();
}

void SelectAllFilePopVC::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    mouseExited();
}

void SelectAllFilePopVC::selectSortType(SortSelectBgView *row)
{
    if (!row)
        return;
    if (m_delegate)
        m_delegate->selectFormatbyType(row->rowNumber());
}

void SelectAllFilePopVC::mouseInView(bool inside, int withTag)
{
    (void)inside;
    (void)withTag;
}
