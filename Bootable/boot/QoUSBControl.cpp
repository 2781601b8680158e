#include "QoUSBControl.h"

#include "ShellRunners.h"

#include <QMutexLocker>

namespace
{
const QString kBaseName = QStringLiteral("NewCloneSystem");
const QString kVolumes = QStringLiteral("/Volumes");
} // namespace

QoUSBControl::QoUSBControl()
{
    _strMorvexVolumeName.reserve(8);
}

QoUSBControl *QoUSBControl::QoShareInstance()
{
    static QoUSBControl *instance = new QoUSBControl;
    return instance;
}

void QoUSBControl::QoSetDelegateObj(QoBootable *delegate)
{
    QMutexLocker lock(&m_mutex);
    _delegateObj = delegate;
}

QoBootable *QoUSBControl::QoDelegateObj() const
{
    QMutexLocker lock(&m_mutex);
    return _delegateObj;
}

void QoUSBControl::HlbCreateVolumeName()
{
    // Only a folder takes a name: a plain file of that name is no mount point.
    QString name = kBaseName;
    for (int n = 1; QoCheckFolderExist(kVolumes + QLatin1Char('/') + name); ++n)
        name = kBaseName + QString::number(n);
    QMutexLocker lock(&m_mutex);
    _strMorvexVolumeName = name;
}

QString QoUSBControl::QoGetMorvexVolumeName() const
{
    QMutexLocker lock(&m_mutex);
    return _strMorvexVolumeName;
}

QString QoUSBControl::QoGetMorvexVolumePath() const
{
    return kVolumes + QLatin1Char('/') + QoGetMorvexVolumeName();
}
