#pragma once
#include "DiskListViewDelegate.h"
#include "VolumeObj.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class DiskListVCDelegate;
class DiskListView;
#include "DiskSizeProgress.h"
class QLabel;

namespace Ui {
class DiskListViewController;
}

// One 48-point row of the volume picker ("DiskListViewController"): the
// volume's icon, name, used and total size, file system and a usage bar; the
// pointer highlights it and a click hands its record to the picker.
class DiskListViewController : public QWidget, public DiskListViewDelegate {
    Q_OBJECT
public:
    explicit DiskListViewController(QWidget *parent = nullptr);
    ~DiskListViewController() override;

    VolumeObjPtr volumeObj() const { return m_volumeObj; }
    void setVolumeObj(const VolumeObjPtr &volume) { m_volumeObj = volume; }
    bool isOnlyShowEx() const { return m_isOnlyShowEx; }
    void setIsOnlyShowEx(bool only) { m_isOnlyShowEx = only; }
    DiskListVCDelegate *diskListVCDelegate() const { return m_diskListVCDelegate; }
    void setDiskListVCDelegate(DiskListVCDelegate *delegate) { m_diskListVCDelegate = delegate; }

    // Outlets.
    DiskListView *aView() const;
    QLabel *diskIconImageView() const;
    QLabel *nameLabel() const;
    QLabel *sizeLabel() const;
    QLabel *diskInfoLabel() const;
    // The usage bar once the row has been filled.
    DiskSizeProgress *diskSizeProgress() const { return m_diskSizeProgress; }
    // The name of the icon shown now.
    QString iconName() const { return m_iconName; }

    // Fills the row from its record and adds the usage bar.
    void refreshaView();
    void creatDiskSizeProgress();

    // The icon a record gets: the USB disk for an ejectable device, the
    // system disk for the startup volume, else the plain disk.
    static QString iconNameForVolume(const VolumeObj &volume);
    // The usage bar's value: the used share in whole percent (free share
    // truncated), full when the numbers make no sense (free above the total
    // or below 0), empty for a volume without a size; 0.1 in the external-only
    // layout.
    static float usageValue(const VolumeObj &volume, bool isOnlyShowEx);

    // DiskListViewDelegate
    void doSelectDisk() override;
    void mouseInView() override;
    void mouseOutView() override;

private:
    void setIcon();
    // The name keeps to its label and to the room before the type text, and
    // ends in "…" when it does not fit there.
    void fitName(const QString &name);

    std::unique_ptr<Ui::DiskListViewController> ui;
    VolumeObjPtr m_volumeObj;
    bool m_isOnlyShowEx = false;
    DiskListVCDelegate *m_diskListVCDelegate = nullptr;
    QPointer<DiskSizeProgress> m_diskSizeProgress;
    QString m_iconName;
};
