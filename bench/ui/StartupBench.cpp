// Start-up of the desktop program as a user meets it: the time from the start
// to the identity chooser on a fresh home (the 1000 ms splash wait left out),
// and the memory of the idle main window of a signed-in identity.
//   bench_startup [runs]     (QT_QPA_PLATFORM decides where the windows go)
#include "i18n/Translator.h"
#include "ui/DemoHome.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/DesktopProgram.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

double MillisecondsToChooser(const std::string& home) {
    QDir(QString::fromStdString(home)).removeRecursively();
    setenv("TARNWICK_HOME", home.c_str(), 1);
    QElapsedTimer clock;
    double shown = -1;
    auto* poll = new QTimer;
    poll->setInterval(1);
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
        if (QWidget* chooser = QApplication::activeModalWidget()) {
            shown = clock.nsecsElapsed() / 1e6;
            poll->stop();
            poll->deleteLater();
            chooser->close();
        }
    });
    clock.start();
    {
        TDesktopProgram program;
        program.SplashMilliseconds = 0;
        poll->start();
        program.Start();
    }
    ResetAppTranslator();
    return shown;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string home = (QDir::tempPath() + "/tarnwick-startup-bench").toStdString();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(MillisecondsToChooser(home));
    std::sort(times.begin(), times.end());
    std::printf("start to identity chooser (splash wait left out): median %.1f ms, min %.1f, max %.1f over %d runs\n",
                times[times.size() / 2], times.front(), times.back(), runs);

    PrepareDemoHome(home, true);
    const long before = ResidentKilobytes();
    {
        TDesktopProgram program;
        program.SplashMilliseconds = 0;
        if (program.Start() == TDesktopProgram::TStart::SignedIn) {
            QElapsedTimer idle;
            idle.start();
            while (idle.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 50);
            std::printf("idle main window: %ld kB resident (%ld kB before the program's windows)\n",
                        ResidentKilobytes(), before);
        }
    }
    ResetAppTranslator();
    QDir(QString::fromStdString(home)).removeRecursively();
    return 0;
}
