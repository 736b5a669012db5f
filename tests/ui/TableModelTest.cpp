// The one table model: what grids show, and how the table's changes reach them.
#include "core/DataModule.h"
#include "ui/DemoHome.h"
#include "ui/qt/TableModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

TEST(TableModelTest, ShowsTheVisibleFieldsAndFollowsPostedRowsOneByOne) {
    TDM dm;
    AddDemoRows(dm, 2, 0);
    dm.cdsInBox.First();
    TTableModel model(dm.cdsInBox);
    ASSERT_EQ(model.rowCount(), 2);
    int subject = -1;
    for (int c = 0; c < model.columnCount(); ++c)
        if (model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == "Subject") subject = c;
    ASSERT_GE(subject, 0);
    for (int c = 0; c < model.columnCount(); ++c)
        EXPECT_NE(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), "header");
    EXPECT_EQ(model.data(model.index(1, subject), Qt::DisplayRole).toString(), "You have won!");
    // Drawing a row never moves the table's current row.
    EXPECT_EQ(dm.cdsInBox.RecNo(), 1);

    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    AddDemoRows(dm, 3, 0);
    EXPECT_EQ(model.rowCount(), 5);
    EXPECT_EQ(inserted.count(), 3);
    EXPECT_EQ(reset.count(), 0);
    dm.cdsInBox.EmptyTable();
    EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
