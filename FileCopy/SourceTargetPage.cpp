#include "SourceTargetPage.h"

#include "DiskListWC.h"
#include "DropDownMenu.h"
#include "ErrorBubble.h"
#include "ErrorViewController.h"
#include "GetColor.h"
#include "ITProgressBar.h"
#include "LComboBox.h"
#include "ListFileViewController.h"
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
#include "SystemLog.h"
#include "SystemRoot.h"
#include "Workspace.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {

const QString kSourceHint = QStringLiteral("点击选择源盘");
const QString kTargetHint = QStringLiteral("点击选择目标盘");

// A page button: usable or not, the four images of its look ("btn_pri" or
// "btn_sec"), then its label.
void setUpButton(TextImageButton *button, bool usable, const QString &look, const QString &text)
{
    button->setButtonEnabled(usable);
    button->setImageFromFileNormalName(look, look + QStringLiteral("_press"), look + QStringLiteral("_hover"),
                                       look + QStringLiteral("_disable"));
    button->setTextWithName(text);
}

} // namespace

SourceTargetPage::Differences SourceTargetPage::differencesOf(Page page)
{
    // Each row: the Disk Copy page's value, then the Disk Image page's.
    const bool copy = page == Page::DiskCopy;
    Differences d;
    d.startTitle = copy ? QStringLiteral("现在复制") : QStringLiteral("现在制作");
    d.failButtonTitle = copy ? QStringLiteral("好的") : QStringLiteral("取消");
    d.stepImages = copy ? 0 : 1;
    d.pickerBorderWidth = copy ? 1 : 0.5;
    d.pickerAnimates = copy;
    d.refusedSourceHidesComboBox = copy;
    d.comboBoxHiddenAtSetUp = !copy;
    d.targetFreeFormat = copy ? QStringLiteral("%1 free") : QStringLiteral("%1空闲");
    d.fileChoiceSizeFormat = copy ? QStringLiteral("%1被选择") : QStringLiteral("%1");
    d.fileChoiceSizeAtOnce = !copy;
    d.dropName = copy ? QStringLiteral("添加部分文件") : QStringLiteral("拖动部分文件");
    d.dropSizeFormat = copy ? QStringLiteral("%1被选择") : QStringLiteral("%1个文件被选择");
    d.linkPhrase = copy ? QStringLiteral("目标盘上的复制内容。") : QStringLiteral("请检查目标盘上的磁盘映像。");
    return d;
}

SourceTargetPage::SourceTargetPage(QWidget *parent, Page page) : QWidget(parent), _differences(differencesOf(page)) {}

SourceTargetPage::~SourceTargetPage()
{
    // What the scan facade and the file browser report from now on finds
    // nothing to do.
    if (_controller)
        _controller->setADelegate(nullptr);
    if (_diskListWC)
        _diskListWC->setDelegate(nullptr);
    if (_makeSureWC)
        _makeSureWC->closeWindow();
    // Windows that belong to the main window go before the views they show.
    if (_popoverController)
        _popoverController->forceClosePopover();
    _popoverController.reset();
    _selectDiskVC.reset();
    _sortAttachedWindow.reset();
    _selectAllFileVC.reset();
    _errorPopWin.reset();
    _errorVC.reset();
}

QString SourceTargetPage::sameVolumeText() { return QStringLiteral("您无法将源盘选为目标盘，请选择其他盘。"); }
QString SourceTargetPage::noSpaceText() { return QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。"); }

QString SourceTargetPage::errorBubbleText() const
{
    return _isErrorPopWin && _errorVC ? _errorVC->errorLabel()->text() : QString();
}

QWidget *SourceTargetPage::mainWindow() const { return window(); }

// --- set-up -----------------------------------------------------------------

void SourceTargetPage::setUpPage(const Outlets &outlets)
{
    _outlets = outlets;
    const Outlets &ui = _outlets;

    _controller = std::make_unique<Controller>();
    _controller->setADelegate(this);

    setUpButton(ui.cloneButton, false, QStringLiteral("btn_pri"), _differences.startTitle);
    connect(ui.cloneButton, &QPushButton::clicked, this, [this] {
        if (_outlets.cloneButton->isButtonUsable())
            cloneButtonAction();
    });
    _selectFilesSize = -1;
    _usedSize = -1;
    _freeSize = -1;
    _isDragValue = false;

    _lComboBox = new LComboBox(ui.comboBoxView);
    _lComboBox->setLconboBoxDelegate(this);
    _lComboBox->setlComboBoxEnde(false);
    _lComboBox->setGeometry(ui.comboBoxView->rect());
    _lComboBox->setStrLabelValue(LComboBox::allFilesLabel());

    _selectFromVC = new SelectValueView(ui.selectFromView);
    setUpCard(_selectFromVC, ui.selectFromView, 1, kSourceHint);
    _selectToVC = new SelectValueView(ui.selectToView);
    setUpCard(_selectToVC, ui.selectToView, 2, kTargetHint);
    // Files are dropped on the source card only; the drop area also holds
    // the card's content, so it stays and only stops taking drops.
    if (QWidget *drop = _selectToVC->dragVie())
        drop->setAcceptDrops(false);

    _setpVC = new SetpViewController(ui.setpView);
    _setpVC->setGeometry(ui.setpView->rect());
    _setpVC->setCopyOrDiskImage(_differences.stepImages);
    _setpVC->setSetpIn(1);
    _setpVC_2 = new SetpViewController(ui.setp_2);
    _setpVC_2->setGeometry(ui.setp_2->rect());
    _setpVC_2->setCopyOrDiskImage(_differences.stepImages);
    _setpVC_2->setSetpIn(2);

    ui.rogressView->setFloatValue(0);
    setUpButton(ui.cancelButton, true, QStringLiteral("btn_sec"), QStringLiteral("取消"));
    connect(ui.cancelButton, &QPushButton::clicked, this, [this] { cancelButtonAction(); });
    setUpButton(ui.failCancelButton, true, QStringLiteral("btn_sec"), _differences.failButtonTitle);
    connect(ui.failCancelButton, &QPushButton::clicked, this, &SourceTargetPage::failCancelButtonAction);
    setUpButton(ui.succCancelButton, true, QStringLiteral("btn_pri"), QStringLiteral("确定"));
    connect(ui.succCancelButton, &QPushButton::clicked, this, &SourceTargetPage::succCancelButtonAction);
    connect(ui.openButton, &QPushButton::clicked, this, &SourceTargetPage::openPathButtonAction);
    _openLabelText = ui.openLabel->text();
    ui.openButton->raise();

    ui.failView->setHidden(true);
    ui.sussView->setHidden(true);
    if (_differences.comboBoxHiddenAtSetUp)
        ui.comboBoxView->setHidden(true);
    ui.endView->setHidden(true);
    ui.progressView->setHidden(false);
    ui.copyProgressView->setHidden(true);
    ui.selectDiskView->setHidden(false);
}

void SourceTargetPage::setUpCard(SelectValueView *card, QWidget *container, qint32 diskFrom, const QString &hint)
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

void SourceTargetPage::resetCard(SelectValueView *card, const QString &hint)
{
    card->setIsHaveD(false);
    setCardIcon(card, QStringLiteral("add"));
    card->nameLabel()->setText(QString());
    card->sizeLabel()->setText(QString());
    card->changeBgImageViewWithError(false);
    card->nodeSelectLabel()->setText(hint);
    card->closeDisk()->setHidden(true);
}

void SourceTargetPage::setCardIcon(SelectValueView *card, const QString &name)
{
    QPushButton *button = card->selectDiskBut();
    button->setIcon(QIcon(QoImage::named(name).pixmap(button->iconSize(), devicePixelRatioF())));
}

QString SourceTargetPage::iconNameFor(const VolumeObj &volume)
{
    if (volume.bCanEject)
        return QStringLiteral("ic_usb_main");
    if (Platform::isStartupMountPoint(volume.volumeMountPoint) || volume.volumeMountPoint == QStringLiteral("/"))
        return QStringLiteral("ic_os_main_b");
    return QStringLiteral("ic_disk_main");
}

// --- cards and the volume picker -------------------------------------------

void SourceTargetPage::selectDiskButton(qint32 withID, QObject *sender)
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
    _popoverController->setColor(getColor(55, 55, 55, 1));
    _popoverController->setBorderColor(getColor(55, 55, 55, 1));
    _popoverController->setBorderWidth(_differences.pickerBorderWidth);
    _popoverController->setAnimates(_differences.pickerAnimates);
    _popoverController->presentPopoverFromRect(QRectF(QPointF(0, 0), QSizeF(anchor->size())), anchor,
                                               withID == 2 ? 2 : 1, true);
}

void SourceTargetPage::showSourceVolumeOnCard()
{
    const VolumeObj &v = *_fromeVolume;
    _selectFromVC->nameLabel()->setText(v.volumeName);
    _usedSize = v.volumeTotalSizeNum - v.volumeFreeSizeNum;
    _selectFromVC->sizeLabel()->setText(QStringLiteral("%1被选择").arg(QoPublicUtilities::longlongDiskSize(_usedSize)));
    _selectFromVC->nodeSelectLabel()->setText(QString());
    setCardIcon(_selectFromVC, iconNameFor(v));
}

void SourceTargetPage::doSelectDiskWithVolume(const VolumeObjPtr &volume)
{
    if (_popoverController && _popoverController->popoverIsVisible())
        _popoverController->closePopover();
    if (!volume)
        return;

    if (_openPopType == 1) {
        _fromeVolume = volume;
        _selectFilesSize = -1;
        _selection.reset();
        _isDragValue = false;
        // The box's switch back to "all files" runs a space check: not with
        // the size of the source chosen before.
        _usedSize = -1;
        _lComboBox->changeSelectType(0);
        showSourceVolumeOnCard();
        _selectFromVC->setIsHaveD(true);
        _selectFromVC->closeDisk()->setHidden(false);
        if (_toVolume && _toVolume->volumePath == volume->volumePath) {
            _selection.reset();
            _fromeVolume.reset();
            _usedSize = -1;
            _outlets.cloneButton->setButtonEnabled(false);
            _lComboBox->setlComboBoxEnde(false);
            if (_differences.refusedSourceHidesComboBox)
                _outlets.comboBoxView->setHidden(true);
            _selectFromVC->changeBgImageViewWithError(true);
            showErrorWindowWithErrorStr(sameVolumeText(), 0);
            return;
        }
        _selectFromVC->changeBgImageViewWithError(false);
        _lComboBox->setlComboBoxEnde(true);
        _outlets.comboBoxView->setHidden(false);
        changeSelectCopyType();
        return;
    }

    _toVolume = volume;
    _selectToVC->nameLabel()->setText(volume->volumeName);
    _selectToVC->sizeLabel()->setText(_differences.targetFreeFormat.arg(volume->volumeFreeSize));
    _selectToVC->nodeSelectLabel()->setText(QString());
    _selectToVC->closeDisk()->setHidden(false);
    setCardIcon(_selectToVC, iconNameFor(*volume));
    _freeSize = volume->volumeFreeSizeNum;
    _selectToVC->setIsHaveD(true);

    if (_fromeVolume && _fromeVolume->volumePath == volume->volumePath) {
        refuseTarget(sameVolumeText());
        return;
    }
    forgetTargetCheck();
    const std::function<QString()> lookup = targetRefusalLookup(*volume);
    if (!lookup) {
        acceptTarget();
        return;
    }
    // The page's own check may wait for the disks: it runs on a worker, the
    // start button stays off meanwhile, and an answer for a target that has
    // been changed or cleared since is dropped.
    const quint64 check = ++_targetCheck;
    _targetCheckPending = true;
    _outlets.cloneButton->setButtonEnabled(false);
    QPointer<SourceTargetPage> guard(this);
    Platform::Dispatch::globalAsync([guard, check, volume, lookup] {
        const QString refusal = lookup();
        Platform::Dispatch::mainAsync([guard, check, volume, refusal] {
            if (!guard || check != guard->_targetCheck || !guard->_targetCheckPending || guard->_toVolume != volume)
                return;
            guard->_targetCheckPending = false;
            if (refusal.isEmpty())
                guard->acceptTarget();
            else
                guard->refuseTarget(refusal);
        });
    });
}

void SourceTargetPage::acceptTarget()
{
    _selectToVC->changeBgImageViewWithError(false);
    changeSelectCopyType();
}

void SourceTargetPage::forgetTargetCheck()
{
    ++_targetCheck;
    _targetCheckPending = false;
}

void SourceTargetPage::refuseTarget(const QString &message)
{
    forgetTargetCheck();
    _toVolume.reset();
    _freeSize = -1;
    _outlets.cloneButton->setButtonEnabled(false);
    _selectToVC->changeBgImageViewWithError(true);
    if (_usedSize != -1)
        _lComboBox->setlComboBoxEnde(true);
    showErrorWindowWithErrorStr(message, 1);
}

void SourceTargetPage::closeDiskValue(qint32 diskFrom)
{
    if (_showErrorW)
        closeErrorWindow();
    if (diskFrom == 1) {
        _selection.reset();
        _fromeVolume.reset();
        _usedSize = -1;
        _selectFilesSize = -1;
        resetCard(_selectFromVC, kSourceHint);
        _isDragValue = false;
        _lComboBox->changeSelectType(0);
        _lComboBox->setlComboBoxEnde(false);
        _outlets.comboBoxView->setHidden(true);
    } else {
        forgetTargetCheck();
        _toVolume.reset();
        _freeSize = -1;
        resetCard(_selectToVC, kTargetHint);
        if (_usedSize != -1)
            _lComboBox->setlComboBoxEnde(true);
    }
    _outlets.cloneButton->setButtonEnabled(false);
}

// --- space checks -----------------------------------------------------------

void SourceTargetPage::changeSelectCopyType()
{
    // The target's own check comes first; its answer runs this again.
    if (_targetCheckPending) {
        _outlets.cloneButton->setButtonEnabled(false);
        return;
    }
    if (_usedSize == -1 || _freeSize == -1) {
        changeCloneButtonActon();
        return;
    }
    const qint64 selected = _selectFilesSize;
    const qint64 need = selected == -1 ? _usedSize : selected;
    if (_freeSize < need) {
        _lComboBox->changeSelectType(1);
        _lComboBox->setlComboBoxEnde(false);
        _outlets.cloneButton->setButtonEnabled(false);
        _selectToVC->changeBgImageViewWithError(true);
        showErrorWindowWithErrorStr(noSpaceText(), 1);
        return;
    }
    _lComboBox->setlComboBoxEnde(true);
    _outlets.cloneButton->setButtonEnabled(!selectionSizePending());
    _selectToVC->changeBgImageViewWithError(false);
}

void SourceTargetPage::changeCloneButtonActon()
{
    if (_targetCheckPending) {
        _outlets.cloneButton->setButtonEnabled(false);
        return;
    }
    if (_freeSize == -1 || !(_isDragValue || _usedSize != -1))
        return;
    if (_toVolume && _selectFilesSize > _toVolume->volumeFreeSizeNum) {
        _lComboBox->setlComboBoxEnde(false);
        _lComboBox->changeSelectType(1);
        _outlets.cloneButton->setButtonEnabled(false);
        setCardIcon(_selectToVC, QStringLiteral("add"));
        _selectToVC->changeBgImageViewWithError(true);
        return;
    }
    _outlets.cloneButton->setButtonEnabled(!selectionSizePending());
    _selectToVC->changeBgImageViewWithError(false);
}

// --- copy mode and the file browser ----------------------------------------

void SourceTargetPage::showSelectAllVC()
{
    QPointer<SourceTargetPage> self(this);
    DropDownMenu::show<SelectAllFilePopVC>(
        this, {_selectAllFileVC, _sortAttachedWindow, _isPopSortWin}, mainWindow(), QPointF(443, 137),
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

void SourceTargetPage::closeMattachedWindow()
{
    DropDownMenu::close<SelectAllFilePopVC>(this, {_selectAllFileVC, _sortAttachedWindow, _isPopSortWin});
}

void SourceTargetPage::mouseEixtView(bool exited)
{
    DropDownMenu::mouseEixtView<SelectAllFilePopVC>({_selectAllFileVC, _sortAttachedWindow, _isPopSortWin}, exited,
                                                    [this] { closeMattachedWindow(); });
}

void SourceTargetPage::dropPartialSelection()
{
    // "All files" means the whole source again: an earlier ticked or dropped
    // selection must not survive into the job.
    if (!_selection && !_isDragValue && _selectFilesSize == -1)
        return;
    _selection.reset();
    _selectFilesSize = -1;
    const bool wasDrop = _isDragValue;
    _isDragValue = false;
    forgetDropSum();
    if (_fromeVolume) {
        showSourceVolumeOnCard();
    } else if (wasDrop) {
        _selectFromVC->setIsHaveD(false);
        _selectFromVC->nameLabel()->setText(QString());
        _selectFromVC->sizeLabel()->setText(QString());
        _selectFromVC->nodeSelectLabel()->setText(kSourceHint);
        _selectFromVC->closeDisk()->setHidden(true);
        _outlets.cloneButton->setButtonEnabled(false);
    }
}

void SourceTargetPage::selectFormatbyType(qint32 type)
{
    if (type == 0)
        dropPartialSelection();
    _lComboBox->changeSelectType(type);
    mouseEixtView(true);
}

void SourceTargetPage::doShowSearchView()
{
    if (!_fromeVolume && !_selection)
        return;
    if (_diskListWC)
        _diskListWC->setDelegate(nullptr);
    _diskListWC.reset();
    _diskListWC = std::make_unique<DiskListWC>();
    _diskListWC->setDelegate(this);
    _diskListWC->centerWindow();
    if (_selection)
        _diskListWC->listFileVC()->setArrForListWithArr(_selection,
                                                        _fromeVolume ? _fromeVolume->volumePath : QString());
    else
        _diskListWC->showDetailWithPath(Platform::rootPath(
            _fromeVolume->volumeMountPoint.isEmpty() ? _fromeVolume->volumePath : _fromeVolume->volumeMountPoint));
    _diskListWC->runModal();
}

void SourceTargetPage::closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 withSelectSize)
{
    if (!arr)
        return;
    if (_differences.fileChoiceSizeAtOnce)
        _selectFilesSize = withSelectSize;
    QPointer<SourceTargetPage> guard(this);
    Platform::Dispatch::mainAsync([guard, arr, withSelectSize] {
        if (!guard)
            return;
        SourceTargetPage *self = guard.data();
        self->_selection = arr;
        qsizetype k = 0;
        for (const FileNodePtr &node : *arr)
            if (node && (node->state == FileNode::Checked || node->state == FileNode::PartlyChecked))
                ++k;
        SelectValueView *card = self->_selectFromVC;
        if (k != arr->size() || self->_isDragValue || !self->_fromeVolume) {
            card->nameLabel()->setText(QStringLiteral("%1文件/文件夹").arg(k));
            card->sizeLabel()->setText(self->_differences.fileChoiceSizeFormat.arg(
                QoPublicUtilities::longlongConvertVolSpace(withSelectSize)));
            card->nodeSelectLabel()->setText(QString());
            self->setCardIcon(card, QStringLiteral("ic_folder"));
        } else {
            self->showSourceVolumeOnCard();
        }
        card->setIsHaveD(true);
        card->changeBgImageViewWithError(false);
        self->_outlets.comboBoxView->setHidden(false);
        if (!self->_differences.fileChoiceSizeAtOnce)
            self->_selectFilesSize = withSelectSize;
        self->changeCloneButtonActon();
    });
}

void SourceTargetPage::takeDrop(const FileNodeArrayPtr &nodes)
{
    // Taken before the box goes back to "all files", whose space check must
    // see the drop rather than the whole volume.
    _isDragValue = true;
    _selection = nodes;
    _selectFilesSize = 0;
    _lComboBox->changeSelectType(0);
    _selectFromVC->setIsHaveD(true);
    _selectFromVC->nameLabel()->setText(_differences.dropName);
    _selectFromVC->sizeLabel()->setText(_differences.dropSizeFormat.arg(nodes->size()));
    _selectFromVC->nodeSelectLabel()->setText(QString());
    setCardIcon(_selectFromVC, QStringLiteral("ic_folder"));
    _selectFromVC->changeBgImageViewWithError(false);
    _selectFromVC->closeDisk()->setHidden(false);
    _lComboBox->setlComboBoxEnde(true);
    _outlets.comboBoxView->setHidden(false);
}

// --- start and confirmation -------------------------------------------------

bool SourceTargetPage::takeSelectionOrListSource(bool copyFiles)
{
    // A second press while the source's top level is still being listed
    // would judge the half-filled list.
    if (_controller->isScanning())
        return false;
    if (_selection)
        return true;
    if (!_fromeVolume) {
        refuseEmptySelection();
        return false;
    }
    _selection = std::make_shared<FileNodeArray>();
    _controller->eumeAllRootFileNodeWithRootArr(_selection, _fromeVolume->volumePath, true, copyFiles);
    return false;
}

void SourceTargetPage::queueConfirmation()
{
    QPointer<SourceTargetPage> guard(this);
    Platform::Dispatch::mainAsync([guard] {
        if (guard)
            guard->confirmSelection();
    });
}

std::function<QString()> SourceTargetPage::targetRefusalLookup(const VolumeObj &volume) const
{
    Q_UNUSED(volume);
    return {};
}

// --- the job screen ---------------------------------------------------------

void SourceTargetPage::showJobScreen(const QString &status)
{
    _outlets.selectDiskView->setHidden(true);
    _outlets.copyProgressView->setHidden(false);
    _outlets.progressView->setHidden(false);
    _outlets.endView->setHidden(true);
    _setpVC_2->setSetpIn(2);
    _outlets.pathLabel->setText(status);
    _outlets.rogressView->setFloatValue(0);
    canChangeTab(false);
}

void SourceTargetPage::showProgress(double percent)
{
    _outlets.rogressView->setFloatValueAnimated(std::clamp(percent / 100.0, 0.0, 1.0));
    if (percent >= 100) {
        _outlets.progressView->setHidden(true);
        _outlets.endView->setHidden(false);
        showFaile(false);
    }
}

void SourceTargetPage::showFailView(const QString &text)
{
    _outlets.progressView->setHidden(true);
    _outlets.endView->setHidden(false);
    _outlets.errorLable->setText(text);
    showFaile(true);
}

void SourceTargetPage::showFaile(bool failed)
{
    jobEnded();
    _setpVC_2->setSetpIn(3);
    _outlets.failView->setHidden(!failed);
    _outlets.sussView->setHidden(failed);
    canChangeTab(true);
    if (_openLabelText.size() > 10)
        setOpenLabel();
}

void SourceTargetPage::setOpenLabel()
{
    // The label's own words are kept once; the coloured text is built from
    // them every time, never from the rich text shown last.
    const QString &text = _openLabelText;
    const QString &phrase = _differences.linkPhrase;
    const qsizetype at = text.indexOf(phrase);
    _outlets.openLabel->setAlignment(Qt::AlignCenter);
    if (at < 0)
        return;
    const QColor color = getColor(2, 125, 255, 1);
    _outlets.openLabel->setTextFormat(Qt::RichText);
    _outlets.openLabel->setText(QStringLiteral("%1<span style=\"color:%2;\">%3</span>%4")
                                    .arg(text.left(at).toHtmlEscaped(), color.name(), phrase.toHtmlEscaped(),
                                         text.mid(at + phrase.size()).toHtmlEscaped()));
}

void SourceTargetPage::openPathButtonAction()
{
    Platform::systemLog(QStringLiteral("2---%1").arg(_openUrl));
    if (!_openUrl.isEmpty())
        Platform::Workspace::shared().openFile(Platform::rootPath(_openUrl));
}

void SourceTargetPage::failCancelButtonAction() { backHomeView(); }
void SourceTargetPage::succCancelButtonAction() { backHomeView(); }

void SourceTargetPage::backHomeView()
{
    _outlets.rogressView->setFloatValue(0);
    _outlets.progressView->setHidden(false);
    _outlets.endView->setHidden(true);
    closeDiskValue(1);
    closeDiskValue(2);
    _outlets.selectDiskView->setHidden(false);
    _outlets.copyProgressView->setHidden(true);
}

// --- bubble, tab change -----------------------------------------------------

void SourceTargetPage::showErrorWindowWithErrorStr(const QString &errorStr, qint32 andLeftOrRight)
{
    QPointer<SourceTargetPage> self(this);
    ErrorBubble::show(this, {_errorVC, _errorPopWin, _showErrorW, _isErrorPopWin}, mainWindow(), errorStr,
                      ErrorBubble::xForLeftOrRight(andLeftOrRight), [self] {
                          if (self)
                              self->closeErrorWindow();
                      });
}

void SourceTargetPage::closeErrorWindow()
{
    ErrorBubble::close(this, {_errorVC, _errorPopWin, _showErrorW, _isErrorPopWin});
}

void SourceTargetPage::chengeTabCloseNode()
{
    if (_popoverController) {
        _popoverController->forceClosePopover();
        _popoverController.reset();
    }
    _selectDiskVC.reset();
}
