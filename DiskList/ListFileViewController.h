#pragma once
#include "CancelTextImageButton.h"
#include "Controller.h"
#include "FileNode.h"
#include "GetFilesSize.h"
#include "ListFileOutlineModel.h"
#include "NewOutlineView.h"
#include "TableBgView.h"
#include "TextImageButton.h"

#include <QColor>
#include <QHeaderView>
#include <QIcon>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>

class ListFileViewControllerDelagate;
class RFOverlayScrollView;

namespace Ui {
class ListFileViewController;
}

// The file browser's view ("ListFileViewController"): the tree of a volume's
// files with their check boxes, the select-all box in the header, refresh,
// cancel and OK. A new listing scans the volume's top level into a new array;
// a kept selection shows the page's own array as it is. OK sums the selection
// (once the scan has ended, behind the wait view) and hands the array and the
// size to the host.
//
// Everything here runs on the main thread, except allCopyFilesSize, which
// arrives from the summer.
class ListFileViewController : public QWidget, public ControllerDelegate, public GetFilesSizeDelegate {
    Q_OBJECT
public:
    // What a cell shows besides its text.
    struct CellLook {
        QIcon image;
        QString imageName; // the named image, for a check box
        QColor textColor;
        bool editable = false;
    };

    explicit ListFileViewController(QWidget *parent = nullptr);
    ~ListFileViewController() override;

    ListFileViewControllerDelagate *detagate() const { return m_detagate; }
    void setDetagate(ListFileViewControllerDelagate *detagate) { m_detagate = detagate; }

    // Outlets and state.
    NewOutlineView *outlineView() const;
    CancelTextImageButton *cancelButton() const;
    TextImageButton *doneButton() const;
    TextImageButton *refeshButton() const;
    QPushButton *donotCopyTrashButton() const;
    QWidget *waitView() const;
    QProgressBar *loadProView() const;
    TableBgView *listView() const;
    // The overlay scroll view the outline scrolls in.
    RFOverlayScrollView *outlineScrollView() const { return m_outlineScrollView; }
    QWidget *aLoadView() const;
    QTimer *sortTimer() const { return m_sortTimer; }
    FileNodeArrayPtr rootNodeArr() const { return m_rootNodeArr; }
    qint64 selectedRow() const { return m_selectedRow; }
    QPushButton *selectAllButton() const { return m_selectAllButton; }
    QString selectAllButtonImageName() const { return m_selectAllImageName; }
    QString searchPath() const { return m_searchPath; }
    Controller *controller() const { return m_controller.get(); }
    qint32 selectAllButSt() const { return m_selectAllButSt; }
    bool isScan() const { return m_isScan; }
    ListFileOutlineModel *model() const { return m_model; }
    // OK was pressed while the scan still ran: the sum waits for its end.
    bool isWaitingForScan() const { return m_isWaitingForScan; }

    // The header with the select-all box (state 0, "checkbox_unsel").
    QHeaderView *headerView();
    // A new listing of `path`: the scan fills a new array (or empties the
    // shown one and fills it again).
    void getRootNodeListWithPath(const QString &path);
    void showDetailPage();
    // A kept selection: shows the array itself, no scan.
    void setArrForListWithArr(const FileNodeArrayPtr &arr, const QString &withSearchPath);

    // The paths a kept selection was dropped as (empty for a volume's
    // listing): refresh lists them again instead of the browsed folder.
    const QList<QByteArray> &droppedPaths() const { return m_droppedPaths; }
    static QList<QByteArray> droppedPathsOf(const FileNodeArray &arr, const QString &searchPath);

    // Actions.
    void refreshButtonAction(QObject *sender);
    void doneButtonAction(QObject *sender);
    // Cancel does what the window's close button does.
    void cancelButtonAction(QObject *sender);
    void setAllSelectOrNoSelect(QObject *sender);

    void doShowLoadView();
    void doHiddenLoadView();

    // The outline's data source and delegate.
    QStringList columnIdentifiers() const;
    QStringList columnTitles() const;
    // Folders are expandable, except applications and frameworks.
    bool isItemExpandable(const FileNode *node) const;
    QVariant objectValueForTableColumn(const QString &identifier, const FileNode *node) const;
    // What the path column and tool tips show for a node: its system path.
    static QString shownPath(const FileNode *node);
    CellLook willDisplayCell(const QString &identifier, const FileNode *node) const;
    // A click in a cell: the check box, the reveal column, the preview column.
    void setObjectValueForTableColumn(const QString &identifier, FileNode *node);
    void outlineViewItemDidExpand(FileNode *node);
    void outlineViewItemDidCollapse(FileNode *node);
    bool shouldSelectItem(FileNode *node);
    bool shouldEditTableColumn(const QString &identifier, const FileNode *node) const;
    void outlineViewSelectionDidChange();

    // The marks of a kept selection as the browser found them; the window
    // puts them back when it closes without OK, so the page's selection and
    // its size never disagree.
    void takeMarksOnOpen();
    void restoreMarksTakenOnOpen();
    bool hasMarksTakenOnOpen() const { return m_marks != nullptr; }
    // Ends the scan and the timers of a closing window; its array gets no
    // more nodes.
    void stopWork();

    // ControllerDelegate
    void reloadTreeList() override;
    void changeSelectAllButtonState() override;
    // GetFilesSizeDelegate (background thread)
    void allCopyFilesSize(qint64 size) override;

private:
    struct Marks;
    void setSelectAllBox(int state);
    void startSum();
    void checkScanEndForSum();
    void restoreExpansion();
    void cellClicked(const QModelIndex &index);
    static QIcon namedIcon(const QString &name);

    std::unique_ptr<Ui::ListFileViewController> ui;
    RFOverlayScrollView *m_outlineScrollView = nullptr;
    QPointer<QTimer> m_sortTimer;
    QPointer<QTimer> m_scanEndTimer;
    FileNodeArrayPtr m_rootNodeArr;
    std::shared_ptr<GetFilesSize> m_summer; // the running sum, told to forget this view when it goes
    qint64 m_selectedRow = -1;
    QPointer<QPushButton> m_selectAllButton;
    QString m_selectAllImageName;
    QString m_searchPath;
    QList<QByteArray> m_droppedPaths;
    std::unique_ptr<Controller> m_controller;
    qint32 m_selectAllButSt = 0;
    bool m_isScan = false;
    bool m_isWaitingForScan = false;
    bool m_isRestoringExpansion = false;
    ListFileOutlineModel *m_model = nullptr;
    std::unique_ptr<Marks> m_marks;
    // What the summer reports to: read on its thread.
    std::atomic<ListFileViewControllerDelagate *> m_detagate{nullptr};
};
