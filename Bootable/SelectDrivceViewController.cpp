#include "SelectDrivceViewController.h"
#include "ui_SelectDrivceViewController.h"

#include "ErrorWindowController.h"
#include "FullDiskAccessViewController.h"
#include "HasM1Chip.h"
#include "MakeSureCancelCloneSystemVC.h"
#include "MakeSureToCloneSystemVC.h"
#include "SelectDrivceViewControllerDelegate.h"
#include "SetpFViewController.h"

#include "QoBootable.h"
#include "QoCloneVolume.h"

#include "SelectDiskViewController.h"
#include "SelectValueView.h"

#include "VoPopoverController.h"

#include "ErrorBubble.h"
#include "ErrorViewController.h"
#include "ITProgressBar.h"
#include "MainWindowPanel.h"
#include "NODEAttachedWindow.h"
#include "QoImage.h"
#include "TextImageButton.h"

#include "GetColor.h"
#include "QoPublicUtilities.h"
#include "ShellRunners.h"
#include "ToolCommand.h"

#include "App.h"
#include "Dispatch.h"
#include "FileManager.h"
#include "PlainText.h"
#include "SystemInfo.h"
#include "SystemLog.h"
#include "SystemRoot.h"
#include "Task.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <functional>
#include <mutex>

namespace {

const char *const kTargetPrompt = "点击选择目标盘";
const char *const kUserStopText = "您已停止克隆过程。";

void setUpButton(TextImageButton *button, bool enabled, const QString &base, const QString &disabled,
                 const QString &label)
{
    button->setButtonEnabled(enabled);
    button->setImageFromFileNormalName(base, base + QStringLiteral("_press"), base + QStringLiteral("_hover"),
                                       disabled);
    button->setTextWithName(label);
}

void setButtonImage(QPushButton *button, const QString &name)
{
    button->setIcon(QIcon(QoImage::named(name).pixmap(button->size())));
    button->setIconSize(button->size());
}

QString runnerFile(const char *name) { return QoRunnerDirectory() + QLatin1Char('/') + QLatin1String(name); }

std::optional<QVariantMap> diskutilPlist(const QStringList &arguments, const char *file)
{
    return ZZDoCommand(ToolCommand(QStringLiteral("diskutil"), arguments), runnerFile(file)).dictionary();
}

const char *const kSystemPreboot = "/System/Volumes/Preboot";
const char *const kCryptexes = "Cryptexes";

std::mutex g_prebootCopyHookMutex;
std::function<void()> g_prebootCopyHook;

std::function<void()> prebootCopyHook()
{
    std::lock_guard<std::mutex> lock(g_prebootCopyHookMutex);
    return g_prebootCopyHook;
}

// A folder of the original platform, opened from the system root down with
// no link in any component below the root.
Platform::OpenFolder openSystemFolder(const QString &systemPath)
{
    return Platform::OpenFolder::openNoLinks(QFile::encodeName(Platform::rootPath(systemPath)),
                                             QFile::encodeName(Platform::systemRoot()).size());
}

bool sameFolder(const Platform::OpenFolder &a, const Platform::OpenFolder &b)
{
    return a.isOpen() && b.isOpen() && a.device() == b.device() && a.inode() == b.inode();
}

// Copies the running system's Preboot cryptexes onto the Preboot volume of
// the clone on `wholeDisk`. Worker thread. Every way out leaves the clone as
// it is: the copy is a finishing touch, never a reason to fail.
void copyPrebootCryptexes(const QString &wholeDisk)
{
    const std::optional<QVariantMap> list =
        diskutilPlist({QStringLiteral("list"), QStringLiteral("-plist"), QStringLiteral("/dev/") + wholeDisk},
                      "rootVeyDataTemp.plist");
    if (!list)
        return;
    for (const QVariant &entry : list->value(QStringLiteral("AllDisks")).toList()) {
        const std::optional<QVariantMap> info = diskutilPlist(
            {QStringLiteral("info"), QStringLiteral("-plist"), QStringLiteral("/dev/") + entry.toString()},
            "rootVeyDataTemp.plist");
        const QString container = info ? info->value(QStringLiteral("APFSContainerReference")).toString() : QString();
        if (container.isEmpty())
            continue;

        const std::optional<QVariantMap> containerList =
            diskutilPlist({QStringLiteral("list"), QStringLiteral("-plist"), QStringLiteral("/dev/") + container},
                          "VeyDataTemp.plist");
        if (!containerList)
            return;
        const QVariantList parts = containerList->value(QStringLiteral("AllDisksAndPartitions")).toList();
        if (parts.isEmpty())
            return;
        QString preboot;
        for (const QVariant &volume : parts.first().toMap().value(QStringLiteral("APFSVolumes")).toList()) {
            const QVariantMap v = volume.toMap();
            if (v.value(QStringLiteral("VolumeName")).toString() == QLatin1String("Preboot"))
                preboot = v.value(QStringLiteral("DeviceIdentifier")).toString();
        }
        if (preboot.isEmpty())
            return;
        // A property list here is diskutil's refusal.
        if (diskutilPlist({QStringLiteral("mountDisk"), QStringLiteral("/dev/") + preboot}, "diskMountTemp.plist"))
            return;
        // Where the volume just mounted really is: a second volume of that
        // name may already hold "/Volumes/Preboot". The mount point counts
        // only when diskutil names this very volume there. Its folder is held
        // before diskutil is asked and must still stand there afterwards, so
        // the folder written into is the one diskutil named.
        const std::optional<QVariantMap> prebootInfo = diskutilPlist(
            {QStringLiteral("info"), QStringLiteral("-plist"), QStringLiteral("/dev/") + preboot}, "VeyDataTemp.plist");
        const QString mountPoint = QoCloneVolume::systemMountPoint(
            prebootInfo ? prebootInfo->value(QStringLiteral("MountPoint")).toString() : QString());
        const Platform::OpenFolder target =
            mountPoint.isEmpty() ? Platform::OpenFolder() : openSystemFolder(mountPoint);
        const std::optional<QVariantMap> mountInfo =
            !target.isOpen()
                ? std::nullopt
                : diskutilPlist({QStringLiteral("info"), QStringLiteral("-plist"), mountPoint}, "VeyDataTemp.plist");
        if (!mountInfo || mountInfo->value(QStringLiteral("DeviceIdentifier")).toString() != preboot ||
            !QoCloneVolume::describes(*mountInfo, mountPoint, {container}, QStringLiteral("Preboot")) ||
            !sameFolder(target, openSystemFolder(mountPoint))) {
            Platform::systemLog(QStringLiteral("Preboot volume %1 is not mounted; cryptexes not copied").arg(preboot));
            return;
        }
        // cp starts in the running system's Preboot folder, held likewise, and
        // is given the cryptex folder by name and the clone's volume by its
        // descriptor: a component swapped for a link from now on leads it
        // nowhere else. A link under the cryptex name itself is not the
        // system's folder.
        const Platform::OpenFolder source = openSystemFolder(QString::fromLatin1(kSystemPreboot));
        const Platform::FileAttributes::Type kind = source.attributes(kCryptexes).type;
        if (!source.isOpen() ||
            (kind != Platform::FileAttributes::Type::Directory && kind != Platform::FileAttributes::Type::Missing)) {
            Platform::systemLog(QStringLiteral("%1 is not a folder of the system; cryptexes not copied")
                                    .arg(QLatin1String(kSystemPreboot)));
            return;
        }
        if (const std::function<void()> hook = prebootCopyHook())
            hook();

        Platform::Task task;
        task.setLaunchPath(QStringLiteral("/bin/cp"));
        task.setArguments({QStringLiteral("-av"), QString::fromLatin1(kCryptexes),
                           Platform::Task::descriptorPath(target.descriptor())});
        task.setWorkingFolderDescriptor(source.descriptor());
        task.setInheritedDescriptor(target.descriptor());
        task.setStandardOutputPipe(true);
        // The task hands its output over as it arrives, also while it is
        // waited for: what is not taken then is gone.
        QByteArray output;
        QObject::connect(&task, &Platform::Task::dataAvailable, &task,
                         [&output](const QByteArray &chunk) { output += chunk; });
        int status = -1;
        if (task.launch()) {
            task.waitUntilExit();
            status = task.terminationStatus();
        }
        Platform::systemLog(QString::fromUtf8(output));
        Platform::systemLog(QStringLiteral("Exit status: %1").arg(status));
        return;
    }
}

} // namespace

SelectDrivceViewController::SelectDrivceViewController(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::SelectDrivceViewController>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("SelectDrivceViewController"));
    setAttribute(Qt::WA_StyledBackground);
    awakeFromNib();
}

SelectDrivceViewController::~SelectDrivceViewController()
{
    QoBootable *engine = QoBootable::QoShareInstance();
    if (engine->QoDelegate() == this)
        engine->QoSetDelegate(nullptr);
    // The popover lets go of the picker when it goes, so it goes first.
    m_popoverController.reset();
    m_selectDiskVC.reset();
}

MakeSureToCloneSystemVC *SelectDrivceViewController::makeSureToCloneVC() const { return m_makeSureToCloneVC; }
MakeSureCancelCloneSystemVC *SelectDrivceViewController::makeSureCancelVC() const { return m_makeSureCancelVC; }
ErrorWindowController *SelectDrivceViewController::errorWindowVC() const { return m_errorWindowVC; }
FullDiskAccessViewController *SelectDrivceViewController::fullDiskAccessWC() const { return m_fullDiskAccessWC; }

TextImageButton *SelectDrivceViewController::cloneButton() const { return ui->cloneButton; }
TextImageButton *SelectDrivceViewController::cancelButton() const { return ui->cancelButton; }
TextImageButton *SelectDrivceViewController::failCancelButton() const { return ui->failCancelButton; }
TextImageButton *SelectDrivceViewController::succCancelButton() const { return ui->succCancelButton; }
TextImageButton *SelectDrivceViewController::checkFullButton() const { return ui->checkFullButton; }
TextImageButton *SelectDrivceViewController::nextButton() const { return ui->nextButton; }
ITProgressBar *SelectDrivceViewController::iProgreeBar() const { return ui->iProgreeBar; }
QLabel *SelectDrivceViewController::pathLabel() const { return ui->pathLabel; }
QLabel *SelectDrivceViewController::errorLable() const { return ui->errorLable; }
QLabel *SelectDrivceViewController::animImageView() const { return ui->animImageView; }
QLabel *SelectDrivceViewController::topNodeLabel() const { return ui->topNodeLabel; }
QLabel *SelectDrivceViewController::buildNodeLabel() const { return ui->buildNodeLabel; }
QWidget *SelectDrivceViewController::stepView() const { return ui->stepView; }
QWidget *SelectDrivceViewController::setp_2() const { return ui->setp_2; }
QWidget *SelectDrivceViewController::selectDiskView() const { return ui->selectDiskView; }
QWidget *SelectDrivceViewController::copyProgressView() const { return ui->copyProgressView; }
QWidget *SelectDrivceViewController::progressView() const { return ui->progressView; }
QWidget *SelectDrivceViewController::endView() const { return ui->endView; }
QWidget *SelectDrivceViewController::sussView() const { return ui->sussView; }
QWidget *SelectDrivceViewController::failView() const { return ui->failView; }
QWidget *SelectDrivceViewController::selectFromView() const { return ui->selectFromView; }
QWidget *SelectDrivceViewController::selectToView() const { return ui->selectToView; }

void SelectDrivceViewController::awakeFromNib()
{
    QoBootable *engine = QoBootable::QoShareInstance();
    engine->QoInit();
    engine->QoSetDelegate(this);

    setUpButton(ui->cloneButton, false, QStringLiteral("btn_pri"), QStringLiteral("btn_pri_disable"),
                QStringLiteral("现在克隆"));
    connect(ui->cloneButton, &QPushButton::clicked, this, &SelectDrivceViewController::cloneButtonAction);
    m_freeSize = -1;

    m_selectFromVC = new SelectValueView(ui->selectFromView);
    m_selectFromVC->setDiskFrom(1);
    m_selectFromVC->setDelegate(this);
    m_selectFromVC->setIsHaveD(true);
    m_selectFromVC->setIsCanSelect(false);
    m_selectFromVC->selectDiskBut()->setEnabled(false);
    setButtonImage(m_selectFromVC->selectDiskBut(), QStringLiteral("ic_os_main_b"));
    m_selectFromVC->bgImageView()->setPixmap(QoImage::named(QStringLiteral("source_sel"))
                                                 .pixmap(m_selectFromVC->bgImageView()->size(), devicePixelRatioF()));
    m_selectFromVC->nameLabel()->setText(QStringLiteral("Mac启动磁盘"));
    m_selectFromVC->sizeLabel()->setText(QString());
    m_selectFromVC->nodeSelectLabel()->setText(QString());
    m_selectFromVC->dragVie()->setAcceptDrops(false);
    m_selectFromVC->show();

    m_selectToVC = new SelectValueView(ui->selectToView);
    m_selectToVC->setDiskFrom(2);
    m_selectToVC->setDelegate(this);
    m_selectToVC->setIsHaveD(false);
    // The card's drop view carries its whole face here, so instead of going
    // it stops taking drops: nothing can be dropped on a disk to be erased.
    m_selectToVC->dragVie()->setAcceptDrops(false);
    setButtonImage(m_selectToVC->selectDiskBut(), QStringLiteral("add"));
    m_selectToVC->nameLabel()->setText(QString());
    m_selectToVC->sizeLabel()->setText(QString());
    m_selectToVC->nodeSelectLabel()->setText(QString::fromUtf8(kTargetPrompt));
    m_selectToVC->show();

    m_stepVC = new SetpFViewController(ui->stepView);
    m_stepVC->setSetpIn(1);
    m_stepVC->show();
    m_stepFVC = new SetpFViewController(ui->setp_2);
    m_stepFVC->setSetpIn(2);
    m_stepFVC->show();

    ui->iProgreeBar->setFloatValue(0);
    m_progressValue = 0;
    setUpButton(ui->cancelButton, true, QStringLiteral("btn_sec"), QStringLiteral("btn_sec_disable"),
                QStringLiteral("取消"));
    connect(ui->cancelButton, &QPushButton::clicked, this, &SelectDrivceViewController::cancelButtonAction);
    setUpButton(ui->failCancelButton, true, QStringLiteral("btn_pri"), QStringLiteral("btn_pri_disable"),
                QStringLiteral("好的"));
    connect(ui->failCancelButton, &QPushButton::clicked, this, &SelectDrivceViewController::failCancelButtonAction);
    setUpButton(ui->succCancelButton, true, QStringLiteral("btn_pri"), QStringLiteral("btn_pri_disable"),
                QStringLiteral("好的"));
    connect(ui->succCancelButton, &QPushButton::clicked, this, &SelectDrivceViewController::succCancelButtonAction);
    setUpButton(ui->checkFullButton, true, QStringLiteral("btn_pri"), QStringLiteral("btn_pri_disable"),
                QStringLiteral("检查"));
    connect(ui->checkFullButton, &QPushButton::clicked, this, &SelectDrivceViewController::toCheckFullDiskAccess);
    ui->failView->setHidden(true);
    ui->sussView->setHidden(true);

    measureUsedSize();
}

// Runs diskutil, so it goes to the global queue; until it answers the size
// check waits (usedSize stays -1).
void SelectDrivceViewController::measureUsedSize()
{
    QPointer<SelectDrivceViewController> self(this);
    Platform::Dispatch::globalAsync([self] {
        const int version = QoPublicUtilities::getSystemVersion();
        const qint64 used =
            usedSizeFromInfo(diskutilPlist({QStringLiteral("info"), QStringLiteral("-plist"), QStringLiteral("/")},
                                           "KestrovaDiskCloneDataTemp.plist"),
                             version);
        Platform::Dispatch::mainAsync([self, used] {
            if (!self)
                return;
            self->m_usedSize = used;
            self->m_selectFromVC->sizeLabel()->setText(QoPublicUtilities::longlongDiskSize(used));
            self->checkSize();
        });
    });
}

qint64 SelectDrivceViewController::usedSizeFromInfo(const std::optional<QVariantMap> &info, int systemVersion)
{
    if (!info)
        return 0;
    const bool container = systemVersion >= 1015;
    const qint64 total =
        info->value(container ? QStringLiteral("APFSContainerSize") : QStringLiteral("TotalSize")).toLongLong();
    const qint64 free =
        info->value(container ? QStringLiteral("APFSContainerFree") : QStringLiteral("FreeSpace")).toLongLong();
    return std::max<qint64>(0, total - free);
}

QString SelectDrivceViewController::messageForErrorCode(int code, bool userCancelled)
{
    if (userCancelled)
        return QString::fromUtf8(kUserStopText);
    switch (code) {
    case -7:
    case -6:
    case -2:
    case -1:
        return QStringLiteral("创建启动盘失败，请重试。");
    case -5:
        return QStringLiteral("系统版本不支持此功能。");
    case -4:
        return QStringLiteral("清除数据时发生错误。请确保设备未被使用或您拥有足够的权限。");
    case -3:
        return QStringLiteral("USB设备已拔出，请重新连接设备并重试。");
    default:
        return QString();
    }
}

QString SelectDrivceViewController::statusLineForText(const QString &text)
{
    auto blank = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
    };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

int SelectDrivceViewController::getAuthorizationStatus()
{
    // The application runs as root: the protected folders that matter are
    // those of the user it works for, not root's own.
    const QString home = Platform::SystemInfo::consoleUser().homeFolder();
    if (home.isEmpty())
        return 0;
    const QString safari = home + QStringLiteral("/Library/Safari");
    bool isDirectory = false;
    if (!Platform::FileManager::defaultManager().fileExists(safari, &isDirectory))
        return 0;
    const QFileInfo info(safari);
    if (!isDirectory || !info.isReadable() || !info.isExecutable())
        return 1;
    bool ok = false;
    Platform::FileManager::defaultManager().contentsOfDirectory(safari, &ok);
    return ok ? 2 : 1;
}

void SelectDrivceViewController::checkSize()
{
    if (m_usedSize == -1 || m_freeSize == -1)
        return;
    if (m_freeSize < m_usedSize) {
        ui->cloneButton->setButtonEnabled(false);
        m_selectToVC->changeBgImageViewWithError(true);
        showErrorBubble(QStringLiteral("目标盘磁盘空间不足，请选择另一个盘。"));
    } else {
        ui->cloneButton->setButtonEnabled(true);
        m_selectToVC->changeBgImageViewWithError(false);
    }
}

void SelectDrivceViewController::showErrorBubble(const QString &message)
{
    const ErrorBubbleFields fields{m_errorVC, m_errorPopWin, m_showErrorW, m_isErrorPopWin};
    QPointer<SelectDrivceViewController> self(this);
    ErrorBubble::show(this, fields, window(), message, ErrorBubble::RightCardX, [self] {
        if (self)
            self->closeErrorWindow();
    });
}

void SelectDrivceViewController::closeErrorWindow()
{
    const ErrorBubbleFields fields{m_errorVC, m_errorPopWin, m_showErrorW, m_isErrorPopWin};
    ErrorBubble::close(this, fields);
}

void SelectDrivceViewController::canChangeTab(bool can)
{
    if (_delegate)
        _delegate->canChangeTab(can);
}

void SelectDrivceViewController::selectDiskButton(qint32 withID, QObject *sender)
{
    if (m_isErrorPopWin)
        closeErrorWindow();
    if (m_popoverController && m_popoverController->popoverIsVisible()) {
        m_popoverController->closePopover();
        return;
    }
    m_openPopType = unsigned(withID);
    m_popoverController.reset();
    m_selectDiskVC = std::make_unique<SelectDiskViewController>();
    m_selectDiskVC->setSelectDiskVCDelegate(this);
    m_selectDiskVC->setIsOnlyShowEx(true);

    m_popoverController = VoPopoverController::initWithContentViewController(m_selectDiskVC.get());
    const QColor grey = getColor(55, 55, 55, 1);
    m_popoverController->setColor(grey);
    m_popoverController->setBorderColor(grey);
    m_popoverController->setBorderWidth(2);
    m_popoverController->setAnimates(true);

    QWidget *view = qobject_cast<QWidget *>(sender);
    if (!view)
        view = withID == 2 ? ui->selectToView : ui->selectFromView;
    m_popoverController->presentPopoverFromRect(QRectF(0, 0, view->width(), view->height()), view, withID == 2 ? 2 : 1,
                                                true);
}

void SelectDrivceViewController::doSelectDiskWithVolume(const VolumeObjPtr &volume)
{
    if (m_popoverController && m_popoverController->popoverIsVisible())
        m_popoverController->closePopover();
    if (m_openPopType == 1 || !volume)
        return;
    m_toVolume = volume;
    m_selectToVC->nameLabel()->setText(volume->volumeName);
    m_selectToVC->sizeLabel()->setText(QStringLiteral("%1空间").arg(volume->volumeTotalSize));
    m_selectToVC->nodeSelectLabel()->setText(QString());
    m_selectToVC->closeDisk()->setHidden(false);
    m_selectToVC->setIsHaveD(true);
    setButtonImage(m_selectToVC->selectDiskBut(), QStringLiteral("ic_usb_main"));
    m_selectToVC->changeBgImageViewWithError(false);
    // The whole disk is erased, so all of it is room for the clone.
    m_freeSize = volume->volumeTotalSizeNum;
    checkSize();
}

void SelectDrivceViewController::closeDiskValue(qint32 diskFrom)
{
    (void)diskFrom;
    if (m_isErrorPopWin)
        closeErrorWindow();
    m_toVolume.reset();
    m_freeSize = -1;
    m_selectToVC->setIsHaveD(false);
    setButtonImage(m_selectToVC->selectDiskBut(), QStringLiteral("add"));
    m_selectToVC->nameLabel()->setText(QString());
    m_selectToVC->changeBgImageViewWithError(false);
    m_selectToVC->sizeLabel()->setText(QString());
    m_selectToVC->nodeSelectLabel()->setText(QString::fromUtf8(kTargetPrompt));
    m_selectToVC->closeDisk()->setHidden(true);
    ui->cloneButton->setButtonEnabled(false);
}

void SelectDrivceViewController::cloneButtonAction()
{
    QPointer<SelectDrivceViewController> self(this);
    Platform::Dispatch::mainAsync([self] {
        if (!self || !self->m_toVolume)
            return;
        self->m_isUserCancel = false;
        auto *vc = new MakeSureToCloneSystemVC;
        vc->setDelegate(self.data());
        self->m_makeSureToCloneVC = vc;
        MainWindowPanel::show(vc, self->window());
    });
}

void SelectDrivceViewController::beginToCopySystem()
{
    // The probe asks who is at the screen, which the disks' record tells and
    // an eject may hold for seconds: it runs on a worker, and the clone
    // starts when it answers, for the target chosen when it was asked.
    if (m_accessCheckOut)
        return;
    m_accessCheckOut = true;
    QPointer<SelectDrivceViewController> self(this);
    const VolumeObjPtr target = m_toVolume;
    Platform::Dispatch::globalAsync([self, target] {
        const bool allowed = getAuthorizationStatus() == 2 || QoPublicUtilities::getSystemVersion() < 1300;
        Platform::Dispatch::mainAsync([self, target, allowed] {
            if (!self)
                return;
            self->m_accessCheckOut = false;
            // The user went elsewhere meanwhile: a changed target, another
            // page; nothing starts unseen.
            if (!target || target != self->m_toVolume || !self->isVisible())
                return;
            if (!allowed)
                self->toCheckFullDiskAccess();
            else
                self->startCopySystem();
        });
    });
}

void SelectDrivceViewController::startCopySystem()
{
    m_finishing = false;
    m_progressValue = 0;
    ui->iProgreeBar->setFloatValue(0);
    ui->pathLabel->setText(QString());
    ui->cancelButton->setButtonEnabled(true);
    m_stepFVC->setSetpIn(2);
    ui->selectDiskView->setHidden(true);
    ui->copyProgressView->setHidden(false);
    ui->progressView->setHidden(false);
    ui->endView->setHidden(true);
    m_tabsUnlocked = false;
    canChangeTab(false);

    const int result = QoBootable::QoShareInstance()->QoStart(m_toVolume);
    if (result < 0) {
        // Nothing runs: the page goes back to the choice (the target kept) so
        // that it is not left on a progress screen with the tabs locked.
        ui->copyProgressView->setHidden(true);
        ui->selectDiskView->setHidden(false);
        m_tabsUnlocked = true;
        canChangeTab(true);
        showErrorWindow(result);
    }
}

void SelectDrivceViewController::showErrorWindow(int code)
{
    auto *vc = new ErrorWindowController;
    m_errorWindowVC = vc;
    MainWindowPanel::show(vc, window());
    vc->changeErrorLabelStr(code == -3 ? QStringLiteral("USB设备已拔出，请重新连接设备并重试。")
                                       : QStringLiteral("创建目标盘时发生错误。"));
}

void SelectDrivceViewController::toCheckFullDiskAccess()
{
    if (m_fullDiskAccessWC)
        return;
    auto *wc = new FullDiskAccessViewController(window());
    m_fullDiskAccessWC = wc;
    const QRect area =
        window()->isWindow() && window()->isVisible()
            ? window()->frameGeometry()
            : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : QRect());
    wc->move(area.center() - QPoint(wc->width() / 2, wc->height() / 2));
    Platform::App::runModal(wc);
    wc->deleteLater();
}

unsigned SelectDrivceViewController::implementedMethods() const
{
    return MethodQoUINotify | MethodChangeProLabelValue | MethodChangeProTimeWithTag;
}

void SelectDrivceViewController::setAnimImage(const QString &name)
{
    m_animImageName = name;
    ui->animImageView->setPixmap(QoImage::named(name).pixmap(ui->animImageView->size(), devicePixelRatioF()));
}

void SelectDrivceViewController::QoUINotify(const _tagBootableProgress *progress)
{
    if (!progress)
        return;
    if (progress->iErrCode >= 0) {
        switch (progress->iStepCode) {
        case 0:
            changeProValue(0);
            break;
        case 1:
            changeProValue(5);
            m_stepFVC->setSetpIn(2);
            setAnimImage(QStringLiteral("erase"));
            break;
        case 2:
            changeProValue(10);
            break;
        case 3:
            changeProValue(15);
            break;
        case 4:
            changeProValue(20);
            break;
        case 5:
            changeProValue(30);
            m_stepFVC->setSetpIn(3);
            setAnimImage(QStringLiteral("copy"));
            break;
        case 8:
            if (progress->iErrCode == 0)
                changeProValue(100);
            break;
        default:
            break;
        }
        return;
    }
    const QString message = messageForErrorCode(progress->iErrCode, m_isUserCancel);
    if (message.isEmpty())
        return;
    QoBootable::QoShareInstance()->QoStop();
    showFailView(message);
}

void SelectDrivceViewController::changeProTimeWithTag(int tag, int withStep)
{
    if (withStep == 1)
        changeProValue(3 * tag + 35);
    else if (withStep == 2)
        changeProValue(3 * tag + 65);
}

void SelectDrivceViewController::changeProLabelValue(const QString &value)
{
    Platform::setPlainText(ui->pathLabel, statusLineForText(value));
}

void SelectDrivceViewController::changeProValue(double value)
{
    m_progressValue = value;
    ui->iProgreeBar->setFloatValueAnimated(std::clamp(value, 0.0, 100.0) / 100.0);
    if (value < 100)
        return;
    // One end per clone, and none after the user stopped it.
    if (m_finishing || m_isUserCancel)
        return;
    m_finishing = true;
    refuseStop();
    if (has_m1_chip() || QoPublicUtilities::getSystemVersion() >= 1300)
        repairPrebootFile();
    else
        showEndView();
}

void SelectDrivceViewController::setPrebootCopyHook(std::function<void()> hook)
{
    std::lock_guard<std::mutex> lock(g_prebootCopyHookMutex);
    g_prebootCopyHook = std::move(hook);
}

void SelectDrivceViewController::repairPrebootFile()
{
    QPointer<SelectDrivceViewController> self(this);
    const QString wholeDisk = m_toVolume ? m_toVolume->volumePath : QString();
    Platform::Dispatch::globalAsync([self, wholeDisk] {
        Platform::Dispatch::mainAsync([self] {
            if (self)
                self->ui->pathLabel->setText(QStringLiteral("克隆中..."));
        });
        if (!wholeDisk.isEmpty())
            copyPrebootCryptexes(wholeDisk);
        Platform::Dispatch::mainAsync([self] {
            if (self)
                self->finishPrebootCopy();
        });
    });
}

void SelectDrivceViewController::finishPrebootCopy()
{
    ui->pathLabel->setText(QStringLiteral("完成中..."));
    showEndView();
}

// The restore has finished, so the clone is made: what may still run (the
// Preboot copy) only finishes it off and never fails it. Stopping now would
// leave a half-copied Preboot volume under a "stopped" message, so the stop
// is no longer offered: the button goes grey and an open stop panel closes
// without telling the page anything.
void SelectDrivceViewController::refuseStop()
{
    ui->cancelButton->setButtonEnabled(false);
    if (MakeSureCancelCloneSystemVC *vc = m_makeSureCancelVC) {
        vc->setDelegate(nullptr);
        vc->closeWindow();
    }
}

void SelectDrivceViewController::cancelButtonAction()
{
    if (m_finishing)
        return;
    auto *vc = new MakeSureCancelCloneSystemVC;
    vc->setDelegate(this);
    m_makeSureCancelVC = vc;
    MainWindowPanel::show(vc, window());
}

void SelectDrivceViewController::cancelToCopySystem()
{
    // Too late: the clone has reached its end (see refuseStop).
    if (m_finishing)
        return;
    m_isUserCancel = true;
    QoBootable::QoShareInstance()->QoStop();
    showFailView(QString::fromUtf8(kUserStopText));
}

void SelectDrivceViewController::showFailView(const QString &text)
{
    ui->progressView->setHidden(true);
    ui->endView->setHidden(false);
    ui->errorLable->setText(text);
    showFaile(true);
}

void SelectDrivceViewController::showEndView()
{
    m_stepFVC->setSetpIn(4);
    ui->progressView->setHidden(true);
    ui->endView->setHidden(false);
    showFaile(false);
}

void SelectDrivceViewController::showFaile(bool fail)
{
    m_stepFVC->setSetpIn(4);
    ui->failView->setHidden(!fail);
    ui->sussView->setHidden(fail);
    // A run ends once: a second report (the engine's -7 after a user stop)
    // shows the view again but does not unlock the tabs again.
    if (m_tabsUnlocked)
        return;
    m_tabsUnlocked = true;
    canChangeTab(true);
}

void SelectDrivceViewController::backHomeView()
{
    m_progressValue = 0;
    ui->iProgreeBar->setFloatValue(0);
    ui->progressView->setHidden(false);
    ui->endView->setHidden(true);
    closeDiskValue(2);
    ui->selectDiskView->setHidden(false);
    ui->copyProgressView->setHidden(true);
}

void SelectDrivceViewController::failCancelButtonAction() { backHomeView(); }
void SelectDrivceViewController::succCancelButtonAction() { backHomeView(); }
