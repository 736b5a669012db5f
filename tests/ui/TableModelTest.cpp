// The one table model: what grids show, and how the table's changes reach them.
#include "core/DataModule.h"
#include "ui/DemoHome.h"
#include "ui/qt/TableModel.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <functional>
#include <string>

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

// What a grid hears of each step: inserted rows, changed rows (first and
// last of each dataChanged) and resets; and the subject it shows in row 2.
TEST(TableModelTest, AGridShowsPostedRowsAndEditsAtOnceButNoHalfFilledNewRow) {
    TDM dm;
    AddDemoRows(dm, 2, 0);
    TTable& box = dm.cdsInBox;
    TTableModel model(box);
    int subject = -1;
    for (int c = 0; c < model.columnCount(); ++c)
        if (model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == "Subject") subject = c;
    ASSERT_GE(subject, 0);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    const auto setSubject = [&](const char* text) { box.SetValue("subject", std::string(text)); };
    struct TStep {
        const char* what;
        std::function<void()> run;
        int rows, inserts;
        std::vector<std::pair<int, int>> changedRows;
        int resets;
        const char* secondSubject;
    };
    const TStep steps[] = {
        {"a row being added", [&] { box.Append(), setSubject("New"); }, 2, 0, {}, 0, "You have won!"},
        {"posted", [&] { box.Post(); }, 3, 1, {}, 0, "You have won!"},
        {"an edit of row 2",
         [&] {
             box.SetRecNo(2);
             box.Edit();
             setSubject("Edited");
         },
         3, 0, {{1, 1}}, 0, "Edited"},
        {"its post", [&] { box.Post(); }, 3, 0, {{1, 1}}, 0, "Edited"},
        {"a quiet edit of row 2 from row 1",
         [&] {
             box.DisableControls();
             box.Edit();
             setSubject("Quiet");
             box.Post();
             box.First();
             box.SetRecNo(2);
             box.EnableControls();
         },
         3, 0, {{0, 2}}, 0, "Quiet"},
        {"a row deleted", [&] { box.Last(), box.Delete(); }, 2, 0, {}, 1, "Quiet"},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.what);
        inserted.clear();
        changed.clear();
        reset.clear();
        step.run();
        EXPECT_EQ(model.rowCount(), step.rows);
        EXPECT_EQ(inserted.count(), step.inserts);
        std::vector<std::pair<int, int>> rows;
        for (const QList<QVariant>& signal : changed)
            rows.emplace_back(signal[0].toModelIndex().row(), signal[1].toModelIndex().row());
        EXPECT_EQ(rows, step.changedRows);
        EXPECT_EQ(reset.count(), step.resets);
        EXPECT_EQ(model.data(model.index(1, subject), Qt::DisplayRole).toString(), step.secondSubject);
    }
}

TEST(TableModelTest, WhileAScanRunsAddedRowsReachTheGridInOneBatch) {
    TDM dm;
    AddDemoRows(dm, 2, 0);
    TTableModel model(dm.cdsInBox);
    bool scanning = true;
    model.BatchInsertsWhile([&] { return scanning; });
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    AddDemoRows(dm, 3, 0);
    EXPECT_EQ(model.rowCount(), 2);
    dm.cdsInBox.First();
    dm.cdsInBox.Edit();
    dm.cdsInBox.SetValue("subject", std::string("Edited meanwhile"));
    dm.cdsInBox.Post();
    EXPECT_EQ(changed.count(), 0);
    model.CatchUp();
    EXPECT_EQ(model.rowCount(), 5);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 2);
    EXPECT_EQ(inserted[0][2].toInt(), 4);
    EXPECT_EQ(changed.count(), 1);

    // The window gets to its events: the batch comes by itself.
    AddDemoRows(dm, 1, 0);
    EXPECT_EQ(model.rowCount(), 5);
    QCoreApplication::processEvents();
    EXPECT_EQ(model.rowCount(), 6);

    // Once the scan has ended, rows show one by one again.
    scanning = false;
    AddDemoRows(dm, 1, 0);
    EXPECT_EQ(model.rowCount(), 7);
}

}  // namespace
