#pragma once
#include "Controller.h"
#include "DiskListWCDelegate.h"
#include "FileNode.h"
#include "LComboBoxDelegate.h"
#include "SelectAllFileVCDelegate.h"
#include "SelectDiskVCDelegate.h"
#include "SelectValueViewDelegate.h"
#include "VolumeObj.h"

#include "ConfirmPanel.h"
#include "MainWindowPanel.h"

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class DiskListWC;
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

// The owner of a page, told whether the tabs may change: each page has a
// delegate class of its own kind.
template <class Delegate>
class PageDelegateHolder {
public:
    // Not owned.
    Delegate *delegate() const { return _delegate; }
    void setDelegate(Delegate *delegate) { _delegate = delegate; }

protected:
    void tellDelegate(bool canChangeTab)
    {
        if (_delegate)
            _delegate->canChangeTab(canChangeTab);
    }

private:
    Delegate *_delegate = nullptr;
};

// What the Disk Copy and the Disk Image page have in common: a source and a
// target card with the volume picker, the checks and refusals of a choice,
// the copy-mode box with its menu and file browser, files dropped on the
// source card, the error bubble, the job screen's progress and end views and
// the way back to the selection screen. The few texts and settings that set
// the pages apart stand side by side in differencesOf; each page does its own
// job.
//
// Everything here runs on the main thread; what arrives elsewhere (a file
// choice, the end of a listing) is moved there first.
class SourceTargetPage : public QWidget,
                         public SelectValueViewDelegate,
                         public SelectDiskVCDelegate,
                         public LComboBoxDelegate,
                         public DiskListWCDelegate,
                         public ControllerDelegate,
                         public SelectAllFileVCDelegate {
    Q_OBJECT
public:
    // The two pages built on this one.
    enum class Page { DiskCopy, DiskImage };

    // What sets the pages apart in what they share.
    struct Differences {
        QString startTitle;      // the start button
        QString failButtonTitle; // the failure view's button
        qint32 stepImages;       // setCopyOrDiskImage of the step indicators
        qreal pickerBorderWidth;
        bool pickerAnimates;
        bool refusedSourceHidesComboBox;
        bool comboBoxHiddenAtSetUp; // else left as the interface file has it
        QString targetFreeFormat; // "%1": the target's free space
        // A file choice that is not the whole volume: its size label ("%1":
        // the size), and whether its size is taken as soon as it arrives
        // rather than with the card.
        QString fileChoiceSizeFormat;
        bool fileChoiceSizeAtOnce;
        QString dropName;
        QString dropSizeFormat; // "%1": the number of dropped items
        QString linkPhrase;     // coloured inside the success label
    };
    static Differences differencesOf(Page page);

    ~SourceTargetPage() override;

    static QString sameVolumeText(); // "您无法将源盘选为目标盘，请选择其他盘。"
    static QString noSpaceText();    // "目标盘磁盘空间不足，请选择另一个盘。"

    // State.
    unsigned openPopType() const { return _openPopType; }
    VolumeObjPtr fromeVolume() const { return _fromeVolume; }
    VolumeObjPtr toVolume() const { return _toVolume; }
    qint64 usedSize() const { return _usedSize; }
    qint64 freeSize() const { return _freeSize; }
    qint64 selectFilesSize() const { return _selectFilesSize.load(); }
    bool isDragValue() const { return _isDragValue; }
    bool showErrorW() const { return _showErrorW; }
    bool isErrorPopWin() const { return _isErrorPopWin; }
    bool isPopSortWin() const { return _isPopSortWin; }
    // The chosen target is still being looked at (the page's own check runs
    // on a worker); the start button waits for the answer.
    bool isTargetCheckPending() const { return _targetCheckPending; }
    QString openUrl() const { return _openUrl; }
    // The text of the bubble shown now (empty when none is up).
    QString errorBubbleText() const;
    ErrorViewController *errorVC() const { return _errorVC.get(); }
    NODEAttachedWindow *errorPopWin() const { return _errorPopWin.get(); }
    SelectDiskViewController *selectDiskVC() const { return _selectDiskVC.get(); }
    VoPopoverController *popoverController() const { return _popoverController.get(); }
    SelectAllFilePopVC *selectAllFileVC() const { return _selectAllFileVC.get(); }
    DiskListWC *diskListWC() const { return _diskListWC.get(); }

    // Outlets and the parts made at set-up.
    LComboBox *lComboBox() const { return _lComboBox; }
    SelectValueView *selectFromVC() const { return _selectFromVC; }
    SelectValueView *selectToVC() const { return _selectToVC; }
    // The step indicators of the selection and the job screen.
    SetpViewController *setpVC() const { return _setpVC; }
    SetpViewController *setpVC_2() const { return _setpVC_2; }
    QWidget *comboBoxView() const { return _outlets.comboBoxView; }
    QWidget *selectFromView() const { return _outlets.selectFromView; }
    QWidget *selectToView() const { return _outlets.selectToView; }
    TextImageButton *cloneButton() const { return _outlets.cloneButton; }
    QLabel *topLabel() const { return _outlets.topLabel; }
    ITProgressBar *rogressView() const { return _outlets.rogressView; }
    QLabel *pathLabel() const { return _outlets.pathLabel; }
    TextImageButton *cancelButton() const { return _outlets.cancelButton; }
    QWidget *selectDiskView() const { return _outlets.selectDiskView; }
    QWidget *copyProgressView() const { return _outlets.copyProgressView; }
    QWidget *progressView() const { return _outlets.progressView; }
    QWidget *endView() const { return _outlets.endView; }
    QWidget *sussView() const { return _outlets.sussView; }
    QWidget *failView() const { return _outlets.failView; }
    TextImageButton *failCancelButton() const { return _outlets.failCancelButton; }
    TextImageButton *succCancelButton() const { return _outlets.succCancelButton; }
    QLabel *openLabel() const { return _outlets.openLabel; }
    QoHandButton *openButton() const { return _outlets.openButton; }
    QLabel *errorLable() const { return _outlets.errorLable; }

    // SelectValueViewDelegate
    void selectDiskButton(qint32 withID, QObject *sender) override;
    void closeDiskValue(qint32 diskFrom) override;
    // SelectDiskVCDelegate
    void doSelectDiskWithVolume(const VolumeObjPtr &volume) override;
    // LComboBoxDelegate: the space check, the copy-mode menu and the file browser.
    void changeSelectCopyType() override;
    void doShowSearchView() override;
    void showSelectAllVC() override;
    // SelectAllFileVCDelegate
    void mouseEixtView(bool exited) override;
    void selectFormatbyType(qint32 type) override;
    // DiskListWCDelegate (background thread)
    void closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 withSelectSize) override;

    // The second space check, after a file choice or when a size is missing.
    void changeCloneButtonActon();
    void closeMattachedWindow();
    // The stop button: each page stops its own job.
    virtual void cancelButtonAction() = 0;
    void failCancelButtonAction();
    void succCancelButtonAction();
    void openPathButtonAction();
    void showFailView(const QString &text);
    void showFaile(bool failed);
    void setOpenLabel();
    void backHomeView();
    // The start button: each page starts its own job.
    virtual void cloneButtonAction() = 0;
    void showErrorWindowWithErrorStr(const QString &errorStr, qint32 andLeftOrRight);
    // Closes the error bubble beside a card; nothing when none is up.
    void closeErrorWindow();
    // Closes the page's popover on a tab change; nothing when none is open.
    void chengeTabCloseNode();
    // Tells the page's owner whether the tabs may change now.
    virtual void canChangeTab(bool can) = 0;

protected:
    struct Outlets {
        QWidget *comboBoxView = nullptr;
        QWidget *selectFromView = nullptr;
        QWidget *selectToView = nullptr;
        TextImageButton *cloneButton = nullptr;
        QLabel *topLabel = nullptr;
        QWidget *setpView = nullptr;
        QWidget *setp_2 = nullptr;
        ITProgressBar *rogressView = nullptr;
        QLabel *pathLabel = nullptr;
        TextImageButton *cancelButton = nullptr;
        QWidget *selectDiskView = nullptr;
        QWidget *copyProgressView = nullptr;
        QWidget *progressView = nullptr;
        QWidget *endView = nullptr;
        QWidget *sussView = nullptr;
        QWidget *failView = nullptr;
        TextImageButton *failCancelButton = nullptr;
        TextImageButton *succCancelButton = nullptr;
        QLabel *openLabel = nullptr;
        QoHandButton *openButton = nullptr;
        QLabel *errorLable = nullptr;
    };

    SourceTargetPage(QWidget *parent, Page page);

    // Loads the page's interface file (its objects are named alike on both
    // pages), then the shared set-up.
    template <class Form>
    void loadPage(Form &ui)
    {
        ui.setupUi(this);
        setUpPage(outletsOf(ui));
    }

    // The outlets of a page's interface file.
    template <class Form>
    static Outlets outletsOf(const Form &ui)
    {
        return Outlets{.comboBoxView = ui.comboBoxView,
                       .selectFromView = ui.selectFromView,
                       .selectToView = ui.selectToView,
                       .cloneButton = ui.cloneButton,
                       .topLabel = ui.topLabel,
                       .setpView = ui.setpView,
                       .setp_2 = ui.setp_2,
                       .rogressView = ui.rogressView,
                       .pathLabel = ui.pathLabel,
                       .cancelButton = ui.cancelButton,
                       .selectDiskView = ui.selectDiskView,
                       .copyProgressView = ui.copyProgressView,
                       .progressView = ui.progressView,
                       .endView = ui.endView,
                       .sussView = ui.sussView,
                       .failView = ui.failView,
                       .failCancelButton = ui.failCancelButton,
                       .succCancelButton = ui.succCancelButton,
                       .openLabel = ui.openLabel,
                       .openButton = ui.openButton,
                       .errorLable = ui.errorLable};
    }

    // The shared set-up, once the interface file has loaded: the scan
    // facade, the buttons, the combo box, both cards, the step indicators
    // and the end views, with the selection screen shown.
    void setUpPage(const Outlets &outlets);
    QWidget *mainWindow() const;

    // The start: true when there is a selection to confirm now. Otherwise the
    // source's top level is listed into a new selection, and the page's
    // ControllerDelegate hears when the listing ends; a press while a listing
    // runs does nothing.
    bool takeSelectionOrListSource(bool copyFiles);
    // Runs confirmSelection on the main thread, later.
    void queueConfirmation();
    virtual void confirmSelection() = 0;
    // Refuses a start whose selection holds nothing, with the page's bubble.
    virtual void refuseEmptySelection() = 0;
    // Opens the confirmation over the main window, the page as its delegate;
    // while one is up, no other opens.
    template <class Panel, class Delegate>
    void openConfirmation(Delegate *delegate, bool sizeToMainWindow)
    {
        if (_makeSureWC)
            return;
        auto *panel = new Panel;
        panel->setDelegate(delegate);
        _makeSureWC = panel;
        MainWindowPanel::show(panel, mainWindow(), sizeToMainWindow);
    }
    ConfirmPanelController *confirmation() const { return _makeSureWC; }

    // The source card shows the dropped files; the combo box is at "all
    // files" and the drop counts 0 in the checks.
    void takeDrop(const FileNodeArrayPtr &nodes);
    // The job screen, with its step indicator at 2 and `status` above the bar.
    void showJobScreen(const QString &status);
    // The bar at `percent`; at 100 or more the success end.
    void showProgress(double percent);

    // What a page adds: a refusal of its own for a target that passes the
    // shared checks, forgetting a drop's running size sum, and the end of its
    // job (before the tabs are unlocked). The refusal is a lookup that may
    // read the disks, so it runs on a worker; it answers with the bubble's
    // text, empty when the target is fine. No function: no such check.
    virtual std::function<QString()> targetRefusalLookup(const VolumeObj &volume) const;
    virtual void forgetDropSum() {}
    // The selection's size is still being summed: the start button waits for it.
    virtual bool selectionSizePending() const { return false; }
    virtual void jobEnded() {}

    const Differences _differences;
    Outlets _outlets;

    unsigned _openPopType = 0;
    VolumeObjPtr _fromeVolume;
    VolumeObjPtr _toVolume;
    qint64 _usedSize = -1;
    qint64 _freeSize = -1;
    // Also written by the file browser's report, which comes on a worker.
    std::atomic<qint64> _selectFilesSize{-1};
    FileNodeArrayPtr _selection; // the ticked tree or the drop; none = not yet listed
    bool _isDragValue = false;
    bool _showErrorW = false;
    bool _isErrorPopWin = false;
    bool _isPopSortWin = false;
    QString _openUrl;
    QString _openLabelText; // the success label's plain words
    std::unique_ptr<Controller> _controller;

    LComboBox *_lComboBox = nullptr;
    SelectValueView *_selectFromVC = nullptr;
    SelectValueView *_selectToVC = nullptr;
    SetpViewController *_setpVC = nullptr;
    SetpViewController *_setpVC_2 = nullptr;

private:
    void setUpCard(SelectValueView *card, QWidget *container, qint32 diskFrom, const QString &hint);
    void resetCard(SelectValueView *card, const QString &hint);
    void setCardIcon(SelectValueView *card, const QString &name);
    void showSourceVolumeOnCard();
    void refuseTarget(const QString &message);
    // The target passed every check: its card's normal look, then the space check.
    void acceptTarget();
    // A target check whose answer has not come is no longer wanted.
    void forgetTargetCheck();
    void dropPartialSelection();
    static QString iconNameFor(const VolumeObj &volume);

    std::unique_ptr<SelectDiskViewController> _selectDiskVC;
    std::unique_ptr<VoPopoverController> _popoverController;
    std::unique_ptr<DiskListWC> _diskListWC;
    std::unique_ptr<ErrorViewController> _errorVC;
    std::unique_ptr<NODEAttachedWindow> _errorPopWin;
    std::unique_ptr<SelectAllFilePopVC> _selectAllFileVC;
    std::unique_ptr<RMAAttachedWindow> _sortAttachedWindow;
    QPointer<ConfirmPanelController> _makeSureWC;
    // The number of the latest target check; an answer of another is dropped.
    quint64 _targetCheck = 0;
    bool _targetCheckPending = false;
};
