#pragma once
#include "Controller.h"
#include "DMGMakeSureWC.h"
#include "DMGMakeSureWCDelegate.h"
#include "DiskListWCDelegate.h"
#include "FileNode.h"
#include "GetFilesSize.h"
#include "LComboBoxDelegate.h"
#include "MakeDmgDelegate.h"
#include "SelectAllFileVCDelegate.h"
#include "SelectDiskVCDelegate.h"
#include "SelectValueViewDelegate.h"
#include "VolumeObj.h"

#include "LComboBox.h"
#include "SelectValueView.h"
#include "SetpViewController.h"
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>

class DiskListWC;
class DmgVCDelegate;
class ErrorViewController;
class ITProgressBar;
class MakeDmg;
class NODEAttachedWindow;
class QLabel;
class QPushButton;
class QoHandButton;
class RMAAttachedWindow;
class SelectAllFilePopVC;
class SelectDiskViewController;
class TextImageButton;
class VoPopoverController;

namespace Ui
{
class DmgViewController;
}

// The Disk Image tab ("DmgViewController"). The user picks a source and a
// target volume on two cards, may narrow the source to ticked files (or drop
// files on the source card), chooses a DMG image or a ZIP archive, confirms,
// and the engine writes the image or archive into the target's root folder
// (the console user's Desktop for a "/" target on newer systems). The main
// window creates it once, puts it into its Disk Image container and keeps it
// for the life of the process.
//
// Everything here runs on the main thread; the reports that arrive elsewhere
// (listing ends, size sums, file choices, engine reports) are moved there.
// Every job has a serial: whatever arrives late for a job that has been
// stopped or has ended is dropped.
class DmgViewController : public QWidget,
                          public SelectValueViewDelegate,
                          public SelectDiskVCDelegate,
                          public LComboBoxDelegate,
                          public DiskListWCDelegate,
                          public ControllerDelegate,
                          public GetFilesSizeDelegate,
                          public MakeDmgDelegate,
                          public DMGMakeSureWCDelegate,
                          public SelectAllFileVCDelegate
{
    Q_OBJECT
public:
    explicit DmgViewController(QWidget *parent = nullptr);
    ~DmgViewController() override;

    // Texts.
    static QString stopText();   // "您已停止该进程。"
    static QString failText();   // "操作失败。"
    static QString noFileText(); // "没有文件被选择..."
    static QString sameVolumeText();
    static QString noSpaceText();

    // Not owned.
    DmgVCDelegate *delegate() const { return _delegate; }
    void setDelegate(DmgVCDelegate *delegate) { _delegate = delegate; }

    // State.
    VolumeObjPtr fromeVolume() const { return m_fromeVolume; }
    VolumeObjPtr toVolume() const { return m_toVolume; }
    qint64 usedSize() const { return m_usedSize; }
    qint64 freeSize() const { return m_freeSize; }
    qint64 selectFilesSize() const { return m_selectFilesSize; }
    FileNodeArrayPtr filesArr() const { return m_filesArr; }
    QStringList zipFilesArr() const { return m_zipFilesArr; }
    bool isMakeZip() const { return m_isMakeZip; }
    bool isDragValue() const { return m_isDragValue; }
    bool showErrorW() const { return m_showErrorW; }
    bool isErrorPopWin() const { return m_isErrorPopWin; }
    QString openUrl() const { return m_openUrl; }
    MakeDmg *makeDmg() const { return m_makeDmg.get(); }
    QTimer *aTimer() const { return m_aTimer; }
    ErrorViewController *errorVC() const { return m_errorVC.get(); }
    NODEAttachedWindow *errorPopWin() const { return m_errorPopWin.get(); }
    VoPopoverController *popoverController() const { return m_popoverController.get(); }
    SelectDiskViewController *selectDiskVC() const { return m_selectDiskVC.get(); }
    DMGMakeSureWC *makeSureWC() const { return m_makeSureWC; }
    DiskListWC *diskListWC() const { return m_diskListWC.get(); }
    SelectAllFilePopVC *selectAllFileVC() const { return m_selectAllFileVC.get(); }
    // The step indicators of the selection and the job screen.
    SetpViewController *setpVC() const { return m_setpVC; }
    SetpViewController *setpVC_2() const { return m_setpVC_2; }
    // True from the confirmation until an end view is shown.
    bool isJobRunning() const { return m_jobRunning; }
    // The size of the last image job handed to the engine (−1: none yet).
    qint64 lastImageSize() const { return m_lastImageSize; }

    // Outlets.
    SelectValueView *selectFromVC() const { return m_selectFromVC; }
    SelectValueView *selectToVC() const { return m_selectToVC; }
    LComboBox *lComboBox() const { return m_lComboBox; }
    QWidget *comboBoxView() const;
    QWidget *selectFromView() const;
    QWidget *selectToView() const;
    TextImageButton *cloneButton() const;
    QLabel *topLabel() const;
    QPushButton *makeZipBut() const;
    QPushButton *makeDmgBut() const;
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

    // Rules, as plain functions of their inputs.
    // The folder that receives the image or archive for a target path.
    static QString targetFolder(const QString &volumePath, int systemVersion, const QString &userName);
    // The status line for an engine text.
    static QString statusLineForText(const QString &text);
    // "KestrovaDiskClone(yyyy-MM-dd HH:mm:ss)" for now.
    static QString getCreateName();
    // The checked paths of a tree, depth first.
    static void getZipFilePathArr(const FileNodeList &nodes, QStringList &withZipArr);

    // Actions (the names the interface and the main window use).
    void selectDiskButton(qint32 withID, QObject *sender) override;
    void doSelectDiskWithVolume(const VolumeObjPtr &volume) override;
    void closeDiskValue(qint32 diskFrom) override;
    void changeSelectCopyType() override;
    void changeCloneButtonActon();
    void doShowSearchView() override;
    void showSelectAllVC() override;
    void selectFormatbyType(qint32 type) override;
    void mouseEixtView(bool exited) override;
    void closeMattachedWindow();
    void closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 withSelectSize) override;
    void viewDragAction(const FileNodeArrayPtr &nodes) override;
    void setButtonTitleColor();
    void makeZipButAction();
    void makeDmgButAction();
    void cloneButtonAction();
    void endScanFiles() override;
    void doMakeZip();
    void beginToMakeDMGorZIP() override;
    void doMakeZipWithFileArr();
    void doMakeDMGWithFileArr();
    void allCopyFilesSize(qint64 size) override;
    void cancelMakeZip();
    void cancelButtonAction();
    void beginToCopyDmg() override;
    void copyFileToDmgWithFileName(const QString &fileName, float Withprogress) override;
    void makeDmgFailWithError(qint32 error) override;
    void changePathValue(const QString &text, float withProValue);
    void showErrorWindowWithErrorStr(const QString &text, int andLeftOrRight);
    void closeErrorWindow();
    void showFailView(const QString &text);
    void showFaile(bool failed);
    void setOpenLabel();
    void openPathButtonAction();
    void failCancelButtonAction();
    void succCancelButtonAction();
    void backHomeView();
    void chengeTabCloseNode();
    void canChangeTab(bool can);

private:
    void awakeFromNib();
    void setUpCard(SelectValueView *card, QWidget *container, qint32 diskFrom, const QString &hint);
    void setCardIcon(SelectValueView *card, const QString &name);
    void setRadio(QPushButton *button, bool selected);
    void applyReport(quint64 serial, const QString &line, float value);
    void startImageWithSize(qint64 size);
    QWidget *mainWindow();

    std::unique_ptr<Ui::DmgViewController> ui;
    DmgVCDelegate *_delegate = nullptr;

    quint32 m_openPopType = 0;
    VolumeObjPtr m_fromeVolume;
    VolumeObjPtr m_toVolume;
    qint64 m_usedSize = -1;
    qint64 m_freeSize = -1;
    // Also written by the file browser's report, which comes on a worker.
    std::atomic<qint64> m_selectFilesSize{-1};
    FileNodeArrayPtr m_filesArr;
    QStringList m_zipFilesArr;
    bool m_isDragValue = false;
    bool m_showErrorW = false;
    bool m_isErrorPopWin = false;
    bool m_isPopSortWin = false;
    bool m_isMakeZip = false;
    QString m_openUrl;
    QString m_openLabelText; // the success label's plain words

    std::unique_ptr<MakeDmg> m_makeDmg;
    QPointer<QTimer> m_aTimer;
    std::unique_ptr<Controller> m_controller;
    QPointer<LComboBox> m_lComboBox;
    QPointer<SelectValueView> m_selectFromVC;
    QPointer<SelectValueView> m_selectToVC;
    std::unique_ptr<SelectDiskViewController> m_selectDiskVC;
    std::unique_ptr<VoPopoverController> m_popoverController;
    std::unique_ptr<DiskListWC> m_diskListWC;
    std::unique_ptr<ErrorViewController> m_errorVC;
    std::unique_ptr<NODEAttachedWindow> m_errorPopWin;
    std::unique_ptr<SelectAllFilePopVC> m_selectAllFileVC;
    std::unique_ptr<RMAAttachedWindow> m_sortAttachedWindow;
    QPointer<DMGMakeSureWC> m_makeSureWC;
    QPointer<SetpViewController> m_setpVC;
    QPointer<SetpViewController> m_setpVC_2;

    // The current job; a report, size or timer of an older serial is dropped.
    quint64 m_jobSerial = 0;
    bool m_jobRunning = false;
    bool m_waitingForSize = false;
    bool m_isScanning = false;
    qint64 m_lastImageSize = -1;
};
