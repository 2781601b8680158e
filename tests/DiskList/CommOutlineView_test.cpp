// The flat outline that holds its own rows.
#include <gtest/gtest.h>

#include "CommOutlineView.h"

#include "DiskListTestPrint.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QTest>

namespace {

QString shown(const CommOutlineView &view, int row, const QString &identifier)
{
    return view.model()->index(row, view.columnWithIdentifier(identifier)).data().toString();
}

} // namespace

TEST(CommOutlineView, ShowsItsOwnRowsFlatFromTheLastReload)
{
    CommOutlineView view;
    view.setColumnIdentifiers({QStringLiteral("Name"), QStringLiteral("Size")}, {QStringLiteral("名称")});
    view.setItems({{{"Name", "Travel Drive"}, {"Size", "64.00 MB"}}, {{"Name", "BACKUP"}, {"Size", "32.00 MB"}}});
    view.resize(400, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    // Nothing is shown before the first reload.
    EXPECT_EQ(view.model()->rowCount(), 0);
    view.reloadData();
    ASSERT_EQ(view.model()->rowCount(), 2);
    EXPECT_EQ(view.numberOfChildrenOfItem(-1), 2);
    EXPECT_EQ(shown(view, 0, "Name"), QStringLiteral("Travel Drive"));
    EXPECT_EQ(shown(view, 1, "Size"), QStringLiteral("32.00 MB"));
    EXPECT_EQ(view.model()->headerData(0, Qt::Horizontal), QVariant(QStringLiteral("名称")));
    EXPECT_EQ(view.model()->headerData(1, Qt::Horizontal), QVariant(QStringLiteral("Size")));

    // Flat: no row has children, none can be expanded, and no room is kept for a disclosure triangle.
    for (int row = 0; row < 2; ++row) {
        const QModelIndex index = view.model()->index(row, 0);
        EXPECT_FALSE(view.model()->hasChildren(index));
        EXPECT_EQ(view.numberOfChildrenOfItem(row), 0);
        EXPECT_FALSE(view.isItemExpandable(row));
    }
    EXPECT_FALSE(view.rootIsDecorated());
    const QRect first = view.visualRect(view.model()->index(0, 0));
    EXPECT_LE(first.left(), 1);
    // A double click on a row expands nothing.
    const QPoint at = first.center();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at);
    EXPECT_FALSE(view.isExpanded(view.model()->index(0, 0)));

    // New rows wait for the next reload; a row without a column's key shows nothing there.
    view.setItems({{{"Name", "Pocket"}}});
    EXPECT_EQ(view.model()->rowCount(), 2);
    EXPECT_EQ(shown(view, 0, "Name"), QStringLiteral("Travel Drive"));
    view.reloadData();
    ASSERT_EQ(view.model()->rowCount(), 1);
    EXPECT_EQ(shown(view, 0, "Name"), QStringLiteral("Pocket"));
    EXPECT_TRUE(shown(view, 0, "Size").isEmpty());
    EXPECT_FALSE(view.objectValueForTableColumn(QStringLiteral("Name"), 5).isValid());
}
