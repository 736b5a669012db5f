#include "ui/complaints/ComplaintWindow.h"

#include "complaints/ComplaintForm.h"
#include "mail/ProtocolText.h"
#include "ui/qt/Guarded.h"
#include "ui/qt/QtActions.h"
#include "ui/qt/QtText.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QString Lines(const std::vector<std::string>& lines) {
    QStringList all;
    for (const std::string& line : lines) all << ToQt(line);
    return all.join('\n');
}

// The lines of an edit box; a box ending in a line break has no empty last line.
std::vector<std::string> LinesOf(const QPlainTextEdit& edit) { return SplitLines(FromQt(edit.toPlainText())); }

QLabel* Label(const char* name, const char* text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QGroupBox* Group(const char* name, const char* title, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(name);
    return group;
}

void FillChecked(QListWidget& list, const std::vector<TCheckedAddress>& entries) {
    const QSignalBlocker quiet(&list);
    list.clear();
    for (const TCheckedAddress& entry : entries) {
        auto* item = new QListWidgetItem(ToQt(entry.address), &list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(entry.checked ? Qt::Checked : Qt::Unchecked);
    }
}

}  // namespace

TComplaintWindow::TComplaintWindow(TComplaintForm& form, QWidget* parent)
    : QDialog(parent), component_(*this), form_(form) {
    setObjectName("ComplaintForm");
    setWindowTitle("Complaint");
    form_.Actions.AttachTo(component_);
    auto* layout = new QVBoxLayout(this);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl");
    pages_->addTab(BuildAdminPage(), "Complaint to Admin");
    pages_->addTab(BuildUsersPage(), "Complaint to Users");
    pages_->addTab(BuildErrorPage(), "Send error message");
    layout->addWidget(pages_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("btnCancel");
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(pages_, &QTabWidget::currentChanged, this, [this](int page) { form_.ActivePage = page; });
    form_.OnChange = [this] { ShowState(); };
    setMinimumSize(620, 540);
    component_.Loaded();
}

TComplaintWindow::~TComplaintWindow() {
    form_.OnChange = nullptr;
    form_.Actions.Detach();
}

QPushButton* TComplaintWindow::ActionButton(const char* action, QWidget* parent) {
    QAction* mirror = ActionFor(form_.Actions, action, this);
    auto* button = new QPushButton(mirror->text(), parent);
    button->setObjectName(QString::fromLatin1(action) + "Button");
    KeepOutOfTranslation(*button);  // follows the action, translated with it
    button->setEnabled(mirror->isEnabled());
    connect(mirror, &QAction::changed, button, [button, mirror] {
        button->setText(mirror->text());
        button->setEnabled(mirror->isEnabled());
    });
    connect(button, &QPushButton::clicked, mirror, &QAction::trigger);
    return button;
}

QWidget* TComplaintWindow::BuildAdminPage() {
    auto* page = new QWidget;
    page->setObjectName("tsAdmin");
    auto* layout = new QVBoxLayout(page);

    auto* message = Group("gbAdminComplaintMessage", "Complaint message", page);
    auto* grid = new QGridLayout(message);
    route_ = new QComboBox(message);
    route_->setObjectName("cbIPList");
    route_->setMinimumWidth(160);
    adminSubject_ = new QLineEdit(message);
    adminSubject_->setObjectName("eAdminSubjMsg");
    adminAppend_ = new QCheckBox("Appned original subject", message);
    adminAppend_->setObjectName("cbAdminAppSubj");
    adminInclude_ = new QCheckBox("Include original message", message);
    adminInclude_->setObjectName("cbAdminIncOrigMes");
    adminText_ = new QPlainTextEdit(message);
    adminText_->setObjectName("memoAdminComplaintMessage");
    auto* routeRow = new QHBoxLayout;
    routeRow->addWidget(route_);
    routeRow->addWidget(ActionButton("Check", message));
    routeRow->addStretch();
    grid->addWidget(Label("lblMessageRoute", "Message route", message), 0, 0);
    grid->addLayout(routeRow, 0, 1);
    grid->addWidget(Label("lblAdminSubject", "Subject", message), 1, 0);
    grid->addWidget(adminSubject_, 1, 1);
    auto* checks = new QVBoxLayout;
    checks->addWidget(adminAppend_);
    checks->addWidget(adminInclude_);
    grid->addLayout(checks, 2, 1);
    grid->addWidget(Label("lblAdminText", "Text", message), 3, 0, Qt::AlignTop);
    grid->addWidget(adminText_, 3, 1);
    layout->addWidget(message, 3);

    auto* lists = new QHBoxLayout;
    auto* admins = Group("gbAdminEmailList", "Admin email list", page);
    adminList_ = new QListWidget(admins);
    adminList_->setObjectName("clbAdminMailList");
    KeepOutOfTranslation(*adminList_);
    (new QVBoxLayout(admins))->addWidget(adminList_);
    auto* information = Group("gbIPInformation", "IP information", page);
    ipInformation_ = new QPlainTextEdit(information);
    ipInformation_->setObjectName("memoIPInformation");
    ipInformation_->setReadOnly(true);
    ipInformation_->setLineWrapMode(QPlainTextEdit::NoWrap);
    ipInformation_->setBackgroundRole(QPalette::Window);
    (new QVBoxLayout(information))->addWidget(ipInformation_);
    lists->addWidget(admins, 1);
    lists->addWidget(information, 1);
    layout->addLayout(lists, 2);
    auto* send = new QHBoxLayout;
    send->addStretch();
    send->addWidget(ActionButton("SendAdminComplaint", page));
    layout->addLayout(send);

    connect(route_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!showing_) form_.RouteIndex = index;
    });
    connect(adminSubject_, &QLineEdit::textEdited, this,
            [this](const QString& text) { form_.Templates.admin.subject = FromQt(text); });
    connect(adminText_, &QPlainTextEdit::textChanged, this, [this] {
        if (!showing_) form_.Templates.admin.text = LinesOf(*adminText_);
    });
    connect(adminAppend_, &QCheckBox::toggled, this, [this](bool on) { form_.AdminAppendSubject = on; });
    connect(adminInclude_, &QCheckBox::toggled, this, [this](bool on) { form_.AdminIncludeOriginal = on; });
    connect(adminList_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        form_.SetAdminChecked(static_cast<std::size_t>(adminList_->row(item)), item->checkState() == Qt::Checked);
    });
    return page;
}

QWidget* TComplaintWindow::BuildUsersPage() {
    auto* page = new QWidget;
    page->setObjectName("tsUsers");
    auto* layout = new QVBoxLayout(page);
    auto* users = Group("gbUsersMailList", "Users mail list", page);
    userList_ = new QListWidget(users);
    userList_->setObjectName("cblUserMail");
    KeepOutOfTranslation(*userList_);
    (new QVBoxLayout(users))->addWidget(userList_);
    layout->addWidget(users, 2);

    auto* message = Group("gbUserComplaintMessage", "Complaint message", page);
    auto* grid = new QGridLayout(message);
    userSubject_ = new QLineEdit(message);
    userSubject_->setObjectName("eUserMsgSubject");
    userAppend_ = new QCheckBox("Appned original subject", message);
    userAppend_->setObjectName("cbUserMsgAppenSubj");
    userInclude_ = new QCheckBox("Include original message", message);
    userInclude_->setObjectName("cbUserMsgIncOrigMsg");
    userText_ = new QPlainTextEdit(message);
    userText_->setObjectName("memoUserMsgText");
    grid->addWidget(Label("lblUserSubject", "Subject", message), 0, 0);
    grid->addWidget(userSubject_, 0, 1);
    auto* checks = new QVBoxLayout;
    checks->addWidget(userAppend_);
    checks->addWidget(userInclude_);
    grid->addLayout(checks, 1, 1);
    grid->addWidget(Label("lblUserText", "Text", message), 2, 0, Qt::AlignTop);
    grid->addWidget(userText_, 2, 1);
    layout->addWidget(message, 3);
    auto* send = new QHBoxLayout;
    send->addStretch();
    send->addWidget(ActionButton("SendUserComplaint", page));
    layout->addLayout(send);

    connect(userSubject_, &QLineEdit::textEdited, this,
            [this](const QString& text) { form_.Templates.user.subject = FromQt(text); });
    connect(userText_, &QPlainTextEdit::textChanged, this, [this] {
        if (!showing_) form_.Templates.user.text = LinesOf(*userText_);
    });
    connect(userAppend_, &QCheckBox::toggled, this, [this](bool on) { form_.UserAppendSubject = on; });
    connect(userInclude_, &QCheckBox::toggled, this, [this](bool on) { form_.UserIncludeOriginal = on; });
    connect(userList_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        form_.SetUserChecked(static_cast<std::size_t>(userList_->row(item)), item->checkState() == Qt::Checked);
    });
    return page;
}

QWidget* TComplaintWindow::BuildErrorPage() {
    auto* page = new QWidget;
    page->setObjectName("tsErrorMessage");
    auto* layout = new QVBoxLayout(page);
    auto* group = Group("gbErrorMessage", "Error message", page);
    errorText_ = new QPlainTextEdit(group);
    errorText_->setObjectName("mErrMsgText");
    errorText_->setReadOnly(true);
    errorText_->setLineWrapMode(QPlainTextEdit::NoWrap);
    (new QVBoxLayout(group))->addWidget(errorText_);
    layout->addWidget(group, 1);
    auto* send = new QHBoxLayout;
    send->addStretch();
    send->addWidget(ActionButton("SendErrMsg", page));
    layout->addLayout(send);
    return page;
}

int TComplaintWindow::Open() {
    Prepare();
    return exec();
}

void TComplaintWindow::Prepare() {
    form_.Show();
    ShowTexts();
}

void TComplaintWindow::ShowTexts() {
    showing_ = true;
    adminSubject_->setText(ToQt(form_.Templates.admin.subject));
    adminText_->setPlainText(Lines(form_.Templates.admin.text));
    adminAppend_->setChecked(form_.AdminAppendSubject);
    adminInclude_->setChecked(form_.AdminIncludeOriginal);
    userSubject_->setText(ToQt(form_.Templates.user.subject));
    userText_->setPlainText(Lines(form_.Templates.user.text));
    userAppend_->setChecked(form_.UserAppendSubject);
    userInclude_->setChecked(form_.UserIncludeOriginal);
    errorText_->setPlainText(Lines(form_.Templates.error));
    showing_ = false;
}

void TComplaintWindow::ShowState() {
    showing_ = true;
    route_->clear();
    for (const std::string& address : form_.RouteList) route_->addItem(ToQt(address));
    route_->setCurrentIndex(form_.RouteIndex);
    ipInformation_->setPlainText(Lines(SplitLines(form_.IPInformation)));
    FillChecked(*adminList_, form_.AdminList);
    FillChecked(*userList_, form_.UserList);
    pages_->setCurrentIndex(form_.ActivePage);
    for (int i = 0; i < pages_->count(); ++i) pages_->widget(i)->setEnabled(form_.PagesEnabled);
    cancel_->setEnabled(form_.PagesEnabled);
    showing_ = false;
}

// Not while a look-up or a send runs: it would go on behind a closed window.
void TComplaintWindow::reject() {
    if (form_.PagesEnabled) QDialog::reject();
}
