// The file browser: its columns and looks, box clicks and the select-all box
// in the real outline, expansion, the scanning and summing states, kept
// selections, OK, and closing without OK.
#include "DiskListWC.h"
#include "EumeRoot.h"
#include "DiskListWCDelegate.h"
#include "LagImageATextCell.h"
#include "ListFileOutlineModel.h"
#include "ListFileViewController.h"
#include "NewOutlineView.h"
#include "TableBgView.h"
#include "RFOverlayScrollView.h"
#include "RFOverlayScroller.h"

#include "CancelTextImageButton.h"
#include "TextImageButton.h"
#include "ZrImageWindow.h"

#include "QoPublicUtilities.h"

#include "App.h"
#include "Clock.h"
#include "Dispatch.h"
#include "PlainText.h"
#include "Workspace.h"

#include "DiskListTestPrint.h"
#include "PrivateBus.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gmock/gmock.h>

#include <atomic>
#include <mutex>

namespace {

// What a page receives from the browser window.
class RecordingPage : public DiskListWCDelegate {
public:
    void closeWindowWithSelect(const FileNodeArrayPtr &arr, qint64 size) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        onMainThread = Platform::Dispatch::isMainThread();
        received = arr;
        this->size = size;
        ++calls;
    }
    std::mutex mutex;
    std::atomic<int> calls{0};
    FileNodeArrayPtr received;
    qint64 size = -1;
    bool onMainThread = true;
};

// A small volume:
//   big.bin 100, small.txt 5, Docs/ {a.txt 5, b.txt 7, Sub/ {c.txt 3}},
//   Tool.app/ {Contents/x 10}, Lib.framework/ {y 2}
struct Volume {
    Volume()
    {
        write(QStringLiteral("big.bin"), 100);
        write(QStringLiteral("small.txt"), 5);
        write(QStringLiteral("Docs/a.txt"), 5);
        write(QStringLiteral("Docs/b.txt"), 7);
        write(QStringLiteral("Docs/Sub/c.txt"), 3);
        write(QStringLiteral("Tool.app/Contents/x"), 10);
        write(QStringLiteral("Lib.framework/y"), 2);
    }
    void write(const QString &rel, int bytes)
    {
        TestSupport::writeFile(path() + QLatin1Char('/') + rel, QByteArray(bytes, 'x'));
    }
    QString path() const { return dir.path(); }
    QTemporaryDir dir;
};

// A browser window on screen, its scan sped up.
struct Browser {
    Browser()
    {
        wc.setDelegate(&page);
        wc.aWindow()->show();
        QCoreApplication::processEvents();
    }
    ListFileViewController *vc() const { return wc.listFileVC(); }
    NewOutlineView *outline() const { return vc()->outlineView(); }
    ListFileOutlineModel *model() const { return vc()->model(); }
    bool scanDone()
    {
        return TestSupport::waitUntil([&] { return !vc()->isScan(); });
    }
    FileNode *top(const QString &name) const
    {
        for (const FileNodePtr &n : *vc()->rootNodeArr())
            if (n->name == name)
                return n.get();
        return nullptr;
    }
    QModelIndex index(const FileNode *node, const QString &column) const
    {
        return model()->indexForNode(node, outline()->columnWithIdentifier(column));
    }
    QVariant value(const FileNode *node, const QString &column, int role = Qt::DisplayRole) const
    {
        return index(node, column).data(role);
    }
    void clickBox(const FileNode *node)
    {
        const QRect r = outline()->visualRect(index(node, QStringLiteral("CheckBox")));
        QTest::mouseClick(outline()->viewport(), Qt::LeftButton, {}, r.center());
    }
    void expand(const FileNode *node) { outline()->expand(model()->indexForNode(node)); }
    void pressClose() { wc.aWindow()->standardWindowButton(0)->click(); }
    // The window's modal loop; a test whose script goes wrong still gets out.
    void runModal()
    {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            ADD_FAILURE() << "the browser's modal loop did not end";
            Platform::App::stopModal();
        });
        guard.start(60000);
        wc.runModal();
    }

    Platform::ClockScaleGuard fast{20};
    RecordingPage page;
    DiskListWC wc;
};

QStringList topNames(const FileNodeArray &arr)
{
    QStringList out;
    for (const FileNodePtr &n : arr)
        out << n->name;
    return out;
}

FileNode *child(FileNode *father, const QString &name)
{
    for (const FileNodePtr &n : father->children)
        if (n->name == name)
            return n.get();
    return nullptr;
}

} // namespace

TEST(BrowserTest, ANewListingShowsTheTopLevelWithItsColumns)
{
    Volume v;
    Browser b;
    b.wc.showDetailWithPath(v.path());
    EXPECT_TRUE(b.vc()->isScan());
    EXPECT_TRUE(b.vc()->sortTimer());
    EXPECT_FALSE(b.vc()->refeshButton()->isButtonUsable());
    EXPECT_TRUE(b.vc()->doneButton()->isButtonUsable()); // OK is there while the scan runs
    EXPECT_EQ(b.vc()->selectAllButtonImageName(), QStringLiteral("checkbox_sel"));
    ASSERT_TRUE(b.scanDone());
    EXPECT_TRUE(b.vc()->refeshButton()->isButtonUsable());
    EXPECT_FALSE(b.vc()->sortTimer());

    // Files by size first, then the folders as listed.
    const QStringList shown = topNames(b.model()->shownTopLevel());
    ASSERT_EQ(shown.size(), 5);
    EXPECT_EQ(shown.mid(0, 2), (QStringList{QStringLiteral("big.bin"), QStringLiteral("small.txt")}));
    EXPECT_THAT(shown.mid(2), ::testing::UnorderedElementsAre(QStringLiteral("Docs"), QStringLiteral("Tool.app"),
                                                              QStringLiteral("Lib.framework")));
    ASSERT_EQ(b.model()->rowCount(), 5);
    const FileNode *big = b.top(QStringLiteral("big.bin"));
    const FileNode *docs = b.top(QStringLiteral("Docs"));
    ASSERT_TRUE(big && docs);
    EXPECT_EQ(b.value(big, QStringLiteral("Name")).toString(), QStringLiteral("big.bin"));
    EXPECT_EQ(b.value(big, QStringLiteral("Size")).toString(), QoPublicUtilities::convertVolSpace(100));
    EXPECT_EQ(b.value(big, QStringLiteral("Path")).toString(), v.path() + QStringLiteral("/big.bin"));
    EXPECT_EQ(b.value(docs, QStringLiteral("Size")).toString(), QStringLiteral("-"));
    EXPECT_EQ(b.value(big, QStringLiteral("CheckBox"), ListFileOutlineModel::ImageNameRole).toString(),
              QStringLiteral("checkbox_sel"));
    EXPECT_FALSE(b.value(big, QStringLiteral("CheckBox")).isValid());
    EXPECT_EQ(b.value(big, QStringLiteral("Name"), Qt::ForegroundRole).value<QColor>(), QColor(255, 255, 255));
    EXPECT_EQ(b.value(big, QStringLiteral("Size"), Qt::ForegroundRole).value<QColor>(), QColor(199, 199, 199));
    EXPECT_EQ(b.value(big, QStringLiteral("Path"), Qt::ForegroundRole).value<QColor>(), QColor(199, 199, 199));
    EXPECT_EQ(b.model()->headerData(1, Qt::Horizontal).toString(), b.outline()->columnTitles().value(1));
    EXPECT_TRUE(b.outline()->itemDelegateForColumn(b.outline()->columnWithIdentifier(QStringLiteral("Name"))));
}

TEST(BrowserTest, ApplicationsAndFrameworksAreLeavesWhoseBoxesStillWork)
{
    Volume v;
    Browser b;
    b.wc.showDetailWithPath(v.path());
    ASSERT_TRUE(b.scanDone());
    const FileNode *app = b.top(QStringLiteral("Tool.app"));
    const FileNode *framework = b.top(QStringLiteral("Lib.framework"));
    const FileNode *docs = b.top(QStringLiteral("Docs"));
    EXPECT_FALSE(b.model()->hasChildren(b.model()->indexForNode(app)));
    EXPECT_FALSE(b.model()->hasChildren(b.model()->indexForNode(framework)));
    EXPECT_TRUE(b.model()->hasChildren(b.model()->indexForNode(docs)));

    b.clickBox(app);
    EXPECT_EQ(app->state, FileNode::Unchecked);
    EXPECT_EQ(b.vc()->selectAllButtonImageName(), QStringLiteral("checkbox_halfsel"));
    b.clickBox(app);
    EXPECT_EQ(app->state, FileNode::Checked);
    EXPECT_EQ(b.vc()->selectAllButtonImageName(), QStringLiteral("checkbox_sel"));
}

TEST(BrowserTest, BoxesTakeNoClicksWhileTheScanRuns)
{
    QTemporaryDir empty; // a folder with no entries never reaches 100
    Browser b;
    b.wc.showDetailWithPath(empty.path());
    auto node = FileNode::initWithPath(empty.path() + QStringLiteral("/x"), QStringLiteral("x"), false, nullptr);
    b.vc()->rootNodeArr()->append(node);
    b.vc()->setObjectValueForTableColumn(QStringLiteral("CheckBox"), node.get());
    EXPECT_EQ(node->state, FileNode::Checked);
    b.vc()->setAllSelectOrNoSelect(nullptr);
    EXPECT_EQ(node->state, FileNode::Checked);
    EXPECT_EQ(b.vc()->selectAllButSt(), 1);
    // The timer keeps reloading; the browser stays in its scanning state.
    QTest::qWait(300);
    EXPECT_TRUE(b.vc()->isScan());
    EXPECT_TRUE(b.vc()->sortTimer());
}

TEST(BrowserTest, SystemFilesShowNoBoxTakeNoClickYetFollowTheSelectAllBox)
{
    TestSupport::TempRoot root;
    ASSERT_TRUE(TestSupport::writeFile(root.at(QStringLiteral("/Applications/Mail.app/x")), "1"));
    ASSERT_TRUE(TestSupport::writeFile(root.at(QStringLiteral("/notes.txt")), "12"));
    Browser b;
    b.wc.showDetailWithPath(root.path());
    ASSERT_TRUE(b.scanDone());
    FileNode *apps = b.top(QStringLiteral("Applications"));
    FileNode *notes = b.top(QStringLiteral("notes.txt"));
    ASSERT_TRUE(apps && notes);
    ASSERT_TRUE(apps->isSystemFile());
    EXPECT_EQ(b.value(apps, QStringLiteral("CheckBox"), ListFileOutlineModel::ImageNameRole).toString(), QString());
    EXPECT_FALSE(b.value(apps, QStringLiteral("CheckBox"), ListFileOutlineModel::EditableRole).toBool());
    EXPECT_TRUE(b.value(notes, QStringLiteral("CheckBox"), ListFileOutlineModel::EditableRole).toBool());

    b.clickBox(apps);
    EXPECT_EQ(apps->state, FileNode::Checked);
    b.vc()->setAllSelectOrNoSelect(nullptr);
    EXPECT_EQ(apps->state, FileNode::Unchecked);
    EXPECT_EQ(notes->state, FileNode::Unchecked);
    EXPECT_EQ(b.vc()->selectAllButtonImageName(), QStringLiteral("checkbox_unsel"));
    // Inside it, its children follow it when it is expanded and ticked from above.
    b.expand(apps);
    ASSERT_EQ(apps->children.size(), 1);
    EXPECT_EQ(apps->children[0]->state, FileNode::Unchecked);
    b.vc()->setAllSelectOrNoSelect(nullptr);
    EXPECT_EQ(apps->state, FileNode::Checked);
    EXPECT_EQ(apps->children[0]->state, FileNode::Checked);
}

TEST(BrowserTest, ExpandingListsChildrenThatKeepTheirPlaceThroughReloads)
{
    Volume v;
    Browser b;
    b.wc.showDetailWithPath(v.path());
    ASSERT_TRUE(b.scanDone());
    FileNode *docs = b.top(QStringLiteral("Docs"));
    b.expand(docs);
    EXPECT_TRUE(docs->isExpand);
    ASSERT_EQ(docs->children.size(), 3);
    EXPECT_EQ(b.model()->rowCount(b.model()->indexForNode(docs)), 3);
    FileNode *b7 = child(docs, QStringLiteral("b.txt"));
    FileNode *sub = child(docs, QStringLiteral("Sub"));
    ASSERT_TRUE(b7 && sub);
    EXPECT_EQ(b.value(b7, QStringLiteral("Size")).toString(), QoPublicUtilities::convertVolSpace(7));
    EXPECT_EQ(b.value(sub, QStringLiteral("Size")).toString(), QStringLiteral("-"));

    for (int i = 0; i < 3; ++i)
        b.vc()->reloadTreeList();
    QCoreApplication::processEvents();
    EXPECT_TRUE(b.outline()->isExpanded(b.model()->indexForNode(docs)));

    // Unticking a child leaves the folder partly checked, and the outline
    // shows its box half set.
    b.clickBox(b7);
    EXPECT_EQ(b7->state, FileNode::Unchecked);
    EXPECT_EQ(docs->state, FileNode::PartlyChecked);
    EXPECT_EQ(b.value(docs, QStringLiteral("CheckBox"), ListFileOutlineModel::ImageNameRole).toString(),
              QStringLiteral("checkbox_halfsel"));
    EXPECT_EQ(b.vc()->selectAllButtonImageName(), QStringLiteral("checkbox_halfsel"));

    b.outline()->collapse(b.model()->indexForNode(docs));
    EXPECT_FALSE(docs->isExpand);
}

TEST(BrowserTest, TheFirstRowIsHighlightedUntilTheUserPicksOrExpands)
{
    Volume v;
    Browser b;
    b.wc.showDetailWithPath(v.path());
    ASSERT_TRUE(b.scanDone());
    EXPECT_EQ(b.outline()->rowNum(), 0);
    QCoreApplication::processEvents();
    const QImage img = b.outline()->viewport()->grab().toImage();
    const int rowHeight = b.outline()->visualRect(b.model()->index(0, 0)).height();
    ASSERT_GT(rowHeight, 0);
    // Sample in the Size column, where no text is near the left edge.
    const int x = b.outline()->columnViewportPosition(b.outline()->columnWithIdentifier(QStringLiteral("Size"))) + 80;
    EXPECT_EQ(img.pixelColor(x, rowHeight / 2), QColor(55, 55, 55));
    EXPECT_NE(img.pixelColor(x, rowHeight + rowHeight / 2), QColor(55, 55, 55));

    const QModelIndex second = b.model()->index(1, b.outline()->columnWithIdentifier(QStringLiteral("Path")));
    QTest::mousePress(b.outline()->viewport(), Qt::LeftButton, {}, b.outline()->visualRect(second).center());
    QTest::mouseRelease(b.outline()->viewport(), Qt::LeftButton, {}, b.outline()->visualRect(second).center());
    EXPECT_EQ(b.vc()->selectedRow(), 1);
    EXPECT_EQ(b.outline()->rowNum(), 1);

    b.expand(b.top(QStringLiteral("Docs")));
    EXPECT_EQ(b.vc()->selectedRow(), -1);
    EXPECT_EQ(b.outline()->rowNum(), -1);
}

TEST(BrowserTest, TheCloseButtonIsRefusedWhileASumRuns)
{
    Browser b;
    b.wc.getSelectFilesSize(true);
    b.pressClose();
    EXPECT_TRUE(b.wc.aWindow()->isVisible());
    b.wc.getSelectFilesSize(false);
    b.pressClose();
    EXPECT_FALSE(b.wc.aWindow()->isVisible());
    EXPECT_EQ(b.page.calls, 0);
}

TEST(BrowserTest, TheCloseButtonEndsTheModalLoopWithoutACall)
{
    Volume v;
    Browser b;
    b.wc.showDetailWithPath(v.path());
    ASSERT_TRUE(b.scanDone());
    QTimer::singleShot(0, [&] { b.pressClose(); });
    b.runModal();
    EXPECT_FALSE(b.wc.aWindow()->isVisible());
    EXPECT_FALSE(Platform::App::isRunningModal());
    EXPECT_EQ(b.page.calls, 0);
}

TEST(BrowserTest, OkSumsTheSelectionAndClosesTheWindow)
{
    Volume v;
    Browser b;
    b.wc.showDetailWithPath(v.path());
    ASSERT_TRUE(b.scanDone());
    // Only big.bin and the Docs folder's a.txt stay ticked.
    b.vc()->setAllSelectOrNoSelect(nullptr);
    FileNode *docs = b.top(QStringLiteral("Docs"));
    b.expand(docs);
    b.clickBox(b.top(QStringLiteral("big.bin")));
    b.clickBox(child(docs, QStringLiteral("a.txt")));
    EXPECT_EQ(docs->state, FileNode::PartlyChecked);

    QTimer::singleShot(0, [&] {
        QTest::mouseClick(b.vc()->doneButton(), Qt::LeftButton);
        EXPECT_FALSE(b.vc()->waitView()->isHidden());
        EXPECT_FALSE(b.vc()->doneButton()->isButtonUsable());
        EXPECT_FALSE(b.vc()->refeshButton()->isButtonUsable());
    });
    b.runModal();
    ASSERT_EQ(b.page.calls, 1);
    EXPECT_FALSE(b.page.onMainThread);
    EXPECT_EQ(b.page.size, 105);
    // The browser's controller holds what was ticked when OK handed the tree on.
    const FileNodeList &ticked = b.vc()->controller()->selectNodeArr();
    ASSERT_EQ(ticked.size(), 2);
    EXPECT_EQ(ticked[0].get(), b.top(QStringLiteral("big.bin")));
    EXPECT_EQ(ticked[1].get(), child(docs, QStringLiteral("a.txt")));
    EXPECT_EQ(b.page.received, b.vc()->rootNodeArr());
    EXPECT_FALSE(b.wc.aWindow()->isVisible());
    EXPECT_FALSE(b.wc.isGetSelectSize());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return b.vc()->waitView()->isHidden(); }));
    EXPECT_TRUE(b.vc()->doneButton()->isButtonUsable());
}

TEST(BrowserTest, OkWhileTheScanRunsSumsTheWholeListOnceItIsComplete)
{
    QTemporaryDir dir;
    const int files = 3000;
    qint64 total = 0;
    for (int i = 0; i < files; ++i) {
        TestSupport::writeFile(dir.path() + QStringLiteral("/f%1").arg(i), QByteArray(i % 17 + 1, 'x'));
        total += i % 17 + 1;
    }
    Browser b;
    b.wc.showDetailWithPath(dir.path());
    // The scan has not handed over a single node yet.
    b.vc()->doneButtonAction(nullptr);
    EXPECT_TRUE(b.vc()->isWaitingForScan());
    EXPECT_FALSE(b.vc()->waitView()->isHidden());
    b.pressClose(); // refused: the sum is pending
    EXPECT_TRUE(b.wc.aWindow()->isVisible());
    ASSERT_TRUE(TestSupport::waitUntil([&] { return b.page.calls > 0; }, 30000));
    EXPECT_EQ(b.page.calls, 1);
    EXPECT_EQ(b.page.size, total);
    EXPECT_EQ(b.page.received->size(), files);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !b.wc.aWindow()->isVisible(); }));
}

TEST(BrowserTest, AKeptSelectionShowsItsMarksAndRefreshRescansIntoTheSameArray)
{
    Volume v;
    FileNodeArrayPtr kept;
    {
        Browser first;
        first.wc.showDetailWithPath(v.path());
        ASSERT_TRUE(first.scanDone());
        first.clickBox(first.top(QStringLiteral("small.txt")));
        first.expand(first.top(QStringLiteral("Docs")));
        kept = first.vc()->rootNodeArr();
    }
    const FileNode *docs = nullptr;
    for (const FileNodePtr &n : *kept)
        if (n->name == QLatin1String("Docs"))
            docs = n.get();
    ASSERT_TRUE(docs);

    Browser b;
    b.vc()->setArrForListWithArr(kept, v.path());
    EXPECT_FALSE(b.vc()->isScan());
    EXPECT_FALSE(b.vc()->sortTimer());
    EXPECT_EQ(b.vc()->rootNodeArr(), kept);
    EXPECT_EQ(b.vc()->selectAllButtonImageName(), QStringLiteral("checkbox_halfsel"));
    EXPECT_EQ(
        b.value(b.top(QStringLiteral("small.txt")), QStringLiteral("CheckBox"), ListFileOutlineModel::ImageNameRole)
            .toString(),
        QStringLiteral("checkbox_unsel"));
    // The folder left open is shown open.
    EXPECT_TRUE(b.outline()->isExpanded(b.model()->indexForNode(docs)));

    b.vc()->refreshButtonAction(nullptr);
    ASSERT_TRUE(b.scanDone());
    EXPECT_EQ(b.vc()->rootNodeArr(), kept);
    EXPECT_EQ(kept->size(), 5);
    for (const FileNodePtr &n : *kept)
        EXPECT_EQ(n->state, FileNode::Checked) << n->name.toStdString();
}

TEST(BrowserTest, RefreshOnADroppedSelectionListsTheDroppedItemsAgain)
{
    Volume v;
    QTemporaryDir elsewhere;
    const QString other = elsewhere.path() + QStringLiteral("/other.txt");
    ASSERT_TRUE(TestSupport::writeFile(other, QByteArray(11, 'x')));
    const QList<QByteArray> dropped{QFile::encodeName(v.path() + QStringLiteral("/Docs")),
                                    QFile::encodeName(other)};
    // With and without a source volume chosen before the drop.
    for (const QString &searchPath : {QString(), v.path()}) {
        SCOPED_TRACE(searchPath.toStdString());
        const FileNodeArrayPtr kept = EumeRoot::nodesForDroppedPaths(dropped);
        ASSERT_EQ(kept->size(), 2);
        Browser b;
        b.vc()->setArrForListWithArr(kept, searchPath);
        FileNode *docs = b.top(QStringLiteral("Docs"));
        b.expand(docs);
        b.clickBox(child(docs, QStringLiteral("a.txt")));
        b.clickBox(b.top(QStringLiteral("other.txt")));
        ASSERT_EQ(docs->state, FileNode::PartlyChecked);

        QTest::mouseClick(b.vc()->refeshButton(), Qt::LeftButton);
        ASSERT_TRUE(b.scanDone());
        EXPECT_EQ(b.vc()->rootNodeArr(), kept);
        EXPECT_EQ(topNames(*kept), (QStringList{QStringLiteral("Docs"), QStringLiteral("other.txt")}));
        for (const FileNodePtr &n : *kept)
            EXPECT_EQ(n->state, FileNode::Checked) << n->name.toStdString();
        EXPECT_EQ(b.model()->rowCount(), 2);

        // OK sums what the drop holds: Docs (5 + 7 + 3) and the other file.
        QTimer::singleShot(0, [&] { QTest::mouseClick(b.vc()->doneButton(), Qt::LeftButton); });
        b.runModal();
        ASSERT_TRUE(TestSupport::waitUntil([&] { return b.page.calls.load() == 1; }));
        EXPECT_EQ(b.page.size, 15 + 11);
    }
}

TEST(BrowserTest, AFolderOfAKeptSelectionListsFilesWithTheirRealSizes)
{
    Volume v;
    auto kept = std::make_shared<FileNodeArray>();
    kept->append(FileNode::initWithPath(v.path() + QStringLiteral("/Docs"), QStringLiteral("Docs"), true, nullptr));
    Browser b;
    b.vc()->setArrForListWithArr(kept, v.path());
    FileNode *docs = kept->at(0).get();
    b.expand(docs);
    ASSERT_EQ(docs->children.size(), 3);
    EXPECT_EQ(b.value(child(docs, QStringLiteral("a.txt")), QStringLiteral("Size")).toString(),
              QoPublicUtilities::convertVolSpace(5));
}

TEST(BrowserTest, ClosingWithoutOkPutsAKeptSelectionBack)
{
    Volume v;
    FileNodeArrayPtr kept;
    {
        Browser first;
        first.wc.showDetailWithPath(v.path());
        ASSERT_TRUE(first.scanDone());
        first.clickBox(first.top(QStringLiteral("small.txt")));
        kept = first.vc()->rootNodeArr();
    }
    const FileNodeArray before = *kept;
    QMap<const FileNode *, qint64> states;
    for (const FileNodePtr &n : before)
        states.insert(n.get(), n->state);

    {
        // Marks changed, a folder listed, then closed.
        Browser b;
        b.vc()->setArrForListWithArr(kept, v.path());
        FileNode *docs = b.top(QStringLiteral("Docs"));
        b.expand(docs);
        b.clickBox(child(docs, QStringLiteral("a.txt")));
        b.clickBox(b.top(QStringLiteral("big.bin")));
        EXPECT_EQ(docs->state, FileNode::PartlyChecked);
        b.pressClose();
        EXPECT_EQ(b.page.calls, 0);
    }
    EXPECT_EQ(*kept, before);
    for (const FileNodePtr &n : *kept) {
        EXPECT_EQ(n->state, states.value(n.get())) << n->name.toStdString();
        EXPECT_TRUE(n->children.isEmpty()) << n->name.toStdString();
        EXPECT_FALSE(n->isExpand);
    }

    {
        // Refreshed (the page's array emptied and filled anew), then cancelled.
        Browser b;
        b.vc()->setArrForListWithArr(kept, v.path());
        b.vc()->refreshButtonAction(nullptr);
        ASSERT_TRUE(b.scanDone());
        EXPECT_NE(*kept, before);
        QTest::mouseClick(b.vc()->cancelButton(), Qt::LeftButton);
        EXPECT_FALSE(b.wc.aWindow()->isVisible());
    }
    EXPECT_EQ(*kept, before);
    for (const FileNodePtr &n : *kept)
        EXPECT_EQ(n->state, states.value(n.get())) << n->name.toStdString();
}

TEST(BrowserTest, ClosingDuringARefreshStopsItFillingThePagesArray)
{
    QTemporaryDir dir;
    for (int i = 0; i < 3000; ++i)
        TestSupport::writeFile(dir.path() + QStringLiteral("/f%1").arg(i), "x");
    auto kept = std::make_shared<FileNodeArray>();
    kept->append(FileNode::initWithPath(dir.path() + QStringLiteral("/f1"), QStringLiteral("f1"), false, nullptr));
    const FileNodeArray before = *kept;
    {
        Browser b;
        b.vc()->setArrForListWithArr(kept, dir.path());
        b.vc()->refreshButtonAction(nullptr);
        b.pressClose();
        EXPECT_EQ(*kept, before);
    }
    EXPECT_TRUE(Platform::Dispatch::waitForGlobalQueue());
    QCoreApplication::processEvents();
    EXPECT_EQ(*kept, before);
}

TEST(BrowserTest, RevealColumnShowsTheItemInTheFileManager)
{
    Volume v;
    Browser b;
    TestSupport::FileManagerRig rig;
    ASSERT_TRUE(rig.ok());
    b.wc.showDetailWithPath(v.path());
    ASSERT_TRUE(b.scanDone());
    const QRect r = b.outline()->visualRect(b.index(b.top(QStringLiteral("big.bin")), QStringLiteral("OpenFinder")));
    QTest::mouseClick(b.outline()->viewport(), Qt::LeftButton, {}, r.center());
    const QRect p = b.outline()->visualRect(b.index(b.top(QStringLiteral("big.bin")), QStringLiteral("Pareview")));
    QTest::mouseClick(b.outline()->viewport(), Qt::LeftButton, {}, p.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.shown().isEmpty(); }, 10000));
    QTest::qWait(100);
    const QList<QStringList> shown = rig.shown();
    ASSERT_EQ(shown.size(), 1);
    ASSERT_EQ(shown.first().size(), 1);
    EXPECT_EQ(QUrl(shown.first().first()).toLocalFile(), v.path() + QStringLiteral("/big.bin"));
    EXPECT_TRUE(rig.opened().isEmpty());
}

TEST(BrowserTest, NameCellGeometry)
{
    const QRectF frame(10, 40, 200, 24);
    EXPECT_EQ(LagImageATextCell::imageRectForCellFrame(frame, 24, true), QRectF(10, 40 - 21 + 22, 20, 20));
    EXPECT_EQ(LagImageATextCell::imageRectForCellFrame(frame, 24, false), QRectF(10, 40 - 21 + 2, 20, 20));
    EXPECT_EQ(LagImageATextCell::imageRectForCellFrame(frame, 25, true), QRectF(10, 40 - 21 + 23, 20, 20));
    EXPECT_EQ(LagImageATextCell::titleRectForBounds(QRectF(33, 40, 170, 24), frame, 16),
              QRectF(33, 40 + 4 - 2, 170, 16));
    EXPECT_EQ(LagImageATextCell::textFrameForEditing(frame, 20), QRectF(33, 40, 177, 24));
    EXPECT_EQ(LagImageATextCell::cellWidth(100, 20), 123);
    EXPECT_EQ(LagImageATextCell::cellWidth(100, 0), 103);
}

namespace {

// A volume with a file four levels down: Users/u/Documents/report.txt.
struct DeepVolume {
    DeepVolume()
    {
        TestSupport::writeFile(dir.path() + QStringLiteral("/Users/u/Documents/report.txt"), "12345");
        TestSupport::writeFile(dir.path() + QStringLiteral("/top.txt"), "1");
    }
    QTemporaryDir dir;
};

// The browser showing the deep volume with every folder down to the file open;
// returns the file's node.
FileNode *openFourLevels(Browser &b, const DeepVolume &v)
{
    b.wc.showDetailWithPath(v.dir.path());
    if (!b.scanDone())
        return nullptr;
    FileNode *node = b.top(QStringLiteral("Users"));
    for (const QString &name : {QStringLiteral("u"), QStringLiteral("Documents"), QStringLiteral("report.txt")}) {
        if (!node)
            return nullptr;
        b.expand(node);
        node = child(node, name);
    }
    QCoreApplication::processEvents();
    return node;
}

// The part of the outline's picture where a row's check box column is drawn.
QImage boxColumnOf(Browser &b, const FileNode *node)
{
    const int column = b.outline()->columnWithIdentifier(QStringLiteral("CheckBox"));
    const QRect row = b.outline()->visualRect(b.index(node, QStringLiteral("Size")));
    const QRect cell(b.outline()->columnViewportPosition(column), row.top(), b.outline()->columnWidth(column),
                     row.height());
    return b.outline()->viewport()->grab().toImage().copy(cell);
}

// A click where the box column of a row is, as the user aims at it.
void clickBoxColumn(Browser &b, const FileNode *node, int boxCentreX)
{
    const QRect row = b.outline()->visualRect(b.index(node, QStringLiteral("Size")));
    QTest::mouseClick(b.outline()->viewport(), Qt::LeftButton, {}, QPoint(boxCentreX, row.center().y()));
}

// Where the box of a top-level row is drawn: the middle of the non-background
// pixels of its box column.
int boxCentreX(const QImage &cell)
{
    const QColor background = cell.pixelColor(cell.width() - 1, 0);
    int left = -1, right = -1;
    for (int x = 0; x < cell.width(); ++x)
        for (int y = 0; y < cell.height(); ++y)
            if (cell.pixelColor(x, y) != background) {
                if (left < 0)
                    left = x;
                right = x;
            }
    return left < 0 ? -1 : (left + right) / 2;
}

} // namespace

TEST(BrowserTest, EveryRowShowsItsBoxAndTakesARealClickFourLevelsDown)
{
    DeepVolume v;
    Browser b;
    FileNode *report = openFourLevels(b, v);
    ASSERT_TRUE(report);
    const FileNode *top = b.top(QStringLiteral("top.txt"));
    ASSERT_TRUE(top);
    // Both checked: the deep row's box is drawn exactly as the top row's.
    const QImage topBox = boxColumnOf(b, top);
    const int x = boxCentreX(topBox);
    ASSERT_GE(x, 0) << "the top row shows no box";
    EXPECT_EQ(boxColumnOf(b, report), topBox);

    clickBoxColumn(b, report, b.outline()->columnViewportPosition(0) + x);
    EXPECT_EQ(report->state, FileNode::Unchecked);
    EXPECT_EQ(b.top(QStringLiteral("Users"))->state, FileNode::Unchecked);
    EXPECT_EQ(b.vc()->selectAllButtonImageName(), QStringLiteral("checkbox_halfsel"));
    clickBoxColumn(b, report, b.outline()->columnViewportPosition(0) + x);
    EXPECT_EQ(report->state, FileNode::Checked);
    EXPECT_EQ(b.top(QStringLiteral("Users"))->state, FileNode::Checked);
}

TEST(BrowserTest, Screenshot)
{
    DeepVolume v;
    Browser b;
    FileNode *report = openFourLevels(b, v);
    ASSERT_TRUE(report);
    clickBoxColumn(b, report, b.outline()->columnViewportPosition(0) + boxCentreX(boxColumnOf(b, b.top(QStringLiteral("top.txt")))));
    ASSERT_EQ(report->state, FileNode::Unchecked);
    QCoreApplication::processEvents();
    const QImage shot(TestSupport::saveScreenshot(b.wc.aWindow(), QStringLiteral("disklist_browser")));
    ASSERT_FALSE(shot.isNull());
    // The unticked deep row's box is the empty box, the top row's the ticked one.
    EXPECT_NE(boxColumnOf(b, report), boxColumnOf(b, b.top(QStringLiteral("top.txt"))));
    EXPECT_EQ(b.value(b.top(QStringLiteral("Users")), QStringLiteral("CheckBox"), ListFileOutlineModel::ImageNameRole)
                  .toString(),
              QStringLiteral("checkbox_unsel"));

    b.vc()->doShowLoadView();
    const QImage waiting(TestSupport::saveScreenshot(b.wc.aWindow(), QStringLiteral("disklist_browser_summing")));
    ASSERT_FALSE(waiting.isNull());
    // The wait view covers the list while the sum runs.
    EXPECT_TRUE(b.vc()->waitView()->isVisible());
    EXPECT_NE(waiting, shot);
    b.vc()->doHiddenLoadView();
}

TEST(BrowserTest, ThePathColumnShowsTheSystemsPathsNeverTheWorldsHostFolder)
{
    TestSupport::TempRoot root;
    const QString volume = root.at(QStringLiteral("/Volumes/USB"));
    ASSERT_TRUE(TestSupport::writeFile(volume + QStringLiteral("/notes.txt"), "notes"));
    ASSERT_TRUE(TestSupport::writeFile(volume + QStringLiteral("/Docs/a.txt"), "a"));
    Browser b;
    b.wc.showDetailWithPath(volume);
    ASSERT_TRUE(b.scanDone());
    FileNode *notes = b.top(QStringLiteral("notes.txt"));
    FileNode *docs = b.top(QStringLiteral("Docs"));
    ASSERT_TRUE(notes && docs);
    EXPECT_EQ(b.value(notes, QStringLiteral("Path")).toString(), QStringLiteral("/Volumes/USB/notes.txt"));
    EXPECT_EQ(b.value(notes, QStringLiteral("Path"), Qt::ToolTipRole).toString(),
              Platform::plainToolTip(QStringLiteral("/Volumes/USB/notes.txt")));
    EXPECT_EQ(b.value(notes, QStringLiteral("Name"), Qt::ToolTipRole).toString(),
              Platform::plainToolTip(QStringLiteral("/Volumes/USB/notes.txt")));
    b.expand(docs);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return child(docs, QStringLiteral("a.txt")) != nullptr; }));
    EXPECT_EQ(b.value(child(docs, QStringLiteral("a.txt")), QStringLiteral("Path")).toString(),
              QStringLiteral("/Volumes/USB/Docs/a.txt"));
    // The nodes themselves keep the paths of this machine, for the engines.
    EXPECT_EQ(notes->path, volume + QStringLiteral("/notes.txt"));
}

TEST(BrowserTest, ADanglingLinkShowsAPictureAndItsNameInLine)
{
    Volume v;
    ASSERT_TRUE(QFile::link(v.path() + QStringLiteral("/gone"), v.path() + QStringLiteral("/dangling")));
    Browser b;
    b.wc.showDetailWithPath(v.path());
    ASSERT_TRUE(b.scanDone());
    const FileNode *link = b.top(QStringLiteral("dangling"));
    const FileNode *file = b.top(QStringLiteral("small.txt"));
    ASSERT_TRUE(link && file);
    EXPECT_FALSE(b.value(link, QStringLiteral("Name"), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(b.value(file, QStringLiteral("Name"), Qt::DecorationRole).value<QIcon>().isNull());
}

TEST(BrowserTest, TheListStandsOnAPlainTableBgViewThatDrawsNothingOfItsOwn)
{
    Volume v;
    Browser b;
    b.wc.showDetailWithPath(v.path());
    ASSERT_TRUE(b.scanDone());
    TableBgView *bg = b.vc()->listView();
    ASSERT_TRUE(bg);
    EXPECT_TRUE(bg->isVisible());
    EXPECT_TRUE(bg->isAncestorOf(b.outline()));
    // Between the view's edge and the list the browser's own background shows.
    const QImage shot = b.vc()->grab().toImage();
    const QPoint margin = bg->mapTo(b.vc(), QPoint(1, bg->height() / 2));
    ASSERT_LT(margin.x(), b.outline()->mapTo(b.vc(), QPoint(0, 0)).x());
    EXPECT_EQ(shot.pixelColor(margin), QColor(38, 38, 38));

    // On any background it stays transparent.
    QWidget red;
    red.resize(40, 40);
    red.setAutoFillBackground(true);
    QPalette p = red.palette();
    p.setColor(QPalette::Window, Qt::red);
    red.setPalette(p);
    auto *plain = new TableBgView(&red);
    plain->setGeometry(10, 10, 20, 20);
    red.show();
    EXPECT_EQ(red.grab().toImage().pixelColor(20, 20), QColor(Qt::red));
}

TEST(BrowserTest, TheListScrollsUnderTheDarkOverlayScrollerNotAStockBar)
{
    QTemporaryDir dir;
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/file%1.txt").arg(i, 2, 10, QLatin1Char('0')),
                                           QByteArray(i + 1, 'x')));
    Browser b;
    b.wc.showDetailWithPath(dir.path());
    ASSERT_TRUE(b.scanDone());
    RFOverlayScrollView *scroll = b.vc()->outlineScrollView();
    ASSERT_TRUE(scroll);
    EXPECT_EQ(b.outline()->parentWidget(), scroll);
    EXPECT_EQ(scroll->contentView(), b.outline());
    RFOverlayScroller *scroller = scroll->verticalScroller();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return scroller->isVisible(); }));
    // No stock bar shows, and the list keeps its full width.
    EXPECT_FALSE(b.outline()->verticalScrollBar()->isVisible());
    EXPECT_FALSE(b.outline()->horizontalScrollBar()->isVisible());
    EXPECT_EQ(b.outline()->width(), scroll->width());
    EXPECT_EQ(scroller->geometry().top(), 30) << "the scroller starts below the header";

    // The scroller's strip: the dark knob on the list's own dark background.
    const auto strip = [&] {
        const QImage shot = b.wc.aWindow()->grab().toImage();
        const qreal dpr = shot.devicePixelRatio();
        const QRectF knob = scroller->drawnKnobRect();
        const QPoint knobCentre = scroller->mapTo(b.wc.aWindow(), knob.center().toPoint());
        const QPoint belowKnob =
            scroller->mapTo(b.wc.aWindow(), QPoint(int(knob.center().x()), int(knob.bottom()) + 20));
        return std::pair{shot.pixelColor(knobCentre * dpr), shot.pixelColor(belowKnob * dpr)};
    };
    const auto [knob, track] = strip();
    EXPECT_EQ(knob, QColor(75, 75, 75));
    EXPECT_EQ(track, QColor(38, 38, 38)) << "no light groove behind the knob";
    TestSupport::saveScreenshot(b.wc.aWindow(), QStringLiteral("disklist_browser_overlay_scroller"));

    // A real click below the knob pages the list down.
    const QRectF knobRect = scroller->drawnKnobRect();
    QTest::mouseClick(scroller, Qt::LeftButton, {}, QPoint(int(knobRect.center().x()), int(knobRect.bottom()) + 10));
    EXPECT_GT(b.outline()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(scroller->value(), b.outline()->verticalScrollBar()->value());
}
