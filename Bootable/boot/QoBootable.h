#pragma once
#include "AsrParser.h"
#include "QoBootableDelegate.h"
#include "VolumeObj.h"

#include <QList>
#include <QString>
#include <QVariantMap>
#include <atomic>
#include <optional>

namespace Platform {
class Task;
}

// Makes a bootable copy of the running system on an external whole disk:
// erases the disk with `diskutil eraseDisk`, finds the new volume's mount
// point (remounting the disk once when it is not there), and restores the
// running system onto it with `asr restore`, whose output becomes progress.
// One instance per process. It shows nothing itself: every report goes to the
// delegate, on the main thread.
//
// Step codes of the reports: 0 started, 1 erase stage begins, 2 about to
// erase, 3 erase done / validating the target, 4 validating the source,
// 5 copying begins, 8 the restore tool has ended. Error codes: -8 stopped by
// the user before the restore, -7 the restore did not finish, -4 no mount
// point of the chosen disk's new volume after the erase, -3 the chosen disk
// is no longer there (or no longer the one chosen), before or after the
// erase or during the restore, -2 no target given (returned by QoStart only).
class QoBootable {
public:
    static QoBootable *QoShareInstance();

    // Opens the log file, links the USB control to the engine and clears the
    // run state: a run an earlier caller left unfinished is given up (its
    // restore tool stopped, its reports no longer delivered). Main thread.
    void QoInit();
    // The delegate is not owned; it must be replaced (or cleared) before it goes away.
    void QoSetDelegate(QoBootableDelegate *delegate);
    QoBootableDelegate *QoDelegate() const { return _delegateObj; }

    // Starts a clone onto the whole disk that `volume` describes (volumePath:
    // its BSD name, as the external-only picker gives it) and returns at once:
    // 0 when the run started, -2 for no record, -1 while an earlier run has
    // not ended yet. Main thread.
    int QoStart(const VolumeObjPtr &volume);
    // Stops the running clone: the erase stages end with -8 at their next
    // check (a running erase is ended within about a second), a running
    // restore is terminated and ends with -7. Always 0. Main thread.
    int QoStop();

    // The file system the disk is erased with on a system of version V
    // (major × 100 + minor).
    static QString fileSystemForSystemVersion(int version);
    // The share of the whole run that a step stands for, in percent.
    static int percentForStep(int step);

    // The parts of a run. Reports may be made from any thread; they reach the
    // delegate on the main thread in the order they were made.
    void QoUpdateProgress(int progress, int iErrCode, int iStepCode);
    void changeProTimeWithTag(int tag, int withStep);
    // Launches the restore tool (main thread); 0, or -1 when it did not start.
    int QoCreateBootableSystem(const QString &source, const QString &strTargetVolume);
    // The volume rescan of the remount step (worker thread).
    void getAllVolumes();
    void getVolumeAllObjWithVolumeName(const QString &bsdName);
    std::optional<QVariantMap> getDisjInfo(const QString &bsdName);

    QoBootable(const QoBootable &) = delete;
    QoBootable &operator=(const QoBootable &) = delete;

private:
    QoBootable() = default;

    void eraseSequence(const VolumeObjPtr &target, const QString &volumeName, quint64 run);
    // The mount point (a system path) of the volume named `volumeName` that
    // the erase made on the chosen disk, checked by `diskutil info` of it:
    // 0, -4 when it is not mounted, -3 when the chosen disk has gone.
    int cloneMountPoint(const VolumeObj &target, const QString &volumeName, QString *mountPoint);
    // `diskutil list -plist /dev/<disk>` of the chosen disk (empty: none).
    static QVariantMap chosenDiskList(const VolumeObj &target);
    // The user stopped the run, or it is no longer the current one.
    bool isCancelled(quint64 run) const;
    // Ends the run with a report: nothing further comes of it.
    void finishRun(quint64 run, int iErrCode, int iStepCode);
    // Reports of one run; they reach the delegate only while it is the current run.
    void reportFor(quint64 run, int iErrCode, int iStepCode, int progress = 0);
    void labelFor(quint64 run, const QString &value);
    void QoUpdateProgressImp(int progress, int iErrCode, int iStepCode);
    void changeProLabelValue(const QString &value);
    void QoReceivedData(const QByteArray &chunk);
    // The restore tool's standard error: a failure it reports. When the
    // chosen disk has gone with it, the run shows no further progress and
    // the tool is stopped.
    void QoReceivedError(const QByteArray &chunk);
    void QoTerminated();
    // The chosen disk is no longer there, or another disk has its name (worker thread).
    static bool targetHasGone(const VolumeObj &target);

    Platform::Task *_taskCreate = nullptr; // the running restore tool; main thread only
    std::atomic<bool> _bUserCancel{false};
    // The current run: counted up by every start and by QoInit.
    std::atomic<quint64> m_run{0};
    // From QoStart until the run's last report has been sent.
    std::atomic<bool> m_running{false};
    QList<VolumeObjPtr> allVoumesArr; // the erase sequence's thread only
    QoBootableDelegate *_delegateObj = nullptr;
    AsrParser m_parser; // main thread only
    // The current run's chosen disk, and whether the restore tool has
    // reported it gone; main thread only.
    VolumeObjPtr m_target;
    bool m_targetLost = false;
};
