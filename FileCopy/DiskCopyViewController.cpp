#include "DiskCopyViewController.h"
#include "ui_DiskCopyViewController.h"

#include "CopyMakeSureWC.h"
#include "DiskCopyVCDelegate.h"
#include "DoCopyFiles.h"
#include "ITProgressBar.h"
#include "LComboBox.h"
#include "SelectValueView.h"
#include "SetpViewController.h"

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
#include <QPointer>

#include <QLabel>
#include <cerrno>
#include <cstring>

namespace {

const QString kCloneFolder = QStringLiteral("KestrovaDiskClone(%1)");

Platform::FileManager &fileManager() { return Platform::FileManager::defaultManager(); }

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

DiskCopyViewController::DiskCopyViewController(QWidget *parent)
    : SourceTargetPage(parent, Page::DiskCopy), ui(std::make_unique<Ui::DiskCopyViewController>())
{
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
    if (CopyMakeSureWC *panel = makeSureWC())
        panel->setDelegate(nullptr);
}

void DiskCopyViewController::awakeFromNib()
{
    loadPage(*ui);

    // Line spacing 3, centred.
    const QString text = ui->topLabel->text().toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
    ui->topLabel->setTextFormat(Qt::RichText);
    ui->topLabel->setText(QStringLiteral("<div style=\"line-height:%1px;\" align=\"center\">%2</div>")
                              .arg(ui->topLabel->fontMetrics().height() + 3)
                              .arg(text));
    ui->topLabel->setAlignment(Qt::AlignCenter);
}

// --- drop -------------------------------------------------------------------

void DiskCopyViewController::viewDragAction(const FileNodeArrayPtr &nodes)
{
    if (!nodes)
        return;
    takeDrop(nodes);

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

void DiskCopyViewController::forgetDropSum()
{
    if (_dropSizer) {
        _dropSizer->setDelegate(nullptr);
        _dropSizer.reset();
    }
}

// --- start, confirmation and the job -----------------------------------------

void DiskCopyViewController::cloneButtonAction()
{
    if (takeSelectionOrListSource(true))
        queueConfirmation();
}

void DiskCopyViewController::copyFileScanFiles() { queueConfirmation(); }

void DiskCopyViewController::confirmSelection() { doCopyAction(); }

void DiskCopyViewController::refuseEmptySelection() { showErrorWindowWithErrorStr(emptySelectionText(), 0); }

std::function<QString()> DiskCopyViewController::targetRefusalLookup(const VolumeObj &volume) const
{
    // Only an NTFS volume can be refused; whether it takes writes is the
    // disks' answer.
    if (!volume.volumeType.toLower().contains(QStringLiteral("ntfs")))
        return {};
    return [path = volume.volumePath] { return isWritableVolume(path) ? QString() : ntfsText(); };
}

void DiskCopyViewController::doCopyAction()
{
    // What counts is what would be copied: a tree whose every box is cleared
    // is as empty as no tree at all.
    int taken = 0;
    if (_selection)
        FileNode::walkSelection(*_selection, [&taken](FileNode *) { ++taken; });
    if (taken == 0) {
        refuseEmptySelection();
        return;
    }
    openConfirmation<CopyMakeSureWC>(this, true);
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
    return Platform::rootPath(Platform::SystemInfo::consoleUser().homePath + QStringLiteral("/Desktop/") +
                              kCloneFolder.arg(date));
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
    if (!_toVolume || !_selection)
        return;
    showJobScreen(QStringLiteral("正在复制中..."));

    if (_doCopy)
        _doCopy->setDelegate(nullptr);
    _doCopy = DoCopyFiles::create(this);

    // The destination is made on a worker, since whether the target is still
    // mounted is the disks' answer, looked up now; the job starts when it is
    // made, unless it has been stopped (or replaced) meanwhile.
    const QString date = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const VolumeObj target = *_toVolume;
    const FileNodeArrayPtr selection = _selection;
    const std::weak_ptr<DoCopyFiles> engine = _doCopy;
    QPointer<DiskCopyViewController> guard(this);
    Platform::Dispatch::globalAsync([guard, engine, target, selection, date] {
        auto folder = std::make_shared<std::shared_ptr<Platform::OpenFolder>>();
        const QString destination = makeDestination(target, date, folder.get());
        Platform::Dispatch::mainAsync([guard, engine, target, selection, destination, folder] {
            const std::shared_ptr<DoCopyFiles> job = engine.lock();
            if (!guard || !job || guard->_doCopy != job || job->isCancel())
                return;
            guard->_openUrl = destination;
            if (!*folder) {
                // Nowhere safe to copy into: a link where the folder goes, or no folder at all.
                guard->showFailView(failedText());
                return;
            }
            job->doCopyFilesWithArr(selection, *folder, destination, target.volumePath);
        });
    });
}

void DiskCopyViewController::topCopyFilePath(const QString &path)
{
    Q_UNUSED(path);
    ui->pathLabel->setText(QStringLiteral("正在复制中..."));
}

void DiskCopyViewController::topCopyProgress(float progress) { showProgress(progress); }

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
