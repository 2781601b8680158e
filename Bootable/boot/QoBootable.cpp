#include "QoBootable.h"

#include "QoCloneTargetCheck.h"
#include "QoCloneVolume.h"
#include "QoUSBControl.h"

#include "QoLog.h"
#include "QoPublicUtilities.h"
#include "QoTask.h"
#include "ShellRunners.h"
#include "VolumeObjBuilders.h"

#include "Platform/DiskArbitration.h"
#include "Platform/Dispatch.h"
#include "Platform/FileManager.h"
#include "Platform/SystemLog.h"
#include "Platform/SystemRoot.h"
#include "Platform/Task.h"

#include <algorithm>

namespace {

// The erase gets ten minutes before QoTask gives up on it.
constexpr double kEraseTimeout = 600.0;
// The indexing service holds a disk it is indexing; it is stopped before the
// erase, and waited for no longer than this.
constexpr int kKillallWaitMs = 10000;
constexpr int kDiskutilLineBuffer = 64;

const QString kVolumes = QStringLiteral("/Volumes/");

ToolCommand diskutil(const QStringList &arguments)
{
    return ToolCommand(QStringLiteral("diskutil"), arguments).withBuffer(kDiskutilLineBuffer);
}

void stopIndexing()
{
    Platform::Task killall;
    killall.setLaunchPath(Platform::toolPath(QStringLiteral("/usr/bin/killall")));
    killall.setArguments({QStringLiteral("mds_stores")});
    // "No process found" is the usual answer; it is nobody's business.
    killall.setStandardOutputPipe(true);
    killall.setMergeStandardError(true);
    if (killall.launch())
        killall.waitUntilExit(kKillallWaitMs);
}

} // namespace

QoBootable *QoBootable::QoShareInstance()
{
    static QoBootable *instance = new QoBootable;
    return instance;
}

void QoBootable::QoInit()
{
    QoInitLog();
    QoUSBControl::QoShareInstance()->QoSetDelegateObj(this);

    // The engine starts afresh: a run that an earlier page left behind is
    // given up. Its erase stage stops at its next check (the run is no longer
    // the current one), its restore tool is stopped and forgotten, and none
    // of its reports reach the delegate that is set now.
    ++m_run;
    if (Platform::Task *task = _taskCreate) {
        _taskCreate = nullptr;
        QObject::connect(task, &Platform::Task::terminated, task, &QObject::deleteLater);
        task->terminate();
        // Nothing of that run is left to end it.
        m_running = false;
    }
    _bUserCancel = false;
    m_parser.reset();
}

void QoBootable::QoSetDelegate(QoBootableDelegate *delegate) { _delegateObj = delegate; }

QString QoBootable::fileSystemForSystemVersion(int version)
{
    if (version < 1013)
        return QStringLiteral("HFS+");
    if (version < 1015)
        return QStringLiteral("APFS");
    if (version < 1300)
        return QStringLiteral("JHFS+");
    return QStringLiteral("APFS");
}

int QoBootable::percentForStep(int step)
{
    if (step == 8)
        return 100;
    return std::min(100, int(step * 0.125 * 100));
}

int QoBootable::QoStart(const VolumeObjPtr &volume)
{
    if (!volume)
        return -2;
    // One run at a time: a stopped run may still be ending its erase, and
    // its stop must stay in force until it has.
    if (m_running.exchange(true))
        return -1;
    _bUserCancel = false;
    const quint64 run = ++m_run;
    QoUSBControl *usb = QoUSBControl::QoShareInstance();
    usb->HlbCreateVolumeName();
    const QString name = usb->QoGetMorvexVolumeName();
    const VolumeObjPtr target = volume;
    m_target = target;
    Platform::Dispatch::globalAsync([this, target, name, run] { eraseSequence(target, name, run); });
    return 0;
}

int QoBootable::QoStop()
{
    _bUserCancel = true;
    QoTask::QoShareInstance()->QoStopTask();
    if (_taskCreate)
        _taskCreate->terminate();
    return 0;
}

bool QoBootable::isCancelled(quint64 run) const { return _bUserCancel || run != m_run; }

void QoBootable::eraseSequence(const VolumeObjPtr &target, const QString &volumeName, quint64 run)
{
    labelFor(run, QStringLiteral("正在验证目标..."));
    reportFor(run, 0, 0);
    reportFor(run, 0, 1);
    if (isCancelled(run))
        return finishRun(run, -8, 1);

    stopIndexing();
    reportFor(run, 0, 2);
    const QString fileSystem = fileSystemForSystemVersion(QoPublicUtilities::getSystemVersion());

    // The disk may have been pulled out since it was chosen, and another one
    // may carry its BSD name now: erase nothing that is not the chosen disk.
    if (!QoCloneTargetCheck::mayErase(*target))
        return finishRun(run, -3, 2);
    if (isCancelled(run))
        return finishRun(run, -8, 2);

    QoTask *task = QoTask::QoShareInstance();
    task->QoSetLaunchPath(Platform::toolPath(QStringLiteral("/usr/sbin/diskutil")));
    task->QoSetArguments({QStringLiteral("eraseDisk"), fileSystem, volumeName, target->volumePath});
    task->QoSetTimeoutCount(kEraseTimeout);
    // The engine's own flag goes with the run, so a stop that comes while the
    // erase is being started is not lost.
    task->QoStartTask([this, run] { return isCancelled(run); });

    // The new volume is looked for on the chosen disk: the folder of its name
    // may be another disk's volume that took the name during the erase.
    QString mountPoint;
    int error = cloneMountPoint(*target, volumeName, &mountPoint);
    if (error == -4) {
        // Not mounted: the rescan finds the identifier of the chosen disk's
        // volume of that name (if it is still listed), and the disk is
        // unmounted and mounted again.
        allVoumesArr.clear();
        getAllVolumes();
        QString identifier = target->volumePath;
        const QVariantMap list = chosenDiskList(*target);
        const QString device =
            QoCloneVolume::deviceIn(list, QoCloneVolume::disksOf(target->volumePath, list), volumeName);
        for (const VolumeObjPtr &v : std::as_const(allVoumesArr))
            if (v->volumeName == volumeName && v->volumePath == device)
                identifier = v->volumePath;
        eraserDiskCommand(diskutil({QStringLiteral("unmountDisk"), QStringLiteral("/dev/") + identifier}));
        eraserDiskCommand(diskutil({QStringLiteral("mountDisk"), QStringLiteral("/dev/") + identifier}));
        error = cloneMountPoint(*target, volumeName, &mountPoint);
    }

    if (isCancelled(run))
        return finishRun(run, -8, 2);
    if (error != 0)
        return finishRun(run, error, 3);
    reportFor(run, 0, 3);
    Platform::Dispatch::mainAsync([this, mountPoint, run] {
        // Given up by QoInit on the way here.
        if (run != m_run)
            return finishRun(run, -7, 8);
        QoCreateBootableSystem(QStringLiteral("/"), mountPoint);
    });
}

QVariantMap QoBootable::chosenDiskList(const VolumeObj &target)
{
    return AexecCommand(diskutil({QStringLiteral("list"), QStringLiteral("-plist"),
                                  QStringLiteral("/dev/") + target.volumePath}))
        .dictionary()
        .value_or(QVariantMap());
}

int QoBootable::cloneMountPoint(const VolumeObj &target, const QString &volumeName, QString *mountPoint)
{
    mountPoint->clear();
    const std::optional<QVariantMap> disk = getDisjInfo(QStringLiteral("/dev/") + target.volumePath);
    if (!disk || !QoCloneTargetCheck::isChosenDisk(target, *disk)) {
        Platform::systemLog(QStringLiteral("clone target %1 has gone").arg(target.volumePath));
        return -3;
    }
    const QVariantMap list = chosenDiskList(target);
    const QStringList disks = QoCloneVolume::disksOf(target.volumePath, list);
    if (disks.isEmpty())
        return -3;
    // Where the name says, when diskutil agrees; else where the chosen disk's
    // listing has its volume of that name.
    QStringList candidates;
    if (QoCheckFolderExist(kVolumes + volumeName))
        candidates.append(kVolumes + volumeName);
    const QString listed = QoCloneVolume::mountPointIn(list, disks, volumeName);
    if (!listed.isEmpty() && !candidates.contains(listed))
        candidates.append(listed);
    for (const QString &candidate : std::as_const(candidates)) {
        const std::optional<QVariantMap> info = getDisjInfo(candidate);
        if (info && QoCloneVolume::describes(*info, candidate, disks, volumeName)) {
            *mountPoint = candidate;
            return 0;
        }
        Platform::systemLog(QStringLiteral("%1 is not the volume of clone target %2").arg(candidate, target.volumePath));
    }
    return -4;
}

void QoBootable::finishRun(quint64 run, int iErrCode, int iStepCode)
{
    m_running = false;
    reportFor(run, iErrCode, iStepCode);
}

void QoBootable::getAllVolumes()
{
    bool ok = false;
    const QStringList names =
        Platform::FileManager::defaultManager().contentsOfDirectory(Platform::rootPath(kVolumes), &ok);
    const Platform::DiskArbitration::Session session;
    for (const QString &name : names) {
        if (name == QLatin1String("(null)") || name == QLatin1String(".DS_Store"))
            continue;
        const std::optional<Platform::DiskArbitration::Disk> disk = session.diskForVolumePath(kVolumes + name);
        if (!disk)
            continue;
        const QString bsdName = disk->bsdName();
        if (bsdName.isEmpty() || bsdName == QLatin1String(" "))
            continue;
        getVolumeAllObjWithVolumeName(bsdName);
    }
}

void QoBootable::getVolumeAllObjWithVolumeName(const QString &bsdName)
{
    const std::optional<QVariantMap> info = getDisjInfo(bsdName);
    if (!info)
        return;
    if (VolumeObjPtr v = VolumeObjFromCloneRescan(*info))
        allVoumesArr.append(v);
}

std::optional<QVariantMap> QoBootable::getDisjInfo(const QString &bsdName)
{
    return AexecCommand(diskutil({QStringLiteral("info"), QStringLiteral("-plist"), bsdName})).dictionary();
}

void QoBootable::QoUpdateProgress(int progress, int iErrCode, int iStepCode)
{
    reportFor(m_run, iErrCode, iStepCode, progress);
}

void QoBootable::reportFor(quint64 run, int iErrCode, int iStepCode, int progress)
{
    Platform::Dispatch::mainAsync([this, progress, iErrCode, iStepCode, run] {
        if (run == m_run)
            QoUpdateProgressImp(progress, iErrCode, iStepCode);
    });
}

void QoBootable::QoUpdateProgressImp(int progress, int iErrCode, int iStepCode)
{
    _tagBootableProgress record;
    record.iErrCode = iErrCode;
    record.iStepCode = iStepCode;
    record.iPercent = progress + percentForStep(iStepCode);
    if (_delegateObj && _delegateObj->respondsTo(QoBootableDelegate::MethodQoUINotify))
        _delegateObj->QoUINotify(&record);
}

void QoBootable::changeProTimeWithTag(int tag, int withStep)
{
    const quint64 run = m_run;
    Platform::Dispatch::mainAsync([this, tag, withStep, run] {
        if (run == m_run && _delegateObj && _delegateObj->respondsTo(QoBootableDelegate::MethodChangeProTimeWithTag))
            _delegateObj->changeProTimeWithTag(tag, withStep);
    });
}

void QoBootable::changeProLabelValue(const QString &value) { labelFor(m_run, value); }

void QoBootable::labelFor(quint64 run, const QString &value)
{
    Platform::Dispatch::mainAsync([this, value, run] {
        if (run == m_run && _delegateObj && _delegateObj->respondsTo(QoBootableDelegate::MethodChangeProLabelValue))
            _delegateObj->changeProLabelValue(value);
    });
}

int QoBootable::QoCreateBootableSystem(const QString &source, const QString &strTargetVolume)
{
    changeProLabelValue(QStringLiteral(""));
    m_parser.reset();
    m_targetLost = false;
    const quint64 run = m_run;
    // A stop that came after the erase stage's last check.
    if (_bUserCancel) {
        finishRun(run, -7, 8);
        return -1;
    }

    auto *task = new Platform::Task;
    task->setLaunchPath(Platform::toolPath(QStringLiteral("/usr/sbin/asr")));
    // No option keeps the tool from asking before it erases: the parser answers.
    task->setArguments({QStringLiteral("restore"), QStringLiteral("--source"), source, QStringLiteral("--target"),
                        strTargetVolume, QStringLiteral("--erase")});
    task->setStandardInputPipe(true);
    task->setStandardOutputPipe(true);
    task->setStandardErrorPipe(true);
    QObject::connect(task, &Platform::Task::dataAvailable, task, [this, task](const QByteArray &chunk) {
        if (task == _taskCreate)
            QoReceivedData(chunk);
    });
    QObject::connect(task, &Platform::Task::errorDataAvailable, task, [this, task](const QByteArray &chunk) {
        if (task == _taskCreate)
            QoReceivedError(chunk);
    });
    QObject::connect(task, &Platform::Task::terminated, task, [this, task] {
        if (task == _taskCreate)
            QoTerminated();
    });
    _taskCreate = task;
    if (!task->launch()) {
        Platform::systemLog(QStringLiteral("cannot start %1").arg(task->launchPath()));
        _taskCreate = nullptr;
        task->deleteLater();
        QoLog("task terminated");
        finishRun(run, -7, 8);
        return -1;
    }
    return 0;
}

void QoBootable::QoReceivedData(const QByteArray &chunk)
{
    // The target has gone: what the tool still prints is no progress.
    if (m_targetLost) {
        if (!chunk.isEmpty())
            Platform::systemLog(QString::fromUtf8(chunk));
        return;
    }
    const QList<AsrParser::Report> reports = m_parser.parse(chunk);
    for (const AsrParser::Report &r : reports) {
        switch (r.kind) {
        case AsrParser::Report::Kind::Answer:
            _taskCreate->writeInput(QByteArrayLiteral("y"));
            _taskCreate->closeInput();
            return;
        case AsrParser::Report::Kind::Step:
            QoUpdateProgress(0, 0, r.value);
            break;
        case AsrParser::Report::Kind::Label:
            changeProLabelValue(r.text);
            break;
        case AsrParser::Report::Kind::Tag:
            changeProTimeWithTag(r.value, r.phase);
            break;
        }
    }
    if (!chunk.isEmpty())
        Platform::systemLog(QString::fromUtf8(chunk));
}

void QoBootable::QoReceivedError(const QByteArray &chunk)
{
    Platform::systemLog(QString::fromUtf8(chunk));
    if (m_targetLost || !m_target)
        return;
    const quint64 run = m_run;
    const VolumeObjPtr target = m_target;
    Platform::Dispatch::globalAsync([this, run, target] {
        if (!targetHasGone(*target))
            return;
        Platform::Dispatch::mainAsync([this, run] {
            if (run != m_run || !_taskCreate || m_targetLost)
                return;
            m_targetLost = true;
            _taskCreate->terminate();
        });
    });
}

bool QoBootable::targetHasGone(const VolumeObj &target)
{
    const std::optional<QVariantMap> info =
        AexecCommand(diskutil({QStringLiteral("info"), QStringLiteral("-plist"), QStringLiteral("/dev/") + target.volumePath}))
            .dictionary();
    return !info || !QoCloneTargetCheck::isChosenDisk(target, *info);
}

void QoBootable::QoTerminated()
{
    Platform::Task *task = _taskCreate;
    _taskCreate = nullptr;
    // Finished means both completion marks, a clean exit and no stop: a tool
    // that failed after printing them, or was stopped, has not made a clone.
    const bool cancelled = _bUserCancel;
    const bool finished = !m_targetLost && m_parser.sawBothCompletions() && task->exitedNormally() &&
                          task->terminationStatus() == 0 && !cancelled;
    const bool lost = m_targetLost;
    const VolumeObjPtr target = m_target;
    task->deleteLater();
    const quint64 run = m_run;
    Platform::Dispatch::globalAsync([this, cancelled, finished, lost, target, run] {
        QoLog("task terminated");
        if (cancelled)
            QoLog("User cancel");
        // A restore that failed because its disk went away says so.
        int code = finished ? 0 : -7;
        if (!finished && !cancelled && (lost || (target && targetHasGone(*target))))
            code = -3;
        finishRun(run, code, 8);
    });
}
