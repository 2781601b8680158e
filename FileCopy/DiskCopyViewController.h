#pragma once
#include "CopyMakeSureWC.h"
#include "CopyMakeSureWCDelegate.h"
#include "DiskCopyVCDelegate.h"
#include "DoCopyFilesDelegate.h"
#include "GetFilesSize.h"
#include "SourceTargetPage.h"

#include "FileManager.h"

#include <memory>

class DoCopyFiles;

namespace Ui {
class DiskCopyViewController;
}

// The Disk Copy tab ("DiskCopyViewController"). The main window creates it
// once, puts it into its Disk Copy container and keeps it for the life of the
// process. Two screens: the selection screen (source and target cards, the
// copy-mode box, the start button) and the job screen (progress, then the
// success or failure view). A copy goes into a new dated folder
// "KestrovaDiskClone(<date>)" on the target.
class DiskCopyViewController : public SourceTargetPage,
                               public PageDelegateHolder<DiskCopyVCDelegate>,
                               public DoCopyFilesDelegate,
                               public CopyMakeSureWCDelegate,
                               public GetFilesSizeDelegate {
    Q_OBJECT
public:
    explicit DiskCopyViewController(QWidget *parent = nullptr);
    ~DiskCopyViewController() override;

    // The selection: the ticked tree or the drop; none until the source is listed.
    FileNodeArrayPtr copyArr() const { return _selection; }
    std::shared_ptr<DoCopyFiles> doCopy() const { return _doCopy; }
    // The confirmation panel's controller while it is shown.
    CopyMakeSureWC *makeSureWC() const { return qobject_cast<CopyMakeSureWC *>(confirmation()); }

    static QString ntfsText() { return QStringLiteral("当前的NTFS磁盘没有访问权限。"); }
    static QString emptySelectionText() { return QStringLiteral("没有文件或盘被选择..."); }
    static QString failedText() { return QStringLiteral("有一些文件复制失败！"); }
    static QString stoppedText() { return QStringLiteral("您已停止复制过程。"); }

    // SelectValueViewDelegate
    void viewDragAction(const FileNodeArrayPtr &nodes) override;
    // ControllerDelegate (background thread)
    void copyFileScanFiles() override;
    // CopyMakeSureWCDelegate
    void beginToCopyFiles() override;
    // DoCopyFilesDelegate (main thread)
    void topCopyFilePath(const QString &path) override;
    void topCopyProgress(float progress) override;
    void copyFileError() override;
    // GetFilesSizeDelegate (background thread): the size of dropped files.
    void allCopyFilesSize(qint64 size) override;

    void cloneButtonAction() override;
    void doCopyAction();
    void cancelButtonAction() override;
    void canChangeTab(bool can) override { tellDelegate(can); }

    // The destination folder of a copy onto `targetPath` started at `date`
    // ("yyyy-MM-dd HH:mm:ss"): "<target>/KestrovaDiskClone(<date>)", at the
    // root of the startup disk when the target is the startup volume.
    static QString destinationFor(const QString &targetPath, const QString &date);
    // The Desktop fallback: the console user's Desktop.
    static QString desktopDestinationFor(const QString &date);
    // Makes the destination of a job from the target's mount folder (or the
    // user's home) down, never through a link, and gives the path to copy
    // into. `opened` receives the made folder, held open; it stays empty when
    // the folder could not be made or a link stands in its way. It asks the
    // disks whether the target is still mounted: a worker's call.
    static QString makeDestination(const VolumeObj &target, const QString &date,
                                   std::shared_ptr<Platform::OpenFolder> *opened = nullptr);

private:
    void awakeFromNib();
    void confirmSelection() override;
    void refuseEmptySelection() override;
    std::function<QString()> targetRefusalLookup(const VolumeObj &volume) const override;
    void forgetDropSum() override;
    bool selectionSizePending() const override { return _dropSizer != nullptr; }

    std::unique_ptr<Ui::DiskCopyViewController> ui;

    std::shared_ptr<DoCopyFiles> _doCopy;
    std::shared_ptr<GetFilesSize> _dropSizer;
    std::unique_ptr<GetFilesSizeDelegate> _dropReceiver; // the running drop sum's receiver
    quint64 _dropSum = 0;                                // number of the latest drop sum
};
