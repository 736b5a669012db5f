#include "ui/qt/BoundEdit.h"

#include "data/TTable.h"
#include "data/TTableError.h"
#include "ui/qt/QtText.h"

namespace {

bool HasRow(const TTable& table) { return table.RecordCount() > 0 || table.State() != TTable::TState::Browse; }

}  // namespace

TBoundLineEdit::TBoundLineEdit(TTable& table, std::string field, QWidget* parent)
    : QLineEdit(parent), table_(table), field_(std::move(field)) {
    setMaxLength(table_.FieldDef(field_).size > 0 ? table_.FieldDef(field_).size : 32767);
    subscription_ = table_.Subscribe([this](TTable&, TTable::TChange) { Refresh(); }, TTable::TInterest::NewRowValues);
    connect(this, &QLineEdit::textEdited, this, &TBoundLineEdit::Typed);
    Refresh();
}

TBoundLineEdit::~TBoundLineEdit() { table_.Unsubscribe(subscription_); }

void TBoundLineEdit::Refresh() {
    const bool row = HasRow(table_);
    setEnabled(row);
    const QString value = row ? ToQt(table_.AsString(field_)) : QString();
    // The box being typed in keeps its text (and its cursor) when only the
    // written value comes back.
    if (value != text() && !(hasFocus() && isModified())) setText(value);
}

void TBoundLineEdit::SetTextAsTyped(const QString& text) {
    setText(text);
    setModified(true);
    Typed(text);
}

void TBoundLineEdit::Typed(const QString& text) {
    if (!HasRow(table_)) return;
    try {
        if (table_.State() == TTable::TState::Browse) table_.Edit();
        table_.SetAsString(field_, FromQt(text));
    } catch (const TTableError&) {
        // Not a value of the field's type yet; the box keeps what was typed.
    }
}
