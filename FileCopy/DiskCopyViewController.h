#pragma once
#include "Controller.h"
#include "CopyMakeSureWC.h"
#include "CopyMakeSureWCDelegate.h"
#include "DiskListWCDelegate.h"
#include "DoCopyFilesDelegate.h"
#include "FileNode.h"
#include "GetFilesSize.h"
#include "LComboBoxDelegate.h"
#include "SelectAllFileVCDelegate.h"
#include "SelectDiskVCDelegate.h"
#include "SelectValueViewDelegate.h"
#include "VolumeObj.h"

#include "FileManager.h"

#include <QPointer>
#include <QWidget>
#include <memory>


class DiskCopyVCDelegate;
class DiskListWC;
class DoCopyFiles;
class ErrorViewController;
class ITProgressBar;
class LComboBox;
class NODEAttachedWindow;
class QLabel;
class QoHandButton;
class RMAAttachedWindow;
class SelectAllFilePopVC;
class SelectDiskViewController;
class SelectValueView;
class SetpViewController;
class TextImageButton;
class VoPopoverController;

namespace Ui
{
class DiskCopyViewController;
}

// The Disk Copy tab ("DiskCopyViewController"). The main window creates it
// once, puts it into its Disk Copy container and keeps it for the life of the
// process. Two screens: the selection screen (source and target cards, the
// copy-mode box, the start button) and the job screen (progress, then the
// success or failure view). A copy goes into a new dated folder
// "KestrovaDiskClone(<date>)" on the target.
class DiskCopyViewController : public QWidget,
                               public SelectValueViewDelegate,
                               public SelectDiskVCDelegate,
                               public LComboBoxDelegate,
                               public DiskListWCDelegate,
                               public DoCopyFilesDelegate,
                               public ControllerDelegate,
                               public CopyMakeSureWCDelegate,
                               public SelectAllFileVCDelegate,
                               public GetFilesSizeDelegate
{
    Q_OBJECT
public:
    explicit DiskCopyViewController(QWidget *parent = nullptr);
    ~DiskCopyViewController() override;

    static QString sameVolumeText();     // "您无法将源盘选为目标盘，请选择其他盘。"
    static QString ntfsText();           // "当前的NTFS磁盘没有访问权限。"
    static QString noSpaceText();        // "目标盘磁盘空间不足，请选择另一个盘。"
    static QString emptySelectionText(); // "没有文件或盘被选择..."
    static QString failedText();         // "有一些文件复制失败！"
    static QString stoppedText();        // "您已停止复制过程。"

    // Not owned.
    DiskCopyVCDelegate *delegate() const { return _delegate; }
    void setDelegate(DiskCopyVCDelegate *delegate) { _delegate = delegate; }

    // State.
    unsigned openPopType() const { return _openPopType; }
    VolumeObjPtr fromeVolume() const { return _fromeVolume; }
    VolumeObjPtr toVolume() const { return _toVolume; }
    qint64 usedSize() const { return _usedSize; }
    qint64 freeSize() const { return _freeSize; }
    qint64 selectFilesSize() const { return _selectFilesSize; }
    FileNodeArrayPtr copyArr() const { return _copyArr; }
    bool isDragValue() const { return _isDragValue; }
    bool showErrorW() const { return _showErrorW; }
    bool isErrorPopWin() const { return _isErrorPopWin; }
    bool isPopSortWin() const { return _isPopSortWin; }
    QString openUrl() const { return _openUrl; }
    std::shared_ptr<DoCopyFiles> doCopy() const { return _doCopy; }
    // The text of the bubble shown now (empty when none is up).
    QString errorBubbleText() const;
    // The confirmation panel's controller while it is shown.
    CopyMakeSureWC *makeSureWC() const { return _makeSureWC; }
    SelectDiskViewController *selectDiskVC() const { return _selectDiskVC.get(); }
    VoPopoverController *popoverController() const { return _popoverController.get(); }
    SelectAllFilePopVC *selectAllFileVC() const { return _selectAllFileVC.get(); }
    DiskListWC *diskListWC() const { return _diskListWC.get(); }

    // Outlets and the parts made at set-up.
    LComboBox *lComboBox() const { return _lComboBox; }
    SelectValueView *selectFromVC() const { return _selectFromVC; }
    SelectValueView *selectToVC() const { return _selectToVC; }
    SetpViewController *setpVC() const { return _setpVC; }
    SetpViewController *setpVC_2() const { return _setpVC_2; }
    QWidget *comboBoxView() const;
    QWidget *selectFromView() const;
    QWidget *selectToView() const;
    TextImageButton *cloneButton() const;
    QLabel *topLabel() const;
    ITProgressBar *rogressView() const;
    QLabel *pathLabel() const;
    TextImageButton *cancelButton() const;
    QWidget *selectDiskView() const;
    QWidget *copyProgressView() const;
    QWidget *progressView() const;
    QWidget *endView() const;
    QWidget *sussView() const;
    QWidget *failView() const;
    TextImageButton *failCancelButton() const;
    TextImageButton *succCancelButton() const;
    QLabel *openLabel() const;
    QoHandButton *openButton() const;
    QLabel *errorLable() const;

    // SelectValueViewDelegate
    void selectDiskButton(qint32 withID, QObject *sender) override;
    void closeDiskValue(qint32 diskFrom) override;
    void viewDragAction(const FileNodeArrayPtr &nodes) override;
    // SelectDiskVCDelegate
    void doSelectDiskWithVolume(const VolumeObjPtr &volume) override;
    // LComboBoxDelegate
    void changeSelectCopyType() override;
    void doShowSearchView() override;
    void showSelectAllVC() override;
    // SelectAllFileVCDelegate
    void mouseEixtView(bool exited) override;
    void selectFormatbyType(qint32 type) override;
    // DiskListWCDelegate (background thread)
    void closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 withSelectSize) override;
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

    void changeCloneButtonActon();
    void closeMattachedWindow();
    void cloneButtonAction();
    void doCopyAction();
    void cancelButtonAction();
    void failCancelButtonAction();
    void succCancelButtonAction();
    void openPathButtonAction();
    void showErrorWindowWithErrorStr(const QString &errorStr, qint32 andLeftOrRight);
    // Closes the error bubble beside a card; nothing when none is up.
    void closeErrorWindow();
    // Closes the page's popover on a tab change; nothing when none is open.
    void chengeTabCloseNode();
    void canChangeTab(bool can);

    // The destination folder of a copy onto `targetPath` started at `date`
    // ("yyyy-MM-dd HH:mm:ss"): "<target>/KestrovaDiskClone(<date>)", at the
    // root of the startup disk when the target is the startup volume.
    static QString destinationFor(const QString &targetPath, const QString &date);
    // The Desktop fallback: the console user's Desktop.
    static QString desktopDestinationFor(const QString &date);
    // Makes the destination of a job from the target's mount folder (or the
    // user's home) down, never through a link, and gives the path to copy
    // into. `opened` receives the made folder, held open; it stays empty when
    // the folder could not be made or a link stands in its way.
    static QString makeDestination(const VolumeObj &target, const QString &date,
                                   std::shared_ptr<Platform::OpenFolder> *opened = nullptr);

private:
    void awakeFromNib();
    void setUpCard(SelectValueView *card, qint32 diskFrom, const QString &hint);
    void resetCard(SelectValueView *card, const QString &hint);
    void showSourceVolumeOnCard();
    void refuseTarget(const QString &message);
    void showFailView(const QString &text);
    void showFaile(bool failed);
    void setOpenLabel();
    void backHomeView();
    void dropPartialSelection();
    static QString iconNameFor(const VolumeObj &volume);
    QWidget *mainWindow() const;

    std::unique_ptr<Ui::DiskCopyViewController> ui;
    DiskCopyVCDelegate *_delegate = nullptr;

    unsigned _openPopType = 0;
    VolumeObjPtr _fromeVolume;
    VolumeObjPtr _toVolume;
    qint64 _usedSize = -1;
    qint64 _freeSize = -1;
    qint64 _selectFilesSize = -1;
    FileNodeArrayPtr _copyArr;
    bool _isDragValue = false;
    bool _showErrorW = false;
    bool _isErrorPopWin = false;
    bool _isPopSortWin = false;
    QString _openUrl;
    std::shared_ptr<DoCopyFiles> _doCopy;
    std::unique_ptr<Controller> _controller;
    std::shared_ptr<GetFilesSize> _dropSizer;
    std::unique_ptr<GetFilesSizeDelegate> _dropReceiver; // the running drop sum's receiver
    quint64 _dropSum = 0;                                  // number of the latest drop sum

    LComboBox *_lComboBox = nullptr;
    SelectValueView *_selectFromVC = nullptr;
    SelectValueView *_selectToVC = nullptr;
    SetpViewController *_setpVC = nullptr;
    SetpViewController *_setpVC_2 = nullptr;
    std::unique_ptr<SelectDiskViewController> _selectDiskVC;
    std::unique_ptr<VoPopoverController> _popoverController;
    std::unique_ptr<DiskListWC> _diskListWC;
    std::unique_ptr<ErrorViewController> _errorVC;
    std::unique_ptr<NODEAttachedWindow> _errorPopWin;
    std::unique_ptr<SelectAllFilePopVC> _selectAllFileVC;
    std::unique_ptr<RMAAttachedWindow> _sortAttachedWindow;
    QPointer<CopyMakeSureWC> _makeSureWC;
};
