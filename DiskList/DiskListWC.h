#pragma once
#include "FileNode.h"
#include "ListFileViewController.h"
#include "ListFileViewControllerDelagate.h"
#include "ZrImageWindow.h"
#include "ZrImageWindowDelegate.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>

class DiskListWCDelegate;

namespace Ui {
class DiskListWC;
}

// The file browser window ("DiskListWC"), run modally by the Disk Copy and
// Disk Image pages. The page makes it, sets its delegate, then either hands
// the hosted view a kept selection (listFileVC()->setArrForListWithArr) or
// starts a new listing (showDetailWithPath), and runs the window with
// runModal(). OK ends in closeWindowWithSelect to the page; the close button
// (and cancel) end the loop without a call, leaving a kept selection as it
// was when the window opened. While a sum runs the window refuses to close.
class DiskListWC : public QObject, public ListFileViewControllerDelagate, public ZrImageWindowDelegate {
    Q_OBJECT
public:
    explicit DiskListWC(QObject *parent = nullptr);
    ~DiskListWC() override;

    DiskListWCDelegate *delegate() const { return m_delegate; }
    void setDelegate(DiskListWCDelegate *delegate) { m_delegate = delegate; }

    ZrImageWindow *aWindow() const { return m_aWindow.get(); }
    QLabel *titleLabel() const;
    QWidget *titleBarView() const { return m_titleBarView; }
    ListFileViewController *listFileVC() const { return m_listFileVC; }
    bool isGetSelectSize() const { return m_isGetSelectSize; }

    // Centres the window on the screen.
    void centerWindow();
    // Runs the window modally until it closes.
    int runModal();

    // Starts a new listing of the path (the source volume's mount point).
    void showDetailWithPath(const QString &path);
    // The close button: refused while a sum runs.
    void closeWindow(QObject *sender = nullptr);

    // ListFileViewControllerDelagate
    void getSelectFilesSize(bool summing) override;
    void closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 withSelectSize) override;

    // ZrImageWindowDelegate
    bool windowShouldClose(ZrImageWindow *window) override;
    void windowWillClose(ZrImageWindow *window) override;

private:
    void awakeFromNib();
    void windowDidLoad();

    std::unique_ptr<Ui::DiskListWC> ui;
    std::unique_ptr<ZrImageWindow> m_aWindow;
    QPointer<QWidget> m_titleBarView;
    QPointer<ListFileViewController> m_listFileVC;
    std::atomic<bool> m_isGetSelectSize{false};
    // The page has had its call: closing keeps the marks as they are.
    std::atomic<bool> m_isReported{false};
    bool m_isClosed = false;
    DiskListWCDelegate *m_delegate = nullptr;
};
