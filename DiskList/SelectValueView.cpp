#include "SelectValueView.h"

#include "ui_SelectValueView.h"

#include "EumeRoot.h"
#include "NodeTreeOperator.h"
#include "SelectValueViewDelegate.h"

#include "QoImage.h"

#include "FileManager.h"

#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QStyle>

SelectValueView::SelectValueView(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::SelectValueView>())
{
    ui->setupUi(this);
    for (QLabel *label : {ui->nameLabel, ui->sizeLabel, ui->nodeSelectLabel})
        label->setTextFormat(Qt::PlainText);
    ui->errorImage->setHidden(true);
    m_isCanSelect = true;
    m_isHaveD = false;
    setBgImage(QStringLiteral("source"));
    ui->bgView->setDelegate(this);
    ui->dragVie->setDelegate(this);
    // Labels and pictures leave presses to the card's background.
    for (QWidget *w : {static_cast<QWidget *>(ui->bgImageView), static_cast<QWidget *>(ui->imageView),
                       static_cast<QWidget *>(ui->nameLabel), static_cast<QWidget *>(ui->sizeLabel),
                       static_cast<QWidget *>(ui->nodeSelectLabel), static_cast<QWidget *>(ui->errorImage),
                       static_cast<QWidget *>(ui->proSizeView)})
        w->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui->closeDisk->setButtonEnabled(true);
    ui->closeDisk->setImageFromFileNormalName(QStringLiteral("ic_close"), QStringLiteral("ic_close_press"),
                                              QStringLiteral("ic_close_hover"), QStringLiteral("ic_close"));
    connect(ui->closeDisk, &QPushButton::clicked, this, [this] { closeDiskValue(ui->closeDisk); });
    connect(ui->selectDiskBut, &QPushButton::clicked, this, [this] { selectDiskButton(ui->selectDiskBut); });
    // The pages set the name as it is; the label keeps its start in view.
    ui->nameLabel->installEventFilter(this);
}

bool SelectValueView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui->nameLabel || event->type() != QEvent::Paint)
        return QWidget::eventFilter(watched, event);
    QLabel *label = ui->nameLabel;
    const QRect room = label->contentsRect();
    const QString text = label->text();
    const QString elided = label->fontMetrics().elidedText(text, Qt::ElideRight, room.width());
    if (elided == text)
        return false;
    QPainter painter(label);
    label->style()->drawItemText(&painter, room, QStyle::visualAlignment(label->layoutDirection(), label->alignment()),
                                 label->palette(), label->isEnabled(), elided, label->foregroundRole());
    return true;
}

SelectValueView::~SelectValueView() = default;

SizeView *SelectValueView::proSizeView() const { return ui->proSizeView; }
QLabel *SelectValueView::nameLabel() const { return ui->nameLabel; }
QLabel *SelectValueView::sizeLabel() const { return ui->sizeLabel; }
QLabel *SelectValueView::nodeSelectLabel() const { return ui->nodeSelectLabel; }
QPushButton *SelectValueView::selectDiskBut() const { return ui->selectDiskBut; }
TextImageButton *SelectValueView::closeDisk() const { return ui->closeDisk; }
DragView *SelectValueView::dragVie() const { return ui->dragVie; }
QLabel *SelectValueView::imageView() const { return ui->imageView; }
QLabel *SelectValueView::bgImageView() const { return ui->bgImageView; }
QPushButton *SelectValueView::nameButton() const { return ui->nameButton; }
QLabel *SelectValueView::errorImage() const { return ui->errorImage; }
SelectBgView *SelectValueView::bgView() const { return ui->bgView; }

void SelectValueView::setBgImage(const QString &name)
{
    m_bgImageName = name;
    ui->bgImageView->setPixmap(QoImage::named(name).pixmap(ui->bgImageView->size(), devicePixelRatioF()));
}

void SelectValueView::changeBgImageViewWithError(bool error)
{
    if (!m_isCanSelect)
        return;
    if (error) {
        ui->errorImage->setHidden(false);
        setBgImage(QStringLiteral("source_sel_error"));
        changeViewRect(true);
        return;
    }
    ui->errorImage->setHidden(true);
    setBgImage(m_isHaveD ? QStringLiteral("source_sel") : QStringLiteral("source"));
}

void SelectValueView::setOpenIcon() {}

void SelectValueView::changeViewRect(bool error) { (void)error; }

void SelectValueView::selectDiskButton(QObject *sender)
{
    if (!m_isCanSelect)
        return;
    if (m_delegate)
        m_delegate->selectDiskButton(m_diskFrom, sender);
}

void SelectValueView::openMenuButtonAction(QObject *sender) { selectDiskButton(sender); }

void SelectValueView::closeDiskValue(QObject *sender)
{
    (void)sender;
    if (!m_isCanSelect)
        return;
    if (m_delegate)
        m_delegate->closeDiskValue(m_diskFrom);
}

void SelectValueView::selectFileButtonAction(QObject *sender)
{
    if (m_delegate)
        m_delegate->selectFileButtonAction(sender);
}

void SelectValueView::mouseInSelectBgView(bool inside)
{
    if (!m_isCanSelect || m_isHaveD)
        return;
    setBgImage(inside ? QStringLiteral("source_hover") : QStringLiteral("source"));
}

void SelectValueView::mouseDownAction() { selectDiskButton(ui->selectDiskBut); }

void SelectValueView::viewDragAction(const QList<QByteArray> &paths)
{
    if (!m_isCanSelect)
        return;
    const FileNodeArrayPtr nodes = eumeArr(paths);
    if (m_delegate)
        m_delegate->viewDragAction(nodes);
}

FileNodeArrayPtr SelectValueView::eumeArr(const QList<QByteArray> &paths)
{
    return EumeRoot::nodesForDroppedPaths(paths);
}

FileNodeArrayPtr SelectValueView::eumeArr(const QStringList &paths)
{
    QList<QByteArray> native;
    native.reserve(paths.size());
    for (const QString &path : paths)
        native.append(QFile::encodeName(path));
    return eumeArr(native);
}
