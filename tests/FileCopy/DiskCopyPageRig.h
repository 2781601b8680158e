#pragma once
// A Disk Copy page inside a stand-in main window, on a demo world, with the
// helpers the page tests share: records of the world's volumes, the volume
// picker driven through its rows, the confirmation panel's buttons, and tree
// comparison.
#include "CopyMakeSureWC.h"
#include "DiskCopyVCDelegate.h"
#include "DiskCopyViewController.h"
#include "DiskListView.h"
#include "DiskListViewController.h"
#include "DiskWorldFixture.h"
#include "SelectDiskViewController.h"
#include "SelectValueView.h"
#include "TestSupport.h"
#include "TextImageButton.h"
#include "VoPopoverController.h"
#include "VolumeObjBuilders.h"

#include "Clock.h"
#include "Dispatch.h"
#include "SystemInfo.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace DiskCopyPageRig {

class TabLock : public DiskCopyVCDelegate {
public:
    void canChangeTab(bool can) override { calls.append(can); }
    QList<bool> calls;
};

// The main window's size and the page's place in it.
class PageWindow {
public:
    PageWindow()
    {
        window = std::make_unique<QWidget>();
        window->resize(1200, 632);
        page = new DiskCopyViewController(window.get());
        page->move(230, 0);
        page->setDelegate(&lock);
        window->show();
    }
    ~PageWindow()
    {
        page->setDelegate(nullptr);
        window.reset();
        Platform::Dispatch::waitForGlobalQueue();
    }
    std::unique_ptr<QWidget> window;
    DiskCopyViewController *page = nullptr;
    TabLock lock;
};

// The picker's record of a world volume, as a click on its row would give it.
inline VolumeObjPtr volumeRecord(const TestSupport::DiskWorldFixture &world, const QString &name)
{
    return VolumeObjFromPicker(world.info(world.bsdName(name)));
}

// Opens the picker from a card and clicks the row of the named volume.
inline bool pickThroughCard(DiskCopyViewController *page, qint32 side, const QString &volumeName)
{
    SelectValueView *card = side == 1 ? page->selectFromVC() : page->selectToVC();
    QTest::mouseClick(card->selectDiskBut(), Qt::LeftButton);
    if (!TestSupport::waitUntil([&] { return page->selectDiskVC() && page->selectDiskVC()->isListShown(); }))
        return false;
    for (DiskListViewController *row : page->selectDiskVC()->findChildren<DiskListViewController *>()) {
        if (row->volumeObj() && row->volumeObj()->volumeName == volumeName) {
            QTest::mouseClick(row->aView(), Qt::LeftButton, {}, QPoint(40, 20));
            return true;
        }
    }
    return false;
}

// Sets a side directly, as the picker's answer would.
inline void choose(DiskCopyViewController *page, qint32 side, const VolumeObjPtr &volume)
{
    // A picker that is still fading out would take the click as "close".
    page->chengeTabCloseNode();
    page->selectDiskButton(side, side == 1 ? page->selectFromVC() : page->selectToVC());
    page->doSelectDiskWithVolume(volume);
    page->chengeTabCloseNode();
    // A target's own check answers from a worker.
    EXPECT_TRUE(TestSupport::waitUntil([&] { return !page->isTargetCheckPending(); }));
}

inline void settle()
{
    Platform::Dispatch::waitForGlobalQueue();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// Every entry below `root`, relative, with a file's bytes or "<dir>".
inline QMap<QString, QByteArray> treeOf(const QString &root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        const QFileInfo info(path);
        tree.insert(rel, info.isDir() && !info.isSymLink() ? QByteArray("<dir>") : TestSupport::readFile(path));
    }
    return tree;
}

// The dated copy folders on a target.
inline QStringList cloneFolders(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("KestrovaDiskClone(*)")}, QDir::Dirs | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace DiskCopyPageRig
