#include "ui/settings/IdentitiesForm.h"

#include "core/IdentityChooser.h"
#include "ui/qt/QtText.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Shown until a language file says otherwise; German, as the program always had it.
const char* const kInfoLines[] = {"Wenn Sie diese Software zum ersten Mal starten, so legen Sie ",
                                  "sich bitte zuerst ein neues Profil an.",
                                  "Den Namen und das Kennwort k\xF6nnen Sie selbst bestimmen."};

}  // namespace

TIdentitiesForm::TIdentitiesForm(TIdentityChooser& chooser, QWidget* parent)
    : QDialog(parent), component_(*this), chooser_(chooser) {
    setObjectName("IdentitiesForm");
    setWindowTitle("Choose your identity");
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    auto* identityLabel = new QLabel("Identity", this);
    identityLabel->setObjectName("Label1");
    identities_ = new QComboBox(this);
    identities_->setObjectName("IdentitiesComboBox");
    identities_->setMinimumWidth(220);
    auto* passwordLabel = new QLabel("Password", this);
    passwordLabel->setObjectName("Label2");
    password_ = new QLineEdit(this);
    password_->setObjectName("PasswordEdit");
    password_->setEchoMode(QLineEdit::Password);
    fields->addWidget(identityLabel, 0, 0);
    fields->addWidget(identities_, 0, 1);
    fields->addWidget(passwordLabel, 1, 0);
    fields->addWidget(password_, 1, 1);
    layout->addLayout(fields);

    info_ = new QPlainTextEdit(this);
    info_->setObjectName("InfoMem");
    info_->setReadOnly(true);
    info_->setMaximumHeight(90);
    info_->setMinimumWidth(340);
    std::string info;
    for (const char* line : kInfoLines) info += std::string(info.empty() ? "" : "\r\n") + line;
    info_->setPlainText(ToQt(info).replace("\r\n", "\n"));
    layout->addWidget(info_);

    auto* buttons = new QHBoxLayout;
    auto* newButton = new QPushButton("New identity", this);
    newButton->setObjectName("NewButton");
    newButton->setAutoDefault(false);
    ok_ = new QPushButton("Continue", this);
    ok_->setObjectName("OkButton");
    ok_->setDefault(true);
    auto* cancel = new QPushButton("E&xit", this);
    cancel->setObjectName("CancelButton");
    cancel->setAutoDefault(false);
    buttons->addWidget(newButton);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(identities_, &QComboBox::currentIndexChanged, this, &TIdentitiesForm::SelectionChanged);
    connect(ok_, &QPushButton::clicked, this, &TIdentitiesForm::ContinueClicked);
    connect(newButton, &QPushButton::clicked, this, &TIdentitiesForm::NewClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    Fill();
    language_ = component_.Translator().OnLanguageChanged.Subscribe([this](TLanguage) { Retranslate(); });
    component_.Loaded();
}

TIdentitiesForm::~TIdentitiesForm() = default;

void TIdentitiesForm::Fill() {
    const QSignalBlocker quiet(identities_);
    identities_->clear();
    for (const std::string& name : chooser_.Names()) identities_->addItem(ToQt(name));
    identities_->setCurrentIndex(chooser_.SelectedIndex());
    ok_->setEnabled(chooser_.CanContinue());
}

void TIdentitiesForm::SelectionChanged(int index) {
    chooser_.SelectIndex(index);
    ok_->setEnabled(chooser_.CanContinue());
}

void TIdentitiesForm::ContinueClicked() {
    switch (chooser_.Continue(FromQt(password_->text()))) {
        case TIdentityChooser::TResult::Accepted: accept(); break;
        case TIdentityChooser::TResult::Cancelled: reject(); break;
        case TIdentityChooser::TResult::WrongPassword: password_->selectAll(); break;
    }
}

void TIdentitiesForm::NewClicked() {
    if (chooser_.NewIdentity()) accept();
}

// The text is one line in a language file.
void TIdentitiesForm::Retranslate() {
    const std::string current = FromQt(info_->toPlainText().replace("\n", "\r\n"));
    info_->setPlainText(ToQt(component_.Translator().Translate("IdentitiesForm.InfoMem", current)).replace("\r\n", "\n"));
}
