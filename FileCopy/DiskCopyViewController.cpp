#include "DiskCopyViewController.h"
#include "ui_DiskCopyViewController.h"

#include "CopyMakeSureWC.h"
#include "DiskCopyVCDelegate.h"
#include "DiskListWC.h"
#include "DoCopyFiles.h"
#include "DragView.h"
#include "DropDownMenu.h"
#include "ErrorBubble.h"
#include "ErrorViewController.h"
#include "GetColor.h"
#include "ITProgressBar.h"
#include "LComboBox.h"
#include "ListFileViewController.h"
#include "MainWindowPanel.h"
#include "NODEAttachedWindow.h"
#include "QoHandButton.h"
#include "QoImage.h"
#include "QoPublicUtilities.h"
#include "RMAAttachedWindow.h"
#include "SelectAllFilePopVC.h"
#include "SelectDiskViewController.h"
#include "SelectValueView.h"
#include "SetpViewController.h"
#include "TextImageButton.h"
#include "VoPopoverController.h"

#include "Dispatch.h"
#include "FileManager.h"
#include "SystemInfo.h"
#include "SystemLog.h"
#include "SystemRoot.h"
#include "Workspace.h"
#include "World.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <QLabel>
#include <QPushButton>

namespace
{

const QString kCloneFolder = QStringLiteral("KestrovaDiskClone(%1)");

Platform::FileManager &fileManager()
{
    return Platform::FileManager::defaultManager();
}

bool isFolder(const QString &path)
{
    bool dir = false;
    return fileManager().fileExists(path, &dir) && dir;
}

// The folder the target was chosen at is still that volume's mount point: an
// ejected target leaves an empty folder behind (or none), and nothing may be
// made there on the startup disk's behalf.
bool isStillMounted(const QString &mountPath)
{
    if (!isFolder(mountPath))
        return false;
    if (Platform::isStartupMountPoint(mountPath))
        return true;
    const Platform::DiskWorld::World world;
    if (!world.exists())
        return true;
    const auto state = world.load();
    return state && world.volumeAtMountPoint(*state, mountPath).has_value();
}

// access() with write permission. Root passes the folder's mode bits, so a
// volume mounted read-only is known by its file system's own answer.
bool isWritableVolume(const QString &path)
{
    if (!fileManager().isWritable(path))
        return false;
    const auto info = Platform::Workspace::shared().fileSystemInfo(path);
    return !info || info->writable;
}


} // namespace

QString DiskCopyViewController::sameVolumeText()
{
    return QStringLiteral("您无法将源盘选为目标盘，请选择其他盘。");
}
QString DiskCopyViewController::ntfsText()
{
    return QStringLiteral("当前的NTFS磁盘没有访问权限。");
}
QString DiskCopyViewController::noSpaceText()
{
    return QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。");
}
QString DiskCopyViewController::emptySelectionText()
{
    return QStringLiteral("没有文件或盘被选择...");
}
QString DiskCopyViewController::failedText()
{
    return QStringLiteral("有一些文件复制失败！");
}
QString DiskCopyViewController::stoppedText()
{
    return QStringLiteral("您已停止复制过程。");
}

DiskCopyViewController::DiskCopyViewController(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::DiskCopyViewController>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("DiskCopyViewController"));
    awakeFromNib();
}

DiskCopyViewController::~DiskCopyViewController()
{
    // The engine and the summer outlive the page when they are still running.
    if (_doCopy) {
        _doCopy->setDelegate(nullptr);
        _doCopy->setIsCancel(true);
    }
    if (_dropSizer)
        _dropSizer->setDelegate(nullptr);
    ++_dropSum;
    if (_controller)
        _controller->setADelegate(nullptr);
    if (_diskListWC)
        _diskListWC->setDelegate(nullptr);
    if (_makeSureWC) {
        _makeSureWC->setDelegate(nullptr);
        _makeSureWC->closeWindow();
    }
    if (_popoverController)
        _popoverController->forceClosePopover();
}

QWidget *DiskCopyViewController::comboBoxView() const
{
    return ui->comboBoxView;
}
QWidget *DiskCopyViewController::selectFromView() const
{
    return ui->selectFromView;
}
QWidget *DiskCopyViewController::selectToView() const
{
    return ui->selectToView;
}
TextImageButton *DiskCopyViewController::cloneButton() const
{
    return ui->cloneButton;
}
QLabel *DiskCopyViewController::topLabel() const
{
    return ui->topLabel;
}
ITProgressBar *DiskCopyViewController::rogressView() const
{
    return ui->rogressView;
}
QLabel *DiskCopyViewController::pathLabel() const
{
    return ui->pathLabel;
}
TextImageButton *DiskCopyViewController::cancelButton() const
{
    return ui->cancelButton;
}
QWidget *DiskCopyViewController::selectDiskView() const
{
    return ui->selectDiskView;
}
QWidget *DiskCopyViewController::copyProgressView() const
{
    return ui->copyProgressView;
}
QWidget *DiskCopyViewController::progressView() const
{
    return ui->progressView;
}
QWidget *DiskCopyViewController::endView() const
{
    return ui->endView;
}
QWidget *DiskCopyViewController::sussView() const
{
    return ui->sussView;
}
QWidget *DiskCopyViewController::failView() const
{
    return ui->failView;
}
TextImageButton *DiskCopyViewController::failCancelButton() const
{
    return ui->failCancelButton;
}
TextImageButton *DiskCopyViewController::succCancelButton() const
{
    return ui->succCancelButton;
}
QLabel *DiskCopyViewController::openLabel() const
{
    return ui->openLabel;
}
QoHandButton *DiskCopyViewController::openButton() const
{
    return ui->openButton;
}
QLabel *DiskCopyViewController::errorLable() const
{
    return ui->errorLable;
}

QString DiskCopyViewController::errorBubbleText() const
{
    return _isErrorPopWin && _errorVC ? _errorVC->errorLabel()->text() : QString();
}

QWidget *DiskCopyViewController::mainWindow() const
{
    return window();
}

void DiskCopyViewController::awakeFromNib()
{
    _controller = std::make_unique<Controller>();
    _controller->setADelegate(this);

    ui->cloneButton->setButtonEnabled(false);
    ui->cloneButton->setImageFromFileNormalName(QStringLiteral("btn_pri"), QStringLiteral("btn_pri_press"),
                                                QStringLiteral("btn_pri_hover"), QStringLiteral("btn_pri_disable"));
    ui->cloneButton->setTextWithName(QStringLiteral("现在复制"));
    connect(ui->cloneButton, &QPushButton::clicked, this, [this] {
        if (ui->cloneButton->isButtonUsable())
            cloneButtonAction();
    });
    _selectFilesSize = -1;
    _usedSize = -1;
    _freeSize = -1;
    _isDragValue = false;

    _lComboBox = new LComboBox(ui->comboBoxView);
    _lComboBox->setLconboBoxDelegate(this);
    _lComboBox->setlComboBoxEnde(false);
    _lComboBox->move(0, 0);
    _lComboBox->setStrLabelValue(LComboBox::allFilesLabel());

    // Line spacing 3, centred.
    {
        const QString text = ui->topLabel->text().toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
        ui->topLabel->setTextFormat(Qt::RichText);
        ui->topLabel->setText(QStringLiteral("<div style=\"line-height:%1px;\" align=\"center\">%2</div>")
                                  .arg(ui->topLabel->fontMetrics().height() + 3)
                                  .arg(text));
        ui->topLabel->setAlignment(Qt::AlignCenter);
    }

    _selectFromVC = new SelectValueView(ui->selectFromView);
    setUpCard(_selectFromVC, 1, QStringLiteral("点击选择源盘"));
    _selectToVC = new SelectValueView(ui->selectToView);
    setUpCard(_selectToVC, 2, QStringLiteral("点击选择目标盘"));
    // Nothing is dropped on the target.
    if (QWidget *drop = _selectToVC->dragVie())
        drop->setAcceptDrops(false);

    _setpVC = new SetpViewController(ui->setpView);
    _setpVC->setCopyOrDiskImage(0);
    _setpVC->setSetpIn(1);
    _setpVC_2 = new SetpViewController(ui->setp_2);
    _setpVC_2->setCopyOrDiskImage(0);
    _setpVC_2->setSetpIn(2);

    ui->rogressView->setFloatValue(0);
    ui->cancelButton->setButtonEnabled(true);
    ui->cancelButton->setImageFromFileNormalName(QStringLiteral("btn_sec"), QStringLiteral("btn_sec_press"),
                                                 QStringLiteral("btn_sec_hover"), QStringLiteral("btn_sec_disable"));
    ui->cancelButton->setTextWithName(QStringLiteral("取消"));
    connect(ui->cancelButton, &QPushButton::clicked, this, [this] { cancelButtonAction(); });
    ui->failCancelButton->setButtonEnabled(true);
    ui->failCancelButton->setImageFromFileNormalName(QStringLiteral("btn_sec"), QStringLiteral("btn_sec_press"),
                                                     QStringLiteral("btn_sec_hover"),
                                                     QStringLiteral("btn_sec_disable"));
    ui->failCancelButton->setTextWithName(QStringLiteral("好的"));
    connect(ui->failCancelButton, &QPushButton::clicked, this, [this] { failCancelButtonAction(); });
    ui->succCancelButton->setButtonEnabled(true);
    ui->succCancelButton->setImageFromFileNormalName(QStringLiteral("btn_pri"), QStringLiteral("btn_pri_press"),
                                                     QStringLiteral("btn_pri_hover"),
                                                     QStringLiteral("btn_pri_disable"));
    ui->succCancelButton->setTextWithName(QStringLiteral("确定"));
    connect(ui->succCancelButton, &QPushButton::clicked, this, [this] { succCancelButtonAction(); });
    connect(ui->openButton, &QPushButton::clicked, this, [this] { openPathButtonAction(); });
    ui->failView->setHidden(true);
    ui->sussView->setHidden(true);

    ui->comboBoxView->setHidden(true);
    ui->endView->setHidden(true);
    ui->copyProgressView->setHidden(true);
    ui->selectDiskView->setHidden(false);
}

void DiskCopyViewController::setUpCard(SelectValueView *card, qint32 diskFrom, const QString &hint)
{
    card->setDiskFrom(diskFrom);
    card->move(0, 0);
    card->setDelegate(this);
    card->setIsHaveD(false);
    card->nameLabel()->setText(QString());
    card->sizeLabel()->setText(QString());
    card->nodeSelectLabel()->setText(hint);
    card->setOpenIcon();
    card->selectDiskBut()->setIcon(QIcon(QoImage::named(QStringLiteral("add")).pixmap(card->selectDiskBut()->size())));
}

void DiskCopyViewController::resetCard(SelectValueView *card, const QString &hint)
{
    card->setIsHaveD(false);
    card->selectDiskBut()->setIcon(QIcon(QoImage::named(QStringLiteral("add")).pixmap(card->selectDiskBut()->size())));
    card->nameLabel()->setText(QString());
    card->sizeLabel()->setText(QString());
    card->changeBgImageViewWithError(false);
    card->nodeSelectLabel()->setText(hint);
    card->closeDisk()->setHidden(true);
}

QString DiskCopyViewController::iconNameFor(const VolumeObj &volume)
{
    if (volume.bCanEject)
        return QStringLiteral("ic_usb_main");
    if (Platform::isStartupMountPoint(volume.volumeMountPoint) || volume.volumeMountPoint == QStringLiteral("/"))
        return QStringLiteral("ic_os_main_b");
    return QStringLiteral("ic_disk_main");
}

static void setCardIcon(SelectValueView *card, const QString &name)
{
    QPushButton *button = card->selectDiskBut();
    button->setIcon(QIcon(QoImage::named(name).pixmap(button->size())));
    button->setIconSize(button->size());
    button->setProperty("iconName", name);
}

// --- cards and the volume picker -------------------------------------------

void DiskCopyViewController::selectDiskButton(qint32 withID, QObject *sender)
{
    if (_showErrorW)
        closeErrorWindow();
    if (_popoverController && _popoverController->popoverIsVisible()) {
        _popoverController->closePopover();
        return;
    }
    _openPopType = unsigned(withID);
    QWidget *anchor = qobject_cast<QWidget *>(sender);
    if (!anchor)
        anchor = withID == 2 ? static_cast<QWidget *>(_selectToVC) : static_cast<QWidget *>(_selectFromVC);

    if (_popoverController)
        _popoverController->forceClosePopover();
    _popoverController.reset();
    _selectDiskVC = std::make_unique<SelectDiskViewController>();
    _selectDiskVC->setSelectDiskVCDelegate(this);
    _popoverController = VoPopoverController::initWithContentViewController(_selectDiskVC.get());
    _popoverController->setColor(QColor(55, 55, 55, 255));
    _popoverController->setBorderColor(QColor(55, 55, 55, 255));
    _popoverController->setBorderWidth(1);
    _popoverController->setAnimates(true);
    _popoverController->presentPopoverFromRect(QRectF(QPointF(0, 0), QSizeF(anchor->size())), anchor,
                                               withID == 2 ? 2 : 1, true);
}

void DiskCopyViewController::showSourceVolumeOnCard()
{
    const VolumeObj &v = *_fromeVolume;
    _selectFromVC->nameLabel()->setText(v.volumeName);
    _usedSize = v.volumeTotalSizeNum - v.volumeFreeSizeNum;
    _selectFromVC->sizeLabel()->setText(QStringLiteral("%1被选择").arg(QoPublicUtilities::longlongDiskSize(_usedSize)));
    _selectFromVC->nodeSelectLabel()->setText(QString());
    setCardIcon(_selectFromVC, iconNameFor(v));
}

void DiskCopyViewController::doSelectDiskWithVolume(const VolumeObjPtr &volume)
{
    if (_popoverController && _popoverController->popoverIsVisible())
        _popoverController->closePopover();
    if (!volume)
        return;

    if (_openPopType == 1) {
        _fromeVolume = volume;
        _selectFilesSize = -1;
        _copyArr.reset();
        _isDragValue = false;
        // The box's switch back to "all files" runs a space check: not with
        // the size of the source chosen before.
        _usedSize = -1;
        _lComboBox->changeSelectType(0);
        showSourceVolumeOnCard();
        _selectFromVC->setIsHaveD(true);
        _selectFromVC->closeDisk()->setHidden(false);
        if (_toVolume && _toVolume->volumePath == volume->volumePath) {
            _copyArr.reset();
            _fromeVolume.reset();
            _usedSize = -1;
            ui->cloneButton->setButtonEnabled(false);
            _lComboBox->setlComboBoxEnde(false);
            ui->comboBoxView->setHidden(true);
            _selectFromVC->changeBgImageViewWithError(true);
            showErrorWindowWithErrorStr(sameVolumeText(), 0);
            return;
        }
        _selectFromVC->changeBgImageViewWithError(false);
        _lComboBox->setlComboBoxEnde(true);
        ui->comboBoxView->setHidden(false);
        changeSelectCopyType();
        return;
    }

    _toVolume = volume;
    _selectToVC->nameLabel()->setText(volume->volumeName);
    _selectToVC->sizeLabel()->setText(QStringLiteral("%1 free").arg(volume->volumeFreeSize));
    _selectToVC->nodeSelectLabel()->setText(QString());
    _selectToVC->closeDisk()->setHidden(false);
    setCardIcon(_selectToVC, iconNameFor(*volume));
    _freeSize = volume->volumeFreeSizeNum;
    _selectToVC->setIsHaveD(true);

    if (_fromeVolume && _fromeVolume->volumePath == volume->volumePath) {
        refuseTarget(sameVolumeText());
        return;
    }
    if (!isWritableVolume(volume->volumePath) && volume->volumeType.toLower().contains(QStringLiteral("ntfs"))) {
        refuseTarget(ntfsText());
        return;
    }
    _selectToVC->changeBgImageViewWithError(false);
    changeSelectCopyType();
}

void DiskCopyViewController::refuseTarget(const QString &message)
{
    _toVolume.reset();
    _freeSize = -1;
    ui->cloneButton->setButtonEnabled(false);
    _selectToVC->changeBgImageViewWithError(true);
    if (_usedSize != -1)
        _lComboBox->setlComboBoxEnde(true);
    showErrorWindowWithErrorStr(message, 1);
}

void DiskCopyViewController::closeDiskValue(qint32 diskFrom)
{
    if (_showErrorW)
        closeErrorWindow();
    if (diskFrom == 1) {
        _copyArr.reset();
        _fromeVolume.reset();
        _usedSize = -1;
        _selectFilesSize = -1;
        resetCard(_selectFromVC, QStringLiteral("点击选择源盘"));
        _isDragValue = false;
        _lComboBox->changeSelectType(0);
        _lComboBox->setlComboBoxEnde(false);
        ui->comboBoxView->setHidden(true);
    } else {
        _toVolume.reset();
        _freeSize = -1;
        resetCard(_selectToVC, QStringLiteral("点击选择目标盘"));
        if (_usedSize != -1)
            _lComboBox->setlComboBoxEnde(true);
    }
    ui->cloneButton->setButtonEnabled(false);
}

// --- space checks -----------------------------------------------------------

void DiskCopyViewController::changeSelectCopyType()
{
    if (_usedSize == -1 || _freeSize == -1) {
        changeCloneButtonActon();
        return;
    }
    const qint64 need = _selectFilesSize == -1 ? _usedSize : _selectFilesSize;
    if (_freeSize < need) {
        _lComboBox->changeSelectType(1);
        _lComboBox->setlComboBoxEnde(false);
        ui->cloneButton->setButtonEnabled(false);
        _selectToVC->changeBgImageViewWithError(true);
        showErrorWindowWithErrorStr(noSpaceText(), 1);
        return;
    }
    _lComboBox->setlComboBoxEnde(true);
    ui->cloneButton->setButtonEnabled(true);
    _selectToVC->changeBgImageViewWithError(false);
}

void DiskCopyViewController::changeCloneButtonActon()
{
    if (_freeSize == -1 || !(_isDragValue || _usedSize != -1))
        return;
    if (_toVolume && _selectFilesSize > _toVolume->volumeFreeSizeNum) {
        _lComboBox->setlComboBoxEnde(false);
        _lComboBox->changeSelectType(1);
        ui->cloneButton->setButtonEnabled(false);
        _selectToVC->selectDiskBut()->setIcon(
            QIcon(QoImage::named(QStringLiteral("add")).pixmap(_selectToVC->selectDiskBut()->size())));
        _selectToVC->changeBgImageViewWithError(true);
        return;
    }
    ui->cloneButton->setButtonEnabled(true);
    _selectToVC->changeBgImageViewWithError(false);
}

// --- copy mode and the file browser ----------------------------------------

void DiskCopyViewController::showSelectAllVC()
{
    const DropDownMenu::Fields<SelectAllFilePopVC> fields{_selectAllFileVC, _sortAttachedWindow, _isPopSortWin};
    DropDownMenu::show<SelectAllFilePopVC>(
        this, fields, mainWindow(), QPointF(443, 137),
        [this] {
            auto vc = std::make_unique<SelectAllFilePopVC>();
            vc->setDelegate(this);
            return vc;
        },
        [this] { closeMattachedWindow(); });
}

void DiskCopyViewController::closeMattachedWindow()
{
    DropDownMenu::close<SelectAllFilePopVC>(
        this, DropDownMenu::Fields<SelectAllFilePopVC>{_selectAllFileVC, _sortAttachedWindow, _isPopSortWin});
}

void DiskCopyViewController::mouseEixtView(bool exited)
{
    DropDownMenu::mouseEixtView<SelectAllFilePopVC>(
        DropDownMenu::Fields<SelectAllFilePopVC>{_selectAllFileVC, _sortAttachedWindow, _isPopSortWin}, exited,
        [this] { closeMattachedWindow(); });
}

void DiskCopyViewController::dropPartialSelection()
{
    // "All files" means the whole source again: an earlier ticked or dropped
    // selection must not survive into the copy.
    if (!_copyArr && !_isDragValue && _selectFilesSize == -1)
        return;
    _copyArr.reset();
    _selectFilesSize = -1;
    const bool wasDrop = _isDragValue;
    _isDragValue = false;
    if (_dropSizer) {
        _dropSizer->setDelegate(nullptr);
        _dropSizer.reset();
    }
    if (_fromeVolume) {
        showSourceVolumeOnCard();
    } else if (wasDrop) {
        _selectFromVC->setIsHaveD(false);
        _selectFromVC->nameLabel()->setText(QString());
        _selectFromVC->sizeLabel()->setText(QString());
        _selectFromVC->nodeSelectLabel()->setText(QStringLiteral("点击选择源盘"));
        _selectFromVC->closeDisk()->setHidden(true);
        ui->cloneButton->setButtonEnabled(false);
    }
}

void DiskCopyViewController::selectFormatbyType(qint32 type)
{
    if (type == 0)
        dropPartialSelection();
    _lComboBox->changeSelectType(type);
    mouseEixtView(true);
}

void DiskCopyViewController::doShowSearchView()
{
    if (!_fromeVolume)
        return;
    if (_diskListWC)
        _diskListWC->setDelegate(nullptr);
    _diskListWC.reset();
    _diskListWC = std::make_unique<DiskListWC>();
    _diskListWC->setDelegate(this);
    _diskListWC->centerWindow();
    if (_copyArr)
        _diskListWC->listFileVC()->setArrForListWithArr(_copyArr, _fromeVolume->volumePath);
    else
        _diskListWC->showDetailWithPath(_fromeVolume->volumeMountPoint.isEmpty() ? _fromeVolume->volumePath
                                                                                 : _fromeVolume->volumeMountPoint);
    _diskListWC->runModal();
}

void DiskCopyViewController::closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 withSelectSize)
{
    QPointer<DiskCopyViewController> guard(this);
    Platform::Dispatch::mainAsync([guard, arr, withSelectSize] {
        if (!guard || !arr)
            return;
        DiskCopyViewController *self = guard.data();
        self->_copyArr = arr;
        int k = 0;
        for (const FileNodePtr &node : *arr)
            if (node && (node->state == FileNode::Checked || node->state == FileNode::PartlyChecked))
                ++k;
        SelectValueView *card = self->_selectFromVC;
        if (k != arr->size() || self->_isDragValue || !self->_fromeVolume) {
            card->nameLabel()->setText(QStringLiteral("%1文件/文件夹").arg(k));
            card->sizeLabel()->setText(
                QStringLiteral("%1被选择").arg(QoPublicUtilities::longlongConvertVolSpace(withSelectSize)));
            setCardIcon(card, QStringLiteral("ic_folder"));
        } else {
            self->showSourceVolumeOnCard();
        }
        card->setIsHaveD(true);
        card->changeBgImageViewWithError(false);
        self->ui->comboBoxView->setHidden(false);
        self->_selectFilesSize = withSelectSize;
        self->changeCloneButtonActon();
    });
}

void DiskCopyViewController::viewDragAction(const FileNodeArrayPtr &nodes)
{
    if (!nodes)
        return;
    // Taken before the box goes back to "all files", whose space check must
    // see the drop rather than the whole volume.
    _isDragValue = true;
    _copyArr = nodes;
    _selectFilesSize = 0;
    _lComboBox->changeSelectType(0);
    _selectFromVC->setIsHaveD(true);
    _selectFromVC->nameLabel()->setText(QStringLiteral("添加部分文件"));
    _selectFromVC->sizeLabel()->setText(QStringLiteral("%1被选择").arg(nodes->size()));
    _selectFromVC->nodeSelectLabel()->setText(QString());
    setCardIcon(_selectFromVC, QStringLiteral("ic_folder"));
    _selectFromVC->changeBgImageViewWithError(false);
    _selectFromVC->closeDisk()->setHidden(false);
    _lComboBox->setlComboBoxEnde(true);
    ui->comboBoxView->setHidden(false);

    // Dropped files are sized like a ticked selection, so that the space check
    // sees what they really hold; until the sum is in, the start button waits.
    if (_dropSizer)
        _dropSizer->setDelegate(nullptr);
    ui->cloneButton->setButtonEnabled(false);
    // Each drop's sum reports through a receiver of its own, by its number: a
    // replaced sum, whatever its total, is never taken for the latest.
    struct DropSizeReceiver : GetFilesSizeDelegate {
        QPointer<DiskCopyViewController> page;
        quint64 sum = 0;
        void allCopyFilesSize(qint64 size) override
        {
            Platform::Dispatch::mainAsync([page = page, sum = sum, size] {
                if (page && page->_dropSum == sum)
                    page->allCopyFilesSize(size);
            });
        }
    };
    auto receiver = std::make_unique<DropSizeReceiver>();
    receiver->page = this;
    receiver->sum = ++_dropSum;
    _dropSizer = GetFilesSize::create(receiver.get());
    _dropReceiver = std::move(receiver);
    _dropSizer->getAllFilesSizeWithArr(nodes);
}

void DiskCopyViewController::allCopyFilesSize(qint64 size)
{
    // The latest drop's size, on the main thread (its receiver brings it here).
    if (!Platform::Dispatch::isMainThread() || !_dropSizer || !_isDragValue)
        return;
    _dropSizer.reset();
    _selectFilesSize = size;
    changeSelectCopyType();
}

// --- start, confirmation and the job -----------------------------------------

void DiskCopyViewController::cloneButtonAction()
{
    // A second press while the source's top level is still being listed
    // would judge the half-filled list.
    if (_controller->isScanning())
        return;
    if (_copyArr) {
        QPointer<DiskCopyViewController> guard(this);
        Platform::Dispatch::mainAsync([guard] {
            if (guard)
                guard->doCopyAction();
        });
        return;
    }
    if (!_fromeVolume) {
        showErrorWindowWithErrorStr(emptySelectionText(), 0);
        return;
    }
    _copyArr = std::make_shared<FileNodeArray>();
    _controller->eumeAllRootFileNodeWithRootArr(_copyArr, _fromeVolume->volumePath, true, true);
}

void DiskCopyViewController::copyFileScanFiles()
{
    QPointer<DiskCopyViewController> guard(this);
    Platform::Dispatch::mainAsync([guard] {
        if (guard)
            guard->doCopyAction();
    });
}

void DiskCopyViewController::doCopyAction()
{
    // What counts is what would be copied: a tree whose every box is cleared
    // is as empty as no tree at all.
    int taken = 0;
    if (_copyArr)
        FileNode::walkSelection(*_copyArr, [&taken](FileNode *) { ++taken; });
    if (taken == 0) {
        showErrorWindowWithErrorStr(emptySelectionText(), 0);
        return;
    }
    if (_makeSureWC)
        return;
    auto *vc = new CopyMakeSureWC;
    vc->setDelegate(this);
    _makeSureWC = vc;
    MainWindowPanel::show(vc, mainWindow(), true);
}

QString DiskCopyViewController::destinationFor(const QString &targetPath, const QString &date)
{
    const QString folder = kCloneFolder.arg(date);
    if (targetPath == QStringLiteral("/") || Platform::isStartupMountPoint(targetPath))
        return Platform::rootPath(QStringLiteral("/") + folder);
    return QStringLiteral("%1/%2").arg(targetPath, folder);
}

QString DiskCopyViewController::desktopDestinationFor(const QString &date)
{
    QString user = Platform::SystemInfo::consoleUserName();
    if (user.isEmpty())
        user = Platform::SystemInfo::userName();
    return Platform::rootPath(QStringLiteral("/Users/%1/Desktop/").arg(user) + kCloneFolder.arg(date));
}

QString DiskCopyViewController::makeDestination(const VolumeObj &target, const QString &date,
                                                std::shared_ptr<Platform::OpenFolder> *opened)
{
    if (opened)
        opened->reset();
    const QByteArray folderName = QFile::encodeName(kCloneFolder.arg(date));
    auto take = [&](Platform::OpenFolder &&folder) {
        if (opened && folder.isOpen())
            *opened = std::make_shared<Platform::OpenFolder>(std::move(folder));
    };
    auto isLink = [](const Platform::OpenFolder &folder) {
        return folder.error() == ELOOP || folder.error() == ENOTDIR || folder.error() == ESTALE;
    };

    const QString destination = destinationFor(target.volumePath, date);
    // Only the dated folder itself is made, and only inside the mounted target.
    if (isStillMounted(target.volumePath)) {
        const Platform::OpenFolder mount = Platform::OpenFolder::open(QFile::encodeName(QFileInfo(destination).path()));
        Platform::OpenFolder made = mount.makeChild(folderName, 0755);
        if (made.isOpen()) {
            take(std::move(made));
            return destination;
        }
        if (isLink(made)) {
            Platform::systemLog(QStringLiteral("copy destination %1 is not a folder of its own").arg(destination));
            return destination;
        }
    }

    // The Desktop, from the user's home down.
    const QString desktop = desktopDestinationFor(date);
    const QString home = QFileInfo(QFileInfo(desktop).path()).path();
    Platform::systemLog(QStringLiteral("copy destination %1 cannot be used; copying to %2").arg(destination, desktop));
    const Platform::OpenFolder homeFolder = Platform::OpenFolder::open(QFile::encodeName(home));
    if (!homeFolder.isOpen())
        return desktop;
    const Platform::OpenFolder desktopFolder = homeFolder.makeChild(QByteArrayLiteral("Desktop"), 0755);
    Platform::OpenFolder made = desktopFolder.makeChild(folderName, 0755);
    if (!made.isOpen())
        Platform::systemLog(QStringLiteral("copy destination %1 cannot be made: %2")
                                .arg(desktop, QString::fromLocal8Bit(strerror(made.error()))));
    take(std::move(made));
    return desktop;
}

void DiskCopyViewController::beginToCopyFiles()
{
    if (!_toVolume || !_copyArr)
        return;
    ui->selectDiskView->setHidden(true);
    ui->copyProgressView->setHidden(false);
    ui->progressView->setHidden(false);
    ui->endView->setHidden(true);
    _setpVC_2->setSetpIn(2);
    ui->pathLabel->setText(QStringLiteral("正在复制中..."));
    ui->rogressView->setFloatValue(0);
    canChangeTab(false);

    if (_doCopy)
        _doCopy->setDelegate(nullptr);
    _doCopy = DoCopyFiles::create(this);

    const QString date = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    std::shared_ptr<Platform::OpenFolder> folder;
    const QString destination = makeDestination(*_toVolume, date, &folder);
    _openUrl = destination;
    if (!folder) {
        // Nowhere safe to copy into: a link where the folder goes, or no folder at all.
        showFailView(failedText());
        return;
    }
    _doCopy->doCopyFilesWithArr(_copyArr, folder, destination, _toVolume->volumePath);
}

void DiskCopyViewController::topCopyFilePath(const QString &path)
{
    Q_UNUSED(path);
    ui->pathLabel->setText(QStringLiteral("正在复制中..."));
}

void DiskCopyViewController::topCopyProgress(float progress)
{
    ui->rogressView->setFloatValueAnimated(qBound(0.0, double(progress) / 100.0, 1.0));
    if (progress >= 100) {
        ui->progressView->setHidden(true);
        ui->endView->setHidden(false);
        showFaile(false);
    }
}

void DiskCopyViewController::copyFileError()
{
    if (_doCopy)
        _doCopy->setIsCancel(true);
    showFailView(failedText());
}

void DiskCopyViewController::cancelButtonAction()
{
    if (_doCopy)
        _doCopy->setIsCancel(true);
    showFailView(stoppedText());
}

void DiskCopyViewController::showFailView(const QString &text)
{
    ui->progressView->setHidden(true);
    ui->endView->setHidden(false);
    ui->errorLable->setText(text);
    showFaile(true);
}

void DiskCopyViewController::showFaile(bool failed)
{
    _setpVC_2->setSetpIn(3);
    ui->failView->setHidden(!failed);
    ui->sussView->setHidden(failed);
    canChangeTab(true);
    if (ui->openLabel->text().size() > 10)
        setOpenLabel();
}

void DiskCopyViewController::setOpenLabel()
{
    static const QString phrase = QStringLiteral("目标盘上的复制内容。");
    QString plain = ui->openLabel->property("plainText").toString();
    if (plain.isEmpty()) {
        plain = ui->openLabel->text();
        ui->openLabel->setProperty("plainText", plain);
    }
    const int at = plain.indexOf(phrase);
    ui->openLabel->setAlignment(Qt::AlignCenter);
    if (at < 0)
        return;
    const QColor color = getColor(2, 125, 255, 1);
    ui->openLabel->setTextFormat(Qt::RichText);
    ui->openLabel->setText(QStringLiteral("%1<span style=\"color:%2;\">%3</span>%4")
                               .arg(plain.left(at).toHtmlEscaped(), color.name(), phrase.toHtmlEscaped(),
                                    plain.mid(at + phrase.size()).toHtmlEscaped()));
}

void DiskCopyViewController::openPathButtonAction()
{
    Platform::systemLog(QStringLiteral("2---%1").arg(_openUrl));
    Platform::Workspace::shared().openFile(_openUrl);
}

void DiskCopyViewController::failCancelButtonAction()
{
    backHomeView();
}
void DiskCopyViewController::succCancelButtonAction()
{
    backHomeView();
}

void DiskCopyViewController::backHomeView()
{
    ui->rogressView->setFloatValue(0);
    ui->progressView->setHidden(false);
    ui->endView->setHidden(true);
    closeDiskValue(1);
    closeDiskValue(2);
    ui->selectDiskView->setHidden(false);
    ui->copyProgressView->setHidden(true);
}

// --- bubble, tab change -----------------------------------------------------

void DiskCopyViewController::showErrorWindowWithErrorStr(const QString &errorStr, qint32 andLeftOrRight)
{
    ErrorBubble::show(this, ErrorBubbleFields{_errorVC, _errorPopWin, _showErrorW, _isErrorPopWin}, mainWindow(),
                      errorStr, ErrorBubble::xForLeftOrRight(andLeftOrRight), [this] { closeErrorWindow(); });
}

void DiskCopyViewController::closeErrorWindow()
{
    ErrorBubble::close(this, ErrorBubbleFields{_errorVC, _errorPopWin, _showErrorW, _isErrorPopWin});
}

void DiskCopyViewController::chengeTabCloseNode()
{
    if (_popoverController) {
        _popoverController->forceClosePopover();
        _popoverController.reset();
    }
    _selectDiskVC.reset();
}

void DiskCopyViewController::canChangeTab(bool can)
{
    if (_delegate)
        _delegate->canChangeTab(can);
}
