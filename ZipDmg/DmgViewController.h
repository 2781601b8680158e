#pragma once
#include "DMGMakeSureWC.h"
#include "DMGMakeSureWCDelegate.h"
#include "DmgVCDelegate.h"
#include "GetFilesSize.h"
#include "MakeDmgDelegate.h"
#include "SourceTargetPage.h"

#include "LComboBox.h"
#include "SelectValueView.h"
#include "SetpViewController.h"
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

class MakeDmg;
class QPushButton;

namespace Ui {
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
class DmgViewController : public SourceTargetPage,
                          public PageDelegateHolder<DmgVCDelegate>,
                          public GetFilesSizeDelegate,
                          public MakeDmgDelegate,
                          public DMGMakeSureWCDelegate {
    Q_OBJECT
public:
    explicit DmgViewController(QWidget *parent = nullptr);
    ~DmgViewController() override;

    // Texts.
    static QString stopText() { return QStringLiteral("您已停止该进程。"); }
    static QString failText() { return QStringLiteral("操作失败。"); }
    static QString noFileText() { return QStringLiteral("没有文件被选择..."); }

    // State.
    FileNodeArrayPtr filesArr() const { return _selection; }
    QStringList zipFilesArr() const { return m_zipFilesArr; }
    bool isMakeZip() const { return m_isMakeZip; }
    MakeDmg *makeDmg() const { return m_makeDmg.get(); }
    QTimer *aTimer() const { return m_aTimer; }
    DMGMakeSureWC *makeSureWC() const { return qobject_cast<DMGMakeSureWC *>(confirmation()); }
    // True from the confirmation until an end view is shown.
    bool isJobRunning() const { return m_jobRunning; }
    // The size of the last image job handed to the engine (−1: none yet).
    qint64 lastImageSize() const { return m_lastImageSize; }

    // Outlets.
    QPushButton *makeZipBut() const;
    QPushButton *makeDmgBut() const;

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
    void viewDragAction(const FileNodeArrayPtr &nodes) override;
    void setButtonTitleColor();
    void makeZipButAction();
    void makeDmgButAction();
    void cloneButtonAction() override;
    void endScanFiles() override;
    void doMakeZip();
    void beginToMakeDMGorZIP() override;
    void doMakeZipWithFileArr();
    void doMakeDMGWithFileArr();
    void allCopyFilesSize(qint64 size) override;
    void cancelMakeZip();
    void cancelButtonAction() override;
    void beginToCopyDmg() override;
    void copyFileToDmgWithFileName(const QString &fileName, float Withprogress) override;
    void makeDmgFailWithError(qint32 error) override;
    void changePathValue(const QString &text, float withProValue);
    void canChangeTab(bool can) override { tellDelegate(can); }

private:
    void awakeFromNib();
    void confirmSelection() override;
    void refuseEmptySelection() override;
    void jobEnded() override;
    void setRadio(QPushButton *button, bool selected);
    void applyReport(quint64 serial, const QString &line, float value);
    void startImageWithSize(qint64 size);
    // Looks up the folder that receives the result off the main thread and
    // hands it to `then` on the main thread, while the job and its target
    // are still the ones it was asked for.
    void withTargetFolder(std::function<void(const QString &)> then);

    std::unique_ptr<Ui::DmgViewController> ui;

    QStringList m_zipFilesArr;
    bool m_isMakeZip = false;

    std::unique_ptr<MakeDmg> m_makeDmg;
    QPointer<QTimer> m_aTimer;

    // The current job; a report, size or timer of an older serial is dropped.
    quint64 m_jobSerial = 0;
    bool m_jobRunning = false;
    bool m_waitingForSize = false;
    qint64 m_lastImageSize = -1;
};
