#include "ui/addressbook/AddressPropertyForm.h"

#include "addressbook/ContactEditor.h"
#include "addressbook/Contacts.h"
#include "ui/qt/DialogButtons.h"
#include "ui/qt/QtText.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const char* const kNameFields[] = {"First", "Middle", "Last", "Nickname"};

QIcon DefaultMarker() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2e, 0x8b, 0x57));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(QPointF(4.5, 8.5), QPointF(7, 11));
    p.drawLine(QPointF(7, 11), QPointF(11.5, 5));
    return QIcon(pixmap);
}

QWidget* Page(QTabWidget& pages, const char* name, const char* caption, QGridLayout*& grid) {
    auto* page = new QWidget(&pages);
    page->setObjectName(name);
    grid = new QGridLayout(page);
    grid->setColumnStretch(1, 1);
    pages.addTab(page, caption);
    return page;
}

// What a multi-line box holds, with the program's line breaks.
std::string StreetText(const QPlainTextEdit& box) { return FromQt(box.toPlainText().replace("\n", "\r\n")); }

}  // namespace

TAdressProperty::TAdressProperty(TContactEditor& editor, QWidget* parent)
    : QDialog(parent), component_(*this), editor_(editor), marker_(DefaultMarker()) {
    setObjectName("AdressProperty");
    setWindowTitle("Property");
    OpenPage = [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };
    auto* layout = new QVBoxLayout(this);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl1");
    BuildSummaryPage();
    QWidget* name = BuildNamePage();
    BuildHomePage();
    BuildBusinessPage();
    layout->addWidget(pages_, 1);
    connect(AddOkCancel(*this, *layout), &QPushButton::clicked, this, &QDialog::accept);
    pages_->setTabVisible(0, editor_.SummaryVisible());
    pages_->setCurrentWidget(editor_.SummaryVisible() ? pages_->widget(0) : name);
    ShowDisplayChoices();
    ShowEmails();
    component_.Loaded();
}

TAdressProperty::~TAdressProperty() = default;

QLabel* TAdressProperty::Label(QWidget* parent, const char* name, const char* caption) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

QLineEdit* TAdressProperty::AddBox(QGridLayout& grid, const char* labelName, const char* caption,
                                   const std::string& field) {
    const int row = grid.rowCount();
    auto* box = new QLineEdit(ToQt(editor_.Field(field)), grid.parentWidget());
    box->setObjectName(QString::fromStdString(field + "Edit"));
    box->setMaxLength(editor_.FieldSize(field));
    connect(box, &QLineEdit::textEdited, this, [this, field](const QString& text) { FieldEdited(field, text); });
    grid.addWidget(Label(grid.parentWidget(), labelName, caption), row, 0);
    grid.addWidget(box, row, 1);
    return box;
}

QPlainTextEdit* TAdressProperty::AddStreetBox(QGridLayout& grid, const char* labelName, const std::string& field) {
    const int row = grid.rowCount();
    auto* box = new QPlainTextEdit(grid.parentWidget());
    box->setObjectName(QString::fromStdString(field + "Memo"));
    box->setPlainText(ToQt(editor_.Field(field)).replace("\r\n", "\n"));
    box->setTabChangesFocus(true);
    box->setFixedHeight(box->fontMetrics().lineSpacing() * 3 + 12);
    connect(box, &QPlainTextEdit::textChanged, this, [this, box, field] {
        const int size = editor_.FieldSize(field);
        if (box->toPlainText().size() > size) {
            // Kept to the field's length, as a one-line box is.
            const QSignalBlocker quiet(box);
            box->setPlainText(box->toPlainText().left(size));
            box->moveCursor(QTextCursor::End);
        }
        editor_.SetField(field, StreetText(*box));
    });
    auto* label = Label(grid.parentWidget(), labelName, "Street Address:");
    grid.addWidget(label, row, 0, Qt::AlignTop);
    grid.addWidget(box, row, 1);
    return box;
}

void TAdressProperty::AddCopy(QGridLayout& grid, const char* labelName, const char* caption, const std::string& field) {
    const int row = grid.rowCount();
    auto* copy = new QLineEdit(ToQt(editor_.Field(field)), grid.parentWidget());
    copy->setReadOnly(true);
    copy->setFrame(false);
    grid.addWidget(Label(grid.parentWidget(), labelName, caption), row, 0);
    grid.addWidget(copy, row, 1);
    copies_.emplace(field, copy);
}

QPushButton* TAdressProperty::GoButton(QWidget* parent, const char* name, const std::string& field) {
    auto* go = new QPushButton("Go", parent);
    go->setObjectName(name);
    go->setAutoDefault(false);
    connect(go, &QPushButton::clicked, this, [this, field] {
        const std::string target = WebPageTarget(editor_.Field(field));
        if (!target.empty()) OpenPage(ToQt(target));
    });
    return go;
}

QWidget* TAdressProperty::BuildSummaryPage() {
    QGridLayout* grid = nullptr;
    QWidget* page = Page(*pages_, "TabSummary", "Summary", grid);
    const auto value = [&](const char* labelName, const char* caption, const std::string& text) {
        const int row = grid->rowCount();
        auto* shown = new QLabel(ToQt(text), page);
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(Label(page, labelName, caption), row, 0);
        grid->addWidget(shown, row, 1, 1, 2);
    };
    value("SummaryNameLabel", "Name:", editor_.SummaryName());
    value("SummaryEmailLabel", "E-Mail Address:", editor_.SummaryEmail());
    AddCopy(*grid, "SummaryHomePhoneLabel", "Home Phone:", "HomePhone");
    AddCopy(*grid, "SummaryHomeFaxLabel", "Home Fax:", "HomeFax");
    AddCopy(*grid, "SummaryMobileLabel", "Mobile:", "HomeMobile");
    AddCopy(*grid, "SummaryHomePageLabel", "Personal Web Page:", "HomeWepPage");
    grid->addWidget(GoButton(page, "SummaryHomeGoButton", "HomeWepPage"), grid->rowCount() - 1, 2);
    AddCopy(*grid, "SummaryCompanyLabel", "Company:", "Company");
    AddCopy(*grid, "SummaryJobLabel", "Job Title:", "BusinessJob");
    AddCopy(*grid, "SummaryDepartmentLabel", "Department:", "BusinessDepartament");
    AddCopy(*grid, "SummaryOfficeLabel", "Office:", "BusinessOffice");
    AddCopy(*grid, "SummaryBusinessPhoneLabel", "Business Phone:", "BusinessPhone");
    AddCopy(*grid, "SummaryBusinessFaxLabel", "Business Fax:", "BusinessFax");
    AddCopy(*grid, "SummaryBusinessPageLabel", "Business Web Page:", "BusinessWebPage");
    grid->addWidget(GoButton(page, "SummaryBusinessGoButton", "BusinessWebPage"), grid->rowCount() - 1, 2);
    grid->setRowStretch(grid->rowCount(), 1);
    return page;
}

QWidget* TAdressProperty::BuildNamePage() {
    QGridLayout* grid = nullptr;
    QWidget* page = Page(*pages_, "TabName", "Name", grid);
    AddBox(*grid, "FirstLabel", "First:", "First");
    AddBox(*grid, "MiddleLabel", "Middle:", "Middle");
    AddBox(*grid, "LastLabel", "Last:", "Last");
    AddBox(*grid, "TitleLabel", "Title:", "Title");
    AddBox(*grid, "NicknameLabel", "Nickname:", "Nickname");
    display_ = new QComboBox(page);
    display_->setObjectName("DisplayCombo");
    connect(display_, &QComboBox::activated, this, [this](int index) { editor_.DisplayIndex = index; });
    const int displayRow = grid->rowCount();
    grid->addWidget(Label(page, "DisplayLabel", "Display:"), displayRow, 0);
    grid->addWidget(display_, displayRow, 1);

    const int emailRow = grid->rowCount();
    grid->addWidget(Label(page, "EmailLabel", "E-mail Addresses:"), emailRow, 0, 1, 2);
    emailBox_ = new QLineEdit(ToQt(editor_.EmailBox), page);
    emailBox_->setObjectName("EmailEdit");
    emailBox_->setMaxLength(TContactEditor::kEmailBoxSize);
    connect(emailBox_, &QLineEdit::textChanged, this, [this](const QString& text) { editor_.EmailBox = FromQt(text); });
    grid->addWidget(emailBox_, emailRow + 1, 0, 1, 2);
    emails_ = new QListWidget(page);
    emails_->setObjectName("EmailList");
    KeepOutOfTranslation(*emails_);
    emails_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    emails_->setMinimumHeight(80);
    connect(emails_, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { EmailEdited(emails_->row(item), item->text()); });
    grid->addWidget(emails_, emailRow + 2, 0, 1, 2);
    grid->setRowStretch(emailRow + 2, 1);

    auto* buttons = new QVBoxLayout;
    const auto button = [&](const char* name, const char* caption) {
        auto* b = new QPushButton(caption, page);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* add = button("AddButton", "Add");
    editEmail_ = button("EditButton", "Edit");
    removeEmail_ = button("RemoveButton", "Remove");
    defaultEmail_ = button("DefaultButton", "Set as Default");
    buttons->addStretch();
    grid->addLayout(buttons, emailRow + 1, 2, 2, 1);
    connect(add, &QPushButton::clicked, this, [this] {
        if (!editor_.AddEmail()) return;
        emailBox_->setText(ToQt(editor_.EmailBox));
        ShowEmails();
    });
    connect(editEmail_, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = emails_->currentItem()) emails_->editItem(item);
    });
    connect(removeEmail_, &QPushButton::clicked, this, [this] {
        editor_.RemoveEmail(emails_->currentRow());
        ShowEmails();
    });
    connect(defaultEmail_, &QPushButton::clicked, this, [this] {
        editor_.SetDefaultEmail(emails_->currentRow());
        ShowEmails();
    });
    for (const char* field : kNameFields)
        connect(page->findChild<QLineEdit*>(QString(field) + "Edit"), &QLineEdit::textEdited, this,
                &TAdressProperty::ShowDisplayChoices);
    return page;
}

QWidget* TAdressProperty::BuildHomePage() {
    QGridLayout* grid = nullptr;
    QWidget* page = Page(*pages_, "TabHome", "Home", grid);
    AddStreetBox(*grid, "HomeStreetLabel", "HomeStreet");
    AddBox(*grid, "HomeCityLabel", "City:", "HomeCity");
    AddBox(*grid, "HomeStateLabel", "State/Province:", "HomeState");
    AddBox(*grid, "HomeZipLabel", "Zip Code:", "HomeZip");
    AddBox(*grid, "HomeCountryLabel", "Country/Region:", "HomeCountry");
    AddBox(*grid, "HomePhoneLabel", "Phone:", "HomePhone");
    AddBox(*grid, "HomeFaxLabel", "Fax:", "HomeFax");
    AddBox(*grid, "HomeMobileLabel", "Mobile:", "HomeMobile");
    AddBox(*grid, "HomePageLabel", "Personal Web Page:", "HomeWepPage");
    grid->addWidget(GoButton(page, "HomeGoButton", "HomeWepPage"), grid->rowCount() - 1, 2);
    grid->setRowStretch(grid->rowCount(), 1);
    return page;
}

QWidget* TAdressProperty::BuildBusinessPage() {
    QGridLayout* grid = nullptr;
    QWidget* page = Page(*pages_, "TabBusiness", "Business", grid);
    AddBox(*grid, "CompanyLabel", "Company:", "Company");
    AddStreetBox(*grid, "BusinessStreetLabel", "BusinessStreet");
    AddBox(*grid, "BusinessCityLabel", "City:", "BusinessCity");
    AddBox(*grid, "BusinessStateLabel", "State/Province:", "BusinessState");
    AddBox(*grid, "BusinessZipLabel", "Zip Code:", "BusinessZip");
    AddBox(*grid, "BusinessCountryLabel", "Country/Region:", "BusinessCountry");
    AddBox(*grid, "JobLabel", "Job Title:", "BusinessJob");
    AddBox(*grid, "DepartmentLabel", "Department:", "BusinessDepartament");
    AddBox(*grid, "OfficeLabel", "Office:", "BusinessOffice");
    AddBox(*grid, "BusinessPhoneLabel", "Phone:", "BusinessPhone");
    AddBox(*grid, "BusinessFaxLabel", "Fax:", "BusinessFax");
    AddBox(*grid, "BusinessPageLabel", "Web Page:", "BusinessWebPage");
    grid->addWidget(GoButton(page, "BusinessGoButton", "BusinessWebPage"), grid->rowCount() - 1, 2);
    grid->setRowStretch(grid->rowCount(), 1);
    return page;
}

void TAdressProperty::FieldEdited(const std::string& field, const QString& text) {
    editor_.SetField(field, FromQt(text));
    ShowCopies();
}

void TAdressProperty::ShowCopies() {
    for (const auto& [field, copy] : copies_) copy->setText(ToQt(editor_.Field(field)));
}

void TAdressProperty::ShowDisplayChoices() {
    const QSignalBlocker quiet(display_);
    display_->clear();
    for (const std::string& choice : editor_.DisplayChoices()) display_->addItem(ToQt(choice));
    display_->setCurrentIndex(editor_.DisplayIndex);
}

void TAdressProperty::ShowEmails() {
    showingEmails_ = true;
    const int current = emails_->currentRow();
    emails_->clear();
    for (const TContactEditor::TEmail& email : editor_.Emails) {
        auto* item = new QListWidgetItem(email.isDefault ? marker_ : QIcon(), ToQt(email.text), emails_);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    emails_->setCurrentRow(std::min(current, emails_->count() - 1));
    if (emails_->currentRow() < 0 && emails_->count() > 0) emails_->setCurrentRow(0);
    const bool enabled = editor_.EmailCommandsEnabled();
    for (QPushButton* button : {editEmail_, removeEmail_, defaultEmail_}) button->setEnabled(enabled);
    showingEmails_ = false;
}

void TAdressProperty::EmailEdited(int row, const QString& text) {
    if (showingEmails_) return;
    const QString kept = ToQt(editor_.EditEmail(row, FromQt(text)));
    // The old text comes back once the view has finished with the edit.
    if (kept != text) QMetaObject::invokeMethod(this, [this] { ShowEmails(); }, Qt::QueuedConnection);
}
