#include "ui/filters/ChangeRuleForm.h"

#include "filtering/FilterDialogs.h"
#include "ui/filters/CheckedComboBox.h"
#include "ui/qt/QtText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TChangeRuleForm::TChangeRuleForm(const TRuleDialogInput& input, QWidget* parent)
    : QDialog(parent), component_(*this), input_(input) {
    setObjectName("ChangeRuleForm");
    setWindowTitle("Add/Change rule");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const auto label = [this](const char* name, const char* text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        return l;
    };
    fields_ = new TCheckedComboBox(this);
    fields_->setObjectName("FieldCombo");
    fields_->setMinimumWidth(300);
    fields_->SetItems(input.fieldNames);
    for (int index : input.checkedFields) fields_->SetItemChecked(index, true);
    rule_ = new QComboBox(this);
    rule_->setObjectName("RuleCombo");
    rule_->setMaxVisibleItems(4);
    for (const std::string& name : input.ruleNames) rule_->addItem(ToQt(name));
    rule_->setCurrentIndex(input.ruleIndex);
    content_ = new QLineEdit(ToQt(input.content), this);
    content_->setObjectName("Content");
    content_->setMaxLength(200);
    caseMatch_ = new QCheckBox("Case match", this);
    caseMatch_->setObjectName("CaseMatch");
    caseMatch_->setChecked(input.caseMatch);
    form->addRow(label("Label1", "Fields"), fields_);
    form->addRow(label("Label2", "Rules"), rule_);
    form->addRow(label("Label3", "Content"), content_);
    form->addRow(QString(), caseMatch_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* asNew = buttons->addButton("&Add as new", QDialogButtonBox::ActionRole);
    asNew->setObjectName("btnAsNew");
    asNew->setAutoDefault(false);
    ok_ = buttons->addButton("&Ok", QDialogButtonBox::AcceptRole);
    ok_->setObjectName("btnOk");
    ok_->setDefault(true);
    ok_->setEnabled(false);
    QPushButton* cancel = buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("btnCancel");
    // After the last button: the box lays its buttons out anew with each one added.
    asNew->setVisible(input.editing);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(asNew, &QPushButton::clicked, this, [this] {
        asNew_ = true;
        accept();
    });
    layout->addWidget(buttons);

    fields_->OnChange = [this] { Evaluate(); };
    fields_->OnCloseUp = [this] { Evaluate(); };
    connect(rule_, &QComboBox::currentIndexChanged, this, &TChangeRuleForm::Evaluate);
    connect(content_, &QLineEdit::textChanged, this, &TChangeRuleForm::Evaluate);
    connect(caseMatch_, &QCheckBox::toggled, this, &TChangeRuleForm::Evaluate);
    Evaluate();
    component_.Loaded();
}

TChangeRuleForm::~TChangeRuleForm() { fields_->OnChange = nullptr; }

void TChangeRuleForm::Evaluate() {
    const TRuleDialogState state =
        RuleDialogState(fields_->CheckedCount(), rule_->currentIndex(), FromQt(content_->text()));
    ok_->setEnabled(state.okEnabled);
    content_->setEnabled(state.contentEnabled);
    caseMatch_->setEnabled(state.contentEnabled);
}

TRuleDialogResult TChangeRuleForm::Answer() const {
    std::vector<std::string> checked;
    for (std::size_t i = 0; i < input_.fieldNames.size(); ++i)
        if (fields_->ItemChecked(static_cast<int>(i))) checked.push_back(input_.fieldNames[i]);
    return RuleDialogAnswer(std::move(checked), input_, rule_->currentIndex(), FromQt(content_->text()),
                            caseMatch_->isChecked(), asNew_);
}

std::optional<TRuleDialogResult> TChangeRuleForm::Ask(const TRuleDialogInput& input, QWidget* parent) {
    TChangeRuleForm dialog(input, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Answer();
}
