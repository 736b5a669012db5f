// The address book's windows on the offscreen platform, opened the way a user
// opens them: from the main window's File menu and the InBox pop-up menu.
#include "addressbook/AddressImport.h"
#include "addressbook/ContactEditor.h"
#include "addressbook/DMAddress.h"
#include "core/DataModule.h"
#include "i18n/Component.h"
#include "i18n/Translator.h"
#include "ui/DemoHome.h"
#include "ui/addressbook/AddrBookImport.h"
#include "ui/addressbook/AddrMapping.h"
#include "ui/addressbook/AddressPropertyForm.h"
#include "ui/addressbook/ListContactsForm.h"
#include "ui/boxes/BoxFrame.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/DesktopProgram.h"
#include "ui/qt/QtUserInterface.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>

namespace {

// Runs action on the modal dialog of that name as soon as it is the active one.
void WhenShown(const char* name, std::function<void(QWidget&)> action) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, name = QString::fromLatin1(name), action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != name) return;
        poll->stop();
        poll->deleteLater();
        action(*modal);
    });
    poll->start();
}

template <typename T>
T& Find(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) throw std::runtime_error(std::string("no widget ") + name);
    return *found;
}

QAction& MenuItem(QWidget& window, const char* name) { return Find<QAction>(window, name); }

QString Cell(QWidget& list, int row, int column) {
    QTableView& grid = Find<QTableView>(list, "DBGrid1");
    return grid.model()->index(row, column).data().toString();
}

class TAddressBookWindowTest : public ::testing::Test {
protected:
    std::string home = (QDir::tempPath() + "/tarnwick-addressbook-test-" +
                        QString::number(QCoreApplication::applicationPid()))
                           .toStdString();
    std::unique_ptr<TDesktopProgram> program;
    TAntiSpamWindow* main = nullptr;

    void SetUp() override {
        PrepareDemoHome(home, true);
        program = std::make_unique<TDesktopProgram>();
        program->SplashMilliseconds = 0;
        ASSERT_EQ(program->Start(), TDesktopProgram::TStart::SignedIn);
        main = program->MainWindow();
        ASSERT_NE(program->AddressBook(), nullptr);
    }
    void TearDown() override {
        program.reset();
        ResetAppTranslator();
        QDir(QString::fromStdString(home)).removeRecursively();
    }

    TAddressDM& Book() { return *program->AddressBook(); }
    TQtUserInterface& Ui() { return program->QtInterface(); }
    void OpenList(std::function<void(QWidget&)> inside) {
        WhenShown("ListContacts", std::move(inside));
        MenuItem(*main, "AddressBook1").trigger();
    }
};

TEST_F(TAddressBookWindowTest, ASenderFromTheInBoxLandsInTheListWithItsAddress) {
    AddDemoRows(*program->DataModule(), 3, 0);
    program->DataModule()->cdsInBox.SetRecNo(2);  // "Lotto Team <win@prizes.example>"
    WhenShown("AdressProperty", [](QWidget& editor) {
        QTabWidget& pages = Find<QTabWidget>(editor, "PageControl1");
        EXPECT_FALSE(pages.isTabVisible(0));  // no summary for a new contact
        EXPECT_EQ(pages.currentWidget()->objectName(), "TabName");
        EXPECT_EQ(Find<QLineEdit>(editor, "FirstEdit").text(), "Lotto Team");
        EXPECT_EQ(Find<QLineEdit>(editor, "EmailEdit").text(), "win@prizes.example");
        EXPECT_FALSE(Find<QPushButton>(editor, "RemoveButton").isEnabled());
        Find<QPushButton>(editor, "AddButton").click();
        EXPECT_EQ(Find<QListWidget>(editor, "EmailList").count(), 1);
        EXPECT_TRUE(Find<QPushButton>(editor, "RemoveButton").isEnabled());
        Find<QPushButton>(editor, "OKBtn").click();
    });
    MenuItem(*program->InBoxFrame(), "AddtoAddressBook1").trigger();
    ASSERT_EQ(Book().cdsAdressBook.RecordCount(), 1);

    OpenList([](QWidget& list) {
        EXPECT_EQ(list.windowTitle(), "Address Book");
        EXPECT_EQ(Cell(list, 0, 0), "Lotto Team  ");
        EXPECT_EQ(Cell(list, 0, 1), "win@prizes.example");
        Find<QPushButton>(list, "CloseButton").click();
    });
}

TEST_F(TAddressBookWindowTest, EditASecondAddressAsDefaultThenDeleteWithTheQuestion) {
    TTable& book = Book().cdsAdressBook;
    book.Append();
    book.SetAsString("First", "Anna");
    book.SetAsString("Last", "Berg");
    book.SetAsString("Email", "anna@example.org;");
    book.Post();
    OpenList([this](QWidget& list) {
        WhenShown("AdressProperty", [](QWidget& editor) {
            QTabWidget& pages = Find<QTabWidget>(editor, "PageControl1");
            EXPECT_TRUE(pages.isTabVisible(0));
            EXPECT_EQ(pages.currentWidget()->objectName(), "TabSummary");
            pages.setCurrentIndex(1);
            QLineEdit& box = Find<QLineEdit>(editor, "EmailEdit");
            box.setText("anna@work.example");
            Find<QPushButton>(editor, "AddButton").click();
            EXPECT_EQ(box.text(), "");
            QListWidget& emails = Find<QListWidget>(editor, "EmailList");
            ASSERT_EQ(emails.count(), 2);
            emails.setCurrentRow(1);
            Find<QPushButton>(editor, "DefaultButton").click();
            EXPECT_TRUE(emails.item(0)->icon().isNull());
            EXPECT_FALSE(emails.item(1)->icon().isNull());
            Find<QPushButton>(editor, "OKBtn").click();
        });
        QTableView& grid = Find<QTableView>(list, "DBGrid1");
        emit grid.doubleClicked(grid.model()->index(0, 0));
        EXPECT_EQ(Cell(list, 0, 1), "anna@work.example");

        Ui().NextAnswers = {TMsgResult::No, TMsgResult::Yes};
        MenuItem(list, "Delete").trigger();
        EXPECT_EQ(grid.model()->rowCount(), 1);
        MenuItem(list, "Delete").trigger();
        EXPECT_EQ(grid.model()->rowCount(), 0);
        EXPECT_FALSE(MenuItem(list, "Edit").isEnabled());
        EXPECT_FALSE(MenuItem(list, "Search").isEnabled());
        Find<QPushButton>(list, "CloseButton").click();
    });
    ASSERT_EQ(Ui().Shown.size(), 2u);
    EXPECT_EQ(Ui().Shown[1].text, "Are you sure you want to permanently delete the selected item(s)?");
    EXPECT_EQ(Ui().Shown[1].caption, "Address Book");
    EXPECT_TRUE(book.IsEmpty());
}

TEST_F(TAddressBookWindowTest, ExportAndImportThroughTheDialogs) {
    TTable& book = Book().cdsAdressBook;
    book.Append();
    book.SetAsString("First", "Anna");
    book.SetAsString("Last", "Berg");
    book.SetAsString("Email", "anna@example.org;");
    book.SetAsString("Company", "Berg, Stone & Co");
    book.Post();
    const QString file = QString::fromStdString(home) + "/contacts.csv";
    OpenList([&](QWidget& list) {
        Ui().NextFiles = {file.toStdString()};
        MenuItem(list, "Export").trigger();
        ASSERT_TRUE(QFile::exists(file));

        Ui().NextFiles = {file.toStdString()};
        WhenShown("AddrImportForm", [](QWidget& import) {
            EXPECT_FALSE(Find<QPushButton>(import, "ImportButton").isEnabled());
            Find<QPushButton>(import, "OpenFileButton").click();
            EXPECT_TRUE(Find<QLineEdit>(import, "FileNameEdit").text().endsWith("contacts.csv"));
            QTreeWidget& mappings = Find<QTreeWidget>(import, "MappingList");
            ASSERT_EQ(mappings.topLevelItemCount(), 27);
            EXPECT_EQ(mappings.topLevelItem(23)->text(0), "Company");
            EXPECT_EQ(mappings.topLevelItem(23)->text(1), "Company");
            EXPECT_EQ(mappings.topLevelItem(23)->checkState(0), Qt::Checked);
            // "Company" goes into "Nickname" instead.
            WhenShown("AddrMappingForm", [](QWidget& mapping) {
                QListWidget& fields = Find<QListWidget>(mapping, "FieldList");
                EXPECT_EQ(fields.count(), 26);
                EXPECT_EQ(fields.currentItem()->text(), "Company");
                EXPECT_TRUE(Find<QCheckBox>(mapping, "ImportCheck").isChecked());
                fields.setCurrentRow(4);
                Find<QPushButton>(mapping, "OKBtn").click();
            });
            mappings.setCurrentItem(mappings.topLevelItem(23));
            Find<QPushButton>(import, "ChangeMappingButton").click();
            EXPECT_EQ(mappings.topLevelItem(23)->text(1), "Nickname");
            mappings.topLevelItem(0)->setCheckState(0, Qt::Unchecked);  // no first names
            Find<QPushButton>(import, "ImportButton").click();
        });
        MenuItem(list, "Import").trigger();
        EXPECT_EQ(Find<QTableView>(list, "DBGrid1").model()->rowCount(), 2);
        Find<QPushButton>(list, "CloseButton").click();
    });
    EXPECT_TRUE(Ui().Shown.empty());
    book.Last();
    EXPECT_EQ(book.AsString("First"), "");
    EXPECT_EQ(book.AsString("Last"), "Berg");
    EXPECT_EQ(book.AsString("Nickname"), "Berg, Stone & Co");
    EXPECT_EQ(book.AsString("Company"), "");
    EXPECT_EQ(book.AsInteger("Display"), 2);
}

TEST_F(TAddressBookWindowTest, GoHandsOnlyWebAddressesToTheDesktop) {
    TContactEditor editor(Book(), TContactEditor::TMode::New);
    TAdressProperty window(editor);
    std::vector<QString> opened;
    window.OpenPage = [&](const QString& url) { opened.push_back(url); };
    QLineEdit& page = Find<QLineEdit>(window, "HomeWepPageEdit");
    for (const char* text : {"www.example.org", "/usr/bin/xterm", "", "https://shop.example/a"}) {
        page.setText(text);
        emit page.textEdited(text);
        Find<QPushButton>(window, "HomeGoButton").click();
    }
    EXPECT_EQ(opened, (std::vector<QString>{"http://www.example.org", "https://shop.example/a"}));
}

TEST_F(TAddressBookWindowTest, TheDisplayListFollowsTheNameBoxes) {
    TContactEditor editor(Book(), TContactEditor::TMode::New);
    TAdressProperty window(editor);
    QComboBox& display = Find<QComboBox>(window, "DisplayCombo");
    EXPECT_EQ(display.count(), 4);
    display.setCurrentIndex(2);
    emit display.activated(2);
    QLineEdit& last = Find<QLineEdit>(window, "LastEdit");
    last.setText("Berg");
    emit last.textEdited("Berg");
    EXPECT_EQ(display.itemText(2), "Berg,  ");
    EXPECT_EQ(display.currentIndex(), 2);
    EXPECT_EQ(editor.DisplayIndex, 2);
}

// ---------------------------------------------------------------- language files

std::set<std::string> KeysOf(const std::string& file) {
    std::set<std::string> keys;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || line[0] == ';' || line[0] == '[') continue;
        std::string key = line.substr(0, equals);
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
        keys.insert(key);
    }
    return keys;
}

void CollectKeys(TComponent& component, const std::string& parent, std::set<std::string>& keys) {
    const std::string path = component.Name().empty() ? parent
                             : parent.empty()         ? component.Name()
                                                      : parent + "." + component.Name();
    if (!component.Name().empty() && component.HasCaption() && !component.Caption().empty() &&
        component.Caption() != "-")
        keys.insert(path + ".Caption");
    for (int i = 0; i < component.ColumnCount(); ++i) keys.insert(path + ".Column[" + std::to_string(i) + "]");
    for (int i = 0; i < component.ItemCount(); ++i) keys.insert(path + ".Item[" + std::to_string(i) + "]");
    for (TComponent* child : component.Components())
        if (child && !child->AsTranslator()) CollectKeys(*child, path, keys);
}

TEST_F(TAddressBookWindowTest, EveryCaptionOfTheWindowsIsInEveryLanguageFile) {
    TTable& book = Book().cdsAdressBook;
    book.Append();
    book.SetAsString("First", "Anna");
    book.Post();
    std::set<std::string> keys;
    {
        TListContacts list(Book());
        TContactEditor editor(Book(), TContactEditor::TMode::Edit);
        TAdressProperty property(editor);
        TAddressImport import(Book());
        TAddrImportForm importForm(import);
        TAddrMappingForm mapping("Vorname", TAddressImport::MappingChoices(), 0, false);
        CollectKeys(*ApplicationComponent(), "", keys);
    }
    for (const char* key : {"AdressProperty.NotValidAddress", "AdressProperty.AddAnyway", "AdressProperty.Properties"}) keys.insert(key);
    std::erase_if(keys, [](const std::string& key) {
        for (const char* window : {"AddressDM.", "ListContacts.", "AdressProperty.", "AddrImportForm.",
                                   "AddrMappingForm.", "InboxFrame.AddtoAddressBook1."})
            if (key.rfind(window, 0) == 0) return false;
        return true;
    });
    ASSERT_GT(keys.size(), 40u);
    for (const char* language : {"German", "Russian"}) {
        const std::set<std::string> known = KeysOf(std::string(TARNWICK_LANG_DIR) + "/" + language + ".lng");
        std::string missing;
        for (const std::string& key : keys) {
            std::string lower = key;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            if (!known.count(lower)) missing += "  " + key + "\n";
        }
        EXPECT_TRUE(missing.empty()) << language << ".lng lacks:\n" << missing;
    }
}

}  // namespace
