#pragma once
#include "DiskListVCDelegate.h"
#include "DiskListViewController.h"
#include "VolumeObj.h"

#include <QList>
#include <QPointF>
#include <QPointer>
#include <QProgressBar>
#include <QRectF>
#include <QScrollArea>
#include <QVariantMap>
#include <QWidget>
#include <memory>
#include <optional>

class SelectDiskVCDelegate;

namespace Ui {
class SelectDiskViewController;
}

// The volume picker shown in a card's popover ("SelectDiskViewController").
// When it is first shown (or awakeFromNib is called) it discovers the volumes
// on the global queue: the mounted volumes under /Volumes, or in the
// external-only mode the whole USB disks. It then lists them under the
// headings "内部盘" and "外接盘" in 48-point rows and hands the record of the
// row the user clicks to its delegate. Set the mode before it is shown.
class SelectDiskViewController : public QWidget, public DiskListVCDelegate {
    Q_OBJECT
public:
    explicit SelectDiskViewController(QWidget *parent = nullptr);
    ~SelectDiskViewController() override;

    static QString internalHeading(); // "内部盘"
    static QString externalHeading(); // "外接盘"

    SelectDiskVCDelegate *selectDiskVCDelegate() const { return m_selectDiskVCDelegate; }
    void setSelectDiskVCDelegate(SelectDiskVCDelegate *delegate) { m_selectDiskVCDelegate = delegate; }
    bool isOnlyShowEx() const { return m_isOnlyShowEx; }
    void setIsOnlyShowEx(bool only) { m_isOnlyShowEx = only; }

    const QList<VolumeObjPtr> &allVolumeArr() const { return m_allVolumeArr; }
    // Outlets.
    QProgressBar *loadP() const;
    QScrollArea *listScrollView() const;
    QWidget *diskListClipView() const;
    QWidget *documentView() const;
    DiskListViewController *diskListVC() const { return m_diskListVC; }
    // The list has been built (the spinner is gone).
    bool isListShown() const { return m_isListShown; }

    // Starts discovery once; later calls do nothing.
    void awakeFromNib();
    // Builds the list from allVolumeArr (main thread).
    void showView();

    // Where everything of the list goes, in the document view's bottom-left
    // coordinates.
    struct ListLayout {
        double height = 0;
        std::optional<QRectF> internalHeading;
        std::optional<QRectF> externalHeading;
        QList<QPointF> internalRows;
        QList<QPointF> externalRows;
    };
    static constexpr double documentWidth = 392;
    static ListLayout layoutFor(int internalCount, int externalCount, bool isOnlyShowEx);

    // Discovery, run on the global queue: each fills the list it is given.
    static void doGetAllVolume_(QList<VolumeObjPtr> &allVolumeArr);
    static void getVolumeAllObjWithVolumeName(QList<VolumeObjPtr> &allVolumeArr, const QString &bsdName);
    static bool isHTFSVolumes(const QString &bsdName);
    static std::optional<QVariantMap> getDisjInfo(const QString &bsdName);
    static void QoGetUSBThreadImp(QList<VolumeObjPtr> &allVolumeArr);
    static void QoAddDiskToUSBObj(QList<VolumeObjPtr> &allVolumeArr, const QString &bsdName);
    static std::optional<QVariantMap> QoGetDiskInfo(const QString &bsdName);
    // The external-only listing's acceptance of a whole disk: a USB disk that
    // is no RAID set, no encrypted Core Storage volume, no HFSX content and no
    // virtual device gives its record; anything else nothing.
    static VolumeObjPtr externalDiskFromInfo(const QVariantMap &info);

    // DiskListVCDelegate
    void doSelectDiskWithVolume(const VolumeObjPtr &volume) override;
    // Gives the hover to the row under the pointer (after the list scrolled).
    void followPointer();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::SelectDiskViewController> ui;
    QList<VolumeObjPtr> m_allVolumeArr;
    bool m_isOnlyShowEx = false;
    bool m_isStarted = false;
    bool m_isListShown = false;
    SelectDiskVCDelegate *m_selectDiskVCDelegate = nullptr;
    QPointer<DiskListViewController> m_diskListVC;
};
