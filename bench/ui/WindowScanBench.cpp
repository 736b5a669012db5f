// Receive Mail through the desktop program's window, as a user runs it: the
// program starts on a prepared home folder, "Receive Mail" is clicked on the
// tool bar, and the scan fills the InBox and DelBox views. Then the InBox is
// sorted by clicking column titles. Prints, one "key=value" a line:
//   scan_seconds   from the click to the end of the scan, the window shown
//                  as it stands then
//   scan_without_last_repaint  the same before that last repaint
//   rows           rows listed in both boxes
//   sort_ms_max    the longest time the window was busy with one title click
//   sort_ms_median
//   peak_rss_kib   the process's peak resident memory
//   bench_window_scan HOME      (QT_QPA_PLATFORM decides where the windows go;
//                                driven by bench/ui/window_scan.py)
// TARNWICK_EVENTS_MS sets how often the scan lets the window paint (50 ms by
// default): under valgrind 50 ms pass after far fewer messages than at full
// speed, so a profile wants about 50 times as long.
#include "core/DataModule.h"
#include "platform/Home.h"
#include "ui/boxes/BoxFrame.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/DesktopProgram.h"
#include "ui/main/RetrievalStatusForm.h"
#include "ui/qt/QtUserInterface.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The prepared identity signs in without the chooser.
void SetAutoLogin() {
    EnterHomeFolder();
    TDM dm;
    dm.LoadStore();
    dm.cdsIdentities.First();
    dm.cdsIdentities.Edit();
    dm.cdsIdentities.SetValue("AutoLogin", true);
    dm.cdsIdentities.Post();
    dm.cdsIdentities.Close();
}

void SettleEvents() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents(QEventLoop::AllEvents);
}

// The time one title click keeps the window busy, its repaint included.
double SortMilliseconds(QTableView& grid, int column) {
    QElapsedTimer clock;
    clock.start();
    emit grid.horizontalHeader()->sectionClicked(column);
    grid.viewport()->repaint();
    SettleEvents();
    return clock.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s HOME\n", argv[0]);
        return 2;
    }
    setenv("TARNWICK_HOME", argv[1], 1);
    QApplication application(argc, argv);
    SetAutoLogin();
    TDesktopProgram program;
    program.SplashMilliseconds = 0;
    if (program.Start() != TDesktopProgram::TStart::SignedIn) {
        std::fprintf(stderr, "bench_window_scan: no identity signed in\n");
        return 1;
    }
    if (const char* interval = std::getenv("TARNWICK_EVENTS_MS")) program.QtInterface().EventsInterval = std::atoi(interval);
    TAntiSpamWindow& main = *program.MainWindow();
    main.resize(1000, 700);
    SettleEvents();
    TDM& dm = *program.DataModule();
    QAction* receive = main.findChild<QAction*>("ReceiveIdentityMail");
    auto* button = qobject_cast<QToolButton*>(main.findChild<QToolBar*>()->widgetForAction(receive));

    QElapsedTimer clock;
    clock.start();
    button->click();  // returns when the scan has ended: it runs in the click
    while (!dm.Idle) QApplication::processEvents(QEventLoop::AllEvents, 10);
    const double scanned = clock.nsecsElapsed() / 1e9;
    SettleEvents();
    const double scan = clock.nsecsElapsed() / 1e9;
    program.StatusForm()->hide();

    QTableView& grid = *program.InBoxFrame()->Grid();
    std::vector<double> sorts;
    for (int round = 0; round < 2; ++round)
        for (int column = 2; column < std::min(grid.model()->columnCount(), 8); ++column)
            sorts.push_back(SortMilliseconds(grid, column));
    std::sort(sorts.begin(), sorts.end());

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("scan_seconds=%.3f\nscan_without_last_repaint=%.3f\nrows=%d\nsort_ms_max=%.1f\nsort_ms_median=%.1f\npeak_rss_kib=%ld\n", scan, scanned,
                dm.cdsInBox.RecordCount() + dm.cdsDelBox.RecordCount(), sorts.back(), sorts[sorts.size() / 2],
                usage.ru_maxrss);
    program.Finish();
    return 0;
}
