// The filter screen, its dialogs and "Add to filter" in the desktop program on
// the offscreen platform; the mail comes from the loopback Dovecot.
#include "filtering/dmfilters.h"
#include "ui/ProgramFixture.h"
#include "ui/WidgetTestSupport.h"
#include "ui/boxes/BoxFrame.h"
#include "ui/filters/CheckedComboBox.h"
#include "ui/filters/FilterFrame.h"
#include "ui/main/AntiSpamWindow.h"
#include "ui/main/RetrievalStatusForm.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class TFilterWindowTest : public TDesktopProgramTest {
protected:
    TFilterWindowTest() : TDesktopProgramTest("filter-window") {}
    TAntiSpamWindow* main = nullptr;
    TFilterFrame* frame = nullptr;

    // The demo account reads the mailbox on the loopback Dovecot when one is given.
    void StartProgram(const TTestMailbox* box = nullptr) {
        PrepareHome(box ? std::vector<const TTestMailbox*>{box} : std::vector<const TTestMailbox*>{});
        StartSignedIn();
        main = program->MainWindow();
        frame = program->FilterFrame();
        Find<QListWidget>(*main, "WorkAreaModeListView").setCurrentRow(2);
        ASSERT_TRUE(frame->isVisible());
    }
    TFilterDM& Filters() { return *program->Filters(); }
    QPushButton& Button(const char* name) { return Find<QPushButton>(*frame, name); }
    void Scan() {
        ASSERT_TRUE(Dm().Actions["ReceiveIdentityMail"].Execute());
        program->StatusForm()->hide();
    }
    std::vector<std::string> Senders(TTable& box) {
        std::vector<std::string> senders;
        for (int recNo = 1; recNo <= box.RecordCount(); ++recNo)
            senders.push_back(ValueToString(box.ValueAt(recNo, box.FieldIndex("from"))));
        return senders;
    }
    void Key(QWidget& widget, int key) { QTest::keyClick(&widget, static_cast<Qt::Key>(key)); }
};

TEST_F(TFilterWindowTest, WithNoCategoriesOnlyAddingAndImportAreUsable) {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_TRUE(Button("btnAddCategory").isEnabled());
    for (const char* name : {"btnEditCategory", "btnDeleteCategory", "btnFindCategory", "btnAddRule", "btnEditRule",
                             "btnDeleteRule", "btnFindRule"})
        EXPECT_FALSE(Button(name).isEnabled()) << name;
    QMenu& file = Find<QMenu>(*main, "File1");
    for (QAction* action : file.actions()) {
        if (action->objectName() == "FilterImport") {
            EXPECT_TRUE(action->isEnabled());
        } else if (action->objectName() == "FilterExport") {
            EXPECT_FALSE(action->isEnabled());
        }
    }
    // Keys of an action that is unavailable do nothing.
    Key(*frame->RuleGrid(), Qt::Key_Insert);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// A category and an expression made through the dialogs, and the next scan's
// message it catches.
TEST_F(TFilterWindowTest, AnExpressionMadeInTheDialogsCatchesTheNextScansMessage) {
    TTestMailbox box({TestMessage("Friend <friend@example.org>", "Minutes"),
                      TestMessage("Lotto <win@prizes.example>", "Your LOTTERY win")});
    ASSERT_NO_FATAL_FAILURE(StartProgram(&box));
    WhenModal([](QWidget& dialog) {
        EXPECT_EQ(dialog.objectName(), "AddCategory");
        EXPECT_EQ(dialog.windowTitle(), "Add category");
        QPushButton& ok = Find<QPushButton>(dialog, "btnOk");
        EXPECT_FALSE(ok.isEnabled());
        Find<QComboBox>(dialog, "Action").setCurrentIndex(0);
        Find<QLineEdit>(dialog, "CategoryName").setText("   ");
        EXPECT_FALSE(ok.isEnabled());
        Find<QLineEdit>(dialog, "CategoryName").setText("  Lottery ");
        EXPECT_TRUE(ok.isEnabled());
        ok.click();
    });
    Button("btnAddCategory").click();
    ASSERT_EQ(Filters().cdsFilterCategory.RecordCount(), 1);
    EXPECT_EQ(Filters().cdsFilterCategory.AsString("NameCategory"), "Lottery");
    EXPECT_TRUE(Button("btnAddRule").isEnabled());
    EXPECT_FALSE(Button("btnEditRule").isEnabled());

    // Insert in the expression grid opens "Add/Change rule".
    bool shown = false;
    WhenModal([&](QWidget& dialog) {
        shown = true;
        EXPECT_EQ(dialog.windowTitle(), "Add/Change rule");
        EXPECT_FALSE(Find<QPushButton>(dialog, "btnAsNew").isVisible());
        auto& fields = Find<TCheckedComboBox>(dialog, "FieldCombo");
        EXPECT_EQ(fields.Text(), "<none>");
        QPushButton& ok = Find<QPushButton>(dialog, "btnOk");
        auto& rule = Find<QComboBox>(dialog, "RuleCombo");
        // "Is missing" takes no content once a field is checked.
        rule.setCurrentIndex(9);
        EXPECT_FALSE(ok.isEnabled());
        fields.DropDown();
        ASSERT_TRUE(fields.IsDroppedDown());
        fields.DropDownList()->item(2)->setCheckState(Qt::Checked);  // Subject, as a click would
        QTest::keyClick(fields.DropDownList(), Qt::Key_Escape);
        EXPECT_FALSE(fields.IsDroppedDown());
        EXPECT_EQ(fields.Text(), "Subject");
        EXPECT_TRUE(ok.isEnabled());
        EXPECT_FALSE(Find<QLineEdit>(dialog, "Content").isEnabled());
        EXPECT_FALSE(Find<QCheckBox>(dialog, "CaseMatch").isEnabled());
        rule.setCurrentIndex(0);  // Contains
        EXPECT_FALSE(ok.isEnabled());
        Find<QLineEdit>(dialog, "Content").setText("lottery");
        EXPECT_TRUE(ok.isEnabled());
        EXPECT_TRUE(Find<QCheckBox>(dialog, "CaseMatch").isChecked());
        ok.click();
    });
    frame->RuleGrid()->setFocus();
    Key(*frame->RuleGrid(), Qt::Key_Insert);
    ASSERT_TRUE(shown);
    TTable& expr = Filters().cdsExpr;
    ASSERT_EQ(expr.RecordCount(), 1);
    EXPECT_EQ(expr.AsString("Fields"), "3");
    EXPECT_EQ(expr.AsString("Rule"), "Contains");
    EXPECT_EQ(frame->RuleGrid()->model()->rowCount(), 1);

    // Delete asks first; No keeps the expression.
    Ui().NextAnswers = {TMsgResult::No};
    Key(*frame->RuleGrid(), Qt::Key_Delete);
    ASSERT_FALSE(Ui().Shown.empty());
    EXPECT_EQ(Ui().Shown.back().text, "Delete rule?");
    EXPECT_EQ(Ui().Shown.back().caption, "Delete rule");
    EXPECT_EQ(expr.RecordCount(), 1);

    Scan();
    EXPECT_EQ(Senders(Dm().cdsInBox), (std::vector<std::string>{"Friend <friend@example.org>"}));
    ASSERT_EQ(Senders(Dm().cdsDelBox), (std::vector<std::string>{"Lotto <win@prizes.example>"}));
    Dm().cdsDelBox.First();
    EXPECT_EQ(Dm().cdsDelBox.AsString("Prichina"), "\"Subject\" contains \"lottery\"");
    EXPECT_EQ(Filters().cdsExpr.AsInteger("Hits"), 1);
    // After the scan the screen's commands follow the tables again.
    EXPECT_TRUE(Button("btnEditRule").isEnabled());
    EXPECT_FALSE(Button("btnFindRule").isEnabled());
}

TEST_F(TFilterWindowTest, AddToFilterFromAnInBoxRowSendsTheSendersNextMailToDelBox) {
    TTestMailbox box({TestMessage("Shop <offers@shop.example>", "Cheap pills"),
                      TestMessage("Friend <friend@example.org>", "Minutes")});
    ASSERT_NO_FATAL_FAILURE(StartProgram(&box));
    TTable& categories = Filters().cdsFilterCategory;
    for (const char* name : {"Ads", "Shops"}) {
        categories.Append();
        categories.SetValue("NameCategory", std::string(name));
        categories.SetValue("idAction", std::int64_t{1});
        categories.Post();
    }
    Scan();
    ASSERT_EQ(Dm().cdsInBox.RecordCount(), 2);
    Find<QListWidget>(*main, "WorkAreaModeListView").setCurrentRow(0);
    TBoxFrame& inBox = *program->InBoxFrame();
    inBox.Grid()->setCurrentIndex(inBox.Grid()->model()->index(0, 3));
    ASSERT_EQ(Dm().cdsInBox.AsString("from"), "Shop <offers@shop.example>");
    bool shown = false;
    WhenModal([&](QWidget& dialog) {
        shown = true;
        EXPECT_EQ(dialog.windowTitle(), "Add to filter");
        EXPECT_EQ(Find<QLineEdit>(dialog, "FromValue").text(), "offers@shop.example");
        EXPECT_EQ(Find<QLineEdit>(dialog, "SubjectValue").text(), "Cheap pills");
        auto& to = Find<TCheckedComboBox>(dialog, "ToValue");
        EXPECT_EQ(to.List().Items(), (std::vector<std::string>{"anna@example.org"}));
        EXPECT_EQ(to.Text(), "<none>") << "offered, not checked";
        EXPECT_TRUE(Find<TCheckedComboBox>(dialog, "CcValue").List().Items().empty());
        EXPECT_FALSE(Find<QPushButton>(dialog, "btnMore").isEnabled());
        QPushButton& add = Find<QPushButton>(dialog, "btnAddToFilter");
        EXPECT_FALSE(add.isEnabled());
        Find<QComboBox>(dialog, "CategoryName").setCurrentIndex(1);
        Find<QCheckBox>(dialog, "FromCheck").setChecked(true);
        EXPECT_TRUE(add.isEnabled());
        add.click();
    });
    QPushButton* addButton = nullptr;
    for (QPushButton* button : inBox.findChildren<QPushButton*>())
        if (button->text() == "Add to filter") addButton = button;
    ASSERT_TRUE(addButton);
    ASSERT_TRUE(addButton->isEnabled());
    addButton->click();
    ASSERT_TRUE(shown);
    categories.Last();
    ASSERT_EQ(Filters().cdsExpr.RecordCount(), 1);
    EXPECT_EQ(Filters().cdsExpr.AsString("Content"), "offers@shop.example");

    // The mail is still on the server: the next scan sends it to DelBox.
    Scan();
    EXPECT_EQ(Senders(Dm().cdsInBox), (std::vector<std::string>{"Friend <friend@example.org>"}));
    EXPECT_EQ(Senders(Dm().cdsDelBox), (std::vector<std::string>{"Shop <offers@shop.example>"}));
}

TEST_F(TFilterWindowTest, EnterChangesTheExpressionWithExactlyItsFieldsChecked) {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    TTable& categories = Filters().cdsFilterCategory;
    categories.Append();
    categories.SetValue("NameCategory", std::string("Spam"));
    categories.SetValue("idAction", std::int64_t{1});
    categories.Post();
    TTable& expr = Filters().cdsExpr;
    expr.Append();
    expr.SetValue("Fields", std::string("9"));
    expr.SetValue("idRule", std::int64_t{1});
    expr.SetValue("Content", std::string("x"));
    expr.SetValue("CaseMatch", false);
    expr.Post();
    ASSERT_TRUE(WaitFor([&] { return frame->RuleGrid()->currentIndex().row() == 0; }));
    bool shown = false;
    WhenModal([&](QWidget& dialog) {
        shown = true;
        auto& fields = Find<TCheckedComboBox>(dialog, "FieldCombo");
        EXPECT_EQ(fields.Text(), "Reply-To");
        EXPECT_FALSE(fields.ItemChecked(1)) << "To";
        EXPECT_TRUE(Find<QPushButton>(dialog, "btnAsNew").isVisible());
        EXPECT_FALSE(Find<QCheckBox>(dialog, "CaseMatch").isChecked());
        Find<QPushButton>(dialog, "btnAsNew").click();
    });
    Key(*frame->RuleGrid(), Qt::Key_Return);
    ASSERT_TRUE(shown);
    EXPECT_EQ(expr.RecordCount(), 2);
}

TEST_F(TFilterWindowTest, TheCheckedComboBoxOpensAboveWhenThereIsNoRoomBelow) {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    QWidget window;
    auto* combo = new TCheckedComboBox(&window);
    combo->SetItems({"a", "b", "c"});
    std::vector<std::string> events;
    combo->OnCloseUp = [&] { events.push_back("close"); };
    window.resize(300, 60);
    window.show();
    const QRect screen = window.screen()->availableGeometry();
    for (bool low : {false, true}) {
        window.move(screen.left() + 10, low ? screen.bottom() - 50 : screen.top() + 10);
        QApplication::processEvents();
        combo->DropDown();
        ASSERT_TRUE(combo->IsDroppedDown());
        const QWidget* list = combo->DropDownList()->window();
        const int comboTop = combo->mapToGlobal(QPoint(0, 0)).y();
        if (low)
            EXPECT_LE(list->geometry().bottom(), comboTop) << "above";
        else
            EXPECT_GE(list->geometry().top(), comboTop + combo->height()) << "below";
        EXPECT_EQ(list->width(), combo->width());
        combo->Button()->click();  // a second click only closes
        EXPECT_FALSE(combo->IsDroppedDown());
    }
    EXPECT_EQ(events.size(), 2u);
}

}  // namespace
