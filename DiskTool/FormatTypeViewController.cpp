#include "FormatTypeViewController.h"

#include "ui_FormatTypeViewController.h"

#include "FormatTypeVCDelegate.h"

#include "GetColor.h"
#include "SortSelectBgView.h"

#include <QLabel>

namespace {

void setLabelColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

FormatTypeViewController::FormatTypeViewController(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::FormatTypeViewController>())
{
    ui->setupUi(this);
    for (int i = 0; i < 4; ++i) {
        rowView(i)->setDelegate(this);
        setLabelColor(rowLabel(i), getColor(58, 58, 58, 1));
    }
}

FormatTypeViewController::~FormatTypeViewController() = default;

QStringList FormatTypeViewController::formatTypes()
{
    return {QStringLiteral("ExFAT"), QStringLiteral("MS-DOS FAT32"), QStringLiteral("Journaled HFS+"),
            QStringLiteral("APFS")};
}

SortSelectBgView *FormatTypeViewController::rowView(int index) const
{
    switch (index) {
    case 0:
        return ui->view_1;
    case 1:
        return ui->view_2;
    case 2:
        return ui->view_3;
    case 3:
        return ui->view_4;
    default:
        return nullptr;
    }
}

QLabel *FormatTypeViewController::rowLabel(int index) const
{
    switch (index) {
    case 0:
        return ui->label_1;
    case 1:
        return ui->label_2;
    case 2:
        return ui->label_3;
    case 3:
        return ui->label_4;
    default:
        return nullptr;
    }
}

void FormatTypeViewController::selectSortType(SortSelectBgView *row)
{
    if (!m_delegate || !row)
        return;
    m_delegate->selectFormatbyType(SortSelectBgView::integerValue(row->identifier()));
    m_delegate->mouseEixtView(true);
}

void FormatTypeViewController::mouseInView(bool inside, int withTag)
{
    if (inside) {
        if (QLabel *label = rowLabel(withTag))
            setLabelColor(label, getColor(255, 255, 255, 1));
        return;
    }
    for (int i = 0; i < 4; ++i)
        setLabelColor(rowLabel(i), getColor(58, 58, 58, 1));
}

void FormatTypeViewController::mouseEntered()
{
    if (m_delegate)
        m_delegate->mouseEixtView(false);
}

void FormatTypeViewController::mouseExited()
{
    if (m_delegate)
        m_delegate->mouseEixtView(true);
}

void FormatTypeViewController::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    mouseEntered();
}

void FormatTypeViewController::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    mouseExited();
}
