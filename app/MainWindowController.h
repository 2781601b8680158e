#pragma once
#include "DiskCopyVCDelegate.h"
#include "DmgVCDelegate.h"
#include "SelectDrivceViewControllerDelegate.h"
#include "ZrImageWindowDelegate.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <memory>

class DiskCopyViewController;
class DmgViewController;
class LeftButton;
class QWidget;
class RepairDiskViewController;
class SelectDrivceViewController;
class ZrImageWindow;
namespace Ui {
class MainWindowController;
}

// The program's only main window: the custom title bar with the product's
// name, the left-hand tab bar (Disk Copy, OS Clone, Disk Image; the Disk
// Manager button exists but stays hidden) and the four tab pages, each in its
// own container of the interface file "MainWindowController" and each filling
// it. The controller owns the window and the pages for the life of the
// process. While a page's job runs the page locks tab switching through
// canChangeTab(false); the close button ends the process regardless.
class MainWindowController : public QObject,
                             public DiskCopyVCDelegate,
                             public DmgVCDelegate,
                             public SelectDrivceViewControllerDelegate,
                             public ZrImageWindowDelegate {
    Q_OBJECT
public:
    // Loads the interface file, then runs awakeFromNib and windowDidLoad.
    explicit MainWindowController(QObject *parent = nullptr);
    ~MainWindowController() override;

    ZrImageWindow *window() const { return _aWindow.get(); }

    void awakeFromNib();
    void windowDidLoad();

    // The one method of the three page delegate interfaces: only stores the
    // lock (YES: the tab buttons work).
    void canChangeTab(bool can) override;
    bool canChangeTab() const { return _canChangeTab; }

    // Every mouse-down in the window that no control took: closes the open
    // error bubbles of the Disk Copy, Disk Image and OS Clone pages.
    void zrimageWindowBecomeKeyWindow() override;

    QLabel *titleLabel() const { return _titleLabel; }
    QWidget *titleBarView() const { return _titleBarView; }
    QWidget *separatorLine() const { return _separatorLine; }

    DiskCopyViewController *diskCopyVC() const { return _diskCopyVC; }
    DmgViewController *dmgVC() const { return _dmgVC; }
    RepairDiskViewController *repairDiskVC() const { return _repairDiskVC; }
    SelectDrivceViewController *bootableVC() const { return _bootableVC; }

    QWidget *dmgView() const;
    QWidget *diskCopyView() const;
    QWidget *diskTool() const;
    QWidget *bootableView() const;

    LeftButton *tab_diskclone() const { return _tab_diskclone; }
    LeftButton *tab_createImage() const { return _tab_createImage; }
    LeftButton *tab_disktool() const { return _tab_disktool; }
    LeftButton *tab_bootable() const { return _tab_bootable; }

public slots:
    // The window's close button: ends the process at once with status 0.
    void closeWindow();
    void TopCloneButtonAction();
    void BootableButtonAction();
    void TopDmgButtonAction();
    void TopDiskToolButtonAction();

private:
    void buildTitleAndTabBar();
    void createPages();
    LeftButton *makeTab(double x, double y, double w, double h, const QString &image, const QString &label,
                        void (MainWindowController::*action)());
    void placePage(QWidget *page, QWidget *container);
    void selectTab(LeftButton *button, QWidget *container);

    std::unique_ptr<Ui::MainWindowController> ui;
    std::unique_ptr<ZrImageWindow> _aWindow;
    QPointer<QLabel> _titleLabel;
    QPointer<QWidget> _titleBarView;
    QPointer<QWidget> _separatorLine;

    DiskCopyViewController *_diskCopyVC = nullptr;
    DmgViewController *_dmgVC = nullptr;
    RepairDiskViewController *_repairDiskVC = nullptr;
    SelectDrivceViewController *_bootableVC = nullptr;

    LeftButton *_tab_diskclone = nullptr;
    LeftButton *_tab_createImage = nullptr;
    LeftButton *_tab_disktool = nullptr;
    LeftButton *_tab_bootable = nullptr;

    bool _canChangeTab = false;
};
