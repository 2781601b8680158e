// Showing an item in the file manager: the desktop's file-manager interface
// when one answers on the bus, the item's folder otherwise.
#include <gtest/gtest.h>

#include "PrivateBus.h"
#include "TestSupport.h"
#include "Workspace.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using Platform::Workspace;
using TestSupport::PrivateBus;
using TestSupport::StandInFileManager;

namespace {

class SelectFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_file = m_dir.filePath(QStringLiteral("Trip plan (2024) #1.txt"));
        ASSERT_TRUE(TestSupport::writeFile(m_file, "plan"));
    }

    QTemporaryDir m_dir;
    QString m_file;
};

} // namespace

TEST_F(SelectFile, TheFileManagerOnTheBusShowsTheItemSelected)
{
    TestSupport::FileManagerRig manager;
    ASSERT_TRUE(manager.ok());
    Workspace::shared().selectFile(m_file);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !manager.shown().isEmpty(); }, 10000));
    ASSERT_EQ(manager.shown().size(), 1);
    const QStringList uris = manager.shown().first();
    ASSERT_EQ(uris.size(), 1);
    EXPECT_TRUE(uris.first().startsWith(QLatin1String("file:///"))) << uris.first().toStdString();
    EXPECT_EQ(QUrl(uris.first()).toLocalFile(), m_file);
    // The folder is not opened besides.
    QTest::qWait(200);
    EXPECT_TRUE(manager.opened().isEmpty());

    // A folder is shown selected in the folder that holds it.
    Workspace::shared().selectFile(m_dir.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return manager.shown().size() == 2; }, 10000));
    EXPECT_EQ(QUrl(manager.shown().last().value(0)).toLocalFile(), m_dir.path());
}

TEST_F(SelectFile, WithoutAFileManagerTheItemsFolderOpens)
{
    // A bus with no file manager on it.
    PrivateBus bus;
    ASSERT_TRUE(bus.ok());
    Workspace::shared().setFileManagerBusAddress(bus.address());
    Workspace::shared().setRecordingOpens(true);
    Workspace::shared().selectFile(m_file);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Workspace::shared().openedItems().isEmpty(); }, 10000));
    EXPECT_EQ(Workspace::shared().openedItems(), QStringList{m_dir.path()});
    Workspace::shared().setRecordingOpens(false);
    Workspace::shared().setFileManagerBusAddress(QString());
}

TEST_F(SelectFile, AFileManagerThatRefusesLeavesTheFolderOpened)
{
    TestSupport::FileManagerRig manager(StandInFileManager::Answer::Refuse);
    ASSERT_TRUE(manager.ok());
    Workspace::shared().selectFile(m_file);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !manager.opened().isEmpty(); }, 10000));
    EXPECT_EQ(manager.opened(), QStringList{m_dir.path()});
}

TEST_F(SelectFile, WithoutABusTheItemsFolderOpensAtOnce)
{
    Workspace::shared().setRecordingOpens(true);
    QTemporaryDir nowhere;
    Workspace::shared().setFileManagerBusAddress(QStringLiteral("unix:path=") +
                                                 nowhere.filePath(QStringLiteral("no-bus")));
    Workspace::shared().selectFile(m_file);
    EXPECT_EQ(Workspace::shared().openedItems(), QStringList{m_dir.path()});
    // An empty path shows nothing.
    Workspace::shared().clearOpenedItems();
    Workspace::shared().selectFile(QString());
    EXPECT_TRUE(Workspace::shared().openedItems().isEmpty());
    Workspace::shared().setRecordingOpens(false);
    Workspace::shared().setFileManagerBusAddress(QString());
}
