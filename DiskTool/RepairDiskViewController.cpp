#include "RepairDiskViewController.h"
#include "MountedVolumes.h"

#include "ui_RepairDiskViewController.h"

#include "CustomTableView.h"
#include "FormatingViewController.h"
#include "MakeSureFormatViewController.h"
#include "RepairDiskTableCellView.h"
#include "WipeDiskProView.h"

#include "MainWindowPanel.h"
#include "QoImage.h"
#include "RFOverlayScrollView.h"
#include "TextImageButton.h"

#include "DiskManagerSizeText.h"
#include "QoLinkUrl.h"
#include "QoPublicUtilities.h"
#include "ShellRunners.h"
#include "ToolCommand.h"
#include "VolumeObjBuilders.h"
#include "WatchMountUnmount.h"

#include "Dispatch.h"
#include "NotificationCenter.h"
#include "PlainText.h"
#include "SystemLog.h"
#include "SystemRoot.h"
#include "Task.h"
#include "Workspace.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

namespace {

// The command lines were built in fixed buffers: a longer line is not run.
constexpr int kInfoLineBuffer = 128;
constexpr int kRenameLineBuffer = 128;
constexpr int kEjectLineBuffer = 64;
constexpr int kEraseLineBuffer = 128;

constexpr double kHeadingRowHeight = 40;
constexpr double kVolumeRowHeight = 84;
// A FAT32 volume name holds at most 11 characters.
constexpr int kFat32NameLength = 11;

const QString kNameColumn = QStringLiteral("Name");
const QString kNewName = QStringLiteral("NEW");

using Result = FormatEndViewController::Result;

bool hasVolumeNamed(const QList<VolumeObjPtr> &arr, const QString &name)
{
    return std::any_of(arr.begin(), arr.end(), [&](const VolumeObjPtr &v) { return v && v->volumeName == name; });
}

void setImage(QLabel *view, const QString &name)
{
    view->setPixmap(QoImage::named(name).pixmap(view->size(), view->devicePixelRatioF()));
}

QString iconNameFor(const VolumeObj &volume)
{
    if (volume.bCanEject)
        return QStringLiteral("ic_usb_main");
    if (Platform::isStartupMountPoint(volume.volumeMountPoint))
        return QStringLiteral("ic_os_main_b");
    return QStringLiteral("ic_disk_main");
}

bool toolSucceeded(const RunnerResult &r) { return r.ran && r.exitStatus == 0; }

// A format or erase never touches the startup volume, whatever it is called now.
bool mayFormat(const VolumeObj &volume)
{
    return !Platform::isStartupMountPoint(volume.volumeMountPoint) &&
           RepairDiskViewController::isStillTheRecordedVolume(volume, true);
}

// The erase path, on the global queue.
Result eraseRecordedVolume(const VolumeObj &volume, const QString &type, const QString &name)
{
    if (!mayFormat(volume))
        return Result::VolumeChanged;
    const RunnerResult r = eraserExecCommand(ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("eraseVolume")})
                                                 .quotedArg(type)
                                                 .quotedArg(name)
                                                 .quotedArg(volume.volRootDir)
                                                 .withBuffer(kEraseLineBuffer));
    if (!toolSucceeded(r)) {
        Platform::systemLog(
            QStringLiteral("eraseVolume of %1 failed (status %2)").arg(volume.volRootDir).arg(r.exitStatus));
        return Result::Failed;
    }
    return Result::Succeeded;
}

// The APFS path, on the global queue: the new name first, then a reformat
// of the volume, waited for.
Result reformatRecordedVolume(const VolumeObj &volume, const QString &name)
{
    if (!mayFormat(volume))
        return Result::VolumeChanged;
    const RunnerResult renamed =
        changeNameExecCommand(ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("rename"), volume.diskUUID})
                                  .quotedArg(name)
                                  .withBuffer(kRenameLineBuffer));
    Platform::Task task;
    task.setLaunchPath(Platform::toolPath(QStringLiteral("/usr/sbin/diskutil")));
    task.setArguments({QStringLiteral("reformat"), volume.volumePath});
    if (!task.launch()) {
        Platform::systemLog(QStringLiteral("diskutil reformat could not be started"));
        return Result::Failed;
    }
    task.waitUntilExit();
    if (!task.exitedNormally() || task.terminationStatus() != 0) {
        Platform::systemLog(
            QStringLiteral("reformat of %1 failed (status %2)").arg(volume.volumePath).arg(task.terminationStatus()));
        return Result::Failed;
    }
    return toolSucceeded(renamed) ? Result::Succeeded : Result::NameKept;
}

} // namespace

RepairDiskViewController::RepairDiskViewController(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::RepairDiskViewController>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("RepairDiskViewController"));
    ui->parTableView->awakeFromNib();
    ui->tableScrollView->setDocumentView(ui->parTableView);
    // Rows are made from the column's identifier, as the interface file lays them out.
    ui->parTableView->registerViewWithIdentifier(kNameColumn,
                                                 [] { return RepairDiskTableCellView::makeFromInterfaceFile(); });
    connect(ui->helpButton, &QAbstractButton::clicked, this, &RepairDiskViewController::helpButtonAction);
    awakeFromNib();
}

RepairDiskViewController::~RepairDiskViewController()
{
    Platform::NotificationCenter::defaultCenter().removeObserver(this);
    // The panels call back into the page; they go with it.
    if (m_makeSureFormatVC) {
        m_makeSureFormatVC->setDelegate(nullptr);
        m_makeSureFormatVC->closeWindow();
    }
    if (m_formatingVC)
        m_formatingVC->closeWindow();
    if (m_formatEndVC)
        m_formatEndVC->closeWindow();
    if (m_renameEndVC)
        m_renameEndVC->closeWindow();
}

QString RepairDiskViewController::internalHeading() { return QStringLiteral("Internal"); }
QString RepairDiskViewController::externalHeading() { return QStringLiteral("External"); }

CustomTableView *RepairDiskViewController::parTableView() const { return ui->parTableView; }
QProgressBar *RepairDiskViewController::loadProView() const { return ui->loadProView; }
QPushButton *RepairDiskViewController::helpButton() const { return ui->helpButton; }

void RepairDiskViewController::awakeFromNib()
{
    m_formatend = true;
    m_isRenameEdit = false;
    m_isScanV = false;
    m_selectIndex = 0;
    ui->parTableView->setDataSource(this);
    ui->parTableView->setDelegate(this);
    if (m_allVolumeArr.isEmpty())
        getallVolumes();

    m_watchMu = std::make_unique<WatchMountUnmount>();
    QPointer<RepairDiskViewController> guard(this);
    const auto rescan = [guard](const Platform::Notification &) {
        if (Platform::Dispatch::isMainThread()) {
            if (guard)
                guard->getallVolumes();
            return;
        }
        Platform::Dispatch::mainAsync([guard] {
            if (guard)
                guard->getallVolumes();
        });
    };
    Platform::NotificationCenter &center = Platform::NotificationCenter::defaultCenter();
    center.addObserver(this, QString::fromLatin1(QmVolumeMountNotification), nullptr, rescan);
    center.addObserver(this, QString::fromLatin1(QmVolumeUnmountNotification), nullptr, rescan);
}

// ---- Scanning

void RepairDiskViewController::getallVolumes()
{
    if (m_isScanV) {
        // Served when the running scan ends, so no mount is missed and two
        // scans never fill the list at once.
        m_rescanPending = true;
        return;
    }
    m_isScanV = true;
    // During a format the busy panel stands instead.
    if (m_formatend)
        ui->loadProView->setHidden(false);
    m_selectVolume.reset();
    m_allVolumeArr.clear();
    ui->parTableView->reloadData();

    // The scan fills a list of its own and hands it over when done, so the
    // main thread never reads one that is still being filled.
    QPointer<RepairDiskViewController> guard(this);
    Platform::Dispatch::globalAsync([guard] {
        QList<VolumeObjPtr> found;
        doGetAllVolumes(found);
        Platform::Dispatch::mainAsync([guard, found] {
            if (guard)
                guard->scanDidEnd(found);
        });
    });
}

void RepairDiskViewController::scanDidEnd(const QList<VolumeObjPtr> &found)
{
    m_allVolumeArr = found;
    ui->loadProView->setHidden(true);
    buildSortVolumeArr();
    selectFirstRow();
    m_isScanV = false;
    ++m_scanCount;
    if (m_rescanPending) {
        m_rescanPending = false;
        getallVolumes();
    }
}

void RepairDiskViewController::doGetAllVolumes(QList<VolumeObjPtr> &allVolumeArr)
{
    for (const QString &bsdName : MountedVolumeBSDNames())
        getVolumeAllObjWithVolumeName(allVolumeArr, bsdName);
}

void RepairDiskViewController::getVolumeAllObjWithVolumeName(QList<VolumeObjPtr> &allVolumeArr, const QString &bsdName)
{
    // Compared with the records' names, as the list always did.
    if (hasVolumeNamed(allVolumeArr, bsdName))
        return;
    const std::optional<QVariantMap> info = getDisjInfo(bsdName);
    if (!info)
        return;
    const QString volumeName = info->value(QStringLiteral("VolumeName")).toString();
    const QString deviceNode = info->value(QStringLiteral("DeviceNode")).toString();
    // The same volume reached through a second entry of /Volumes.
    if (std::any_of(allVolumeArr.begin(), allVolumeArr.end(), [&](const VolumeObjPtr &v) {
            return v && v->volumeName == volumeName && v->volumePath == deviceNode;
        }))
        return;
    if (!info->contains(QStringLiteral("VolumeName")) || volumeName == QLatin1String("EFI"))
        return;
    if (VolumeObjPtr volume = VolumeObjFromDiskManager(*info))
        allVolumeArr.append(volume);
}

std::optional<QVariantMap> RepairDiskViewController::getDisjInfo(const QString &identifier)
{
    return aepairExecCommand(
               ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), identifier})
                   .withBuffer(kInfoLineBuffer))
        .dictionary();
}

void RepairDiskViewController::buildSortVolumeArr()
{
    QList<VolumeObjPtr> internals;
    QList<VolumeObjPtr> externals;
    for (const VolumeObjPtr &v : std::as_const(m_allVolumeArr)) {
        if (v)
            (v->bCanEject ? externals : internals).append(v);
    }
    m_allSortVolumeArr.clear();
    m_allSortVolumeArr.append(internalHeading());
    for (const VolumeObjPtr &v : std::as_const(internals))
        m_allSortVolumeArr.append(v);
    if (!externals.isEmpty()) {
        m_allSortVolumeArr.append(externalHeading());
        for (const VolumeObjPtr &v : std::as_const(externals))
            m_allSortVolumeArr.append(v);
    }
    m_inRowCount = qint32(internals.size());
}

// ---- Selection

void RepairDiskViewController::selectFirstRow()
{
    m_selectIndex = 1;
    m_isRenameEdit = false;
    ui->parTableView->setSelectNum(1);
    m_selectVolume.reset();
    if (m_allSortVolumeArr.size() > 1)
        if (const VolumeObjPtr *v = std::get_if<VolumeObjPtr>(&m_allSortVolumeArr[1]))
            m_selectVolume = *v;
    ui->parTableView->reloadData();
}

void RepairDiskViewController::normalSelectCell() { selectFirstRow(); }

bool RepairDiskViewController::shouldSelectRow(CustomTableView *, int row)
{
    if (row == 0 || row == m_inRowCount + 1)
        return false;
    if (row < 0 || row >= m_allSortVolumeArr.size())
        return false;
    m_selectIndex = row;
    m_isRenameEdit = false;
    ui->parTableView->setSelectNum(row);
    const VolumeObjPtr *v = std::get_if<VolumeObjPtr>(&m_allSortVolumeArr[row]);
    m_selectVolume = v ? *v : nullptr;
    ui->parTableView->reloadData();
    return true;
}

// ---- Table

int RepairDiskViewController::numberOfRowsInTableView(CustomTableView *) { return int(m_allSortVolumeArr.size()); }

QVariant RepairDiskViewController::objectValueForTableColumn(CustomTableView *, const QString &, int) { return {}; }

bool RepairDiskViewController::shouldEditTableColumn(CustomTableView *, const QString &, int) { return false; }

bool RepairDiskViewController::shouldSelectTableColumn(CustomTableView *, const QString &) { return false; }

double RepairDiskViewController::heightOfRow(CustomTableView *, int row)
{
    return row == 0 || row == m_inRowCount + 1 ? kHeadingRowHeight : kVolumeRowHeight;
}

QWidget *RepairDiskViewController::viewForTableColumn(CustomTableView *tableView, const QString &tableColumn, int row)
{
    if (row < 0 || row >= m_allSortVolumeArr.size())
        return nullptr;
    const Row &item = m_allSortVolumeArr[row];
    if (const QString *heading = std::get_if<QString>(&item)) {
        QWidget *view = tableView->makeViewWithIdentifier(tableColumn);
        if (!view || tableColumn != kNameColumn)
            return view;
        for (QWidget *sub : view->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (sub->objectName() == QLatin1String("Tip")) {
                if (auto *tip = qobject_cast<QLabel *>(sub))
                    Platform::setPlainText(tip, *heading);
                sub->setHidden(false);
            } else {
                sub->setHidden(true);
            }
        }
        if (auto *cell = qobject_cast<RepairDiskTableCellView *>(view))
            cell->setIsStr(true);
        return view;
    }
    const VolumeObjPtr volume = std::get<VolumeObjPtr>(item);
    if (tableColumn != kNameColumn || !volume)
        return nullptr;
    QWidget *view = tableView->makeViewWithIdentifier(tableColumn);
    if (view)
        fillVolumeRow(view, *volume, row);
    return view;
}

void RepairDiskViewController::fillVolumeRow(QWidget *view, const VolumeObj &volume, int row)
{
    const bool selected = row == m_selectIndex;
    const bool renaming = selected && m_isRenameEdit;
    auto *cell = qobject_cast<RepairDiskTableCellView *>(view);
    if (cell)
        cell->setIsStr(false);
    if (QWidget *superview = ui->parTableView->parentWidget())
        view->resize(superview->width() - 10, view->height());
    if (cell) {
        cell->setIsSelect(selected);
        cell->update();
    }

    for (QWidget *sub : view->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const QString identifier = sub->objectName();
        if (auto *button = qobject_cast<TextImageButton *>(sub)) {
            button->setButtonEnabled(true);
            button->setImageFromFileNormalName(QStringLiteral("btn_rename"), QStringLiteral("btn_rename_press"),
                                               QStringLiteral("btn_rename_hover"),
                                               QStringLiteral("btn_rename_disable"));
            button->setHidden(!selected);
            if (identifier == QLatin1String("save")) {
                button->setTextWithName(QStringLiteral("Save"));
                connect(button, &QAbstractButton::clicked, this, &RepairDiskViewController::saveButtonAction);
                if (!renaming)
                    button->setHidden(true);
            } else if (identifier == QLatin1String("rename")) {
                button->setTextWithName(QStringLiteral("Rename"));
                connect(button, &QAbstractButton::clicked, this, &RepairDiskViewController::renameButtonAction);
                if (renaming)
                    button->setHidden(true);
            } else if (identifier == QLatin1String("format")) {
                button->setTextWithName(QStringLiteral("Format"));
                connect(button, &QAbstractButton::clicked, this, &RepairDiskViewController::formatButtonAction);
                if (renaming || Platform::isStartupMountPoint(volume.volumeMountPoint))
                    button->setHidden(true);
            } else if (identifier == QLatin1String("eject")) {
                button->setTextWithName(QStringLiteral("Eject"));
                connect(button, &QAbstractButton::clicked, this, &RepairDiskViewController::ejectButtonAction);
                if (renaming || !volume.bCanEject)
                    button->setHidden(true);
            }
            continue;
        }
        if (identifier == QLatin1String("editname")) {
            for (QLineEdit *field : sub->findChildren<QLineEdit *>()) {
                field->setText(volume.volumeName);
                connect(field, &QLineEdit::textEdited, this, &RepairDiskViewController::controlTextDidChange);
            }
            sub->setHidden(!renaming);
            continue;
        }
        if (identifier == QLatin1String("pro")) {
            if (auto *pro = qobject_cast<WipeDiskProView *>(sub))
                pro->changeProgressValue(float(usedPercent(volume)));
            sub->setHidden(false);
            continue;
        }
        auto *label = qobject_cast<QLabel *>(sub);
        if (!label)
            continue;
        if (identifier == QLatin1String("name")) {
            Platform::setPlainText(label, volume.volumeName);
            label->setToolTip(Platform::plainToolTip(volume.volumeName));
            label->setHidden(renaming);
        } else if (identifier == QLatin1String("type")) {
            Platform::setPlainText(label, volume.diskType);
            label->setToolTip(Platform::plainToolTip(volume.diskType));
            label->setHidden(false);
        } else if (identifier == QLatin1String("size")) {
            const QString size = QStringLiteral("%1/%2").arg(
                QoPublicUtilities::longlongConvertVolSpace(volume.volumeTotalSizeNum - volume.volumeFreeSizeNum),
                volume.volumeTotalSize);
            Platform::setPlainText(label, size);
            label->setToolTip(Platform::plainToolTip(size));
            label->setHidden(false);
        } else if (identifier == QLatin1String("Tip")) {
            label->setHidden(true);
        } else if (identifier == QLatin1String("select")) {
            setImage(label, selected ? QStringLiteral("diskManagerSelectCell") : QStringLiteral("disk_bg"));
            label->setHidden(false);
        } else {
            setImage(label, iconNameFor(volume));
            label->setHidden(false);
        }
    }
}

// ---- Texts and names

QString RepairDiskViewController::byteToSizeWithByte(quint64 bytes) { return ::byteToSizeWithByte(bytes); }

bool RepairDiskViewController::containsChinese(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0x4E00 && c.unicode() < 0x9FFF; });
}

QString RepairDiskViewController::fat32Name(const QString &typed)
{
    if (containsChinese(typed))
        return kNewName;
    // Upper case first: it can be longer than the typed text ("ß" is "SS"),
    // and the label must still fit.
    QString name = typed.toUpper();
    if (name.size() > kFat32NameLength) {
        int length = kFat32NameLength;
        // Never cut a character that takes two UTF-16 units in half.
        if (name.at(length - 1).isHighSurrogate())
            --length;
        name.truncate(length);
    }
    return name;
}

QString RepairDiskViewController::eraseName(const QString &typed, const QString &type)
{
    QString name = typed.isEmpty() || typed == QLatin1String(" ") ? kNewName : typed;
    if (type == QLatin1String("MS-DOS FAT32"))
        name = fat32Name(name);
    return name;
}

double RepairDiskViewController::usedPercent(const VolumeObj &volume)
{
    // A volume without a size shows an empty bar.
    if (volume.volumeTotalSizeNum <= 0)
        return 0;
    // In floating point: whole percents would round a nearly full volume's
    // free share away.
    const double used = 100.0 - double(volume.volumeFreeSizeNum) * 100.0 / double(volume.volumeTotalSizeNum);
    return std::clamp(used, 0.0, 100.0);
}

bool RepairDiskViewController::isStillTheRecordedVolume(const VolumeObj &volume, bool refuseStartup)
{
    if (volume.diskUUID.isEmpty())
        return false;
    const QString identifier = volume.volRootDir.isEmpty() ? volume.diskUUID : volume.volRootDir;
    const std::optional<QVariantMap> info = getDisjInfo(identifier);
    if (!info)
        return false;
    if (refuseStartup && Platform::isStartupMountPoint(info->value(QStringLiteral("MountPoint")).toString()))
        return false;
    return info->value(QStringLiteral("DiskUUID")).toString() == volume.diskUUID &&
           info->value(QStringLiteral("VolumeName")).toString() == volume.volumeName;
}

// ---- Rename, eject, help

void RepairDiskViewController::controlTextDidChange(const QString &text) { m_editStr = text; }

void RepairDiskViewController::renameButtonAction()
{
    m_editStr = QString();
    m_isRenameEdit = true;
    ui->parTableView->reloadData();
    if (QWidget *view = ui->parTableView->viewAtColumn(0, m_selectIndex))
        if (auto *field = view->findChild<QLineEdit *>()) {
            field->setFocus();
            field->selectAll();
        }
}

void RepairDiskViewController::saveButtonAction()
{
    // The record of the row whose Save was pressed; a scan meanwhile does not change it.
    const VolumeObjPtr volume = m_selectVolume;
    const QString typed = m_editStr;
    std::optional<Result> refused;
    if (!typed.isEmpty() && typed != QLatin1String(" ")) {
        if (!volume) {
            // A scan runs: there is no volume to rename until it ends.
            refused = Result::RenameVolumeChanged;
        } else if (!isStillTheRecordedVolume(*volume, false)) {
            // The startup volume may be renamed like any other; only the
            // record must still be that volume.
            refused = Result::RenameVolumeChanged;
        } else {
            const QString newName =
                volume->diskType.toLower().contains(QLatin1String("fat32")) ? fat32Name(typed) : typed;
            const RunnerResult r =
                aepairExecCommand(ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("rename"), volume->diskUUID})
                                      .quotedArg(newName)
                                      .withBuffer(kRenameLineBuffer));
            // A refused rename keeps the old name on show.
            if (toolSucceeded(r)) {
                volume->volumeName = newName;
            } else {
                Platform::systemLog(
                    QStringLiteral("rename of %1 failed (status %2)").arg(volume->volRootDir).arg(r.exitStatus));
                refused = Result::RenameFailed;
            }
        }
    }
    m_editStr = QString();
    m_isRenameEdit = false;
    ui->parTableView->reloadData();
    if (refused)
        showRenameRefused(*refused);
}

void RepairDiskViewController::showRenameRefused(Result result) { showResultPanel(m_renameEndVC, result); }

void RepairDiskViewController::showResultPanel(QPointer<FormatEndViewController> &panel, Result result)
{
    if (panel)
        panel->closeWindow();
    auto *vc = new FormatEndViewController;
    vc->setResult(result);
    panel = vc;
    MainWindowPanel::show(vc, mainWindow());
}

void RepairDiskViewController::ejectButtonAction()
{
    const VolumeObjPtr volume = m_selectVolume;
    if (!volume || volume->diskUUID.isEmpty())
        return;
    aepairExecCommand(ToolCommand(QStringLiteral("diskutil"), {QStringLiteral("eject"), volume->diskUUID})
                          .withBuffer(kEjectLineBuffer));
    // The row stays until the unmount notification's rescan.
    ui->parTableView->reloadData();
}

void RepairDiskViewController::helpButtonAction()
{
    const QString url = QoLinkUrl::GetUrl(QStringLiteral("SupportTeam"));
    if (!url.isEmpty())
        Platform::Workspace::shared().openURL(url);
}

// ---- Format

QWidget *RepairDiskViewController::mainWindow() { return window(); }

void RepairDiskViewController::formatButtonAction()
{
    if (!m_formatend)
        return;
    // While a scan runs nothing is selected.
    const VolumeObjPtr volume = m_selectVolume;
    if (!volume)
        return;
    m_formatend = false;
    m_formatVolume = volume;
    if (m_makeSureFormatVC)
        m_makeSureFormatVC->closeWindow();
    auto *vc = new MakeSureFormatViewController;
    vc->setDelegate(this);
    m_makeSureFormatVC = vc;
    MainWindowPanel::show(vc, mainWindow());
    vc->setName(volume->volumeName, volume->diskType);
}

void RepairDiskViewController::cancelFormatVoluem()
{
    m_formatend = true;
    m_formatVolume.reset();
}

void RepairDiskViewController::makeSureToFormatSelectVolumeWithName(const QString &name, const QString &withType)
{
    const quint64 run = ++m_formatRun;
    m_formatRunning = true;
    QPointer<RepairDiskViewController> guard(this);
    // A format that ends within the 0.1 s never shows its busy panel.
    Platform::Dispatch::after(0.1, Platform::Dispatch::Queue::Main, [guard, run] {
        if (guard && guard->m_formatRunning && guard->m_formatRun == run)
            guard->showFormatingView();
    });

    // The worker gets its own copy of the record taken when the panel opened.
    const VolumeObj volume = m_formatVolume ? *m_formatVolume : VolumeObj{};
    const bool apfs = volume.diskType.toLower().contains(QLatin1String("apfs"));
    const QString newName = apfs ? name : eraseName(name, withType);
    const QString type = withType;
    Platform::Dispatch::globalAsync([guard, run, volume, apfs, newName, type] {
        const Result result =
            apfs ? reformatRecordedVolume(volume, newName) : eraseRecordedVolume(volume, type, newName);
        Platform::Dispatch::mainAsync([guard, run, result] {
            if (guard)
                guard->formatDidEnd(run, result);
        });
    });
}

void RepairDiskViewController::formatDidEnd(quint64 run, Result result)
{
    if (run != m_formatRun)
        return;
    m_formatRunning = false;
    if (m_formatingVC)
        m_formatingVC->closeWindow();
    // Waits behind a scan that runs now.
    getallVolumes();
    QPointer<RepairDiskViewController> guard(this);
    Platform::Dispatch::after(1.0, Platform::Dispatch::Queue::Main, [guard, result] {
        if (guard)
            guard->showFormatEndWindow(result);
    });
}

void RepairDiskViewController::showFormatingView()
{
    if (m_formatingVC)
        m_formatingVC->closeWindow();
    auto *vc = new FormatingViewController;
    m_formatingVC = vc;
    MainWindowPanel::show(vc, mainWindow());
}

void RepairDiskViewController::showFormatEndWindow(Result result)
{
    showResultPanel(m_formatEndVC, result);
    m_formatend = true;
    m_formatVolume.reset();
}
