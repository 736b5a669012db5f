#include "filtering/FilterEngine.h"

#include "base/UserInterface.h"
#include "data/TTableError.h"
#include "filtering/Regex.h"
#include "filtering/dmfilters.h"
#include "parsing/TextOps.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

const char kAddressPattern[] = "[_a-zA-Z\\d\\-\\.]+@([_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+)";
const char kFileTitle[] = "Tarnwick filters";
const char kSeparator = '\x07';

// A whole decimal number (an optional sign, digits), nothing else.
bool ParseInteger(std::string_view text, std::int64_t& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// Field text: CR LF pairs removed, then blanks and control characters trimmed.
void MakeFieldText(std::string& text) {
    char* const at = text.data();
    const std::size_t n = text.size();
    std::size_t out = 0, i = 0;
    while (i < n) {
        const void* cr = std::memchr(at + i, '\r', n - i);
        const std::size_t stop = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - at) : n;
        if (out != i) std::memmove(at + out, at + i, stop - i);
        out += stop - i;
        i = stop;
        if (i == n) break;
        if (i + 1 < n && at[i + 1] == '\n') {
            i += 2;
        } else {
            at[out++] = '\r';
            ++i;
        }
    }
    text.resize(out);
    std::size_t e = text.size();
    while (e > 0 && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    text.resize(e);
    std::size_t b = 0;
    while (b < text.size() && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    text.erase(0, b);
}

// Appends every whole match; false when the search ran out of its step budget.
bool CollectInto(TRegex& re, std::string_view input, std::string& out, const TLineStarts* lines = nullptr) {
    try {
        if (lines ? re.Exec(input, *lines) : re.Exec(input)) do {
                out.append(re.MatchView(0));
            } while (re.ExecNext());
    } catch (const TRegexError& e) {
        if (e.Code() == TRegexError::kStepBudgetExhausted) return false;
        throw;
    }
    return true;
}

// Whether the sequence of matches holds one that is not empty, i.e. whether
// the collected matches are non-empty text. Nothing on an exhausted budget.
std::optional<bool> AnyNonEmptyMatch(TRegex& re, std::string_view input) {
    try {
        if (!re.Exec(input)) return false;
        do {
            if (re.MatchLen(0) > 0) return true;
        } while (re.ExecNext());
    } catch (const TRegexError& e) {
        if (e.Code() == TRegexError::kStepBudgetExhausted) return std::nullopt;
        throw;
    }
    return false;
}

bool IsTrue(const TValue& v) {
    const bool* b = std::get_if<bool>(&v);
    return b && *b;
}

std::string LowerAZ(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The template with its first "$&" replaced by the escaped content.
std::string ContentPattern(const std::string& tmpl, const std::string& content) {
    std::string pattern = tmpl;
    if (const size_t at = pattern.find("$&"); at != std::string::npos)
        pattern.replace(at, 2, EscapeRegexMeta(content));
    return pattern;
}

TFilterError AsFilterError(const TRegexError& e, const std::string& context) {
    return TFilterError(context + ": " + e.what(), e.Code());
}

}  // namespace

// ---------------------------------------------------------------- private parts

struct TFilter::TRuleRow {
    std::int64_t id = 0;
    std::string RegularExpr, Modifier;
    bool Result = false, FieldEnable = false;
};

// What one expression needs at evaluation time, prepared from its cache row.
struct TFilter::TPlan {
    std::int64_t expressionId = 0, categoryId = 0, ruleId = 0;
    std::vector<int> fieldRows;  // FieldCache rows in the order written; -1 names no field
    std::uint64_t rulesRead = 0;  // the rules snapshot the rest was prepared from
    bool ruleFound = false, result = false, fieldEnable = false;
    std::string contentPattern, modifier;
    TRegex* content = nullptr;  // compiled on first use
};

struct TFilter::TFieldText {
    // Named by an expression: only such fields are cut out of a header.
    bool used = false;
    std::uint64_t evaluation = 0;
    bool exhausted = false;
    std::string text;
    TRegex* pattern = nullptr;
    // The bytes and three-byte runs of a short text, found when a rule first
    // asks: most rules need a run that a subject or an address lacks, and
    // are refused without a search. A long text (a chain of Received lines)
    // would cost more to read so than the searches it spares.
    bool bytesKnown = false;
    TTextBytes bytes;
    // Made ready to be cut out of the header of this evaluation.
    void Begin(std::uint64_t of) {
        evaluation = of;
        text.clear();
        exhausted = false;
        bytesKnown = false;
    }
    bool MayMatch(TRegex& re) {
        constexpr std::size_t kShortText = 160;
        if (text.size() > kShortText) return true;
        if (!bytesKnown) {
            bytes.Assign(text);
            bytesKnown = true;
        }
        return re.MayMatch(bytes);
    }
};

// Turns off the display updates of both tables (the expressions follow
// their category) and brings back the user's current category and
// expression, also when an error leaves. The grids then hear once of a walk
// over the rows, not of every row visited.
class TFilter::TRowKeeper {
public:
    TRowKeeper(TTable& categories, TTable& expressions)
        : categories_(categories), expressions_(expressions), category_(categories.Bookmark()),
          expression_(expressions.Bookmark()) {
        categories_.DisableControls();
        expressions_.DisableControls();
    }
    ~TRowKeeper() {
        try {
            if (categories_.Bookmark() != category_) categories_.GotoBookmark(category_);
            if (expressions_.Bookmark() != expression_) expressions_.GotoBookmark(expression_);
        } catch (...) {
        }
        expressions_.EnableControls();
        categories_.EnableControls();
    }
    TRowKeeper(const TRowKeeper&) = delete;
    TRowKeeper& operator=(const TRowKeeper&) = delete;

private:
    TTable& categories_;
    TTable& expressions_;
    TTable::TBookmark category_, expression_;
};

// ---------------------------------------------------------------- construction

TFilter::TFilter(TFilterDM& dm) : dm_(dm) {
    rulesToken_ = dm_.cdsRules.Subscribe([this](TTable&, TTable::TChange change) {
        if (change != TTable::TChange::Scroll) ++rulesChanged_;
    });
    RebuildCache();
}

TFilter::~TFilter() { dm_.cdsRules.Unsubscribe(rulesToken_); }

// ---------------------------------------------------------------- caches

void TFilter::RebuildCache() {
    if (expressionCache_.empty()) CacheStale = true;
    if (!CacheStale) return;
    TTable& categories = dm_.cdsFilterCategory;
    TTable& expressions = dm_.cdsExpr;
    TTable& fields = dm_.cdsFields;
    TRowKeeper keep(categories, expressions);

    fieldCache_.clear();
    {
        const TTable::TBookmark current = fields.Bookmark();
        for (fields.First(); !fields.Eof(); fields.Next())
            fieldCache_.push_back({fields.AsString("id"), fields.AsString("Name"), fields.AsString("RegularExpr"),
                                   fields.AsString("Modifier")});
        if (fields.Bookmark() != current) fields.GotoBookmark(current);
    }

    expressionCache_.clear();
    plans_.clear();
    // Without a single expression there is nothing to walk (and no reason to
    // move the user's current category).
    if (expressions.RowCountAll() > 0) {
        for (categories.First(); !categories.Eof(); categories.Next()) {
            for (expressions.First(); !expressions.Eof(); expressions.Next()) {
                TExpressionRow row{expressions.AsString("id"),      expressions.AsString("idFilter"),
                                   expressions.AsString("Fields"),  expressions.AsString("FieldStr"),
                                   expressions.AsString("idRule"),  expressions.AsString("Rule"),
                                   expressions.AsBoolean("CaseMatch"), expressions.AsString("Content"),
                                   expressions.AsString("Hits")};
                TPlan plan;
                plan.expressionId = expressions.AsInteger("id");
                plan.categoryId = expressions.AsInteger("idFilter");
                plan.ruleId = IsNull(expressions.Value("idRule")) ? -1 : expressions.AsInteger("idRule");
                std::string_view ids = row.Fields;
                while (!ids.empty()) {
                    const size_t comma = ids.find(',');
                    plan.fieldRows.push_back(FieldCacheLookup(ids.substr(0, comma)));
                    if (comma == std::string_view::npos) break;
                    ids.remove_prefix(comma + 1);
                    if (ids.empty()) plan.fieldRows.push_back(-1);  // "1," names an empty id
                }
                expressionCache_.push_back(std::move(row));
                plans_.push_back(std::move(plan));
            }
        }
    }

    patterns_.clear();
    fieldTexts_.assign(fieldCache_.size(), TFieldText{});
    for (const TPlan& plan : plans_)
        for (const int fieldRow : plan.fieldRows)
            if (fieldRow >= 0) fieldTexts_[static_cast<std::size_t>(fieldRow)].used = true;
    CacheStale = false;
}

int TFilter::FieldCacheLookup(std::string_view id) const {
    std::int64_t k = 0;
    if (ParseInteger(id, k) && k >= 1 && static_cast<std::size_t>(k) <= fieldCache_.size() &&
        fieldCache_[static_cast<std::size_t>(k - 1)].id == id)
        return static_cast<int>(k - 1);
    for (std::size_t i = 0; i < fieldCache_.size(); ++i)
        if (fieldCache_[i].id == id) return static_cast<int>(i);
    return -1;
}

void TFilter::RefreshRules() {
    if (rulesRead_ == rulesChanged_) return;
    TTable& rules = dm_.cdsRules;
    rules_.clear();
    const std::uint64_t changedBefore = rulesChanged_;
    {
        const TTable::TBookmark current = rules.Bookmark();
        for (rules.First(); !rules.Eof(); rules.Next())
            rules_.push_back({rules.AsInteger("id"), rules.AsString("RegularExpr"), rules.AsString("Modifier"),
                              rules.AsBoolean("Result"), rules.AsBoolean("FieldEnable")});
        if (rules.Bookmark() != current) rules.GotoBookmark(current);
    }
    rulesChanged_ = changedBefore;  // walking the table is no change
    rulesRead_ = rulesChanged_;
}

const TFilter::TRuleRow* TFilter::FindRule(std::int64_t id) const {
    for (const TRuleRow& r : rules_)
        if (r.id == id) return &r;
    return nullptr;
}

// The row's plan worked out again from the rules last read; the caller asks
// only when they were read after the plan was made.
void TFilter::Prepare(std::size_t row) {
    TPlan& plan = plans_[row];
    const TExpressionRow& expr = expressionCache_[row];
    plan.rulesRead = rulesRead_;
    plan.content = nullptr;
    const TRuleRow* rule = FindRule(plan.ruleId);
    plan.ruleFound = rule != nullptr;
    if (!rule) return;
    plan.result = rule->Result;
    plan.fieldEnable = rule->FieldEnable;
    plan.contentPattern = ContentPattern(rule->RegularExpr, expr.Content);
    plan.modifier = ApplyCaseMatch(expr.CaseMatch, rule->Modifier);
}

TRegex& TFilter::Pattern(const std::string& pattern, const std::string& modifier) {
    std::string key = modifier;
    key += '\n';
    key += pattern;
    auto found = patterns_.find(key);
    if (found != patterns_.end()) return *found->second;
    auto re = std::make_unique<TRegex>();
    re->ApplyModifiers(modifier);
    re->SetExpression(pattern);
    re->Compile();
    TRegex& result = *re;
    patterns_.emplace(std::move(key), std::move(re));
    return result;
}

const std::string* TFilter::FieldText(int fieldRow, const std::string& header) {
    const TFieldRow& field = fieldCache_[static_cast<std::size_t>(fieldRow)];
    try {
        if (!caching_) {
            scratchText_.clear();
            TRegex re;
            re.ApplyModifiers(field.Modifier);
            re.SetExpression(field.RegularExpr);
            if (!CollectInto(re, header, scratchText_)) return nullptr;
            MakeFieldText(scratchText_);
            return &scratchText_;
        }
        TFieldText& ft = fieldTexts_[static_cast<std::size_t>(fieldRow)];
        if (ft.evaluation != evaluation_) {
            if (!ft.pattern) ft.pattern = &Pattern(field.RegularExpr, field.Modifier);
            if (headerLinesEvaluation_ != evaluation_) {
                if (!headerLines_) headerLines_ = std::make_unique<TLineStarts>();
                headerLines_->Assign(header);
                headerLinesEvaluation_ = evaluation_;
            }
            if (THeaderFieldScan::Serves(*ft.pattern, header)) {
                ScanHeaderFields(header);
            } else {
                ft.Begin(evaluation_);
                ft.exhausted = !CollectInto(*ft.pattern, header, ft.text, headerLines_.get());
                MakeFieldText(ft.text);
            }
        }
        return ft.exhausted ? nullptr : &ft.text;
    } catch (const TRegexError& e) {
        throw AsFilterError(e, "Field \"" + field.Name + "\" (" + field.RegularExpr + ")");
    }
}

// The texts of every field of the usual "^Name:..." shape, in one walk over
// the header's lines. A field whose pattern does not compile is left to be
// asked for, so that its error names it.
void TFilter::ScanHeaderFields(const std::string& header) {
    scanPatterns_.clear();
    scanTexts_.clear();
    for (std::size_t i = 0; i < fieldCache_.size(); ++i) {
        TFieldText& ft = fieldTexts_[i];
        if (!ft.used || ft.evaluation == evaluation_ || scanPatterns_.size() == THeaderFieldScan::kMaxPatterns)
            continue;
        try {
            if (!ft.pattern) ft.pattern = &Pattern(fieldCache_[i].RegularExpr, fieldCache_[i].Modifier);
            if (!THeaderFieldScan::Serves(*ft.pattern, header)) continue;
        } catch (const TRegexError&) {
            continue;
        }
        ft.Begin(evaluation_);
        scanPatterns_.push_back(ft.pattern);
        scanTexts_.push_back(&ft.text);
    }
    if (!headerFieldScan_) headerFieldScan_ = std::make_unique<THeaderFieldScan>();
    headerFieldScan_->Collect(*headerLines_, scanPatterns_, scanTexts_);
    for (std::string* text : scanTexts_) MakeFieldText(*text);
}

// ---------------------------------------------------------------- evaluation

int TFilter::Evaluate(const std::string& header) {
    MatchedCategoryId = MatchedExpressionId = ActionId = -1;
    Reason.clear();
    RebuildCache();
    RefreshRules();
    ++evaluation_;
    return EvaluateRows(header);
}

TFilter::TEvaluation TFilter::TryEvaluate(const std::string& header) {
    TEvaluation result;
    try {
        result.actionId = Evaluate(header);
        result.outcome = result.actionId >= 1 ? TOutcome::Caught : TOutcome::NotCaught;
    } catch (const TFilterError& e) {
        result.outcome = TOutcome::EngineError;
        result.actionId = -1;
        result.error = e.what();
    }
    return result;
}

int TFilter::EvaluateRows(const std::string& header) {
    for (std::size_t r = 0; r < expressionCache_.size(); ++r) {
        TPlan& plan = plans_[r];
        for (const int fieldRow : plan.fieldRows) {
            if (fieldRow < 0) continue;
            // Most fields were cut out for an earlier expression of this header.
            const TFieldText& known = fieldTexts_[static_cast<std::size_t>(fieldRow)];
            const std::string* text = caching_ && known.evaluation == evaluation_
                                          ? (known.exhausted ? nullptr : &known.text)
                                          : FieldText(fieldRow, header);
            if (!text) continue;  // out of budget: not caught on this field
            bool caught = false;
            if (caching_) {
                if (plan.rulesRead != rulesRead_) Prepare(r);
                if (!plan.ruleFound) break;
                if (!plan.fieldEnable) {
                    caught = text->empty();
                } else {
                    bool tested = !text->empty();
                    if (tested && !plan.contentPattern.empty()) {
                        try {
                            if (!plan.content) plan.content = &Pattern(plan.contentPattern, plan.modifier);
                            TFieldText& field = fieldTexts_[static_cast<std::size_t>(fieldRow)];
                            const std::optional<bool> any =
                                field.MayMatch(*plan.content) ? AnyNonEmptyMatch(*plan.content, *text) : false;
                            if (!any) continue;
                            tested = *any;
                        } catch (const TRegexError& e) {
                            throw AsFilterError(e, "Rule " + expressionCache_[r].idRule + " (" + plan.contentPattern + ")");
                        }
                    }
                    caught = tested == plan.result;
                }
            } else {
                // Read the rule afresh, build and run a fresh pattern.
                TTable& rules = dm_.cdsRules;
                const TValue id{plan.ruleId};
                const TValue tmpl = rules.Lookup("id", id, "RegularExpr");
                if (IsNull(rules.Lookup("id", id, "id"))) break;
                const bool fieldEnable = IsTrue(rules.Lookup("id", id, "FieldEnable"));
                const bool result = IsTrue(rules.Lookup("id", id, "Result"));
                const std::string modifier = ApplyCaseMatch(expressionCache_[r].CaseMatch,
                                                            ValueToString(rules.Lookup("id", id, "Modifier")));
                const std::string pattern = ContentPattern(ValueToString(tmpl), expressionCache_[r].Content);
                if (!fieldEnable) {
                    caught = text->empty();
                } else {
                    bool tested = !text->empty();
                    if (tested && !pattern.empty()) {
                        std::string collected;
                        try {
                            TRegex re;
                            re.ApplyModifiers(modifier);
                            re.SetExpression(pattern);
                            if (!CollectInto(re, *text, collected)) continue;
                        } catch (const TRegexError& e) {
                            throw AsFilterError(e, "Rule " + expressionCache_[r].idRule + " (" + pattern + ")");
                        }
                        tested = !collected.empty();
                    }
                    caught = tested == result;
                }
            }
            if (caught && Catch(r, fieldRow)) return ActionId;
        }
    }
    return -1;
}

bool TFilter::Catch(std::size_t row, int fieldRow) {
    const TPlan& plan = plans_[row];
    const TExpressionRow& expr = expressionCache_[row];
    TTable& categories = dm_.cdsFilterCategory;
    TTable& expressions = dm_.cdsExpr;
    const TValue action = categories.Lookup("id", TValue{plan.categoryId}, "idAction");
    // A row left from a category that is gone no longer decides anything.
    if (IsNull(categories.Lookup("id", TValue{plan.categoryId}, "id"))) return false;
    MatchedCategoryId = static_cast<int>(plan.categoryId);
    MatchedExpressionId = static_cast<int>(plan.expressionId);
    Reason = "\"" + fieldCache_[static_cast<std::size_t>(fieldRow)].Name + "\" " + LowerAZ(expr.Rule) + " \"" +
             expr.Content + "\"";
    ActionId = IsNull(action) ? -1 : static_cast<int>(std::get<std::int64_t>(action));

    // Counted where the rows lie: the user's current category and expression stay.
    if (categories.AddToInteger("id", TValue{plan.categoryId}, "Hits", 1)) {
        SaveHits(categories);
        if (expressions.AddToInteger("id", TValue{plan.expressionId}, "Hits", 1)) SaveHits(expressions);
    }
    return true;
}

void TFilter::SaveHits(TTable& table) {
    if (!dm_.HitCountBatchOpen() && !table.Save()) throw TTableError(table.LastError());
}

// ---------------------------------------------------------------- case match

bool TFilter::IsCaseInsensitive(const std::string& modifier) {
    return modifier.find("-i") == std::string::npos && modifier.find('i') != std::string::npos;
}

std::string TFilter::ApplyCaseMatch(bool caseInsensitive, const std::string& modifier) {
    if (caseInsensitive == IsCaseInsensitive(modifier)) return modifier;
    std::string result = modifier;
    if (caseInsensitive) {
        if (const size_t at = result.find("-i"); at != std::string::npos)
            result.erase(at, 1);
        else
            result.insert(0, "i");  // neither "i" nor "-i": before any "-"
    } else {
        result.erase(result.find('i'), 1);
    }
    return result;
}

// ---------------------------------------------------------------- pattern operations

std::string TFilter::CollectMatches(std::string_view input, const std::string& pattern, const std::string& modifier) {
    TRegex re;
    re.ApplyModifiers(modifier);
    re.SetExpression(pattern);
    std::string result;
    if (re.Exec(input)) do {
            result.append(re.MatchView(0));
        } while (re.ExecNext());
    return result;
}

void TFilter::CollectGroup(int group, std::string_view input, std::vector<std::string>& list,
                           const std::string& modifier, const std::string& pattern) {
    TRegex re;
    re.ApplyModifiers(modifier);
    re.SetExpression(pattern);
    if (re.Exec(input)) do {
            list.push_back(re.Match(group));
        } while (re.ExecNext());
}

std::string TFilter::ExtractAddress(std::string_view text) {
    std::vector<std::string> found;
    CollectGroup(0, text, found, "", kAddressPattern);
    return found.empty() ? std::string() : TrimText(found.front());
}

std::string TFilter::ExtractField(const std::string& header, int fieldId) {
    TTable& fields = dm_.cdsFields;
    const TValue key{std::int64_t{fieldId}};
    if (IsNull(fields.Lookup("id", key, "id"))) return {};
    return CollectMatches(header, ValueToString(fields.Lookup("id", key, "RegularExpr")),
                          ValueToString(fields.Lookup("id", key, "Modifier")));
}

void TFilter::ListNames(const std::string& tableName, std::vector<std::string>& list) {
    TTable* table = tableName == "Action" ? &dm_.cdsAction
                    : tableName == "Field" ? &dm_.cdsFields
                    : tableName == "Rule"  ? &dm_.cdsRules
                                           : nullptr;
    if (!table) return;
    const TTable::TBookmark current = table->Bookmark();
    for (table->First(); !table->Eof(); table->Next()) list.push_back(table->AsString("Name"));
    if (table->Bookmark() != current) table->GotoBookmark(current);
}

// ---------------------------------------------------------------- filter files

void TFilter::ExportFilters() {
    const auto file = UserInterface().SaveFileName(dm_.SaveDialog);
    if (file) ExportFiltersTo(*file);
}

void TFilter::ImportFilters() {
    const auto file = UserInterface().OpenFileName(dm_.OpenDialog);
    if (file) ImportFiltersFrom(*file);
}

void TFilter::ExportFiltersTo(const std::string& path) {
    TTable& categories = dm_.cdsFilterCategory;
    TTable& expressions = dm_.cdsExpr;
    TRowKeeper keep(categories, expressions);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw TFilterError("Cannot create " + path + ": " + std::strerror(errno));
    out << kFileTitle << "\r\n";
    for (categories.First(); !categories.Eof(); categories.Next()) {
        const std::string name = categories.AsString("NameCategory");
        for (expressions.First(); !expressions.Eof(); expressions.Next())
            out << name << kSeparator << expressions.AsString("Fields") << kSeparator
                << expressions.AsString("idRule") << kSeparator << (expressions.AsBoolean("CaseMatch") ? "-1" : "0")
                << kSeparator << expressions.AsString("Content") << "\r\n";
    }
    out.close();
    if (!out) throw TFilterError("Cannot write " + path + ": " + std::strerror(errno));
}

namespace {

std::string ImportLineError(size_t line, const std::string& what) {
    // Fixed English, like the other error reports of the platform.
    return "The filter import stopped at line " + std::to_string(line) + ": " + what;
}

// "-1", any other non-zero number or "True" is true; "0" or "False" false.
std::optional<bool> ParseCase(const std::string& field) {
    const std::string text = TrimText(field);
    std::string lower;
    for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "true") return true;
    if (lower == "false") return false;
    std::int64_t n = 0;
    if (ParseInteger(text, n)) return n != 0;
    return std::nullopt;
}

}  // namespace

void TFilter::ImportFiltersFrom(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TFilterError("Cannot open " + path + ": " + std::strerror(errno));
    std::stringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) throw TFilterError("Cannot read " + path);
    const std::string content = buffer.str();

    // Lines end with CR LF; a lone LF ends one too.
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < content.size();) {
        size_t end = content.find('\n', start);
        const size_t next = end == std::string::npos ? content.size() : end + 1;
        if (end == std::string::npos) end = content.size();
        std::string_view line(content.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = next;
    }
    if (lines.empty() || lines.front() != kFileTitle) return;

    TTable& categories = dm_.cdsFilterCategory;
    TTable& expressions = dm_.cdsExpr;
    struct TStale {
        bool& flag;
        ~TStale() { flag = true; }
    } stale{CacheStale};
    TRowKeeper keep(categories, expressions);
    const int nameSize = categories.FieldDef("NameCategory").size;

    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t lineNumber = i + 1;
        const std::string_view line = lines[i];
        std::string_view parts[4];
        size_t from = 0;
        for (auto& part : parts) {
            const size_t at = line.find(kSeparator, from);
            if (at == std::string_view::npos)
                throw TFilterError(ImportLineError(lineNumber, "it has fewer than four separators"));
            part = line.substr(from, at - from);
            from = at + 1;
        }
        // The content is the rest, so that it comes back whole.
        const std::string contentText(line.substr(from));
        const std::string fields(parts[1]);

        std::int64_t rule = 0;
        const std::string ruleText = TrimText(parts[2]);
        if (!ParseInteger(ruleText, rule))
            throw TFilterError(ImportLineError(lineNumber, "the rule \"" + ruleText + "\" is not a whole number"));
        if (IsNull(dm_.cdsRules.Lookup("id", TValue{rule}, "id")))
            throw TFilterError(ImportLineError(lineNumber, "there is no rule " + ruleText));
        const std::optional<bool> caseMatch = ParseCase(std::string(parts[3]));
        if (!caseMatch)
            throw TFilterError(ImportLineError(
                lineNumber, "the case field \"" + std::string(parts[3]) + "\" is neither -1, 0, True nor False"));
        for (std::string_view ids = fields; !ids.empty();) {
            const size_t comma = ids.find(',');
            const std::string_view id = ids.substr(0, comma);
            std::int64_t n = 0;
            if (!ParseInteger(id, n) || IsNull(dm_.cdsFields.Lookup("id", TValue{n}, "id")))
                throw TFilterError(ImportLineError(lineNumber, "the fields \"" + fields + "\" name no field \"" +
                                                                   std::string(id) + "\""));
            if (comma == std::string_view::npos) break;
            ids.remove_prefix(comma + 1);
            if (ids.empty())
                throw TFilterError(ImportLineError(lineNumber, "the fields \"" + fields + "\" end with a comma"));
        }

        // Names are kept cut to the field's size; compare what would be kept.
        std::string name(parts[0]);
        if (nameSize > 0 && name.size() > static_cast<size_t>(nameSize)) name.resize(static_cast<size_t>(nameSize));
        if (!categories.Locate("NameCategory", TValue{name})) {
            categories.Append();
            categories.SetValue("NameCategory", name);
            categories.SetValue("idAction", std::int64_t{1});
            categories.SetValue("Hits", std::int64_t{0});
            categories.Post();
        }
        expressions.Append();
        expressions.SetValue("idFilter", categories.Value("id"));
        expressions.SetValue("Fields", fields);
        expressions.SetValue("idRule", rule);
        expressions.SetValue("CaseMatch", *caseMatch);
        expressions.SetValue("Content", contentText);
        expressions.SetValue("Hits", std::int64_t{0});
        expressions.Post();
    }
}
