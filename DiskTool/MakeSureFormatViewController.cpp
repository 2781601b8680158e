#include "MakeSureFormatViewController.h"

#include "ui_MakeSureFormatViewController.h"

#include "FormatTypeViewController.h"
#include "MakeSureFormatVCDelegate.h"

#include "ConfirmPanel.h"
#include "DropDownMenu.h"
#include "QoImage.h"
#include "RMAAttachedWindow.h"
#include "StatusAttachedWindow.h"
#include "TextImageButton.h"

#include "GetColor.h"

#include "Dispatch.h"
#include "PlainText.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>

namespace {

void setLabelColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

void setImage(QLabel *view, const QString &name)
{
    view->setPixmap(QoImage::named(name).pixmap(view->size(), view->devicePixelRatioF()));
}

} // namespace

MakeSureFormatViewController::MakeSureFormatViewController(QWidget *parent)
    : PanelHostedController(parent), ui(std::make_unique<Ui::MakeSureFormatViewController>())
{
    ui->setupUi(this);
    setImage(ui->openImageV, QStringLiteral("ic_open"));
    setImage(ui->fileSysBg, QStringLiteral("format_input"));

    setUpPanelButton(ui->okButton, PanelButtonLook::Primary, QStringLiteral("继续"));
    connect(ui->okButton, &QAbstractButton::clicked, this, &MakeSureFormatViewController::okButtonAction);

    setUpPanelButton(ui->noButton, PanelButtonLook::Secondary, QStringLiteral("取消"));
    connect(ui->noButton, &QAbstractButton::clicked, this, &MakeSureFormatViewController::noButtonAction);

    connect(ui->typeSelectBut, &QAbstractButton::clicked, this, &MakeSureFormatViewController::openMenuAction);
}

MakeSureFormatViewController::~MakeSureFormatViewController()
{
    // The menu is a child window of this panel's window: it goes first.
    m_formatTypeVC.reset();
    m_sortAttachedWindow.reset();
}

TextImageButton *MakeSureFormatViewController::okButton() const { return ui->okButton; }
TextImageButton *MakeSureFormatViewController::noButton() const { return ui->noButton; }
QLabel *MakeSureFormatViewController::nameLabel() const { return ui->nameLabel; }
QLabel *MakeSureFormatViewController::nodeLabel() const { return ui->nodeLabel; }
QLineEdit *MakeSureFormatViewController::nameTextFiled() const { return ui->nameTextFiled; }
QLabel *MakeSureFormatViewController::typeLabel() const { return ui->typeLabel; }
QPushButton *MakeSureFormatViewController::typeSelectBut() const { return ui->typeSelectBut; }
QLabel *MakeSureFormatViewController::openImageV() const { return ui->openImageV; }
QLabel *MakeSureFormatViewController::fileSysBg() const { return ui->fileSysBg; }

void MakeSureFormatViewController::setName(const QString &name, const QString &setType)
{
    Platform::setPlainText(ui->nameLabel, QStringLiteral("格式化 '%1'?").arg(name));
    Platform::setPlainText(ui->nodeLabel,
                           QStringLiteral("格式化后，“%1”上的所有数据都将被删除，您要进行格式化吗？").arg(name));

    // The field takes the name while it cannot be edited and becomes editable
    // once the panel is up (after a hop through another thread).
    ui->nameTextFiled->setReadOnly(true);
    ui->nameTextFiled->setText(name);
    QPointer<MakeSureFormatViewController> guard(this);
    Platform::Dispatch::globalAsync([guard] {
        Platform::Dispatch::mainAsync([guard] {
            if (guard)
                guard->chengTextStart();
        });
    });

    Platform::setPlainText(ui->typeLabel, setType);
    setLabelColor(ui->typeLabel, getColor(58, 58, 58, 1));
    ui->openImageV->setHidden(false);
    setImage(ui->fileSysBg, QStringLiteral("format_input"));
    ui->typeSelectBut->setEnabled(true);
    // An APFS volume keeps its type: it is reformatted, not erased.
    if (setType.toLower().contains(QLatin1String("apfs"))) {
        setLabelColor(ui->typeLabel, getColor(218, 220, 224, 1));
        ui->openImageV->setHidden(true);
        ui->typeSelectBut->setEnabled(false);
        setImage(ui->fileSysBg, QStringLiteral("format_input_disable"));
    }
}

void MakeSureFormatViewController::chengTextStart() { ui->nameTextFiled->setReadOnly(false); }

void MakeSureFormatViewController::okButtonAction()
{
    if (m_delegate)
        m_delegate->makeSureToFormatSelectVolumeWithName(ui->nameTextFiled->text(), ui->typeLabel->text());
    closeWindow();
}

void MakeSureFormatViewController::noButtonAction()
{
    if (m_delegate)
        m_delegate->cancelFormatVoluem();
    closeWindow();
}

void MakeSureFormatViewController::openMenuAction()
{
    DropDownMenu::show<FormatTypeViewController>(
        this, {m_formatTypeVC, m_sortAttachedWindow, m_isPopSortWin}, superDelegate(), QPointF(menuPointX, menuPointY),
        [this] {
            auto menu = std::make_unique<FormatTypeViewController>();
            menu->setDelegate(this);
            return menu;
        },
        [this] { closeMattachedWindow(); });
}

void MakeSureFormatViewController::closeMattachedWindow()
{
    DropDownMenu::close<FormatTypeViewController>(this, {m_formatTypeVC, m_sortAttachedWindow, m_isPopSortWin});
}

void MakeSureFormatViewController::selectFormatbyType(int type)
{
    const QStringList types = FormatTypeViewController::formatTypes();
    if (type >= 0 && type < types.size())
        ui->typeLabel->setText(types.at(type));
}

void MakeSureFormatViewController::mouseEixtView(bool exited)
{
    DropDownMenu::mouseEixtView<FormatTypeViewController>({m_formatTypeVC, m_sortAttachedWindow, m_isPopSortWin},
                                                          exited, [this] { closeMattachedWindow(); });
}
