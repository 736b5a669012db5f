// Renders every window of the desktop program to PNG files, on the offscreen
// platform with real fonts, on a demo home with a signed-in identity and a few
// rows: tarnwick-screenshots OUTPUT_FOLDER [LANGUAGE]
#include "core/DataModule.h"
#include "core/IdentityChooser.h"
#include "core/StatusLog.h"
#include "i18n/Translator.h"
#include "ui/DemoHome.h"
#include "ui/boxes/BoxFrame.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/DesktopProgram.h"
#include "ui/main/RetrievalStatusForm.h"
#include "ui/main/SplashScreen.h"
#include "ui/settings/ChangePasswordForm.h"
#include "ui/settings/IdentitiesForm.h"
#include "ui/settings/PasswordDlg.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>

#include <cstdio>

namespace {

QString output;

void Save(QWidget& window, const char* name) {
    window.adjustSize();
    window.show();
    QApplication::processEvents();
    const QString file = output + "/" + name + ".png";
    if (!window.grab().save(file)) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    else std::printf("%s\n", qPrintable(file));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [LANGUAGE]\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(output);
    PrepareDemoHome((QDir::tempPath() + "/tarnwick-screens-home").toStdString(), true);
    const std::string language = argc > 2 ? argv[2] : "English";
    {
        TDesktopProgram program;
        program.SplashMilliseconds = 0;
        if (program.Start() != TDesktopProgram::TStart::SignedIn) return 1;
        TAntiSpamWindow& main = *program.MainWindow();
        main.Translator().ApplyLanguage(LanguageFromName(language));
        TDM& dm = *program.DataModule();
        AddDemoRows(dm, 3, 2);
        program.InBoxFrame()->RebuildTabs();
        dm.cdsInBox.SetRecNo(2);
        program.InBoxFrame()->View().ToggleCurrent();
        dm.cdsInBox.SetRecNo(1);
        dm.StatusLog.Clear();
        dm.StatusLog.SetAccountDesc("Home mail");
        dm.StatusLog.SetMessageCount(5);
        dm.StatusLog.SetTotalSize(48213);
        dm.StatusLog.Add("Receiving \"anna\" identity mail");
        dm.StatusLog.Add("Login anna@pop.example.org");
        dm.StatusLog.Append("Ok");
        dm.StatusLog.Add("Retrieving message #1 (1200b size)");
        dm.StatusLog.Append("Ok");
        dm.StatusLog.Add("Logout");
        dm.StatusLog.Add("Done");
        Save(main, "main-window");
        main.resize(900, 600);
        Save(main, "inbox-view");
        if (auto* modes = main.findChild<QListWidget*>("WorkAreaModeListView")) modes->setCurrentRow(1);
        Save(main, "delbox-view");
        if (auto* modes = main.findChild<QListWidget*>("WorkAreaModeListView")) modes->setCurrentRow(0);
        main.resize(640, 480);
        main.ShowStatusPanel(true);
        main.SetProgress(3, 5);
        Save(main, "main-window-scanning");
        main.ShowStatusPanel(false);
        Save(*program.StatusForm(), "retrieval-status");
        program.StatusForm()->hide();

        TSplashScreen splash(false);
        Save(splash, "splash");
        TSplashScreen about(true);
        Save(about, "about");

        TIdentityChooser chooser(dm);
        chooser.Show();
        TIdentitiesForm identities(chooser);
        Save(identities, "identity-chooser");
        TPasswordDlg password;
        Save(password, "new-identity");
        TChangePasswordForm change;
        Save(change, "change-password");

        for (QMenu* menu : main.menuBar()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (menu->objectName().isEmpty()) continue;
            Save(*menu, qPrintable("menu-" + menu->objectName()));
            menu->hide();
        }
        if (auto* tray = main.findChild<QMenu*>("TrayMenu")) Save(*tray, "tray-menu");
        program.Finish();
    }
    ResetAppTranslator();
    return 0;
}
