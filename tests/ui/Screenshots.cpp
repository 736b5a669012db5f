// Renders every window of the desktop program to PNG files, on the offscreen
// platform with real fonts, on a demo home with a signed-in identity and a few
// rows: tarnwick-screenshots OUTPUT_FOLDER [LANGUAGE]
#include "addressbook/AddressImport.h"
#include "addressbook/ContactEditor.h"
#include "addressbook/DMAddress.h"
#include "complaints/BatchErrorMessages.h"
#include "complaints/ComplaintForm.h"
#include "core/DataModule.h"
#include "core/MailCommands.h"
#include "mail/FakeServer.h"
#include "ui/complaints/ComplaintWindow.h"
#include "ui/complaints/StatusErrorMessageSend.h"
#include "core/IdentityChooser.h"
#include "core/StatusLog.h"
#include "i18n/Translator.h"
#include "ui/DemoHome.h"
#include "ui/addressbook/AddrBookImport.h"
#include "ui/addressbook/AddrMapping.h"
#include "ui/addressbook/AddressPropertyForm.h"
#include "ui/addressbook/ListContactsForm.h"
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
#include "ui/settings/SettingsForm.h"
#include "ui/settings/PasswordDlg.h"

#include <QApplication>
#include <algorithm>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
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

void SaveSettings(TSettingsForm& settings, TDM& dm) {
    auto* pages = settings.findChild<QTabWidget*>("PageControl1");
    auto* protocols = settings.findChild<QTabWidget*>("ProtocolTabs");
    const char* const names[] = {"settings-identities", "settings-accounts", "settings-misc"};
    for (int page = 0; page < 3; ++page) {
        pages->setCurrentIndex(page);
        Save(settings, names[page]);
        if (page == 1) {
            // The tabs of the other protocols, as a fresh account may choose them.
            if (auto* add = settings.findChild<QPushButton*>("AddAccountButton")) add->click();
            for (int tab : {1, 2}) {
                protocols->setCurrentIndex(tab);
                QApplication::processEvents();
                const QString file = output + "/settings-accounts-" + protocols->tabText(tab).toLower() + ".png";
                settings.grab().save(file);
                std::printf("%s\n", qPrintable(file));
            }
            protocols->setCurrentIndex(0);
            dm.cdsAccounts.Cancel();
        }
    }
    settings.hide();
}

void SaveAddressBook(TAddressDM& book) {
    TTable& table = book.cdsAdressBook;
    const struct {
        const char *first, *last, *emails, *business, *home;
        int display;
    } contacts[] = {{"Anna", "Berg", "anna@example.org;anna@work.example;", "+49 228 100", "+49 228 200", 0},
                    {"Bob", "Stone", "bob@work.example;", "+1 555 0100", "", 2},
                    {"Carla", "Ruiz", "carla@shop.example;", "", "+34 91 555", 0}};
    for (const auto& c : contacts) {
        table.Append();
        table.SetAsString("First", c.first);
        table.SetAsString("Last", c.last);
        table.SetAsString("Email", c.emails);
        table.SetAsString("BusinessPhone", c.business);
        table.SetAsString("HomePhone", c.home);
        table.SetValue("Display", std::int64_t{c.display});
        table.Post();
    }
    table.First();
    table.Edit();
    table.SetAsString("Company", "Berg & Stone");
    table.SetAsString("BusinessJob", "Buyer");
    table.SetAsString("HomeStreet", "Hauptstr. 1\r\nHinterhaus");
    table.SetAsString("HomeCity", "Bonn");
    table.SetAsString("HomeWepPage", "anna.example.org");
    table.SetValue("DefaultEmail", std::int64_t{1});
    table.Post();

    TListContacts list(book);
    Save(list, "addressbook-list");
    {
        TContactEditor editor(book, TContactEditor::TMode::Edit);
        TAdressProperty property(editor);
        const char* pages[] = {"addressbook-summary", "addressbook-name", "addressbook-home", "addressbook-business"};
        for (int page = 0; page < 4; ++page) {
            property.Pages()->setCurrentIndex(page);
            Save(property, pages[page]);
        }
        editor.Cancel();
    }
    const QString csv = QDir::tempPath() + "/tarnwick-screens-contacts.csv";
    QFile file(csv);
    if (file.open(QIODevice::WriteOnly))
        file.write("First Name,Last Name,E-mail Address,Mobile Number,Company,Notes\r\nAnna,Berg,anna@example.org,,,\r\n");
    file.close();
    TAddressImport import(book);
    import.ReadColumns(csv.toStdString());
    TAddrImportForm importForm(import);
    Save(importForm, "addressbook-import");
    TAddrMappingForm mapping("Mobile Number", TAddressImport::MappingChoices(), 13, true);
    Save(mapping, "addressbook-mapping");
    QFile::remove(csv);
}

}  // namespace

// The three pages after a "Check" answered by a whois server on loopback.
void SaveComplaint(TDesktopProgram& program) {
    TComplaintForm& form = *program.Complaint();
    TFakeServer whois({C("203.0.113.9"),
                       S("NetRange:       203.0.113.0 - 203.0.113.255\r\nOrgName:        Example Net\r\n"
                         "OrgAbuseEmail:  abuse@net.example\r\nOrgNOCEmail:    noc@net.example\r\n"
                         "OrgTechEmail:   hostmaster@net.example\r\n"),
                       Close()});
    form.WhoisSettings = [port = whois.Port()] {
        TWhoisSettings settings;
        settings.ipRegistry = {"127.0.0.1", port};
        settings.reverseName = [](const std::string&) { return std::string(); };
        return settings;
    };
    form.MessageText = "Received: from relay.spam.example ([203.0.113.9]) by mx.example.org\r\n"
                       "Received: from [198.51.100.23] by relay.spam.example\r\n"
                       "From: Shop <offers@shop.example>\r\nTo: anna@example.org\r\nSubject: Cheap pills\r\n"
                       "Reply-To: orders@pills.example\r\n";
    form.MessageFrom = "Shop <offers@shop.example>";
    form.MessageSubject = "Cheap pills";
    form.SenderAddress = "anna@example.org";
    TComplaintWindow& window = *program.ComplaintWindow();
    window.Prepare();
    const auto routes = form.RouteList;
    form.RouteIndex = static_cast<int>(std::find(routes.begin(), routes.end(), "203.0.113.9") - routes.begin());
    form.Check();
    form.SetAdminChecked(0, true);
    if (form.OnChange) form.OnChange();
    auto* pages = window.findChild<QTabWidget*>("PageControl");
    const char* names[] = {"complaint-admin", "complaint-users", "complaint-error-message"};
    for (int page = 0; page < 3; ++page) {
        pages->setCurrentIndex(page);
        Save(window, names[page]);
    }
    window.hide();
}

// A run whose servers refuse, and a row whose account is gone.
void SaveBatch(TDM& dm) {
    dm.cdsAccounts.First();
    dm.cdsAccounts.Edit();
    dm.cdsAccounts.SetValue("host", std::string("127.0.0.1"));
    dm.cdsAccounts.SetValue("port", std::int64_t{1});
    dm.cdsAccounts.SetValue("smtp_host", std::string("127.0.0.1"));
    dm.cdsAccounts.SetValue("smtp_host_port", std::int64_t{1});
    dm.cdsAccounts.Post();
    TTable& in = dm.cdsInBox;
    in.Append();
    in.SetValue("from", std::string("Old <old@gone.example>"));
    in.SetValue("idaccount", std::int64_t{7});
    in.SetValue("messagenum", std::int64_t{1});
    in.SetValue("Selected", true);
    in.Post();
    TBatchErrorMessages batch(in, TComplaintTemplates::Defaults().error, [&dm](std::int64_t id) -> std::optional<TAccountValues> {
        if (!dm.cdsAccounts.Locate("id", id)) return std::nullopt;
        return AccountValuesOf(dm.cdsAccounts);
    });
    batch.Show();
    TStatusErrorMessageSend window(batch);
    window.show();
    for (int i = 0; i < 50 && !batch.CloseEnabled; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
    Save(window, "batch-error-messages");
}

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
        if (auto* popup = program.InBoxFrame()->findChild<QMenu*>("PopupMenu1")) Save(*popup, "inbox-popup-menu");
        SaveSettings(*program.SettingsForm(), dm);
        SaveAddressBook(*program.AddressBook());
        SaveComplaint(program);
        SaveBatch(dm);
        program.Finish();
    }
    ResetAppTranslator();
    return 0;
}
