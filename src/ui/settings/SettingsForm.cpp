#include "ui/settings/SettingsForm.h"

#include "base/TAction.h"
#include "base/Tr.h"
#include "base/UserInterface.h"
#include "core/DataModule.h"
#include "data/TTable.h"
#include "ui/qt/BoundEdit.h"
#include "ui/qt/GridRows.h"
#include "ui/qt/Guarded.h"
#include "ui/qt/Icons.h"
#include "ui/qt/QtActions.h"
#include "ui/qt/QtText.h"
#include "ui/qt/TableModel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kPop3 = 0, kAol = 1, kImap = 2;

// The account and identity commands whose availability the dialog shows.
const char* const kDialogActions[] = {"AddAccount",      "DeleteAccount", "ApplyAcc",   "Test",
                                      "DefaultIdentity", "ChangePassword", "DeleteIdentity", "AutoLogin",
                                      "ChangeIdentities"};

QLabel* Label(const char* text, const char* name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QIcon MarkIfTrue(const TValue& value) {
    const bool* on = std::get_if<bool>(&value);
    return on && *on ? PictureIcon(TPicture::Mark) : QIcon();
}

QTableView* Grid(TTableModel* model, QWidget* parent, const char* name) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(name);
    grid->setModel(model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->setHighlightSections(false);
    return grid;
}

}  // namespace

TSettingsForm::TSettingsForm(TDM& dm, TTranslator& mainTranslator, QWidget* parent)
    : QDialog(parent), component_(*this), dm_(dm), mainTranslator_(mainTranslator), rules_(dm) {
    setObjectName("SettingsForm");
    setWindowTitle("Settings");
    auto* layout = new QVBoxLayout(this);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl1");
    pages_->addTab(BuildIdentitiesPage(), "Identities");
    pages_->addTab(BuildAccountsPage(), "Accounts");
    pages_->addTab(BuildMiscPage(), "Misc");
    layout->addWidget(pages_);
    connect(pages_, &QTabWidget::currentChanged, this, [this](int page) {
        if (page == 2) FillMailClients();
    });

    const auto changed = [this](TTable&, TTable::TChange) {
        for (const char* name : kDialogActions)
            if (TAction* action = dm_.Actions.Find(name)) action->Update();
        AccountsChanged();
    };
    accountsSubscription_ = dm_.cdsAccounts.Subscribe(changed, TTable::TInterest::NewRowValues);
    identitiesSubscription_ = dm_.cdsIdentities.Subscribe([this](TTable&, TTable::TChange) {
        for (const char* name : kDialogActions)
            if (TAction* action = dm_.Actions.Find(name)) action->Update();
        ShowIdentityOptions();
    }, TTable::TInterest::NewRowValues);
    language_ = component_.Translator().OnLanguageChanged.Subscribe([this](TLanguage) { Retranslate(); });
    Retranslate();
    resize(600, 470);
    component_.Loaded();
}

TSettingsForm::~TSettingsForm() {
    dm_.cdsAccounts.Unsubscribe(accountsSubscription_);
    dm_.cdsIdentities.Unsubscribe(identitiesSubscription_);
}

// ------------------------------------------------------------ building

QPushButton* TSettingsForm::ActionButton(const char* action, QWidget* parent) {
    // Clicks go through the dialog's rules, not straight to the action.
    QPushButton* button = ::ActionButton(*ActionFor(dm_.Actions, action, this), parent, false);
    button->setObjectName(QString::fromLatin1(action) + "Button");
    button->setAutoDefault(false);
    return button;
}

QPushButton* TSettingsForm::CloseButton(const char* name, QWidget* parent) {
    auto* close = new QPushButton("Close", parent);
    close->setObjectName(name);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    return close;
}

QWidget* TSettingsForm::BuildIdentitiesPage() {
    auto* page = new QWidget(this);
    page->setObjectName("IdentitiesSheet");
    auto* layout = new QHBoxLayout(page);
    auto* model = new TTableModel(dm_.cdsIdentities, page);
    model->SetColumns({"default", "AutoLogin", "username"});
    model->SetPictureColumn("default", MarkIfTrue);
    model->SetPictureColumn("AutoLogin", MarkIfTrue);
    identities_ = Grid(model, page, "IdentitiesGrid");
    identities_->setEnabled(false);  // shown, not edited
    identities_->setColumnWidth(0, 70);
    identities_->setColumnWidth(1, 80);
    layout->addWidget(identities_, 1);
    auto* buttons = new QVBoxLayout;
    for (const char* action : {"DefaultIdentity", "ChangePassword", "DeleteIdentity", "AutoLogin", "ChangeIdentities"}) {
        QPushButton* button = ActionButton(action, page);
        connect(button, &QPushButton::clicked, this,
                [this, action] { RunReportingErrors([&] { dm_.Actions[action].Execute(); }); });
        buttons->addWidget(button);
    }
    buttons->addStretch();
    buttons->addWidget(CloseButton("CloseIdentitiesButton", page));
    layout->addLayout(buttons);
    return page;
}

QWidget* TSettingsForm::BuildAccountsPage() {
    auto* page = new QWidget(this);
    page->setObjectName("AccountsSheet");
    auto* layout = new QVBoxLayout(page);

    auto* group = new QGroupBox("Accounts", page);
    group->setObjectName("AccountsGroup");
    auto* groupLayout = new QHBoxLayout(group);
    auto* model = new TTableModel(dm_.cdsAccounts, group);
    model->SetColumns({"description"});
    model->SetTitle(0, "description");
    accounts_ = Grid(model, group, "AccountsGrid");
    accounts_->setMinimumHeight(90);
    new TGridRowFollower(*accounts_, dm_.cdsAccounts);
    connect(accounts_, &QTableView::clicked, this, [this] { ShowAccountTab(true); });
    groupLayout->addWidget(accounts_, 1);
    auto* side = new QGridLayout;
    side->addWidget(Label("Description", "DescriptionLabel", group), 0, 0, 1, 3);
    auto* description = new TBoundLineEdit(dm_.cdsAccounts, "description", group);
    description->setObjectName("DescriptionEdit");
    side->addWidget(description, 1, 0, 1, 3);
    QPushButton* add = ActionButton("AddAccount", group);
    QPushButton* remove = ActionButton("DeleteAccount", group);
    QPushButton* test = ActionButton("Test", group);
    connect(add, &QPushButton::clicked, this, [this] {
        RunReportingErrors([&] { rules_.AddAccount(shownTab_); });
        ResetPasswordBoxes();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        RunReportingErrors([&] { rules_.DeleteAccount(shownTab_); });
        ShowAccountTab(false);
    });
    connect(test, &QPushButton::clicked, this, [this] { RunReportingErrors([&] { rules_.TestAccount(); }); });
    side->addWidget(add, 2, 0);
    side->addWidget(remove, 2, 1);
    side->addWidget(test, 2, 2);
    side->setRowStretch(3, 1);
    groupLayout->addLayout(side, 1);
    layout->addWidget(group);

    protocols_ = new QTabWidget(page);
    protocols_->setObjectName("ProtocolTabs");
    const char* const names[] = {"POP3", "AOL", "IMAP"};
    for (int tab = 0; tab < 3; ++tab) {
        protocolPages_[static_cast<std::size_t>(tab)] = BuildProtocolPage(tab);
        protocols_->addTab(protocolPages_[static_cast<std::size_t>(tab)].page, names[tab]);
    }
    connect(protocols_, &QTabWidget::currentChanged, this, &TSettingsForm::ProtocolTabClicked);
    layout->addWidget(protocols_, 1);

    auto* foot = new QHBoxLayout;
    foot->addStretch();
    QPushButton* apply = ActionButton("ApplyAcc", page);
    connect(apply, &QPushButton::clicked, this, [this] {
        RunReportingErrors([&] { rules_.ApplyAccount(shownTab_); });
        ResetPasswordBoxes();
    });
    foot->addWidget(apply);
    foot->addWidget(CloseButton("CloseAccountsButton", page));
    layout->addLayout(foot);
    return page;
}

TSettingsForm::TProtocolPage TSettingsForm::BuildProtocolPage(int tab) {
    static const char* const prefixes[] = {"Pop3", "Aol", "Imap"};
    const QString prefix = QString::fromLatin1(prefixes[tab]);
    TProtocolPage p;
    p.page = new QWidget(this);
    p.page->setObjectName(prefix + "Sheet");
    auto* grid = new QGridLayout(p.page);
    const auto bound = [&](const char* field, const char* name) {
        auto* edit = new TBoundLineEdit(dm_.cdsAccounts, field, p.page);
        edit->setObjectName(prefix + name);
        return edit;
    };
    const auto securityList = [&](bool smtp, const char* name) {
        auto* list = new QComboBox(p.page);
        list->setObjectName(prefix + name);
        KeepOutOfTranslation(*list);
        connect(list, &QComboBox::activated, this,
                [this, smtp](int index) { RunReportingErrors([&] { rules_.SecurityChosen(smtp, index); }); });
        return list;
    };
    const auto label = [&](const char* text, const char* name) {
        auto* l = new QLabel(text, p.page);
        l->setObjectName(prefix + name);
        return l;
    };
    int row = 0;
    if (tab != kAol) {
        grid->addWidget(label(tab == kImap ? "IMAP Server" : "POP3 Server", "ServerLabel"), row, 0);
        p.host = bound("host", "HostEdit");
        grid->addWidget(p.host, row, 1);
        grid->addWidget(label("Port", "PortLabel"), row, 2);
        p.port = bound("port", "PortEdit");
        p.port->setMaximumWidth(60);
        grid->addWidget(p.port, row, 3);
        p.security = securityList(false, "SecurityList");
        grid->addWidget(p.security, row, 4);
        ++row;
    }
    grid->addWidget(label("Login", "LoginLabel"), row, 0);
    p.login = bound("login", "LoginEdit");
    grid->addWidget(p.login, row, 1);
    ++row;
    grid->addWidget(label("Password", "PasswordLabel"), row, 0);
    p.password = new QLineEdit(TSettingsRules::PasswordMask(), p.page);
    p.password->setObjectName(prefix + "PasswordEdit");
    p.password->setEchoMode(QLineEdit::Password);
    p.password->installEventFilter(this);
    connect(p.password, &QLineEdit::textEdited, this,
            [this](const QString& text) { RunReportingErrors([&] { rules_.PasswordTyped(FromQt(text)); }); });
    grid->addWidget(p.password, row, 1);
    ++row;
    grid->addWidget(label("E-mail", "EmailLabel"), row, 0);
    p.email = bound("email", "EmailEdit");
    grid->addWidget(p.email, row, 1);
    ++row;
    grid->addWidget(label("SMTP server", "SmtpLabel"), row, 0);
    p.smtpHost = bound("smtp_host", "SmtpHostEdit");
    p.smtpHost->installEventFilter(this);
    grid->addWidget(p.smtpHost, row, 1);
    grid->addWidget(label("Port", "SmtpPortLabel"), row, 2);
    p.smtpPort = bound("smtp_host_port", "SmtpPortEdit");
    p.smtpPort->setMaximumWidth(60);
    grid->addWidget(p.smtpPort, row, 3);
    p.smtpSecurity = securityList(true, "SmtpSecurityList");
    grid->addWidget(p.smtpSecurity, row, 4);
    if (tab == kAol) {
        auto* info = new QPushButton("?", p.page);
        info->setObjectName("AolInfoButton");
        info->setAutoDefault(false);
        info->setMaximumWidth(30);
        connect(info, &QPushButton::clicked, this, [] {
            UserInterface().MessageBox(Tr("SMTP_INFO", "The absent of SMTP Server will deactivate the following TWK "
                                                       "functions : Complain,ErrorMail,Archive"),
                                       "Info", TMsgIcon::Information, mbOK);
        });
        grid->addWidget(info, row, 5);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row + 1, 1);
    return p;
}

QWidget* TSettingsForm::BuildMiscPage() {
    auto* page = new QWidget(this);
    page->setObjectName("MiscSheet");
    auto* layout = new QVBoxLayout(page);

    layout->addWidget(Label("Default mail client", "MailClientLabel", page));
    auto* clientRow = new QHBoxLayout;
    mailClients_ = new QComboBox(page);
    mailClients_->setObjectName("MailClientList");
    KeepOutOfTranslation(*mailClients_);
    connect(mailClients_, &QComboBox::activated, this, [this](int index) {
        RunReportingErrors([&] { rules_.ChooseMailClient(FromQt(mailClients_->itemText(index))); });
    });
    clientRow->addWidget(mailClients_, 1);
    auto* runNow = new QPushButton("Run now", page);
    runNow->setObjectName("RunNowButton");
    runNow->setAutoDefault(false);
    connect(runNow, &QPushButton::clicked, this, [this] { RunReportingErrors([&] { dm_.RunMailClientCommand(); }); });
    clientRow->addWidget(runNow);
    layout->addLayout(clientRow);
    startMailClient_ = new QCheckBox("Start mail client after mail processing", page);
    startMailClient_->setObjectName("StartMailClientCheck");
    connect(startMailClient_, &QCheckBox::clicked, this,
            [this](bool on) { RunReportingErrors([&] { rules_.SetStartMailClient(on); }); });
    layout->addWidget(startMailClient_);

    auto* languageGroup = new QGroupBox("Current language", page);
    languageGroup->setObjectName("LanguageGroup");
    auto* languageLayout = new QHBoxLayout(languageGroup);
    languages_ = new QComboBox(languageGroup);
    languages_->setObjectName("LanguageList");
    KeepOutOfTranslation(*languages_);
    connect(languages_, &QComboBox::activated, this, [this](int index) {
        const std::string name = FromQt(languages_->itemText(index));
        RunReportingErrors([&] { TSettingsRules::ChooseLanguage(mainTranslator_, name); });
    });
    languageLayout->addWidget(languages_, 1);
    layout->addWidget(languageGroup);

    auto* timerGroup = new QGroupBox("Auto process mail", page);
    timerGroup->setObjectName("TimerGroup");
    auto* timerLayout = new QHBoxLayout(timerGroup);
    timerEnabled_ = new QCheckBox("Enabled", timerGroup);
    timerEnabled_->setObjectName("TimerEnabledCheck");
    connect(timerEnabled_, &QCheckBox::clicked, this, [this](bool on) { rules_.SetTimerEnabled(on); });
    const auto spin = [&](int low, int high, int step, const char* name) {
        auto* box = new QSpinBox(timerGroup);
        box->setObjectName(name);
        box->setRange(low, high);
        box->setSingleStep(step);
        if (auto* text = box->findChild<QLineEdit*>()) text->setReadOnly(true);  // set only by its arrows
        return box;
    };
    hours_ = spin(TSettingsRules::kMinHours, TSettingsRules::kMaxHours, TSettingsRules::kHourStep, "HoursBox");
    minutes_ = spin(TSettingsRules::kMinMinutes, TSettingsRules::kMaxMinutes, TSettingsRules::kMinuteStep, "MinutesBox");
    timerLayout->addWidget(timerEnabled_);
    timerLayout->addSpacing(12);
    timerLayout->addWidget(Label("Every", "EveryLabel", timerGroup));
    timerLayout->addWidget(hours_);
    timerLayout->addWidget(Label("hours", "HoursLabel", timerGroup));
    timerLayout->addWidget(minutes_);
    timerLayout->addWidget(Label("minuts", "MinutesLabel", timerGroup));
    timerLayout->addStretch();
    layout->addWidget(timerGroup);
    layout->addStretch();
    auto* foot = new QHBoxLayout;
    foot->addStretch();
    foot->addWidget(CloseButton("CloseMiscButton", page));
    layout->addLayout(foot);
    return page;
}

// ------------------------------------------------------------ behaviour

void TSettingsForm::showEvent(QShowEvent* event) {
    FillLanguages();
    FillMailClients();
    ShowIdentityOptions();
    hours_->setValue(rules_.Hours());
    minutes_->setValue(rules_.Minutes());
    timerEnabled_->setChecked(rules_.TimerEnabled());
    for (const char* name : kDialogActions)
        if (TAction* action = dm_.Actions.Find(name)) action->Update();
    ShowAccountTab(false);
    ResetPasswordBoxes();
    QDialog::showEvent(event);
}

void TSettingsForm::hideEvent(QHideEvent* event) {
    const bool enabled = timerEnabled_->isChecked();
    const std::string hours = FromQt(hours_->text()), minutes = FromQt(minutes_->text());
    RunReportingErrors([&] { rules_.DialogHidden(enabled, hours, minutes); });
    QDialog::hideEvent(event);
}

bool TSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        for (TProtocolPage& p : protocolPages_) {
            if (watched == p.smtpHost && p.host && p.smtpHost->text().isEmpty() && !p.host->text().isEmpty())
                p.smtpHost->SetTextAsTyped(QString::fromStdString(
                    TSettingsRules::SmtpHostOnEnter(FromQt(p.smtpHost->text()), FromQt(p.host->text()))));
            // Typing replaces the twelve stars instead of adding to them.
            if (watched == p.password) QTimer::singleShot(0, p.password, &QLineEdit::selectAll);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSettingsForm::ProtocolTabClicked(int tab) {
    if (syncingTab_) return;
    if (tab != shownTab_ && !rules_.CanSwitchProtocol()) {
        syncingTab_ = true;
        protocols_->setCurrentIndex(shownTab_);
        syncingTab_ = false;
        return;
    }
    shownTab_ = tab;
    RunReportingErrors([&] { rules_.ProtocolTabChanged(tab); });
}

void TSettingsForm::ShowAccountTab(bool applyToAccount) {
    const int tab = rules_.TabOfCurrentAccount(shownTab_);
    syncingTab_ = true;
    protocols_->setCurrentIndex(tab);
    syncingTab_ = false;
    shownTab_ = tab;
    if (applyToAccount) RunReportingErrors([&] { rules_.ProtocolTabChanged(tab); });
}

void TSettingsForm::AccountsChanged() {
    ShowSecurity();
    if (dm_.cdsAccounts.State() == TTable::TState::Browse) {
        ResetPasswordBoxes();
        ShowAccountTab(false);
    }
}

void TSettingsForm::ResetPasswordBoxes() {
    for (TProtocolPage& p : protocolPages_)
        if (p.password && p.password->text() != TSettingsRules::PasswordMask())
            p.password->setText(TSettingsRules::PasswordMask());
}

void TSettingsForm::ShowSecurity() {
    const TTable& a = dm_.cdsAccounts;
    const bool row = a.RecordCount() > 0 || a.State() != TTable::TState::Browse;
    for (TProtocolPage& p : protocolPages_) {
        if (p.security) p.security->setCurrentIndex(TSettingsRules::SecurityIndex(row ? a.AsString("security") : ""));
        p.smtpSecurity->setCurrentIndex(TSettingsRules::SecurityIndex(row ? a.AsString("smtp_security") : ""));
        for (QWidget* w : {static_cast<QWidget*>(p.password), static_cast<QWidget*>(p.security),
                           static_cast<QWidget*>(p.smtpSecurity)})
            if (w) w->setEnabled(row);
    }
}

void TSettingsForm::FillMailClients() {
    mailClients_->clear();
    for (const std::string& client : TSettingsRules::MailClients()) mailClients_->addItem(ToQt(client));
    mailClients_->setCurrentIndex(rules_.CurrentMailClientIndex(TSettingsRules::MailClients()));
}

void TSettingsForm::FillLanguages() {
    const std::vector<std::string> names = TSettingsRules::LanguageNames(mainTranslator_);
    languages_->clear();
    for (const std::string& name : names) languages_->addItem(ToQt(name));
    languages_->setCurrentIndex(
        std::min(TSettingsRules::CurrentLanguageIndex(names, mainTranslator_), static_cast<int>(names.size()) - 1));
}

void TSettingsForm::ShowIdentityOptions() {
    const TTable& identities = dm_.cdsIdentities;
    const bool row = identities.RecordCount() > 0;
    startMailClient_->setEnabled(row);
    startMailClient_->setChecked(row && identities.AsBoolean("startmailclient"));
}

void TSettingsForm::Retranslate() {
    QStringList names;
    for (const std::string& name : TSettingsRules::SecurityNames())
        names << ToQt(name == "Automatic" ? Tr("SecurityAutomatic", "Automatic")
                      : name == "None"    ? Tr("SecurityNone", "None")
                                          : name);
    for (TProtocolPage& p : protocolPages_)
        for (QComboBox* list : {p.security, p.smtpSecurity}) {
            if (!list) continue;
            const int index = list->currentIndex();
            list->clear();
            list->addItems(names);
            list->setCurrentIndex(index);
        }
    ShowSecurity();
}
