#pragma once
#include <QMutex>
#include <QString>

class QoBootable;

// Chooses the name the erased clone disk's new volume gets: "NewCloneSystem",
// or the first of "NewCloneSystem1", "NewCloneSystem2", … that no folder in
// /Volumes holds yet, so the engine can tell its own new volume by its mount
// point. One instance per process; the clone engine is its delegate.
class QoUSBControl
{
public:
    static QoUSBControl *QoShareInstance();

    // The clone engine, not owned.
    void QoSetDelegateObj(QoBootable *delegate);
    QoBootable *QoDelegateObj() const;

    // Chooses the name for the next clone and keeps it until the next choice.
    void HlbCreateVolumeName();
    // The name chosen last; empty before the first choice.
    QString QoGetMorvexVolumeName() const;
    // "/Volumes/<name>": where the erased volume is expected to be mounted.
    QString QoGetMorvexVolumePath() const;

    QoUSBControl(const QoUSBControl &) = delete;
    QoUSBControl &operator=(const QoUSBControl &) = delete;

private:
    QoUSBControl();

    mutable QMutex m_mutex;
    QString _strMorvexVolumeName;
    QoBootable *_delegateObj = nullptr;
};
