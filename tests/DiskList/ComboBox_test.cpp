// The copy-mode box and its two-row drop-down.
#include "LComboBox.h"
#include "LComboBoxDelegate.h"
#include "LComboBoxSubView.h"
#include "SelectAllFilePopVC.h"
#include "SelectAllFileVCDelegate.h"

#include "SortSelectBgView.h"
#include "TextImageButton.h"

#include "DiskListTestPrint.h"
#include "TestSupport.h"

#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>

using ::testing::StrictMock;

namespace {

class MockBoxPage : public LComboBoxDelegate {
public:
    MOCK_METHOD(void, changeSelectCopyType, (), (override));
    MOCK_METHOD(void, doShowSearchView, (), (override));
    MOCK_METHOD(void, showSelectAllVC, (), (override));
};

class MockMenuPage : public SelectAllFileVCDelegate {
public:
    MOCK_METHOD(void, mouseEixtView, (bool), (override));
    MOCK_METHOD(void, selectFormatbyType, (qint32), (override));
};

// A box as the pages load it.
struct Box {
    Box()
    {
        box.setLconboBoxDelegate(&page);
        box.setStrLabelValue(LComboBox::allFilesLabel());
        box.move(30, 30);
        box.show();
        QCoreApplication::processEvents();
    }
    StrictMock<MockBoxPage> page;
    LComboBox box;
};

void sendEnter(QWidget *w)
{
    QEnterEvent enter(QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), w->mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(w, &enter);
}

} // namespace

TEST(ComboBoxTest, LoadsClosedInTheAllFilesMode)
{
    Box b;
    EXPECT_EQ(b.box.strLabel()->text(), QStringLiteral("复制所有文件"));
    EXPECT_TRUE(b.box.searchButton()->isHidden());
    EXPECT_FALSE(b.box.isCanOpen());
    EXPECT_FALSE(b.box.openButton()->isButtonUsable());
    EXPECT_EQ(b.box.openButton()->normalImageName(), QStringLiteral("ic_open"));
    EXPECT_FALSE(b.box.openButton()->disableImage().isNull());
    EXPECT_EQ(b.box.iconImageView()->property("imageName").toString(), QStringLiteral("ic_filter"));
    EXPECT_EQ(b.box.subView()->delegate(), &b.box);
}

TEST(ComboBoxTest, WhileClosedForOpeningClicksDoNothing)
{
    Box b;
    // StrictMock: any call to the page fails the test.
    QTest::mouseClick(b.box.strLabel(), Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseClick(b.box.subView(), Qt::LeftButton, {}, QPoint(150, 18));
    QTest::mouseClick(b.box.openButton(), Qt::LeftButton);
}

TEST(ComboBoxTest, OnceOpenAClickAnywhereOrTheOpenButtonAsksForTheMenu)
{
    Box b;
    b.box.setlComboBoxEnde(true);
    EXPECT_TRUE(b.box.openButton()->isButtonUsable());
    EXPECT_CALL(b.page, showSelectAllVC()).Times(3);
    QTest::mouseClick(b.box.strLabel(), Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseClick(b.box.subView(), Qt::LeftButton, {}, QPoint(150, 18));
    QTest::mouseClick(b.box.openButton(), Qt::LeftButton);
    b.box.setlComboBoxEnde(false);
    QTest::mouseClick(b.box.subView(), Qt::LeftButton, {}, QPoint(150, 18));
}

TEST(ComboBoxTest, ModesChangeTheLabelAndTheSearchButton)
{
    Box b;
    // "Part" only shows the search button; the page hears nothing.
    b.box.changeSelectType(1);
    EXPECT_EQ(b.box.strLabel()->text(), QStringLiteral("复制部分文件"));
    EXPECT_FALSE(b.box.searchButton()->isHidden());
    b.box.changeSelectType(7);
    EXPECT_EQ(b.box.strLabel()->text(), QStringLiteral("复制部分文件"));

    EXPECT_CALL(b.page, doShowSearchView());
    QTest::mouseClick(b.box.searchButton(), Qt::LeftButton);

    EXPECT_CALL(b.page, changeSelectCopyType());
    b.box.changeSelectType(0);
    EXPECT_EQ(b.box.strLabel()->text(), QStringLiteral("复制所有文件"));
    EXPECT_TRUE(b.box.searchButton()->isHidden());
}

TEST(ComboBoxTest, MenuRowsGiveTheirIdentifiersAsModes)
{
    StrictMock<MockMenuPage> page;
    SelectAllFilePopVC menu;
    menu.show();
    QCoreApplication::processEvents();
    menu.setDelegate(&page);
    // The clicks bring the pointer in.
    EXPECT_CALL(page, mouseEixtView(::testing::_)).Times(::testing::AnyNumber());
    EXPECT_EQ(menu.view_1()->delegate(), &menu);
    EXPECT_EQ(menu.view_2()->delegate(), &menu);
    EXPECT_EQ(menu.label_1()->text(), QStringLiteral("复制所有文件"));
    EXPECT_EQ(menu.label_2()->text(), QStringLiteral("复制部分文件"));
    {
        ::testing::InSequence order;
        EXPECT_CALL(page, selectFormatbyType(0));
        EXPECT_CALL(page, selectFormatbyType(1));
    }
    QTest::mouseClick(menu.view_1(), Qt::LeftButton, {}, QPoint(10, 10));
    // A click on a row's text is the row's.
    QTest::mouseClick(menu.view_2(), Qt::LeftButton, {}, QPoint(60, 14));
    // Hovering a row reports nothing to the page.
    menu.mouseInView(true, 1);
}

TEST(ComboBoxTest, PointerIntoTheMenuReportsFalseOutOfItTrue)
{
    StrictMock<MockMenuPage> page;
    SelectAllFilePopVC menu;
    menu.show();
    QCoreApplication::processEvents();
    menu.setDelegate(&page);
    ::testing::InSequence order;
    EXPECT_CALL(page, mouseEixtView(false));
    EXPECT_CALL(page, mouseEixtView(true));
    sendEnter(&menu);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&menu, &leave);
}

TEST(ComboBoxTest, ChoosingFromTheMenuDrivesTheBoxAsThePagesDo)
{
    // The pages pass the menu's choice to the box.
    struct Page : LComboBoxDelegate, SelectAllFileVCDelegate {
        LComboBox *box = nullptr;
        int backToAll = 0;
        void changeSelectCopyType() override { ++backToAll; }
        void selectFormatbyType(qint32 type) override { box->changeSelectType(type); }
    } page;
    LComboBox box;
    page.box = &box;
    box.setLconboBoxDelegate(&page);
    box.setStrLabelValue(LComboBox::allFilesLabel());
    SelectAllFilePopVC menu;
    menu.setDelegate(&page);
    menu.show();
    QTest::mouseClick(menu.view_2(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(box.strLabel()->text(), LComboBox::partFilesLabel());
    EXPECT_EQ(page.backToAll, 0);
    QTest::mouseClick(menu.view_1(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(box.strLabel()->text(), LComboBox::allFilesLabel());
    EXPECT_EQ(page.backToAll, 1);
}

TEST(ComboBoxTest, Screenshots)
{
    QWidget sheet;
    sheet.setStyleSheet(QStringLiteral("background: rgb(30, 30, 32);"));
    sheet.resize(700, 130);
    auto *all = new LComboBox(&sheet);
    all->setStrLabelValue(LComboBox::allFilesLabel());
    all->setlComboBoxEnde(true);
    all->move(20, 20);
    auto *part = new LComboBox(&sheet);
    part->setStrLabelValue(LComboBox::allFilesLabel());
    part->setlComboBoxEnde(true);
    part->changeSelectType(1);
    part->move(360, 20);
    auto *menu = new SelectAllFilePopVC(&sheet);
    menu->setStyleSheet(QStringLiteral("background: rgb(55, 55, 55);"));
    menu->move(20, 60);
    sheet.show();
    QCoreApplication::processEvents();
    menu->view_2()->mouseEntered();
    const QImage shot(TestSupport::saveScreenshot(&sheet, QStringLiteral("disklist_combobox")));
    ASSERT_FALSE(shot.isNull());
    // The part box shows its label and the search button, the all box neither.
    EXPECT_EQ(part->strLabel()->text(), QStringLiteral("复制部分文件"));
    EXPECT_FALSE(part->searchButton()->isHidden());
    EXPECT_EQ(all->strLabel()->text(), LComboBox::allFilesLabel());
    EXPECT_TRUE(all->searchButton()->isHidden());
    // The hovered menu row is drawn in its highlight colour.
    ASSERT_TRUE(menu->view_2()->isMouseIn());
    const QPoint inRow = menu->view_2()->mapTo(&sheet, menu->view_2()->rect().center() + QPoint(menu->view_2()->width() / 3, 0));
    const qreal dpr = shot.devicePixelRatio();
    EXPECT_EQ(shot.pixelColor(int(inRow.x() * dpr), int(inRow.y() * dpr)), QColor(74, 158, 255));
}
