#include "DmgViewController.h"

#include "ui_DmgViewController.h"

#include "DMGMakeSureWC.h"
#include "DmgVCDelegate.h"
#include "MakeDmg.h"

#include "DiskListWC.h"
#include "LComboBox.h"
#include "ListFileViewController.h"
#include "SelectAllFilePopVC.h"
#include "SelectDiskViewController.h"
#include "SelectValueView.h"

#include "DropDownMenu.h"
#include "ErrorBubble.h"
#include "ErrorViewController.h"
#include "ITProgressBar.h"
#include "MainWindowPanel.h"
#include "NODEAttachedWindow.h"
#include "QoHandButton.h"
#include "QoImage.h"
#include "RMAAttachedWindow.h"
#include "StatusAttachedWindow.h"
#include "TextImageButton.h"
#include "VoPopoverController.h"
#include "VoPopoverWindow.h"

#include "GetColor.h"
#include "QoPublicUtilities.h"

#include "Platform/Clock.h"
#include "Platform/Dispatch.h"
#include "Platform/SystemInfo.h"
#include "Platform/SystemLog.h"
#include "Platform/SystemRoot.h"
#include "Platform/Workspace.h"

#include <QDateTime>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace
{

const QString kAllFiles = QStringLiteral("复制所有文件");
const QString kMakingImage = QStringLiteral("制作镜像中...");
const QString kEnumerating = QStringLiteral("正在枚举文件...");
const QString kLinkPhrase = QStringLiteral("请检查目标盘上的磁盘映像。");
constexpr double kStartDelay = 0.3;

bool isStartupPath(const QString &path)
{
    return path == QLatin1String("/") || Platform::isStartupMountPoint(path);
}

// The size summer reports once, on a background thread, to a plain pointer.
// This receiver outlives the page if need be and carries the report to the
// main thread, where the page checks that the sum is still wanted.
class SizeReceiver : public GetFilesSizeDelegate
{
public:
    SizeReceiver(DmgViewController *page, quint64 serial, std::function<void(quint64, qint64)> deliver)
        : m_page(page), m_serial(serial), m_deliver(std::move(deliver))
    {
    }
    void allCopyFilesSize(qint64 size) override
    {
        QPointer<DmgViewController> page = m_page;
        const quint64 serial = m_serial;
        auto deliver = m_deliver;
        Platform::Dispatch::mainAsync([page, serial, size, deliver] {
            if (page)
                deliver(serial, size);
        });
        delete this; // exactly one report per sum
    }

private:
    QPointer<DmgViewController> m_page;
    quint64 m_serial;
    std::function<void(quint64, qint64)> m_deliver;
};

} // namespace

DmgViewController::DmgViewController(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::DmgViewController>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("DmgViewController"));
    awakeFromNib();
}

DmgViewController::~DmgViewController()
{
    if (m_aTimer)
        m_aTimer->stop();
    if (m_makeDmg) {
        m_makeDmg->setMakeDmgDelegate(nullptr);
        if (m_jobRunning) {
            m_makeDmg->setIsCancelCopy(true);
            m_makeDmg->stopMakeDmg();
        }
    }
    if (m_controller)
        m_controller->setADelegate(nullptr);
    // Windows that belong to the main window go before the views they show.
    m_popoverController.reset();
    m_selectDiskVC.reset();
    m_sortAttachedWindow.reset();
    m_selectAllFileVC.reset();
    m_errorPopWin.reset();
    m_errorVC.reset();
    if (m_makeSureWC) {
        m_makeSureWC->setDelegate(nullptr);
        m_makeSureWC->closeWindow();
    }
}

// ---- Texts

QString DmgViewController::stopText()
{
    return QStringLiteral("您已停止该进程。");
}
QString DmgViewController::failText()
{
    return QStringLiteral("操作失败。");
}
QString DmgViewController::noFileText()
{
    return QStringLiteral("没有文件被选择...");
}
QString DmgViewController::sameVolumeText()
{
    return QStringLiteral("您无法将源盘选为目标盘，请选择其他盘。");
}
QString DmgViewController::noSpaceText()
{
    return QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。");
}

// ---- Outlets

QWidget *DmgViewController::comboBoxView() const
{
    return ui->comboBoxView;
}
QWidget *DmgViewController::selectFromView() const
{
    return ui->selectFromView;
}
QWidget *DmgViewController::selectToView() const
{
    return ui->selectToView;
}
TextImageButton *DmgViewController::cloneButton() const
{
    return ui->cloneButton;
}
QLabel *DmgViewController::topLabel() const
{
    return ui->topLabel;
}
QPushButton *DmgViewController::makeZipBut() const
{
    return ui->makeZipBut;
}
QPushButton *DmgViewController::makeDmgBut() const
{
    return ui->makeDmgBut;
}
ITProgressBar *DmgViewController::rogressView() const
{
    return ui->rogressView;
}
QLabel *DmgViewController::pathLabel() const
{
    return ui->pathLabel;
}
TextImageButton *DmgViewController::cancelButton() const
{
    return ui->cancelButton;
}
QWidget *DmgViewController::selectDiskView() const
{
    return ui->selectDiskView;
}
QWidget *DmgViewController::copyProgressView() const
{
    return ui->copyProgressView;
}
QWidget *DmgViewController::progressView() const
{
    return ui->progressView;
}
QWidget *DmgViewController::endView() const
{
    return ui->endView;
}
QWidget *DmgViewController::sussView() const
{
    return ui->sussView;
}
QWidget *DmgViewController::failView() const
{
    return ui->failView;
}
TextImageButton *DmgViewController::failCancelButton() const
{
    return ui->failCancelButton;
}
TextImageButton *DmgViewController::succCancelButton() const
{
    return ui->succCancelButton;
}
QLabel *DmgViewController::openLabel() const
{
    return ui->openLabel;
}
QoHandButton *DmgViewController::openButton() const
{
    return ui->openButton;
}
QLabel *DmgViewController::errorLable() const
{
    return ui->errorLable;
}

QWidget *DmgViewController::mainWindow()
{
    return window();
}

// ---- Set-up

void DmgViewController::awakeFromNib()
{
    m_isMakeZip = false;
    m_makeDmg = std::make_unique<MakeDmg>(this);

    m_controller = std::make_unique<Controller>();
    m_controller->setADelegate(this);

    ui->cloneButton->setButtonEnabled(false);
    ui->cloneButton->setImageFromFileNormalName(QStringLiteral("btn_pri"), QStringLiteral("btn_pri_press"),
                                                QStringLiteral("btn_pri_hover"), QStringLiteral("btn_pri_disable"));
    ui->cloneButton->setTextWithName(QStringLiteral("现在制作"));
    connect(ui->cloneButton, &QAbstractButton::clicked, this, [this] {
        if (ui->cloneButton->isButtonUsable())
            cloneButtonAction();
    });
    m_selectFilesSize = -1;
    m_usedSize = -1;
    m_freeSize = -1;
    m_isDragValue = false;

    m_lComboBox = new LComboBox(ui->comboBoxView);
    m_lComboBox->setLconboBoxDelegate(this);
    m_lComboBox->setlComboBoxEnde(false);
    m_lComboBox->setGeometry(ui->comboBoxView->rect());
    m_lComboBox->setStrLabelValue(kAllFiles);
    ui->comboBoxView->setHidden(true);

    m_selectFromVC = new SelectValueView(ui->selectFromView);
    setUpCard(m_selectFromVC, ui->selectFromView, 1, QStringLiteral("点击选择源盘"));
    m_selectToVC = new SelectValueView(ui->selectToView);
    setUpCard(m_selectToVC, ui->selectToView, 2, QStringLiteral("点击选择目标盘"));
    // Files are dropped on the source card only; the drop area also holds
    // the card's content, so it stays and only stops taking drops.
    if (QWidget *drop = m_selectToVC->dragVie())
        drop->setAcceptDrops(false);

    setButtonTitleColor();
    makeDmgButAction();
    connect(ui->makeZipBut, &QAbstractButton::clicked, this, &DmgViewController::makeZipButAction);
    connect(ui->makeDmgBut, &QAbstractButton::clicked, this, &DmgViewController::makeDmgButAction);

    m_setpVC = new SetpViewController(ui->setpView);
    m_setpVC->setGeometry(ui->setpView->rect());
    m_setpVC->setCopyOrDiskImage(1);
    m_setpVC->setSetpIn(1);
    m_setpVC_2 = new SetpViewController(ui->setp_2);
    m_setpVC_2->setGeometry(ui->setp_2->rect());
    m_setpVC_2->setCopyOrDiskImage(1);
    m_setpVC_2->setSetpIn(2);

    ui->rogressView->setFloatValue(0.0);
    ui->cancelButton->setButtonEnabled(true);
    ui->cancelButton->setImageFromFileNormalName(QStringLiteral("btn_sec"), QStringLiteral("btn_sec_press"),
                                                 QStringLiteral("btn_sec_hover"), QStringLiteral("btn_sec_disable"));
    ui->cancelButton->setTextWithName(QStringLiteral("取消"));
    connect(ui->cancelButton, &QAbstractButton::clicked, this, &DmgViewController::cancelButtonAction);
    ui->failCancelButton->setButtonEnabled(true);
    ui->failCancelButton->setImageFromFileNormalName(QStringLiteral("btn_sec"), QStringLiteral("btn_sec_press"),
                                                     QStringLiteral("btn_sec_hover"),
                                                     QStringLiteral("btn_sec_disable"));
    ui->failCancelButton->setTextWithName(QStringLiteral("取消"));
    connect(ui->failCancelButton, &QAbstractButton::clicked, this, &DmgViewController::failCancelButtonAction);
    ui->succCancelButton->setButtonEnabled(true);
    ui->succCancelButton->setImageFromFileNormalName(QStringLiteral("btn_pri"), QStringLiteral("btn_pri_press"),
                                                     QStringLiteral("btn_pri_hover"),
                                                     QStringLiteral("btn_pri_disable"));
    ui->succCancelButton->setTextWithName(QStringLiteral("确定"));
    connect(ui->succCancelButton, &QAbstractButton::clicked, this, &DmgViewController::succCancelButtonAction);
    connect(ui->openButton, &QAbstractButton::clicked, this, &DmgViewController::openPathButtonAction);
    m_openLabelText = ui->openLabel->text();
    ui->openButton->raise();

    ui->failView->setHidden(true);
    ui->sussView->setHidden(true);
    ui->endView->setHidden(true);
    ui->progressView->setHidden(false);
    ui->copyProgressView->setHidden(true);
    ui->selectDiskView->setHidden(false);
}

void DmgViewController::setUpCard(SelectValueView *card, QWidget *container, qint32 diskFrom, const QString &hint)
{
    card->setGeometry(container->rect());
    card->setDiskFrom(diskFrom);
    card->setDelegate(this);
    card->setIsHaveD(false);
    card->nameLabel()->setText(QString());
    card->sizeLabel()->setText(QString());
    card->nodeSelectLabel()->setText(hint);
    card->setOpenIcon();
    setCardIcon(card, QStringLiteral("add"));
}

void DmgViewController::setCardIcon(SelectValueView *card, const QString &name)
{
    QPushButton *button = card->selectDiskBut();
    button->setIcon(QIcon(QoImage::named(name).pixmap(button->iconSize(), devicePixelRatioF())));
}

void DmgViewController::setButtonTitleColor()
{
    const QColor colour = getColor(79, 81, 82, 1);
    for (QPushButton *button : {ui->makeZipBut, ui->makeDmgBut}) {
        QFont font = button->font();
        font.setPointSizeF(13);
        button->setFont(font);
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, colour);
        button->setPalette(palette);
        button->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; "
                                             "text-align: left; padding-left: 2px; color: rgb(79, 81, 82); }"));
    }
}

void DmgViewController::setRadio(QPushButton *button, bool selected)
{
    button->setIcon(
        QIcon(QoImage::named(selected ? QStringLiteral("radiobutton_sel") : QStringLiteral("radiobutton_unsel"))
                  .pixmap(button->iconSize(), devicePixelRatioF())));
    button->setChecked(selected);
}

void DmgViewController::makeZipButAction()
{
    setRadio(ui->makeZipBut, true);
    setRadio(ui->makeDmgBut, false);
    m_isMakeZip = true;
}

void DmgViewController::makeDmgButAction()
{
    setRadio(ui->makeDmgBut, true);
    setRadio(ui->makeZipBut, false);
    m_isMakeZip = false;
}

// ---- Cards and the volume picker

void DmgViewController::selectDiskButton(qint32 withID, QObject *sender)
{
    closeErrorWindow();
    if (m_popoverController && m_popoverController->popoverIsVisible()) {
        m_popoverController->closePopover();
        return;
    }
    QWidget *anchor = qobject_cast<QWidget *>(sender);
    if (!anchor)
        anchor = withID == 2 ? static_cast<QWidget *>(m_selectToVC) : static_cast<QWidget *>(m_selectFromVC);
    m_openPopType = quint32(withID);
    m_popoverController.reset();
    m_selectDiskVC = std::make_unique<SelectDiskViewController>();
    m_selectDiskVC->setSelectDiskVCDelegate(this);
    m_popoverController = std::make_unique<VoPopoverController>(m_selectDiskVC.get());
    m_popoverController->setColor(getColor(55, 55, 55, 1));
    m_popoverController->setBorderColor(getColor(55, 55, 55, 1));
    m_popoverController->setBorderWidth(0.5);
    m_popoverController->setAnimates(false);
    m_popoverController->presentPopoverFromRect(QRectF(QPointF(0, 0), QSizeF(anchor->size())), anchor,
                                                withID == 2 ? 2 : 1, true);
}

void DmgViewController::doSelectDiskWithVolume(const VolumeObjPtr &volume)
{
    if (m_popoverController && m_popoverController->popoverIsVisible())
        m_popoverController->closePopover();
    if (!volume)
        return;
    QString icon = QStringLiteral("ic_disk_main");
    if (volume->bCanEject)
        icon = QStringLiteral("ic_usb_main");
    else if (isStartupPath(volume->volumeMountPoint))
        icon = QStringLiteral("ic_os_main_b");

    if (m_openPopType == 1) {
        SelectValueView *card = m_selectFromVC;
        m_fromeVolume = volume;
        m_selectFilesSize = -1;
        m_filesArr.reset();
        m_lComboBox->changeSelectType(0);
        m_isDragValue = false;
        card->nameLabel()->setText(volume->volumeName);
        m_usedSize = volume->volumeTotalSizeNum - volume->volumeFreeSizeNum;
        card->sizeLabel()->setText(QStringLiteral("%1被选择").arg(QoPublicUtilities::longlongDiskSize(m_usedSize)));
        card->nodeSelectLabel()->setText(QString());
        card->setIsHaveD(true);
        setCardIcon(card, icon);
        card->closeDisk()->setHidden(false);
        if (m_toVolume && m_toVolume->volumePath == volume->volumePath) {
            m_filesArr.reset();
            m_fromeVolume.reset();
            m_usedSize = -1;
            ui->cloneButton->setButtonEnabled(false);
            m_lComboBox->setlComboBoxEnde(false);
            card->changeBgImageViewWithError(true);
            showErrorWindowWithErrorStr(sameVolumeText(), 0);
            return;
        }
        card->changeBgImageViewWithError(false);
        m_lComboBox->setlComboBoxEnde(true);
        ui->comboBoxView->setHidden(false);
        changeSelectCopyType();
        return;
    }

    SelectValueView *card = m_selectToVC;
    m_toVolume = volume;
    card->nameLabel()->setText(volume->volumeName);
    card->sizeLabel()->setText(QStringLiteral("%1空闲").arg(volume->volumeFreeSize));
    card->nodeSelectLabel()->setText(QString());
    card->closeDisk()->setHidden(false);
    setCardIcon(card, icon);
    m_freeSize = volume->volumeFreeSizeNum;
    card->setIsHaveD(true);
    if (m_fromeVolume && m_fromeVolume->volumePath == volume->volumePath) {
        m_toVolume.reset();
        m_freeSize = -1;
        ui->cloneButton->setButtonEnabled(false);
        card->changeBgImageViewWithError(true);
        if (m_usedSize != -1)
            m_lComboBox->setlComboBoxEnde(true);
        showErrorWindowWithErrorStr(sameVolumeText(), 1);
        return;
    }
    card->changeBgImageViewWithError(false);
    changeSelectCopyType();
}

void DmgViewController::changeSelectCopyType()
{
    if (m_usedSize == -1 || m_freeSize == -1) {
        changeCloneButtonActon();
        return;
    }
    const qint64 need = m_selectFilesSize == -1 ? m_usedSize : m_selectFilesSize.load();
    if (m_freeSize < need) {
        m_lComboBox->changeSelectType(1);
        m_lComboBox->setlComboBoxEnde(false);
        ui->cloneButton->setButtonEnabled(false);
        m_selectToVC->changeBgImageViewWithError(true);
        showErrorWindowWithErrorStr(noSpaceText(), 1);
        return;
    }
    m_lComboBox->setlComboBoxEnde(true);
    ui->cloneButton->setButtonEnabled(true);
    m_selectToVC->changeBgImageViewWithError(false);
}

void DmgViewController::changeCloneButtonActon()
{
    if (m_freeSize == -1 || !(m_isDragValue || m_usedSize != -1))
        return;
    if (m_toVolume && m_selectFilesSize > m_toVolume->volumeFreeSizeNum) {
        m_lComboBox->setlComboBoxEnde(false);
        m_lComboBox->changeSelectType(1);
        ui->cloneButton->setButtonEnabled(false);
        setCardIcon(m_selectToVC, QStringLiteral("add"));
        m_selectToVC->changeBgImageViewWithError(true);
        return;
    }
    ui->cloneButton->setButtonEnabled(true);
    m_selectToVC->changeBgImageViewWithError(false);
}

void DmgViewController::closeDiskValue(qint32 diskFrom)
{
    closeErrorWindow();
    SelectValueView *card = diskFrom == 1 ? m_selectFromVC : m_selectToVC;
    if (diskFrom == 1) {
        m_filesArr.reset();
        m_fromeVolume.reset();
        m_usedSize = -1;
        m_selectFilesSize = -1;
    } else {
        m_toVolume.reset();
        m_freeSize = -1;
    }
    card->setIsHaveD(false);
    setCardIcon(card, QStringLiteral("add"));
    card->nameLabel()->setText(QString());
    card->sizeLabel()->setText(QString());
    card->changeBgImageViewWithError(false);
    card->nodeSelectLabel()->setText(diskFrom == 1 ? QStringLiteral("点击选择源盘") : QStringLiteral("点击选择目标盘"));
    card->closeDisk()->setHidden(true);
    if (diskFrom == 1) {
        m_lComboBox->changeSelectType(0);
        m_lComboBox->setlComboBoxEnde(false);
        m_isDragValue = false;
        ui->comboBoxView->setHidden(true);
    } else if (m_usedSize != -1) {
        m_lComboBox->setlComboBoxEnde(true);
    }
    ui->cloneButton->setButtonEnabled(false);
}

void DmgViewController::chengeTabCloseNode()
{
    if (m_popoverController && m_popoverController->popoverWindow())
        m_popoverController->popoverWindow()->hide();
    m_popoverController.reset();
}

// ---- Copy mode and the file browser

void DmgViewController::showSelectAllVC()
{
    QPointer<DmgViewController> self(this);
    DropDownMenu::show<SelectAllFilePopVC>(
        this, {m_selectAllFileVC, m_sortAttachedWindow, m_isPopSortWin}, mainWindow(), QPointF(443, 137),
        [self] {
            auto vc = std::make_unique<SelectAllFilePopVC>();
            vc->setDelegate(self.data());
            return vc;
        },
        [self] {
            if (self)
                self->closeMattachedWindow();
        });
}

void DmgViewController::closeMattachedWindow()
{
    DropDownMenu::close<SelectAllFilePopVC>(this, {m_selectAllFileVC, m_sortAttachedWindow, m_isPopSortWin});
}

void DmgViewController::selectFormatbyType(qint32 type)
{
    m_lComboBox->changeSelectType(type);
    mouseEixtView(true);
}

void DmgViewController::mouseEixtView(bool exited)
{
    DropDownMenu::mouseEixtView<SelectAllFilePopVC>({m_selectAllFileVC, m_sortAttachedWindow, m_isPopSortWin}, exited,
                                                    [this] { closeMattachedWindow(); });
}

void DmgViewController::doShowSearchView()
{
    if (!m_fromeVolume && !m_filesArr)
        return;
    m_diskListWC.reset();
    m_diskListWC = std::make_unique<DiskListWC>();
    m_diskListWC->setDelegate(this);
    m_diskListWC->centerWindow();
    if (m_filesArr)
        m_diskListWC->listFileVC()->setArrForListWithArr(m_filesArr,
                                                         m_fromeVolume ? m_fromeVolume->volumePath : QString());
    else
        m_diskListWC->showDetailWithPath(Platform::rootPath(m_fromeVolume->volumeMountPoint));
    m_diskListWC->runModal();
}

void DmgViewController::closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 withSelectSize)
{
    // Stored at once, before the main-queue block (this arrives on a worker).
    m_selectFilesSize = withSelectSize;
    QPointer<DmgViewController> self(this);
    Platform::Dispatch::mainAsync([self, arr, withSelectSize] {
        if (!self)
            return;
        self->m_filesArr = arr;
        qsizetype k = 0;
        const qsizetype total = arr ? arr->size() : 0;
        if (arr) {
            for (const FileNodePtr &node : *arr)
                k += (node->state == FileNode::Checked || node->state == FileNode::PartlyChecked) ? 1 : 0;
        }
        SelectValueView *card = self->m_selectFromVC;
        if (k != total || self->m_isDragValue) {
            card->nameLabel()->setText(QStringLiteral("%1文件/文件夹").arg(k));
            card->sizeLabel()->setText(QoPublicUtilities::longlongConvertVolSpace(withSelectSize));
            self->setCardIcon(card, QStringLiteral("ic_folder"));
        } else if (self->m_fromeVolume) {
            const VolumeObjPtr &v = self->m_fromeVolume;
            card->nameLabel()->setText(v->volumeName);
            self->m_usedSize = v->volumeTotalSizeNum - v->volumeFreeSizeNum;
            card->sizeLabel()->setText(QoPublicUtilities::longlongDiskSize(self->m_usedSize));
            QString icon = QStringLiteral("ic_disk_main");
            if (v->bCanEject)
                icon = QStringLiteral("ic_usb_main");
            else if (isStartupPath(v->volumeMountPoint))
                icon = QStringLiteral("ic_os_main_b");
            self->setCardIcon(card, icon);
        }
        card->nodeSelectLabel()->setText(QString());
        card->setIsHaveD(true);
        card->changeBgImageViewWithError(false);
        self->ui->comboBoxView->setHidden(false);
        self->changeCloneButtonActon();
    });
}

void DmgViewController::viewDragAction(const FileNodeArrayPtr &nodes)
{
    m_lComboBox->changeSelectType(0);
    m_isDragValue = true;
    m_filesArr = nodes;
    SelectValueView *card = m_selectFromVC;
    card->setIsHaveD(true);
    card->nameLabel()->setText(QStringLiteral("拖动部分文件"));
    card->sizeLabel()->setText(QStringLiteral("%1个文件被选择").arg(nodes ? nodes->size() : 0));
    card->nodeSelectLabel()->setText(QString());
    setCardIcon(card, QStringLiteral("ic_folder"));
    card->changeBgImageViewWithError(false);
    card->closeDisk()->setHidden(false);
    m_lComboBox->setlComboBoxEnde(true);
    m_selectFilesSize = 0;
}

// ---- Start, confirmation and the job

void DmgViewController::cloneButtonAction()
{
    if (m_filesArr) {
        doMakeZip();
        return;
    }
    if (!m_fromeVolume || m_isScanning)
        return;
    m_isScanning = true;
    m_filesArr = std::make_shared<FileNodeArray>();
    m_controller->eumeAllRootFileNodeWithRootArr(m_filesArr, m_fromeVolume->volumePath, true, false);
}

void DmgViewController::endScanFiles()
{
    QPointer<DmgViewController> self(this);
    Platform::Dispatch::mainAsync([self] {
        if (!self)
            return;
        self->m_isScanning = false;
        self->doMakeZip();
    });
}

void DmgViewController::getZipFilePathArr(const FileNodeList &nodes, QStringList &withZipArr)
{
    FileNode::walkSelection(nodes, [&withZipArr](FileNode *node) { withZipArr << node->path; });
}

void DmgViewController::doMakeZip()
{
    m_zipFilesArr.clear();
    if (m_filesArr)
        getZipFilePathArr(*m_filesArr, m_zipFilesArr);
    if (m_zipFilesArr.isEmpty()) {
        showErrorWindowWithErrorStr(noFileText(), 1);
        return;
    }
    if (m_makeSureWC)
        m_makeSureWC->closeWindow();
    auto *vc = new DMGMakeSureWC;
    vc->setDelegate(this);
    m_makeSureWC = vc;
    MainWindowPanel::show(vc, mainWindow(), false);
}

void DmgViewController::beginToMakeDMGorZIP()
{
    if (m_jobRunning)
        return;
    ++m_jobSerial;
    m_jobRunning = true;
    m_waitingForSize = false;
    ui->selectDiskView->setHidden(true);
    ui->copyProgressView->setHidden(false);
    ui->progressView->setHidden(false);
    ui->endView->setHidden(true);
    m_setpVC_2->setSetpIn(2);
    ui->pathLabel->setText(kMakingImage);
    ui->rogressView->setFloatValue(0.0);
    canChangeTab(false);

    if (m_aTimer) {
        m_aTimer->stop();
        m_aTimer->deleteLater();
    }
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(Platform::Clock::realMs(kStartDelay));
    const quint64 serial = m_jobSerial;
    const bool zip = m_isMakeZip;
    connect(timer, &QTimer::timeout, this, [this, serial, zip] {
        if (serial != m_jobSerial || !m_jobRunning)
            return;
        if (zip)
            doMakeZipWithFileArr();
        else
            doMakeDMGWithFileArr();
    });
    m_aTimer = timer;
    timer->start();
}

QString DmgViewController::getCreateName()
{
    return QStringLiteral("KestrovaDiskClone(%1)")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QString DmgViewController::targetFolder(const QString &volumePath, int systemVersion, const QString &userName)
{
    if (isStartupPath(volumePath)) {
        if (systemVersion > 1014)
            return QStringLiteral("/Users/%1/Desktop").arg(userName);
        return QStringLiteral("/");
    }
    return volumePath;
}

namespace
{

// The Desktop of the person at the screen, not of the (root) process.
QString desktopUser()
{
    return Platform::SystemInfo::consoleUser().name;
}

} // namespace

void DmgViewController::doMakeZipWithFileArr()
{
    if (m_aTimer) {
        m_aTimer->stop();
        m_aTimer->deleteLater();
        m_aTimer = nullptr;
    }
    if (!m_toVolume || !m_filesArr)
        return showFailView(failText());
    const QString folder = targetFolder(m_toVolume->volumePath, QoPublicUtilities::getSystemVersion(), desktopUser());
    m_openUrl = folder;
    const QString zipPath =
        (folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')) + getCreateName() + ".zip";
    m_makeDmg->doZipWithPath(Platform::rootPath(zipPath), *m_filesArr);
}

void DmgViewController::doMakeDMGWithFileArr()
{
    if (m_aTimer) {
        m_aTimer->stop();
        m_aTimer->deleteLater();
        m_aTimer = nullptr;
    }
    changePathValue(kEnumerating, 10);
    // Dropped files count 0 in the page's checks, but the image must hold
    // them: they are summed like a ticked selection.
    if (m_selectFilesSize != -1 && !m_isDragValue) {
        startImageWithSize(m_selectFilesSize);
        return;
    }
    if (!m_isDragValue && m_lComboBox->strLabel()->text() == kAllFiles) {
        startImageWithSize(m_usedSize);
        return;
    }
    m_waitingForSize = true;
    QPointer<DmgViewController> self(this);
    auto *receiver = new SizeReceiver(this, m_jobSerial, [self](quint64 serial, qint64 size) {
        if (self && serial == self->m_jobSerial && self->m_waitingForSize)
            self->allCopyFilesSize(size);
    });
    const std::shared_ptr<GetFilesSize> summer = GetFilesSize::create(receiver);
    summer->getAllFilesSizeWithArr(m_filesArr ? *m_filesArr : FileNodeArray{});
}

void DmgViewController::allCopyFilesSize(qint64 size)
{
    if (!Platform::Dispatch::isMainThread()) {
        QPointer<DmgViewController> self(this);
        const quint64 serial = m_jobSerial;
        Platform::Dispatch::mainAsync([self, serial, size] {
            if (self && serial == self->m_jobSerial)
                self->allCopyFilesSize(size);
        });
        return;
    }
    if (!m_jobRunning)
        return;
    m_waitingForSize = false;
    startImageWithSize(size);
}

void DmgViewController::startImageWithSize(qint64 size)
{
    if (!m_jobRunning)
        return;
    if (!m_toVolume)
        return showFailView(failText());
    const QString folder = targetFolder(m_toVolume->volumePath, QoPublicUtilities::getSystemVersion(), desktopUser());
    m_openUrl = folder;
    m_lastImageSize = size;
    m_makeDmg->makeTmpDmgWithPath(folder, getCreateName(), size);
}

void DmgViewController::cancelMakeZip()
{
    m_makeDmg->setIsCancelCopy(true);
    m_makeDmg->stopMakeDmg();
}

void DmgViewController::cancelButtonAction()
{
    if (!m_jobRunning)
        return;
    // A stop before the engine has started is kept: the timer and a pending
    // size sum are dropped with the job's serial.
    if (m_aTimer) {
        m_aTimer->stop();
        m_aTimer->deleteLater();
        m_aTimer = nullptr;
    }
    m_waitingForSize = false;
    cancelMakeZip();
    showFailView(stopText());
}

// ---- Engine reports

void DmgViewController::beginToCopyDmg()
{
    if (!m_jobRunning)
        return;
    // The checked tree itself: the engine reads it by the same rule that
    // made zipFilesArr, and knows each item's top-level item and bytes.
    if (m_filesArr)
        m_makeDmg->doCopyFilesToDmgWithDmg(*m_filesArr);
    else
        m_makeDmg->doCopyFilesToDmgWithDmg(m_zipFilesArr);
}

void DmgViewController::copyFileToDmgWithFileName(const QString &fileName, float Withprogress)
{
    changePathValue(fileName, Withprogress);
}

void DmgViewController::makeDmgFailWithError(qint32 error)
{
    (void)error;
    QPointer<DmgViewController> self(this);
    Platform::Dispatch::mainAsync([self] {
        if (self && self->m_jobRunning)
            self->showFailView(failText());
    });
}

QString DmgViewController::statusLineForText(const QString &text)
{
    const qsizetype lineBreak = text.indexOf(QLatin1Char('\n'));
    if (lineBreak < 0)
        return text;
    const bool fromZip = text.contains(QLatin1String("(stored")) || text.contains(QLatin1String("(deflated"));
    if (!fromZip)
        return text;
    // A chunk of zip's listing: show its latest whole entry.
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QString line = lines.at(i).trimmed();
        if (line.contains(QLatin1String("(stored")) || line.contains(QLatin1String("(deflated")))
            return line;
    }
    return text.mid(lineBreak + 1).trimmed();
}

void DmgViewController::changePathValue(const QString &text, float withProValue)
{
    const QString line = statusLineForText(text);
    // The serial is read here only on the main thread; reports from workers
    // carry none and are checked against the job that runs when they land.
    if (Platform::Dispatch::isMainThread()) {
        const quint64 serial = m_jobSerial;
        QPointer<DmgViewController> self(this);
        Platform::Dispatch::mainAsync([self, serial, line, withProValue] {
            if (self)
                self->applyReport(serial, line, withProValue);
        });
        return;
    }
    QPointer<DmgViewController> self(this);
    Platform::Dispatch::mainAsync([self, line, withProValue] {
        if (self)
            self->applyReport(self->m_jobSerial, line, withProValue);
    });
}

void DmgViewController::applyReport(quint64 serial, const QString &line, float value)
{
    if (serial != m_jobSerial || !m_jobRunning)
        return;
    ui->pathLabel->setText(line);
    ui->rogressView->setFloatValueAnimated(std::clamp(double(value) / 100.0, 0.0, 1.0));
    if (value >= 100) {
        ui->progressView->setHidden(true);
        ui->endView->setHidden(false);
        showFaile(false);
    }
}

// ---- End views

void DmgViewController::showFailView(const QString &text)
{
    ui->progressView->setHidden(true);
    ui->endView->setHidden(false);
    ui->errorLable->setText(text);
    showFaile(true);
}

void DmgViewController::showFaile(bool failed)
{
    m_jobRunning = false;
    m_waitingForSize = false;
    m_setpVC_2->setSetpIn(3);
    ui->failView->setHidden(!failed);
    ui->sussView->setHidden(failed);
    canChangeTab(true);
    if (m_openLabelText.size() > 10)
        setOpenLabel();
}

void DmgViewController::setOpenLabel()
{
    // The label's own words are kept once; the coloured text is built from
    // them every time, never from the rich text shown last.
    const QString &text = m_openLabelText;
    const qsizetype at = text.indexOf(kLinkPhrase);
    ui->openLabel->setAlignment(Qt::AlignCenter);
    if (at < 0)
        return;
    const QColor c = getColor(2, 125, 255, 1);
    const QString coloured = QStringLiteral("<span style=\"color: rgb(%1, %2, %3);\">%4</span>")
                                 .arg(c.red())
                                 .arg(c.green())
                                 .arg(c.blue())
                                 .arg(kLinkPhrase.toHtmlEscaped());
    ui->openLabel->setTextFormat(Qt::RichText);
    ui->openLabel->setText(text.left(at).toHtmlEscaped() + coloured +
                           text.mid(at + kLinkPhrase.size()).toHtmlEscaped());
}

void DmgViewController::openPathButtonAction()
{
    Platform::systemLog(QStringLiteral("2---%1").arg(m_openUrl));
    if (!m_openUrl.isEmpty())
        Platform::Workspace::shared().openFile(Platform::rootPath(m_openUrl));
}

void DmgViewController::failCancelButtonAction()
{
    backHomeView();
}
void DmgViewController::succCancelButtonAction()
{
    backHomeView();
}

void DmgViewController::backHomeView()
{
    ui->rogressView->setFloatValue(0.0);
    ui->progressView->setHidden(false);
    ui->endView->setHidden(true);
    closeDiskValue(1);
    closeDiskValue(2);
    ui->selectDiskView->setHidden(false);
    ui->copyProgressView->setHidden(true);
}

// ---- Error bubble and the main window

void DmgViewController::showErrorWindowWithErrorStr(const QString &text, int andLeftOrRight)
{
    QPointer<DmgViewController> self(this);
    ErrorBubble::show(this, {m_errorVC, m_errorPopWin, m_showErrorW, m_isErrorPopWin}, mainWindow(), text,
                      ErrorBubble::xForLeftOrRight(andLeftOrRight), [self] {
                          if (self)
                              self->closeErrorWindow();
                      });
}

void DmgViewController::closeErrorWindow()
{
    ErrorBubble::close(this, {m_errorVC, m_errorPopWin, m_showErrorW, m_isErrorPopWin});
}

void DmgViewController::canChangeTab(bool can)
{
    if (_delegate)
        _delegate->canChangeTab(can);
}
