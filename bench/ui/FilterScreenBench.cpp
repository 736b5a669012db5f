// The filter screen with a large filter set: 1,000 categories of 10
// expressions each. Reports the time to open the filter screen (building its
// frame over the tables and showing it), to move through every category in
// the grid with the Down key, and to evaluate a scan of 2,000 headers with
// that set (hit counts kept for one flush at the end, as a scan does).
//   bench_filter_screen [categories] [messages]
// (QT_QPA_PLATFORM decides where the windows go; offscreen works.)
//
// Measured offscreen on the shared 2-core build machine (RelWithDebInfo):
// opening 8.8 ms, moving 2.4 ms per category (2.4 s for 999 moves), the scan
// 1.74 ms per header (3.5 s for 2,000 headers, nearly all of which every one
// of the 10,000 expressions tests).
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"
#include "i18n/Translator.h"
#include "ui/DemoHome.h"
#include "ui/filters/FilterFrame.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/DesktopProgram.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QListWidget>
#include <QTableView>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const kFieldSets[] = {"3", "1", "2,5", "1,9", "4", "3,1", "11", "10"};
const char* const kWords[] = {"meeting", "report", "invoice", "update", "project", "weekly", "notes", "draft"};

// Filters that catch nothing of the scan's mail but the few it names.
void FillFilters(int categories) {
    TFilterDM filters;
    TTable& c = filters.cdsFilterCategory;
    TTable& e = filters.cdsExpr;
    for (int i = 0; i < categories; ++i) {
        c.Append();
        c.SetValue("NameCategory", "Category " + std::to_string(i + 1));
        c.SetValue("idAction", std::int64_t{1 + i % 4});
        c.PostWithoutSaving();
        for (int j = 0; j < 10; ++j) {
            e.Append();
            e.SetValue("Fields", std::string(kFieldSets[(i + j) % 8]));
            // Rules 1 to 8 with content; "Does not ..." rules would catch everything.
            const int rules[] = {1, 2, 4, 5, 7};
            e.SetValue("idRule", std::int64_t{rules[(i * 10 + j) % 5]});
            e.SetValue("Content", "spamword" + std::to_string(i) + "x" + std::to_string(j));
            e.SetValue("CaseMatch", j % 2 == 0);
            e.PostWithoutSaving();
        }
    }
    c.Save();
    e.Save();
}

std::vector<std::string> Headers(int count, int categories) {
    std::vector<std::string> headers;
    for (int i = 0; i < count; ++i) {
        // Every 50th message is caught by a category near the end of the list.
        const std::string subject = i % 50 == 49 ? "Buy spamword" + std::to_string(categories - 1 - i % 7) + "x0 now"
                                                 : std::string(kWords[i % 8]) + " " + kWords[(i / 8) % 8];
        headers.push_back("Return-Path: <sender" + std::to_string(i) + "@example.org>\r\n"
                          "Received: from mx1.mail.example.org (mx1.mail.example.org [192.0.2.7])\r\n"
                          "\tby mail.example.net with ESMTP id 4F2A" + std::to_string(i) + "\r\n"
                          "Received: from relay.example.net by mx1.mail.example.org; Tue, 3 Jun 2003 10:00:00 +0200\r\n"
                          "From: \"Sender " + std::to_string(i) + "\" <sender" + std::to_string(i) + "@example.org>\r\n"
                          "To: anna@example.org\r\n"
                          "Cc: bob@work.example\r\n"
                          "Subject: " + subject + "\r\n"
                          "Date: Tue, 3 Jun 2003 10:00:00 +0200\r\n"
                          "Message-ID: <" + std::to_string(i) + "@example.org>\r\n"
                          "MIME-Version: 1.0\r\n"
                          "Content-Type: text/plain; charset=us-ascii");
    }
    return headers;
}

void Settle() { QApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int categories = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int messages = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
    const std::string home = (QDir::tempPath() + "/tarnwick-filter-screen-bench").toStdString();
    PrepareDemoHome(home, true);
    FillFilters(categories);
    {
        TDesktopProgram program;
        program.SplashMilliseconds = 0;
        QElapsedTimer clock;
        clock.start();
        if (program.Start() != TDesktopProgram::TStart::SignedIn) return 1;
        std::printf("program start with %d categories, %d expressions: %.1f ms\n", categories, categories * 10,
                    clock.nsecsElapsed() / 1e6);
        TAntiSpamWindow& main = *program.MainWindow();
        main.resize(900, 650);
        Settle();

        // Opening: a frame made over the tables and shown in the work area.
        clock.restart();
        auto* frame = new TFilterFrame(*program.Filters());
        main.SetView(2, frame);
        main.findChild<QListWidget*>("WorkAreaModeListView")->setCurrentRow(2);
        frame->repaint();
        Settle();
        std::printf("open the filter screen: %.1f ms\n", clock.nsecsElapsed() / 1e6);

        // Moving: Down through every category, each painted with its expressions.
        QTableView* grid = frame->CategoryGrid();
        grid->setFocus();
        clock.restart();
        for (int i = 1; i < categories; ++i) {
            QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
            QApplication::sendEvent(grid, &down);
            frame->repaint();
        }
        Settle();
        const double moving = clock.nsecsElapsed() / 1e6;
        std::printf("move through the categories: %.1f ms for %d moves, %.3f ms each (now on \"%s\")\n", moving,
                    categories - 1, moving / std::max(1, categories - 1),
                    program.Filters()->cdsFilterCategory.AsString("NameCategory").c_str());

        // The scan's evaluation.
        const std::vector<std::string> headers = Headers(messages, categories);
        TFilter& engine = program.Filters()->Engine();
        engine.CacheStale = true;
        int caught = 0;
        clock.restart();
        {
            THitCountBatch batch(*program.Filters());
            for (const std::string& header : headers) caught += engine.Evaluate(header) > 0;
        }
        const double scan = clock.nsecsElapsed() / 1e6;
        std::printf("evaluate a scan of %d headers: %.1f ms, %.3f ms per header, %d caught\n", messages, scan,
                    scan / messages, caught);
        program.Finish();
    }
    ResetAppTranslator();
    QDir(QString::fromStdString(home)).removeRecursively();
    return 0;
}
