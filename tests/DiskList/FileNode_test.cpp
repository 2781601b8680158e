// The file tree and its check marks: push-down, ancestors, clicks, expansion,
// the select-all box and the one reading rule.
#include "Controller.h"
#include "FileNode.h"

#include "DiskListTestPrint.h"
#include "Dispatch.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <gmock/gmock.h>

using ::testing::NiceMock;

namespace {

class MockControllerDelegate : public ControllerDelegate {
public:
    MOCK_METHOD(void, reloadTreeList, (), (override));
    MOCK_METHOD(void, changeSelectAllButtonState, (), (override));
};

FileNodePtr folder(const QString &name, FileNode *father = nullptr)
{
    const QString path = father ? father->path + QLatin1Char('/') + name : QStringLiteral("/V/") + name;
    return FileNode::initWithPath(path, name, true, father);
}

FileNodePtr file(const QString &name, FileNode *father, quint64 size = 0)
{
    const QString path = father ? father->path + QLatin1Char('/') + name : QStringLiteral("/V/") + name;
    FileNodePtr n = FileNode::initWithPath(path, name, false, father);
    n->size = size;
    return n;
}

FileNode *add(FileNode *father, FileNodePtr child)
{
    father->children.append(child);
    return child.get();
}

// A small loaded tree:
//   top (folder)
//     a (folder)   -> a1 (file), a2 (folder) -> a21 (file)
//     b (file)
struct Tree {
    FileNodePtr top = folder(QStringLiteral("top"));
    FileNode *a = add(top.get(), folder(QStringLiteral("a"), top.get()));
    FileNode *a1 = add(a, file(QStringLiteral("a1"), a));
    FileNode *a2 = add(a, folder(QStringLiteral("a2"), a));
    FileNode *a21 = add(a2, file(QStringLiteral("a21"), a2));
    FileNode *b = add(top.get(), file(QStringLiteral("b"), top.get()));

    void setAll(qint64 s)
    {
        for (FileNode *n : {top.get(), a, a1, a2, a21, b})
            n->state = s;
    }
    QList<qint64> states() const { return {top->state, a->state, a1->state, a2->state, a21->state, b->state}; }
};

} // namespace

TEST(FileNodeTest, NewNodeStartsCheckedCollapsedAndEmpty)
{
    FileNodePtr father = folder(QStringLiteral("F"));
    FileNodePtr n = FileNode::initWithPath(QStringLiteral("/V/F/x"), QStringLiteral("x"), false, father.get());
    EXPECT_EQ(n->state, 1);
    EXPECT_EQ(n->size, 0u);
    EXPECT_FALSE(n->isExpand);
    EXPECT_EQ(n->isButtonState, 0);
    EXPECT_TRUE(n->children.isEmpty());
    EXPECT_EQ(n->father, father.get());
    EXPECT_EQ(n->name, QStringLiteral("x"));
    EXPECT_EQ(n->path, QStringLiteral("/V/F/x"));
    EXPECT_TRUE(father.use_count() == 1) << "a child must not own its father";
}

TEST(FileNodeTest, DisplayNameIsTheLastPathComponent)
{
    const struct {
        const char *path;
        const char *display;
    } cases[] = {
        {"/Volumes/X/Applications", "Applications"},
        {"/Applications", "Applications"},
        {"/Volumes/X/folder/", "folder"},
        {"/", "/"},
        {"relative", "relative"},
    };
    for (const auto &c : cases) {
        FileNodePtr n = FileNode::initWithPath(QString::fromUtf8(c.path), QStringLiteral("listed"), false, nullptr);
        EXPECT_EQ(n->displayName(), QString::fromUtf8(c.display)) << c.path;
    }
}

TEST(FileNodeTest, IconComesFromThePathOnTheMainThread)
{
    QTemporaryDir dir;
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/a.txt"), "x"));
    FileNodePtr f =
        FileNode::initWithPath(dir.path() + QStringLiteral("/a.txt"), QStringLiteral("a.txt"), false, nullptr);
    FileNodePtr d = FileNode::initWithPath(dir.path(), QStringLiteral("d"), true, nullptr);
    // On the main thread the workspace gives a picture for files and folders.
    EXPECT_FALSE(f->icon().isNull());
    EXPECT_FALSE(d->icon().isNull());
    EXPECT_FALSE(f->icon().pixmap(16, 16).isNull());
    // Anywhere else there is none (icons are widgets' business).
    std::atomic<int> offMain{-1};
    Platform::Dispatch::globalAsync([&] { offMain = (f->icon().isNull() && d->icon().isNull()) ? 1 : 0; });
    ASSERT_TRUE(TestSupport::waitUntil([&] { return offMain.load() >= 0; }));
    EXPECT_EQ(offMain.load(), 1);
}

// Reading rule: 1 takes the item whole, 2 walks its children, 0 skips.
TEST(FileNodeTest, WalkSelectionTakesCheckedWalksPartlyCheckedSkipsUnchecked)
{
    Tree t;
    FileNodeArray top{t.top};

    const struct {
        QList<qint64> states; // top, a, a1, a2, a21, b
        QStringList taken;
    } cases[] = {
        {{1, 0, 0, 0, 0, 0}, {QStringLiteral("top")}}, // taken whole, whatever its children say
        {{0, 1, 1, 1, 1, 1}, {}},
        {{2, 1, 0, 0, 0, 1}, {QStringLiteral("a"), QStringLiteral("b")}},
        {{2, 2, 1, 0, 1, 0}, {QStringLiteral("a1")}},
        {{2, 2, 0, 2, 1, 1}, {QStringLiteral("a21"), QStringLiteral("b")}},
        {{2, 2, 0, 0, 0, 0}, {}},
    };
    for (const auto &c : cases) {
        FileNode *nodes[] = {t.top.get(), t.a, t.a1, t.a2, t.a21, t.b};
        for (int i = 0; i < 6; ++i)
            nodes[i]->state = c.states[i];
        QStringList taken;
        FileNode::walkSelection(top, [&](FileNode *n) { taken << n->name; });
        EXPECT_EQ(taken, c.taken) << c.states[0] << c.states[1] << c.states[2];
    }
}

TEST(FileNodeTest, AFolderCheckedButNeverListedIsTakenWhole)
{
    FileNodePtr f = folder(QStringLiteral("never-listed"));
    int taken = 0;
    FileNode::walkSelection({f}, [&](FileNode *n) {
        EXPECT_EQ(n, f.get());
        ++taken;
    });
    EXPECT_EQ(taken, 1);
}

// Push down: a descendant follows exactly when every ancestor from the start
// node down to its grandparent is expanded.
TEST(CheckMarkTest, PushDownReachesDescendantsThroughExpandedFoldersOnly)
{
    const struct {
        bool topExpanded, aExpanded, a2Expanded;
        QList<qint64> after; // top, a, a1, a2, a21, b after pushing 0 from top
    } cases[] = {
        // Children of the start node always follow.
        {false, false, false, {0, 0, 1, 1, 1, 0}},
        // Top expanded: a's children follow too (a need not be expanded).
        {true, false, false, {0, 0, 0, 0, 1, 0}},
        // a21's grandparent a must be expanded as well.
        {true, true, false, {0, 0, 0, 0, 0, 0}},
        // a collapsed stops everything below a's children, whatever a2 says.
        {true, false, true, {0, 0, 0, 0, 1, 0}},
    };
    for (const auto &c : cases) {
        Tree t;
        t.top->isExpand = c.topExpanded;
        t.a->isExpand = c.aExpanded;
        t.a2->isExpand = c.a2Expanded;
        Controller controller;
        controller.changeSelectWithNode(t.top.get(), 0);
        EXPECT_EQ(t.states(), c.after) << c.topExpanded << c.aExpanded << c.a2Expanded;
    }
}

TEST(CheckMarkTest, PushDownOfAFileChangesOnlyItself)
{
    Tree t;
    t.top->isExpand = true;
    Controller controller;
    controller.changeChildrenFilNodeStateWithFileNode(t.b, 0);
    EXPECT_EQ(t.states(), (QList<qint64>{1, 1, 1, 1, 1, 0}));
}

TEST(CheckMarkTest, PushDownTellsTheDelegateAtEveryFolderItEnters)
{
    Tree t;
    t.top->isExpand = true;
    t.a->isExpand = true;
    NiceMock<MockControllerDelegate> delegate;
    Controller controller(&delegate);
    // Start node, then a and a2 (entered because their fathers are expanded).
    EXPECT_CALL(delegate, changeSelectAllButtonState()).Times(3);
    EXPECT_CALL(delegate, reloadTreeList()).Times(3);
    controller.changeSelectWithNode(t.top.get(), 0);
}

TEST(CheckMarkTest, AncestorsAreRecomputedFromTheirChildren)
{
    const struct {
        QList<qint64> children;
        qint64 father;
    } cases[] = {
        {{1, 1, 1}, 1}, {{1, 0, 0}, 2}, {{0, 2, 0}, 2}, {{0, 0, 0}, 0}, {{2, 2}, 2}, {{1, 2}, 2},
    };
    for (const auto &c : cases) {
        FileNodePtr f = folder(QStringLiteral("f"));
        f->state = 7; // whatever it was
        for (int i = 0; i < c.children.size(); ++i)
            add(f.get(), file(QString::number(i), f.get()))->state = c.children[i];
        Controller controller;
        controller.changeFatherNodeSelectStateWithFileNode(f->children.first().get(), 0);
        EXPECT_EQ(f->state, c.father) << c.children;
    }
}

TEST(CheckMarkTest, CheckingTheLastUncheckedChildChecksEveryAncestor)
{
    Tree t;
    t.setAll(1);
    t.a21->state = 0;
    t.a2->state = 0;
    t.a->state = 2;
    t.top->state = 2;
    NiceMock<MockControllerDelegate> delegate;
    Controller controller(&delegate);
    // One recompute of the box and one redraw per level: a2, a, top, and the top itself.
    EXPECT_CALL(delegate, changeSelectAllButtonState()).Times(4);
    EXPECT_CALL(delegate, reloadTreeList()).Times(4);
    controller.clickCheckBoxWithNode(t.a21);
    EXPECT_EQ(t.states(), (QList<qint64>{1, 1, 1, 1, 1, 1}));
}

TEST(CheckMarkTest, ClickingAPartlyCheckedExpandedBoxChecksItAndWhatItReaches)
{
    Tree t;
    t.setAll(0);
    t.a->state = 2;
    t.a1->state = 1;
    t.top->state = 2;
    t.a->isExpand = true;
    Controller controller;
    controller.clickCheckBoxWithNode(t.a);
    EXPECT_EQ(t.a->state, 1);
    EXPECT_EQ(t.a1->state, 1);
    EXPECT_EQ(t.a2->state, 1);
    EXPECT_EQ(t.a21->state, 1) << "a21's grandparent a is expanded, so it follows";
    EXPECT_EQ(t.top->state, 2) << "b is still unchecked";
}

TEST(CheckMarkTest, ClickingACollapsedFolderLeavesItsChildrenAlone)
{
    Tree t;
    t.setAll(1);
    Controller controller;
    controller.clickCheckBoxWithNode(t.a); // a is collapsed
    EXPECT_EQ(t.states(), (QList<qint64>{2, 0, 1, 1, 1, 1}));
    // Expanding it later pushes its 0 down.
    controller.expandNode(t.a);
    EXPECT_EQ(t.states(), (QList<qint64>{2, 0, 0, 0, 0, 1}));
}

TEST(CheckMarkTest, ExpandingAPartlyCheckedFolderKeepsItsChildren)
{
    Tree t;
    t.setAll(1);
    t.a->state = 2;
    t.a1->state = 0;
    Controller controller;
    controller.expandNode(t.a);
    EXPECT_TRUE(t.a->isExpand);
    EXPECT_EQ(t.a1->state, 0);
    EXPECT_EQ(t.a2->state, 1);
    controller.collapseNode(t.a);
    EXPECT_FALSE(t.a->isExpand);
    EXPECT_EQ(t.a1->state, 0);
}

TEST(CheckMarkTest, FirstExpansionListsChildrenThatInheritTheFathersMark)
{
    QTemporaryDir dir;
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/f/x"), "12345"));
    ASSERT_TRUE(TestSupport::writeFile(dir.path() + QStringLiteral("/f/sub/y"), "1"));

    const struct {
        qint64 father;
        qint64 children;
    } cases[] = {{0, 0}, {1, 1}, {2, 1}};
    for (const auto &c : cases) {
        FileNodePtr f = FileNode::initWithPath(dir.path() + QStringLiteral("/f"), QStringLiteral("f"), true, nullptr);
        f->state = c.father;
        NiceMock<MockControllerDelegate> delegate;
        EXPECT_CALL(delegate, reloadTreeList()).Times(1); // the listing's end
        Controller controller(&delegate);
        controller.expandNode(f.get());
        ASSERT_EQ(f->children.size(), 2);
        for (const FileNodePtr &child : f->children) {
            EXPECT_EQ(child->state, c.children) << c.father;
            EXPECT_EQ(child->father, f.get());
        }
        EXPECT_EQ(f->state, c.father) << "listing changes no mark of the father";
    }
}

TEST(SelectAllTest, BoxStateFollowsTheTopLevel)
{
    const struct {
        QList<qint64> top;
        int box;
    } cases[] = {
        {{}, 0}, {{1}, 1}, {{1, 1, 1}, 1}, {{1, 0}, 2}, {{0, 2}, 2}, {{0, 0}, 0}, {{2}, 2},
    };
    for (const auto &c : cases) {
        FileNodeArray arr;
        for (qint64 s : c.top) {
            arr.append(folder(QStringLiteral("x")));
            arr.last()->state = s;
        }
        EXPECT_EQ(Controller::selectAllStateForArr(arr), c.box) << c.top;
    }
}

TEST(SelectAllTest, ClickOnAnEmptyTreeTurnsTheBoxOn)
{
    FileNodeArray arr;
    Controller controller;
    EXPECT_EQ(controller.setAllSelectOrNoSelect(arr, 0), 1);
    EXPECT_EQ(controller.setAllSelectOrNoSelect(arr, 2), 1);
    EXPECT_EQ(controller.setAllSelectOrNoSelect(arr, 1), 0);
    EXPECT_TRUE(arr.isEmpty());
}

TEST(SelectAllTest, ClickRedrawsWithoutRecomputingTheBox)
{
    Tree t;
    FileNodeArray arr{t.top};
    NiceMock<MockControllerDelegate> delegate;
    Controller controller(&delegate);
    EXPECT_CALL(delegate, changeSelectAllButtonState()).Times(0);
    EXPECT_CALL(delegate, reloadTreeList()).Times(1);
    EXPECT_EQ(controller.setAllSelectOrNoSelect(arr, 1), 0);
}

TEST(SelectAllTest, ClearingLeavesCollapsedChildrenUntilTheirFolderIsExpandedAgain)
{
    Tree t;
    t.setAll(1);
    t.top->isExpand = true; // a stays collapsed, its children were listed earlier
    FileNodeArray arr{t.top};
    Controller controller;
    EXPECT_EQ(controller.setAllSelectOrNoSelect(arr, 1), 0);
    EXPECT_EQ(t.states(), (QList<qint64>{0, 0, 1, 1, 1, 0}));
    controller.expandNode(t.a);
    EXPECT_EQ(t.states(), (QList<qint64>{0, 0, 0, 0, 0, 0}));
}

TEST(SelectAllTest, CheckingEverythingGoesThroughExpandedFoldersOnly)
{
    Tree t;
    t.setAll(0);
    t.top->isExpand = true;
    t.a->isExpand = true;
    FileNodeArray arr{t.top};
    Controller controller;
    EXPECT_EQ(controller.setAllSelectOrNoSelect(arr, 0), 1);
    // a2 is collapsed, so a21 keeps its mark.
    EXPECT_EQ(t.states(), (QList<qint64>{1, 1, 1, 1, 0, 1}));
}

// A system file's own box is locked in the browser, but its mark still moves
// with the marks around it.
TEST(CheckMarkTest, SystemFilesFollowTheirAncestorsAndTheSelectAllBox)
{
    TestSupport::TempRoot root;
    ASSERT_TRUE(QDir().mkpath(root.at("/System/Library")));
    ASSERT_TRUE(QDir().mkpath(root.at("/Documents")));
    ASSERT_TRUE(TestSupport::writeFile(root.at("/usr/readme"), "x"));

    auto arr = std::make_shared<FileNodeArray>();
    Controller controller;
    controller.eumeAllRootFileNodeWithRootArr(arr, root.path(), false, false);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !controller.isScanning(); }));
    ASSERT_EQ(arr->size(), 3);
    FileNode *system = nullptr;
    for (const FileNodePtr &n : *arr) {
        EXPECT_EQ(n->isSystemFile(), n->name != QStringLiteral("Documents")) << n->name;
        if (n->name == QStringLiteral("System"))
            system = n.get();
    }
    ASSERT_NE(system, nullptr);

    EXPECT_EQ(controller.setAllSelectOrNoSelect(*arr, 1), 0);
    EXPECT_EQ(system->state, 0);
    EXPECT_EQ(controller.setAllSelectOrNoSelect(*arr, 0), 1);
    EXPECT_EQ(system->state, 1);

    // Under a folder: pushed down with it and counted when its father is recomputed.
    FileNodePtr top = FileNode::initWithPath(root.path(), QStringLiteral("root"), true, nullptr);
    top->isExpand = true;
    controller.expandNode(top.get());
    FileNode *listedSystem = nullptr;
    for (const FileNodePtr &n : top->children) {
        if (n->isSystemFile() && n->name == QStringLiteral("System"))
            listedSystem = n.get();
    }
    ASSERT_NE(listedSystem, nullptr);
    controller.changeSelectWithNode(top.get(), 0);
    EXPECT_EQ(listedSystem->state, 0);
    controller.expandNode(listedSystem);
    ASSERT_EQ(listedSystem->children.size(), 1);
    EXPECT_EQ(listedSystem->children.first()->state, 0) << "listed under an unchecked system folder";
    controller.changeSelectWithNode(top.get(), 1);
    EXPECT_EQ(listedSystem->state, 1);
    EXPECT_EQ(listedSystem->children.first()->state, 1) << "reached through the expanded system folder";
    listedSystem->children.first()->state = 0;
    controller.changeFatherNodeSelectStateWithFileNode(listedSystem->children.first().get(), 0);
    EXPECT_EQ(listedSystem->state, 0);
    EXPECT_EQ(top->state, 2);
}
