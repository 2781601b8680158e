#pragma once
#include "MakeSureCancelCloneSystemVCDelegate.h"
#include "MakeSureToCloneSystemVCDelegate.h"
#include "QoBootableDelegate.h"
#include "SelectDiskVCDelegate.h"
#include "SelectValueViewDelegate.h"
#include "VolumeObj.h"

#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class ErrorViewController;
class ErrorWindowController;
class FullDiskAccessViewController;
class ITProgressBar;
class MakeSureCancelCloneSystemVC;
class MakeSureToCloneSystemVC;
class NODEAttachedWindow;
class QLabel;
class SelectDiskViewController;
class SelectDrivceViewControllerDelegate;
class SelectValueView;
class SetpFViewController;
class TextImageButton;
class VoPopoverController;

namespace Ui {
class SelectDrivceViewController;
}

// The OS Clone tab. The main window creates it once, puts it into its OS
// Clone container and keeps it for the life of the process.
//
// The running system is the fixed source; the user picks an external whole
// disk as the target, which must hold at least what the system uses. After
// the confirmation (and, from 13.0 on, the Full Disk Access check) the page
// runs the clone engine, shows its reports on the progress screen, copies the
// Preboot cryptexes onto the clone where the system needs them, and ends on a
// success or failure view. While a clone runs, tab switching is locked
// through the delegate.
//
// Everything here runs on the main thread; the used-size measurement and the
// Preboot copy run on the global queue and come back to the main queue for
// every view change.
class SelectDrivceViewController : public QWidget,
                                   public SelectValueViewDelegate,
                                   public SelectDiskVCDelegate,
                                   public QoBootableDelegate,
                                   public MakeSureToCloneSystemVCDelegate,
                                   public MakeSureCancelCloneSystemVCDelegate {
    Q_OBJECT
public:
    explicit SelectDrivceViewController(QWidget *parent = nullptr);
    ~SelectDrivceViewController() override;

    // Not owned.
    SelectDrivceViewControllerDelegate *delegate() const { return _delegate; }
    void setDelegate(SelectDrivceViewControllerDelegate *delegate) { _delegate = delegate; }

    // Page state.
    SelectValueView *selectFromVC() const { return m_selectFromVC; }
    SelectValueView *selectToVC() const { return m_selectToVC; }
    // Bytes in use on the running system; -1 until measured.
    qint64 usedSize() const { return m_usedSize; }
    // Capacity of the chosen target disk; -1 while none is chosen.
    qint64 freeSize() const { return m_freeSize; }
    VolumeObjPtr toVolume() const { return m_toVolume; }
    unsigned openPopType() const { return m_openPopType; }
    SelectDiskViewController *selectDiskVC() const { return m_selectDiskVC.get(); }
    VoPopoverController *popoverController() const { return m_popoverController.get(); }
    ErrorViewController *errorVC() const { return m_errorVC.get(); }
    NODEAttachedWindow *errorPopWin() const { return m_errorPopWin.get(); }
    bool isErrorPopWin() const { return m_isErrorPopWin; }
    bool showErrorW() const { return m_showErrorW; }
    bool isUserCancel() const { return m_isUserCancel; }
    SetpFViewController *stepFVC() const { return m_stepFVC; }
    SetpFViewController *stepVC() const { return m_stepVC; }
    // The last value given to the progress bar, in percent.
    double progressValue() const { return m_progressValue; }
    // The picture name of the current stage ("erase", "copy"; empty before).
    QString animImageName() const { return m_animImageName; }

    // The panels and the window the page has open now (null when none).
    MakeSureToCloneSystemVC *makeSureToCloneVC() const;
    MakeSureCancelCloneSystemVC *makeSureCancelVC() const;
    ErrorWindowController *errorWindowVC() const;
    FullDiskAccessViewController *fullDiskAccessWC() const;

    // Outlets.
    TextImageButton *cloneButton() const;
    TextImageButton *cancelButton() const;
    TextImageButton *failCancelButton() const;
    TextImageButton *succCancelButton() const;
    TextImageButton *checkFullButton() const;
    TextImageButton *nextButton() const;
    ITProgressBar *iProgreeBar() const;
    QLabel *pathLabel() const;
    QLabel *errorLable() const;
    QLabel *animImageView() const;
    QLabel *topNodeLabel() const;
    QLabel *buildNodeLabel() const;
    QWidget *stepView() const;
    QWidget *setp_2() const;
    QWidget *selectDiskView() const;
    QWidget *copyProgressView() const;
    QWidget *progressView() const;
    QWidget *endView() const;
    QWidget *sussView() const;
    QWidget *failView() const;
    QWidget *selectFromView() const;
    QWidget *selectToView() const;

    // The failure text of an engine code (after a user stop, the stop text);
    // empty for a code that shows nothing.
    static QString messageForErrorCode(int code, bool userCancelled);
    // The status line of an engine text: spaces and tabs trimmed at both
    // ends, line breaks kept; a null text gives an empty line.
    static QString statusLineForText(const QString &text);
    // The used size from `diskutil info -plist /`: below 1015 the volume's
    // total minus its free space, from 1015 on the whole APFS container's.
    // 0 when the output cannot be read.
    static qint64 usedSizeFromInfo(const std::optional<QVariantMap> &info, int systemVersion);
    // The Full Disk Access probe: 2 when the console user's Safari folder can
    // be listed, 1 when it exists but cannot be, 0 when it does not exist.
    static int getAuthorizationStatus();

    // Tests: runs on the Preboot copy's worker once the copy's folders are
    // held and checked, just before cp starts.
    static void setPrebootCopyHook(std::function<void()> hook);

    // Closes the error bubble beside the target card; nothing when none is up.
    void closeErrorWindow();
    void canChangeTab(bool can);

    // Actions.
    void cloneButtonAction();
    void cancelButtonAction();
    void failCancelButtonAction();
    void succCancelButtonAction();
    void toCheckFullDiskAccess();

    // SelectValueViewDelegate
    void selectDiskButton(qint32 withID, QObject *sender) override;
    void closeDiskValue(qint32 diskFrom) override;
    // SelectDiskVCDelegate
    void doSelectDiskWithVolume(const VolumeObjPtr &volume) override;
    // QoBootableDelegate
    unsigned implementedMethods() const override;
    void QoUINotify(const _tagBootableProgress *progress) override;
    void changeProLabelValue(const QString &value) override;
    void changeProTimeWithTag(int tag, int withStep) override;
    // MakeSureToCloneSystemVCDelegate
    void beginToCopySystem() override;
    // MakeSureCancelCloneSystemVCDelegate
    void cancelToCopySystem() override;

    // The bar in percent; 100 or more ends the clone.
    void changeProValue(double value);
    void showFailView(const QString &text);
    void showEndView();
    void showFaile(bool fail);
    void backHomeView();

private:
    void awakeFromNib();
    void measureUsedSize();
    void checkSize();
    void showErrorBubble(const QString &message);
    void showErrorWindow(int code);
    // The clone itself, once the access probe allowed it.
    void startCopySystem();
    void repairPrebootFile();
    void finishPrebootCopy();
    void refuseStop();
    void setAnimImage(const QString &name);

    std::unique_ptr<Ui::SelectDrivceViewController> ui;
    SelectValueView *m_selectFromVC = nullptr;
    SelectValueView *m_selectToVC = nullptr;
    qint64 m_usedSize = -1;
    qint64 m_freeSize = -1;
    VolumeObjPtr m_toVolume;
    unsigned m_openPopType = 0;
    std::unique_ptr<VoPopoverController> m_popoverController;
    std::unique_ptr<SelectDiskViewController> m_selectDiskVC;
    std::unique_ptr<ErrorViewController> m_errorVC;
    std::unique_ptr<NODEAttachedWindow> m_errorPopWin;
    bool m_isErrorPopWin = false;
    bool m_showErrorW = false;
    bool m_isUserCancel = false;
    // The access probe of a confirmed start is out on a worker.
    bool m_accessCheckOut = false;
    SetpFViewController *m_stepVC = nullptr;
    SetpFViewController *m_stepFVC = nullptr;
    double m_progressValue = 0;
    QString m_animImageName;
    // Set when the restore has reached 100 % (until the next clone starts):
    // the clone ends once, and a stop is refused from then on.
    bool m_finishing = false;
    // The end of the current run has given the tabs free; a second end view
    // of the same run does not do it again.
    bool m_tabsUnlocked = false;
    QPointer<MakeSureToCloneSystemVC> m_makeSureToCloneVC;
    QPointer<MakeSureCancelCloneSystemVC> m_makeSureCancelVC;
    QPointer<ErrorWindowController> m_errorWindowVC;
    QPointer<FullDiskAccessViewController> m_fullDiskAccessWC;
    SelectDrivceViewControllerDelegate *_delegate = nullptr;
};
