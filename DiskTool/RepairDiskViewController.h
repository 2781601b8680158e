#pragma once
#include "FormatEndViewController.h"
#include "FormatingViewController.h"
#include "MakeSureFormatVCDelegate.h"
#include "MakeSureFormatViewController.h"
#include "TableViewDataSource.h"
#include "TableViewDelegate.h"

#include "VolumeObj.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <QWidget>
#include <memory>
#include <optional>
#include <variant>

class CustomTableView;
class QProgressBar;
class QPushButton;
class WatchMountUnmount;

namespace Ui {
class RepairDiskViewController;
}

// The Disk Manager tab ("RepairDiskViewController"). The main window creates
// it once, puts it into its Disk Manager container and keeps it for the life
// of the process.
//
// It lists the volumes mounted under /Volumes in one table, under the
// headings "Internal" (volumes that cannot be ejected) and "External", and
// renames, formats or ejects the selected one. The list is scanned on the
// global queue, one scan at a time, and rescanned on every mount and unmount;
// a rescan asked for during a scan runs when that scan ends.
//
// Renames and formats act on the record that was selected when the user
// pressed Save or opened the format panel. Right before the tool runs, the
// volume is read again: unless it still has that DiskUUID and name, nothing is
// run (and a format is never run on the startup volume; a rename may be). A
// rename that is not carried out is explained in a panel. Names reach
// diskutil as one argument each, never through a shell.
class RepairDiskViewController : public QWidget,
                                 public TableViewDataSource,
                                 public TableViewDelegate,
                                 public MakeSureFormatVCDelegate {
    Q_OBJECT
public:
    explicit RepairDiskViewController(QWidget *parent = nullptr);
    ~RepairDiskViewController() override;

    static QString internalHeading(); // "Internal"
    static QString externalHeading(); // "External"

    // One row of the table model: a heading text or a volume record.
    using Row = std::variant<QString, VolumeObjPtr>;

    // Set-up after loading: starts the first scan and the mount watcher.
    void awakeFromNib();

    // Selects the first volume row; sent each time the page is shown.
    void normalSelectCell();
    // Starts a rescan (also the observer of the mount and unmount notifications).
    void getallVolumes();
    // The main-queue end of a scan: takes the records it found, builds the
    // table model and selects row 1.
    void scanDidEnd(const QList<VolumeObjPtr> &found);

    // Discovery, run on the global queue; each fills the list it is given.
    static void doGetAllVolumes(QList<VolumeObjPtr> &allVolumeArr);
    static void getVolumeAllObjWithVolumeName(QList<VolumeObjPtr> &allVolumeArr, const QString &bsdName);
    // `diskutil info -plist <identifier>`.
    static std::optional<QVariantMap> getDisjInfo(const QString &identifier);

    static QString byteToSizeWithByte(quint64 bytes);
    // True when a UTF-16 unit of the text lies in 0x4E01 to 0x9FFE.
    static bool containsChinese(const QString &text);
    // A name as a FAT32 volume takes it: upper case, then cut to at most 11
    // UTF-16 units (never splitting a character), "NEW" when the text holds a
    // CJK unit.
    static QString fat32Name(const QString &typed);
    // The name an erase gives: the typed one, "NEW" for an empty name or a
    // single space, then the FAT32 rule for the type "MS-DOS FAT32".
    static QString eraseName(const QString &typed, const QString &type);
    // The used share of a record in percent (0 to 100, not rounded); 0 for a size of 0.
    static double usedPercent(const VolumeObj &volume);
    // True when the volume is still the one recorded: same DiskUUID and name,
    // read again by its device node with diskutil; with refuseStartup, false
    // also when it is now mounted as the startup volume.
    static bool isStillTheRecordedVolume(const VolumeObj &volume, bool refuseStartup);

    // TableViewDataSource
    int numberOfRowsInTableView(CustomTableView *tableView) override;
    QVariant objectValueForTableColumn(CustomTableView *tableView, const QString &tableColumn, int row) override;
    // TableViewDelegate
    QWidget *viewForTableColumn(CustomTableView *tableView, const QString &tableColumn, int row) override;
    double heightOfRow(CustomTableView *tableView, int row) override;
    bool shouldSelectRow(CustomTableView *tableView, int row) override;
    bool shouldEditTableColumn(CustomTableView *tableView, const QString &tableColumn, int row) override;
    bool shouldSelectTableColumn(CustomTableView *tableView, const QString &tableColumn) override;

    // The rename field's text changed.
    void controlTextDidChange(const QString &text);

    // MakeSureFormatVCDelegate
    void cancelFormatVoluem() override;
    void makeSureToFormatSelectVolumeWithName(const QString &name, const QString &withType) override;

    void showFormatingView();
    void showFormatEndWindow(FormatEndViewController::Result result);

    // State, for the main window and tests.
    const QList<VolumeObjPtr> &allVolumeArr() const { return m_allVolumeArr; }
    const QList<Row> &allSortVolumeArr() const { return m_allSortVolumeArr; }
    int inRowCount() const { return m_inRowCount; }
    int selectIndex() const { return m_selectIndex; }
    VolumeObjPtr selectVolume() const { return m_selectVolume; }
    bool isRenameEdit() const { return m_isRenameEdit; }
    bool isScanV() const { return m_isScanV; }
    bool formatend() const { return m_formatend; }
    QString editStr() const { return m_editStr; }
    // Scans run since the page was made (a test waits for a new one).
    int scanCount() const { return m_scanCount; }

    // Outlets and panels.
    CustomTableView *parTableView() const;
    QProgressBar *loadProView() const;
    QPushButton *helpButton() const;
    MakeSureFormatViewController *makeSureFormatVC() const { return m_makeSureFormatVC; }
    FormatingViewController *formatingVC() const { return m_formatingVC; }
    FormatEndViewController *formatEndVC() const { return m_formatEndVC; }
    // The panel saying that a rename was not carried out (null when none is up).
    FormatEndViewController *renameEndVC() const { return m_renameEndVC; }

public slots:
    void renameButtonAction();
    void saveButtonAction();
    void formatButtonAction();
    void ejectButtonAction();
    void helpButtonAction();

private:
    void selectFirstRow();
    void buildSortVolumeArr();
    void fillVolumeRow(QWidget *view, const VolumeObj &volume, int row);
    void formatDidEnd(quint64 run, FormatEndViewController::Result result);
    void showRenameRefused(FormatEndViewController::Result result);
    // Shows the done panel with a result, in place of the one `panel` holds.
    void showResultPanel(QPointer<FormatEndViewController> &panel, FormatEndViewController::Result result);
    QWidget *mainWindow();

    std::unique_ptr<Ui::RepairDiskViewController> ui;
    QList<VolumeObjPtr> m_allVolumeArr;
    QList<Row> m_allSortVolumeArr;
    qint32 m_inRowCount = 0;
    qint32 m_selectIndex = 0;
    VolumeObjPtr m_selectVolume;
    bool m_isRenameEdit = false;
    bool m_isScanV = false;
    bool m_formatend = true;
    QString m_editStr;
    std::unique_ptr<WatchMountUnmount> m_watchMu;

    // A rescan asked for while one ran.
    bool m_rescanPending = false;
    int m_scanCount = 0;
    // The record the open (or running) format acts on, taken when the
    // confirmation was opened.
    VolumeObjPtr m_formatVolume;
    quint64 m_formatRun = 0;
    bool m_formatRunning = false;

    QPointer<MakeSureFormatViewController> m_makeSureFormatVC;
    QPointer<FormatingViewController> m_formatingVC;
    QPointer<FormatEndViewController> m_formatEndVC;
    QPointer<FormatEndViewController> m_renameEndVC;
};
