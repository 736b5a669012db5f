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
#include "filtering/AddToFilter.h"
#include "filtering/FilterEngine.h"
#include "filtering/dmfilters.h"
#include "ui/filters/AddCategoryForm.h"
#include "ui/filters/AddToFilterForm.h"
#include "ui/filters/ChangeRuleForm.h"
#include "ui/filters/CheckedComboBox.h"
#include "ui/filters/FindCategoryForm.h"
#include "ui/settings/ChangePasswordForm.h"
#include "ui/settings/IdentitiesForm.h"
#include "ui/settings/PasswordDlg.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QListWidget>

#include <cstdio>

namespace {

QString output;

void AddDemoFilters(TFilterDM& filters) {
    struct TExpr {
        const char* fields;
        int rule;
        const char* content;
        bool caseMatch;
    };
    const struct {
        const char* name;
        int action;
        std::vector<TExpr> expressions;
    } categories[] = {{"Lottery", 3, {{"3", 1, "lottery", true}, {"1,9", 1, "prizes.example", true}}},
                      {"Shops", 1, {{"3", 2, "pills", false}, {"12", 10, "", false}, {"3", 11, "", false}}},
                      {"Mailing lists", 4, {{"4", 1, "lists.example", true}}}};
    for (const auto& c : categories) {
        filters.cdsFilterCategory.Append();
        filters.cdsFilterCategory.SetValue("NameCategory", std::string(c.name));
        filters.cdsFilterCategory.SetValue("idAction", std::int64_t{c.action});
        filters.cdsFilterCategory.Post();
        for (const TExpr& e : c.expressions) {
            filters.cdsExpr.Append();
            filters.cdsExpr.SetValue("Fields", std::string(e.fields));
            filters.cdsExpr.SetValue("idRule", std::int64_t{e.rule});
            filters.cdsExpr.SetValue("Content", std::string(e.content));
            filters.cdsExpr.SetValue("CaseMatch", e.caseMatch);
            filters.cdsExpr.Post();
        }
    }
    filters.cdsFilterCategory.First();
}

void AddDemoList(TTable& list, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        list.Append();
        list.SetValue("name", name);
        list.Post();
    }
}

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
        AddDemoFilters(*program.Filters());
        AddDemoList(dm.cdsFriends, {"anna@example.org", "bob@work.example", "club@lists.example"});
        AddDemoList(dm.cdsBlackList, {"prizes.example", "offers@shop.example", "@spam.example"});
        if (auto* modes = main.findChild<QListWidget*>("WorkAreaModeListView")) {
            modes->setCurrentRow(2);
            Save(main, "filter-view");
            modes->setCurrentRow(3);
            Save(main, "friends-view");
            modes->setCurrentRow(4);
            Save(main, "blacklist-view");
            modes->setCurrentRow(0);
        }
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

        std::vector<std::string> actions, fields, rules;
        program.Filters()->Engine().ListNames("Action", actions);
        program.Filters()->Engine().ListNames("Field", fields);
        program.Filters()->Engine().ListNames("Rule", rules);
        TAddCategory category({actions, "Lottery", 2, true});
        Save(category, "add-category");
        TChangeRuleForm rule({fields, rules, {2, 0}, 0, "lottery", true, true});
        Save(rule, "change-rule");
        if (auto* combo = rule.findChild<TCheckedComboBox*>("FieldCombo")) {
            combo->DropDown();
            QApplication::processEvents();
            QWidget* list = combo->DropDownList()->window();
            const QPoint at = list->geometry().topLeft() - rule.geometry().topLeft();
            QPixmap both = rule.grab();
            QPixmap open(std::max(both.width(), at.x() + list->width()), std::max(both.height(), at.y() + list->height()));
            open.fill(Qt::white);
            QPainter painter(&open);
            painter.drawPixmap(0, 0, both);
            painter.drawPixmap(at, list->grab());
            painter.end();
            const QString file = output + "/checked-combo-open.png";
            if (open.save(file)) std::printf("%s\n", qPrintable(file));
            combo->CloseUp();
        }
        TFindCategoryForm find;
        Save(find, "find-category");
        TAddToFilter addToFilter(*program.Filters(),
                                 "From: Shop <offers@shop.example>\r\nTo: anna@example.org, family@example.org\r\n"
                                 "Cc: bob@work.example\r\nSubject: Cheap pills\r\n");
        addToFilter.Show();
        TAddToFilterForm addToFilterForm(addToFilter);
        Save(addToFilterForm, "add-to-filter");

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
