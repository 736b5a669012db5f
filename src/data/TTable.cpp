#include "data/TTable.h"

#include "data/TTableError.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cstdio>

namespace {

const TValue kNull;

std::string Trimmed(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return text.substr(b, e - b);
}

bool IsNumber(const TValue& v) {
    return std::holds_alternative<std::int64_t>(v) || std::holds_alternative<bool>(v) ||
           std::holds_alternative<double>(v);
}

double AsDouble(const TValue& v) {
    if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    if (auto b = std::get_if<bool>(&v)) return *b ? 1.0 : 0.0;
    if (auto d = std::get_if<double>(&v)) return *d;
    return 0.0;
}

int CompareText(const std::string& a, const std::string& b, bool caseInsensitive) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (caseInsensitive) {
            x = CodePageLower(x);
            y = CodePageLower(y);
        }
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Unset values sort first.
int CompareValues(const TValue& a, const TValue& b, bool caseInsensitive) {
    if (::IsNull(a) || ::IsNull(b)) return ::IsNull(a) == ::IsNull(b) ? 0 : (::IsNull(a) ? -1 : 1);
    if (auto x = std::get_if<std::int64_t>(&a))
        if (auto y = std::get_if<std::int64_t>(&b)) return *x == *y ? 0 : (*x < *y ? -1 : 1);
    if (IsNumber(a) && IsNumber(b)) {
        const double x = AsDouble(a), y = AsDouble(b);
        return x == y ? 0 : (x < y ? -1 : 1);
    }
    return CompareText(ValueToString(a), ValueToString(b), caseInsensitive);
}

std::vector<std::string> SplitFields(const std::string& fields) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= fields.size()) {
        const size_t end = std::min(fields.find(';', start), fields.size());
        const std::string name = Trimmed(fields.substr(start, end - start));
        if (!name.empty()) names.push_back(name);
        start = end + 1;
    }
    return names;
}

}  // namespace

TTable::TTable(std::string name, std::vector<TFieldDef> fields) : name_(std::move(name)), fields_(std::move(fields)) {
    for (size_t i = 0; i < fields_.size(); ++i) {
        columns_.push_back(static_cast<int>(i));
        if (fields_[i].type == TFieldType::AutoInc && autoIncField_ < 0) autoIncField_ = static_cast<int>(i);
    }
}

TTable::~TTable() {
    for (TTable* detail : details_) detail->master_ = nullptr;
    if (master_) std::erase(master_->details_, this);
    if (HasUnsavedChanges() && !loadFailed_) Save();
}

// ---------------------------------------------------------------- fields

int TTable::FieldIndex(std::string_view field) const {
    // Callers name fields with the same literals over and over: the indexes
    // last found for names at this address are tried first, and checked. Two
    // ways a set, so that two names that share a set do not push each other out.
    const std::uint64_t address = reinterpret_cast<std::uintptr_t>(field.data());
    TFieldHint* set = &fieldHints_[((address * 0x9E3779B97F4A7C15u) >> 59) * 2];
    for (int way = 0; way < 2; ++way) {
        const TFieldHint& hint = set[way];
        if (hint.name == field.data() && hint.index < fields_.size() && fields_[hint.index].name == field)
            return static_cast<int>(hint.index);
    }
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].name == field) {
            set[1] = set[0];
            set[0] = {field.data(), i};
            return static_cast<int>(i);
        }
    return -1;
}

int TTable::RequireField(std::string_view field) const {
    const int index = FieldIndex(field);
    if (index < 0) throw TTableError(name_ + ": field '" + std::string(field) + "' not found");
    return index;
}

const TFieldDef& TTable::FieldDef(std::string_view field) const { return fields_[RequireField(field)]; }
TFieldDef& TTable::FieldDef(std::string_view field) { return fields_[RequireField(field)]; }

void TTable::SetColumnOrder(const std::vector<std::string>& names) {
    std::vector<int> order;
    for (const auto& n : names) order.push_back(RequireField(n));
    columns_ = std::move(order);
}

// ---------------------------------------------------------------- file

void TTable::SetFileName(std::string fileName) {
    file_.reset();
    // Rows of a table without a file were never marked; they belong in the new file.
    if (fileName_.empty())
        for (const auto& row : rows_) dirty_.insert(row->key);
    fileName_ = std::move(fileName);
}

std::vector<TStoredField> TTable::StoredLayout() const {
    std::vector<TStoredField> layout;
    for (const auto& f : fields_)
        if (!f.calculated) layout.push_back({f.name, FieldTypeName(f.type), f.size});
    return layout;
}

TLoadResult TTable::Load() {
    loadFailed_ = false;
    lastError_.clear();
    if (fileName_.empty()) return TLoadResult::Missing;
    auto file = std::make_unique<TTableFile>(fileName_);
    TStoredTable stored;
    const TLoadResult result = file->Read(stored);
    if (result == TLoadResult::Missing) return result;
    const auto layout = StoredLayout();
    auto sameShape = [](const TStoredField& a, const TStoredField& b) { return a.name == b.name && a.type == b.type; };
    if (result != TLoadResult::Loaded) {
        lastError_ = file->LastError();
        loadFailed_ = true;
        return result;
    }
    if (!std::equal(layout.begin(), layout.end(), stored.layout.begin(), stored.layout.end(), sameShape)) {
        lastError_ = fileName_ + ": the stored fields differ from the table's";
        loadFailed_ = true;
        return TLoadResult::Failed;
    }
    DisableControls();
    std::vector<int> stored_to_field;
    for (size_t i = 0; i < fields_.size(); ++i)
        if (!fields_[i].calculated) stored_to_field.push_back(static_cast<int>(i));
    nextAutoInc_ = std::max<std::int64_t>(nextAutoInc_, stored.nextAutoInc);
    for (auto& s : stored.rows) {
        auto row = std::make_unique<TRow>();
        row->key = s.key;
        row->persisted = true;
        row->values.resize(fields_.size());
        for (size_t i = 0; i < stored_to_field.size() && i < s.values.size(); ++i) {
            const TFieldDef& def = fields_[stored_to_field[i]];
            row->values[stored_to_field[i]] = Coerce(def, std::move(s.values[i]));
        }
        if (autoIncField_ >= 0)
            if (auto id = std::get_if<std::int64_t>(&row->values[autoIncField_]))
                nextAutoInc_ = std::max(nextAutoInc_, *id + 1);
        nextKey_ = std::max(nextKey_, row->key + 1);
        rows_.push_back(std::move(row));
    }
    for (auto& row : rows_) CalcRow(*row);
    file_ = std::move(file);
    ++layout_;
    InvalidateView();
    First();
    EnableControls();
    return TLoadResult::Loaded;
}

void TTable::DiscardFile() {
    file_.reset();
    if (!fileName_.empty()) TTableFile::Remove(fileName_);
    loadFailed_ = false;
    // Everything in memory belongs in the new file.
    deleted_.clear();
    for (auto& row : rows_) {
        row->persisted = false;
        dirty_.insert(row->key);
    }
    dirtyCounter_ = true;
}

bool TTable::Save() {
    if (fileName_.empty() || !HasUnsavedChanges()) return true;
    if (loadFailed_) {
        lastError_ = fileName_ + ": not saved, since the file could not be read";
        return false;
    }
    if (!file_) file_ = std::make_unique<TTableFile>(fileName_);
    std::vector<int> storedFields;
    for (size_t i = 0; i < fields_.size(); ++i)
        if (!fields_[i].calculated) storedFields.push_back(static_cast<int>(i));
    std::vector<TStoredRow> changed;
    changed.reserve(dirty_.size());
    for (TBookmark key : dirty_) {
        const TRow* row = RowOfKey(key);
        TStoredRow stored{key, {}};
        stored.values.reserve(storedFields.size());
        for (int f : storedFields) stored.values.push_back(row->values[f]);
        changed.push_back(std::move(stored));
    }
    std::vector<const TStoredRow*> pointers;
    for (const auto& r : changed) pointers.push_back(&r);
    if (!file_->Write(StoredLayout(), pointers, deleted_, nextAutoInc_)) {
        lastError_ = file_->LastError();
        return false;
    }
    for (TBookmark key : dirty_) RowOfKey(key)->persisted = true;
    dirty_.clear();
    deleted_.clear();
    dirtyCounter_ = false;
    return true;
}

void TTable::Close() {
    if (state_ != TState::Browse) Cancel();
    if (HasUnsavedChanges() && !Save()) throw TTableError(lastError_);
    file_.reset();
}

// A table without a file has nowhere to save its rows: a box of thousands of
// messages need not remember them.
void TTable::MarkDirty(TRow& row) {
    if (!fileName_.empty()) dirty_.insert(row.key);
}

// Rows stand in the order of their keys: the file gives them so, and a new
// row takes a key above all others.
TTable::TRow* TTable::RowOfKey(TBookmark key) const {
    const auto at = std::lower_bound(rows_.begin(), rows_.end(), key,
                                     [](const std::unique_ptr<TRow>& row, TBookmark k) { return row->key < k; });
    return at != rows_.end() && (*at)->key == key ? at->get() : nullptr;
}

// ---------------------------------------------------------------- view

bool TTable::RowVisible(const TRow& row) const {
    if (master_ && !ValuesEqual(row.values[detailField_], masterKey_, false)) return false;
    if (filtered_ && filterField_ >= 0 && !ValuesEqual(row.values[filterField_], filterValue_, false)) return false;
    return true;
}

bool TTable::RowLess(const TRow* a, const TRow* b) const {
    const TIndex& index = indexes_[activeIndex_];
    for (int f : index.fields) {
        const int c = CompareValues(a->values[f], b->values[f], index.caseInsensitive);
        if (c != 0) return index.descending ? c > 0 : c < 0;
    }
    return false;
}

void TTable::InvalidateView() { viewValid_ = false; }

// A row added last takes the place in the view that rebuilding the view would
// give it (after its equals, as the stable sort keeps the order of adding),
// so that a scan adding thousands of rows does not sort them again for each.
void TTable::PlaceAddedRow(TRow& row) {
    if (!viewValid_ || !RowVisible(row)) return InvalidateView();
    const auto at = activeIndex_ < 0
                        ? view_.end()
                        : std::upper_bound(view_.begin(), view_.end(), &row,
                                           [this](const TRow* a, const TRow* b) { return RowLess(a, b); });
    const auto placed = view_.insert(at, &row);  // may move the vector: begin() after it
    position_ = static_cast<int>(placed - view_.begin());
}

void TTable::EnsureView() const {
    if (viewValid_) return;
    view_.clear();
    for (const auto& row : rows_)
        if (RowVisible(*row)) view_.push_back(row.get());
    // Rows kept in order (a detail's rows under its key, rows added under
    // the index) need no sort.
    const auto less = [this](const TRow* a, const TRow* b) { return RowLess(a, b); };
    if (activeIndex_ >= 0 && !std::is_sorted(view_.begin(), view_.end(), less))
        std::stable_sort(view_.begin(), view_.end(), less);
    viewValid_ = true;
    position_ = -1;
    for (size_t i = 0; i < view_.size(); ++i)
        if (view_[i] == current_) position_ = static_cast<int>(i);
    if (position_ < 0) {
        current_ = view_.empty() ? nullptr : view_.front();
        position_ = view_.empty() ? -1 : 0;
    }
}

void TTable::SetCurrent(int position) {
    EnsureView();
    if (view_.empty()) {
        current_ = nullptr;
        position_ = -1;
        return;
    }
    position_ = std::clamp(position, 0, static_cast<int>(view_.size()) - 1);
    current_ = view_[position_];
}

// ---------------------------------------------------------------- navigation

void TTable::CheckBrowse(const char* operation) const {
    if (state_ != TState::Browse)
        throw TTableError(name_ + ": " + operation + " is not possible while a row is being edited");
}

void TTable::First() {
    if (state_ != TState::Browse && !Post()) return;
    SetCurrent(0);
    bof_ = true;
    eof_ = view_.empty();
    Notify(TChange::Scroll);
}

void TTable::Last() {
    if (state_ != TState::Browse && !Post()) return;
    EnsureView();
    SetCurrent(static_cast<int>(view_.size()) - 1);
    eof_ = true;
    bof_ = view_.empty();
    Notify(TChange::Scroll);
}

void TTable::Next() {
    if (state_ != TState::Browse && !Post()) return;
    EnsureView();
    if (position_ + 1 < static_cast<int>(view_.size())) {
        SetCurrent(position_ + 1);
        bof_ = eof_ = false;
        Notify(TChange::Scroll);
    } else {
        eof_ = true;
    }
}

void TTable::Prior() {
    if (state_ != TState::Browse && !Post()) return;
    EnsureView();
    if (position_ > 0) {
        SetCurrent(position_ - 1);
        bof_ = eof_ = false;
        Notify(TChange::Scroll);
    } else {
        bof_ = true;
    }
}

bool TTable::Eof() const {
    EnsureView();
    return view_.empty() || eof_;
}

bool TTable::Bof() const {
    EnsureView();
    return view_.empty() || bof_;
}

int TTable::RecordCount() const {
    EnsureView();
    return static_cast<int>(view_.size());
}

int TTable::RecNo() const {
    EnsureView();
    return position_ + 1;
}

void TTable::SetRecNo(int recNo) {
    if (state_ != TState::Browse && !Post()) return;
    SetCurrent(recNo - 1);
    bof_ = eof_ = false;
    Notify(TChange::Scroll);
}

// ---------------------------------------------------------------- values

const TValue& TTable::ValueAt(int recNo, int fieldIndex) const {
    if (fieldIndex < 0 || fieldIndex >= static_cast<int>(fields_.size()))
        throw TTableError(name_ + ": no field number " + std::to_string(fieldIndex));
    EnsureView();
    if (recNo < 1 || recNo > static_cast<int>(view_.size())) return kNull;
    const TRow* row = view_[static_cast<std::size_t>(recNo - 1)];
    // A row being added is not in the view yet; the current row keeps its values meanwhile.
    if (state_ == TState::Edit && row == current_) return buffer_[fieldIndex];
    return row->values[fieldIndex];
}

const TValue& TTable::Value(int fieldIndex) const {
    if (fieldIndex < 0 || fieldIndex >= static_cast<int>(fields_.size()))
        throw TTableError(name_ + ": no field number " + std::to_string(fieldIndex));
    if (calcRow_) return calcRow_->values[fieldIndex];
    if (state_ != TState::Browse) return buffer_[fieldIndex];
    EnsureView();
    return current_ ? current_->values[fieldIndex] : kNull;
}

const TValue& TTable::Value(std::string_view field) const { return Value(RequireField(field)); }

std::string TTable::AsString(std::string_view field) const { return ValueToString(Value(field)); }

std::int64_t TTable::AsInteger(std::string_view field) const {
    const TValue& v = Value(field);
    if (auto i = std::get_if<std::int64_t>(&v)) return *i;
    if (auto s = std::get_if<std::string>(&v)) {
        std::int64_t n = 0;
        std::from_chars(s->data(), s->data() + s->size(), n);
        return n;
    }
    return static_cast<std::int64_t>(AsDouble(v));
}

bool TTable::AsBoolean(std::string_view field) const {
    const TValue& v = Value(field);
    if (auto s = std::get_if<std::string>(&v)) return *s == "True";
    return AsDouble(v) != 0.0;
}

TDateTime TTable::AsDateTime(std::string_view field) const { return AsDouble(Value(field)); }

TValue TTable::Coerce(const TFieldDef& def, TValue value) const {
    if (::IsNull(value)) return value;
    auto wrongKind = [&] {
        return TTableError(name_ + ": '" + ValueToString(value) + "' is not a valid value for field '" + def.name +
                           "'");
    };
    switch (def.type) {
        case TFieldType::AutoInc:
        case TFieldType::Integer:
        case TFieldType::Word: {
            if (!IsNumber(value)) throw wrongKind();
            const auto n = std::holds_alternative<std::int64_t>(value) ? std::get<std::int64_t>(value)
                                                                       : static_cast<std::int64_t>(AsDouble(value));
            if (def.type == TFieldType::Word && (n < 0 || n > 65535)) throw wrongKind();
            return n;
        }
        case TFieldType::Boolean:
            if (!IsNumber(value)) throw wrongKind();
            return AsDouble(value) != 0.0;
        case TFieldType::DateTime:
            if (!IsNumber(value)) throw wrongKind();
            return AsDouble(value);
        case TFieldType::String:
        case TFieldType::Memo: {
            // Text is taken over as it is, not copied (a header is kilobytes).
            std::string* given = std::get_if<std::string>(&value);
            std::string text = given ? std::move(*given) : ValueToString(value);
            if (def.type == TFieldType::String && def.size > 0 && text.size() > static_cast<size_t>(def.size))
                text.resize(static_cast<size_t>(def.size));
            return text;
        }
    }
    return value;
}

void TTable::SetValue(std::string_view field, TValue value) { SetValue(RequireField(field), std::move(value)); }

void TTable::SetValue(int fieldIndex, TValue value) {
    if (fieldIndex < 0 || static_cast<std::size_t>(fieldIndex) >= fields_.size())
        throw TTableError(name_ + ": field number " + std::to_string(fieldIndex) + " not found");
    const TFieldDef& def = fields_[static_cast<std::size_t>(fieldIndex)];
    if (def.calculated) return SetCalculated(def.name, std::move(value));
    if (state_ == TState::Browse)
        throw TTableError(name_ + ": not in edit or insert mode (setting '" + def.name + "')");
    buffer_[static_cast<std::size_t>(fieldIndex)] = Coerce(def, std::move(value));
    if (OnCalcFields) OnCalcFields(*this);
    // The grids show a row being added once it is posted; a scan fills
    // thousands of rows that nobody hears of before.
    if (state_ != TState::Insert)
        Notify(TChange::Data);
    else if (newRowListeners_ > 0 || quiet_ > 0 || !details_.empty())
        Broadcast(TChange::Data, TInterest::NewRowValues);
}

void TTable::SetAsString(std::string_view field, const std::string& text) {
    const TFieldDef& def = FieldDef(field);
    const std::string t = Trimmed(text);
    auto invalid = [&] {
        return TTableError("'" + text + "' is not a valid value for field '" + def.name + "'");
    };
    switch (def.type) {
        case TFieldType::String:
        case TFieldType::Memo:
            return SetValue(field, text.empty() ? TValue{} : TValue{text});
        case TFieldType::Boolean: {
            if (t.empty()) return SetValue(field, TValue{});
            std::string lower;
            for (char c : t) lower += static_cast<char>(CodePageLower(static_cast<unsigned char>(c)));
            if (lower == "true" || lower == "1" || lower == "yes") return SetValue(field, true);
            if (lower == "false" || lower == "0" || lower == "no") return SetValue(field, false);
            throw invalid();
        }
        case TFieldType::DateTime: {
            if (t.empty()) return SetValue(field, TValue{});
            TDateTimeParts p{};
            TDateTime value = 0;
            const int n = std::sscanf(t.c_str(), "%d-%d-%d %d:%d:%d", &p.year, &p.month, &p.day, &p.hour,
                                      &p.minute, &p.second);
            if ((n != 3 && n != 6) || !TryEncodeDateTime(p, value)) throw invalid();
            return SetValue(field, value);
        }
        default: {
            if (t.empty()) return SetValue(field, TValue{});
            std::int64_t n = 0;
            const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
            if (ec != std::errc() || end != t.data() + t.size()) throw invalid();
            return SetValue(field, n);
        }
    }
}

void TTable::SetCalculated(std::string_view field, TValue value) {
    const int index = RequireField(field);
    if (calcRow_)
        calcRow_->values[index] = std::move(value);
    else if (state_ != TState::Browse)
        buffer_[index] = std::move(value);
    else if (current_)
        current_->values[index] = std::move(value);
}

void TTable::CalcRow(TRow& row) {
    if (!OnCalcFields) return;
    calcRow_ = &row;
    try {
        OnCalcFields(*this);
    } catch (...) {
        calcRow_ = nullptr;
        throw;
    }
    calcRow_ = nullptr;
}

void TTable::RecalculateAll() {
    for (auto& row : rows_) CalcRow(*row);
    Notify(TChange::Reset);
}

// ---------------------------------------------------------------- editing

void TTable::Append() {
    if (state_ != TState::Browse && !Post()) return;
    // No view rebuild here: appending must not cost time in the table's size.
    beforeInsert_ = current_;
    buffer_.assign(fields_.size(), TValue{});
    for (size_t i = 0; i < fields_.size(); ++i)
        if (!fields_[i].calculated) buffer_[i] = Coerce(fields_[i], fields_[i].defaultValue);
    if (master_) buffer_[detailField_] = masterKey_;
    state_ = TState::Insert;
    if (OnCalcFields) OnCalcFields(*this);
    Notify(TChange::State);
    if (AfterInsert) AfterInsert(*this);
}

void TTable::Edit() {
    if (state_ != TState::Browse) return;
    EnsureView();
    if (!current_) return Append();
    buffer_ = current_->values;
    state_ = TState::Edit;
    Notify(TChange::State);
}

bool TTable::Post() { return PostRow(saveAfterPost_); }

bool TTable::PostWithoutSaving() { return PostRow(false); }

bool TTable::PostRow(bool save) {
    if (state_ == TState::Browse) return true;
    if (BeforePost && !BeforePost(*this)) return false;
    for (size_t i = 0; i < fields_.size(); ++i) {
        const TFieldDef& f = fields_[i];
        if (!f.required || f.calculated || f.type == TFieldType::AutoInc) continue;
        const auto* text = std::get_if<std::string>(&buffer_[i]);
        if (::IsNull(buffer_[i]) || (text && text->empty()))
            throw TTableError("Field '" + f.name + "' must have a value");
    }
    TRow* row;
    bool reorder = true;
    if (state_ == TState::Insert) {
        auto added = std::make_unique<TRow>();
        added->key = nextKey_++;
        if (autoIncField_ >= 0) {
            TValue& id = buffer_[autoIncField_];
            if (::IsNull(id))
                id = nextAutoInc_++;
            else
                nextAutoInc_ = std::max(nextAutoInc_, std::get<std::int64_t>(id) + 1);
            dirtyCounter_ = true;
        }
        added->values = std::move(buffer_);
        row = added.get();
        rows_.push_back(std::move(added));
        ++layout_;
    } else {
        row = current_;
        // A calculated field is worked out only below: the view is built anew.
        reorder = OrderOrVisibilityChanged(row->values, buffer_) || OrderOrVisibilityCalculated();
        if (reorder) ++layout_;
        row->values = std::move(buffer_);
    }
    const bool added = state_ == TState::Insert;
    buffer_.clear();
    state_ = TState::Browse;
    current_ = row;
    beforeInsert_ = nullptr;
    MarkDirty(*row);
    CalcRow(*row);
    // An edit that leaves the row's place alone keeps the view: hit counts
    // are posted for many messages of a scan.
    if (added) PlaceAddedRow(*row);
    else if (reorder) InvalidateView();
    Notify(TChange::Data);
    if (save && !Save()) throw TTableError(lastError_);
    if (AfterPost) AfterPost(*this);
    return true;
}

void TTable::Cancel() {
    if (state_ == TState::Browse) return;
    if (state_ == TState::Insert && beforeInsert_) current_ = beforeInsert_;
    beforeInsert_ = nullptr;
    buffer_.clear();
    state_ = TState::Browse;
    InvalidateView();
    Notify(TChange::State);
}

void TTable::Delete() {
    if (state_ == TState::Insert) return Cancel();
    if (state_ == TState::Edit) Cancel();
    EnsureView();
    if (!current_) throw TTableError(name_ + ": cannot delete from an empty table");
    const int position = position_;
    TRow* row = current_;
    if (row->persisted) deleted_.push_back(row->key);
    dirty_.erase(row->key);
    current_ = nullptr;
    std::erase_if(rows_, [row](const std::unique_ptr<TRow>& r) { return r.get() == row; });
    InvalidateView();
    SetCurrent(position);
    eof_ = bof_ = view_.empty();
    Notify(TChange::Reset);
}

void TTable::EmptyTable() {
    if (state_ != TState::Browse) Cancel();
    for (const auto& row : rows_)
        if (row->persisted) deleted_.push_back(row->key);
    rows_.clear();
    dirty_.clear();
    current_ = nullptr;
    InvalidateView();
    eof_ = bof_ = true;
    Notify(TChange::Reset);
}

// ---------------------------------------------------------------- search

bool TTable::ValuesEqual(const TValue& a, const TValue& b, bool caseInsensitive) {
    if (::IsNull(a) || ::IsNull(b)) return false;
    return CompareValues(a, b, caseInsensitive) == 0;
}

bool TTable::Locate(std::string_view field, const TValue& value, bool caseInsensitive) {
    const int index = RequireField(field);
    if (state_ != TState::Browse && !Post()) return false;
    EnsureView();
    for (size_t i = 0; i < view_.size(); ++i) {
        if (ValuesEqual(view_[i]->values[index], value, caseInsensitive)) {
            SetCurrent(static_cast<int>(i));
            bof_ = eof_ = false;
            Notify(TChange::Scroll);
            return true;
        }
    }
    return false;
}

TValue TTable::Lookup(std::string_view keyField, const TValue& key, std::string_view resultField) const {
    const int keyIndex = RequireField(keyField), resultIndex = RequireField(resultField);
    EnsureView();
    for (const TRow* row : view_)
        if (ValuesEqual(row->values[keyIndex], key, false)) return row->values[resultIndex];
    return {};
}

bool TTable::AddToInteger(std::string_view keyField, const TValue& key, std::string_view field,
                          std::int64_t amount) {
    const int keyIndex = RequireField(keyField), index = RequireField(field);
    const auto found = std::find_if(rows_.begin(), rows_.end(), [&](const std::unique_ptr<TRow>& row) {
        return ValuesEqual(row->values[keyIndex], key, false);
    });
    if (found == rows_.end()) return false;
    TRow& row = **found;
    const auto add = [&](TValue& value) {
        const std::int64_t* now = std::get_if<std::int64_t>(&value);
        value = Coerce(fields_[index], (now ? *now : std::int64_t{0}) + amount);
    };
    add(row.values[index]);
    if (state_ == TState::Edit && current_ == &row) add(buffer_[index]);
    MarkDirty(row);
    const bool reorder = OrderOrVisibilityUses(index);
    if (reorder) InvalidateView();
    Notify(reorder ? TChange::Reset : TChange::Values);
    return true;
}

TTable::TBookmark TTable::Bookmark() const {
    EnsureView();
    return current_ ? current_->key : 0;
}

bool TTable::BookmarkValid(TBookmark bookmark) const { return RowOfKey(bookmark) != nullptr; }

bool TTable::GotoBookmark(TBookmark bookmark) {
    TRow* const found = RowOfKey(bookmark);
    if (!found || !RowVisible(*found)) return false;
    if (state_ != TState::Browse && !Post()) return false;
    EnsureView();
    // A visible row is in a valid view: its place is looked up, the view
    // is not built again (keepers of the current row go back and forth).
    const auto at = std::find(view_.begin(), view_.end(), found);
    if (at != view_.end()) {
        current_ = *at;
        position_ = static_cast<int>(at - view_.begin());
    } else {
        current_ = found;
        viewValid_ = false;
        EnsureView();
    }
    bof_ = eof_ = false;
    Notify(TChange::Scroll);
    return true;
}

// ---------------------------------------------------------------- order and visibility

void TTable::AddIndex(const std::string& indexName, const std::string& fields, bool descending,
                      bool caseInsensitive) {
    TIndex index{indexName, {}, descending, caseInsensitive};
    for (const auto& f : SplitFields(fields)) index.fields.push_back(RequireField(f));
    indexes_.push_back(std::move(index));
}

bool TTable::HasIndex(const std::string& indexName) const {
    return std::any_of(indexes_.begin(), indexes_.end(), [&](const TIndex& i) { return i.name == indexName; });
}

void TTable::SetIndexName(const std::string& indexName) {
    int found = -1;
    for (size_t i = 0; i < indexes_.size(); ++i)
        if (indexes_[i].name == indexName) found = static_cast<int>(i);
    if (!indexName.empty() && found < 0) throw TTableError(name_ + ": index '" + indexName + "' not found");
    indexName_ = indexName;
    activeIndex_ = found;
    InvalidateView();
    Notify(TChange::Reset);
}

void TTable::SetFilter(const std::string& expression) {
    const std::string text = Trimmed(expression);
    int field = -1;
    TValue value;
    if (!text.empty()) {
        const size_t eq = text.find('=');
        if (eq == std::string::npos) throw TTableError(name_ + ": filter '" + expression + "' is not understood");
        field = RequireField(Trimmed(text.substr(0, eq)));
        std::string literal = Trimmed(text.substr(eq + 1));
        if (literal.size() >= 2 && literal.front() == '\'' && literal.back() == '\'')
            literal = literal.substr(1, literal.size() - 2);
        value = literal;
        const TFieldType type = fields_[field].type;
        if (type == TFieldType::Integer || type == TFieldType::AutoInc || type == TFieldType::Word) {
            std::int64_t n = 0;
            const auto [end, ec] = std::from_chars(literal.data(), literal.data() + literal.size(), n);
            // A filter on a number that is none shows no rows.
            value = ec == std::errc() && end == literal.data() + literal.size() ? TValue{n} : TValue{};
            if (::IsNull(value)) value = std::string("\x01");
        }
    }
    filterText_ = expression;
    filterField_ = field;
    filterValue_ = std::move(value);
    InvalidateView();
    if (state_ == TState::Browse) First();
    Notify(TChange::Reset);
}

void TTable::SetFiltered(bool on) {
    if (filtered_ == on) return;
    filtered_ = on;
    InvalidateView();
    if (state_ == TState::Browse) First();
    Notify(TChange::Reset);
}

void TTable::SetMaster(TTable* master, const std::string& masterField, const std::string& detailField) {
    if (master_) {
        std::erase(master_->details_, this);
        for (int q = master_->quiet_; q > 0; --q) EndQuiet();
    }
    master_ = master;
    ++layout_;
    if (!master_) {
        InvalidateView();
        return;
    }
    masterField_ = master_->RequireField(masterField);
    detailField_ = RequireField(detailField);
    master_->details_.push_back(this);
    for (int q = master_->quiet_; q > 0; --q) BeginQuiet();
    masterKey_ = master_->IsEmpty() ? TValue{} : master_->Value(masterField_);
    InvalidateView();
    First();
}

void TTable::MasterChanged() {
    const TValue key = master_->IsEmpty() ? TValue{} : master_->Value(masterField_);
    if (CompareValues(key, masterKey_, false) == 0) return;
    masterKey_ = key;
    if (state_ != TState::Browse) Cancel();
    // The master's first row becomes current when the rows are next looked
    // at: a quiet master may move through many keys before that.
    current_ = nullptr;
    InvalidateView();
    bof_ = true;
    eof_ = false;
    // Not a change of layout: the view follows the master's key, which a quiet spell compares.
    Broadcast(TChange::Reset);
}

// ---------------------------------------------------------------- notification

bool TTable::OrderOrVisibilityCalculated() const {
    const auto calculated = [&](int field) { return field >= 0 && fields_[field].calculated; };
    if (activeIndex_ >= 0)
        for (int field : indexes_[activeIndex_].fields)
            if (calculated(field)) return true;
    return (filtered_ && calculated(filterField_)) || (master_ && calculated(detailField_));
}

bool TTable::OrderOrVisibilityUses(int field) const {
    if (activeIndex_ >= 0 && std::ranges::find(indexes_[activeIndex_].fields, field) != indexes_[activeIndex_].fields.end())
        return true;
    return (filtered_ && field == filterField_) || (master_ && field == detailField_);
}

bool TTable::OrderOrVisibilityChanged(const std::vector<TValue>& before, const std::vector<TValue>& after) const {
    const auto differs = [&](int field) {
        return field >= 0 && CompareValues(before[field], after[field], false) != 0;
    };
    if (activeIndex_ >= 0)
        for (int field : indexes_[activeIndex_].fields)
            if (differs(field)) return true;
    return (filtered_ && differs(filterField_)) || (master_ && differs(detailField_));
}

int TTable::Subscribe(TListener listener, TInterest interest) {
    listeners_.push_back({nextToken_, interest, std::move(listener)});
    if (interest == TInterest::NewRowValues) ++newRowListeners_;
    return nextToken_++;
}

void TTable::Unsubscribe(int token) {
    for (auto it = listeners_.begin(); it != listeners_.end(); ++it) {
        if (it->token != token) continue;
        if (it->interest == TInterest::NewRowValues) --newRowListeners_;
        // A listener being called must outlive its call.
        if (notifying_ > 0)
            it->token = 0;
        else
            listeners_.erase(it);
        return;
    }
}

void TTable::DisableControls() {
    if (disabled_++ == 0) BeginQuiet();
}

void TTable::EnableControls() {
    if (disabled_ > 0 && --disabled_ == 0) EndQuiet();
}

void TTable::BeginQuiet() {
    if (quiet_++ == 0) {
        EnsureView();
        quietStart_ = {layout_, current_, state_, masterKey_};
        changedWhileQuiet_ = false;
    }
    for (TTable* detail : details_) detail->BeginQuiet();
}

void TTable::EndQuiet() {
    if (quiet_ == 0) return;
    if (--quiet_ == 0 && changedWhileQuiet_) {
        changedWhileQuiet_ = false;
        EnsureView();
        const bool sameRows = layout_ == quietStart_.layout && current_ == quietStart_.current &&
                              state_ == quietStart_.state && CompareValues(masterKey_, quietStart_.masterKey, false) == 0;
        Broadcast(sameRows ? TChange::Values : TChange::Reset);
    }
    for (TTable* detail : details_) detail->EndQuiet();
}

void TTable::Notify(TChange change) {
    if (change == TChange::Reset) ++layout_;
    Broadcast(change);
}

void TTable::Broadcast(TChange change, TInterest reach) {
    // Details follow their master even while it is quiet.
    if (change != TChange::State)
        for (TTable* detail : details_) detail->MasterChanged();
    if (quiet_ > 0) {
        changedWhileQuiet_ = true;
        return;
    }
    if (reach == TInterest::NewRowValues && newRowListeners_ == 0) return;
    if (listeners_.empty()) return;
    // Counts this notification while it runs, also when a listener throws;
    // the outermost one drops the listeners that left meanwhile.
    struct TNotifying {
        TTable& table;
        explicit TNotifying(TTable& t) : table(t) { ++table.notifying_; }
        ~TNotifying() {
            if (--table.notifying_ == 0)
                std::erase_if(table.listeners_, [](const TSubscription& s) { return s.token == 0; });
        }
        TNotifying(const TNotifying&) = delete;
        TNotifying& operator=(const TNotifying&) = delete;
    } notifying(*this);
    // Who subscribes meanwhile hears the next change.
    const auto last = std::prev(listeners_.end());
    for (auto it = listeners_.begin();; ++it) {
        if (it->token != 0 && (reach == TInterest::Rows || it->interest == reach)) it->listener(*this, change);
        if (it == last) break;
    }
}
