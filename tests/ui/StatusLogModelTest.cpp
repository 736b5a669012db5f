// The status window's lines: a scan's many lines reach the view in batches
// (what it draws is read from the log when it draws).
#include "core/StatusLog.h"
#include "ui/main/StatusLogModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

QString Cell(const TStatusLogModel& model, int row, int column) {
    return model.data(model.index(row, column), Qt::DisplayRole).toString();
}

TEST(StatusLogModelTest, LinesAndStatusWordsShowInOneBatchWhenTheWindowCatchesUp) {
    TStatusLog log;
    log.Add("Login");
    TStatusLogModel model(log);
    log.OnChanged = [&](TStatusLog::TChange change, int line) { model.LogChanged(static_cast<int>(change), line); };
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    struct TStep {
        const char* what;
        std::function<void()> run;
        int rows, inserts, changes, resets;
        const char* lastLine;
        const char* lastStatus;
    };
    const TStep steps[] = {
        {"the lines there before", [] {}, 1, 0, 0, 0, "Login", ""},
        {"a status word and two lines written",
         [&] {
             log.Append("Ok");
             log.Add("Retrieving message #1");
             log.Append("Ok");
             log.Add("Retrieving message #2");
         },
         1, 0, 0, 0, "Login", "Ok"},
        {"caught up", [&] { model.CatchUp(); }, 3, 1, 1, 0, "Retrieving message #2", ""},
        {"a word for a line shown", [&] { log.Append("Error"); }, 3, 0, 0, 0, "Retrieving message #2", "Error"},
        {"caught up again", [&] { model.CatchUp(); }, 3, 0, 1, 0, "Retrieving message #2", "Error"},
        {"the log cleared", [&] { log.Clear(); }, 0, 0, 0, 1, "", ""},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.what);
        inserted.clear();
        changed.clear();
        reset.clear();
        step.run();
        EXPECT_EQ(model.rowCount(), step.rows);
        EXPECT_EQ(inserted.count(), step.inserts);
        EXPECT_EQ(changed.count(), step.changes);
        EXPECT_EQ(reset.count(), step.resets);
        EXPECT_EQ(Cell(model, model.rowCount() - 1, 0), step.lastLine);
        EXPECT_EQ(Cell(model, model.rowCount() - 1, 1), step.lastStatus);
    }
}

}  // namespace
