#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TFilterDM;
class TRegex;
class TLineStarts;
class THeaderFieldScan;
class TTable;

// An evaluation or a filter-file operation that could not be completed: an
// invalid pattern or modifier string in a damaged "Rules.dat" or "Fields.dat",
// a filter file that cannot be read or written, a bad line in an imported file.
class TFilterError : public std::runtime_error {
public:
    explicit TFilterError(const std::string& message, int regexCode = 0)
        : std::runtime_error(message), regexCode_(regexCode) {}
    // The TRegexError code behind the error, 0 when it came from elsewhere.
    int RegexCode() const { return regexCode_; }

private:
    int regexCode_;
};

// The filter engine: decides whether one of the user's expressions catches a
// message header, and offers the pattern operations of the filter dialogs.
// The single instance belongs to TFilterDM (see FilterEngine()); it reads the
// module's tables and keeps caches of them.
//
// Caches, none of which changes a result:
// - ExpressionCache and FieldCache, the rows of the expression and field
//   tables, rebuilt when CacheStale is set (every operation that changes an
//   expression or deletes a category sets it) or when the cache is empty;
// - the built-in rules, read again whenever the rules table changes;
// - compiled patterns, keyed by pattern text and modifier string, so a scan
//   compiles each field and content pattern once;
// - within one Evaluate, the field text of each field, cut out of the header
//   at most once however many expressions name that field.
// After the first evaluation of a filter set, Evaluate allocates nothing
// until an expression catches.
class TFilter {
public:
    explicit TFilter(TFilterDM& dm);  // builds the caches
    ~TFilter();
    TFilter(const TFilter&) = delete;
    TFilter& operator=(const TFilter&) = delete;

    // Results of the last evaluation; -1 and empty when nothing caught.
    int MatchedCategoryId = -1;
    int MatchedExpressionId = -1;
    // '"Subject" contains "free"': the field's name, the rule's name in lower
    // case, the content as entered.
    std::string Reason;
    int ActionId = -1;

    // Set to announce a change of the expressions or categories; the next
    // evaluation rebuilds the caches.
    bool CacheStale = false;

    // One row of the expressions table, in its column order.
    struct TExpressionRow {
        std::string id, idFilter, Fields, FieldStr, idRule, Rule;
        bool CaseMatch = false;  // an unset value counts as false
        std::string Content, Hits;
    };
    struct TFieldRow {
        std::string id, Name, RegularExpr, Modifier;
    };
    const std::vector<TExpressionRow>& ExpressionCache() const { return expressionCache_; }
    const std::vector<TFieldRow>& FieldCache() const { return fieldCache_; }

    // Applies the categories in order, and within each its expressions in
    // order, to the header text (header lines joined with CR LF). Returns the
    // action id (1 or more) of the first expression that catches, and counts
    // the hits of it and of its category (saved at once, or kept for the flush
    // while a THitCountBatch is open), or -1 when no expression catches. Sets
    // the result members either way.
    //
    // "Nothing caught" and "could not evaluate" are different outcomes:
    // - -1: every expression was tested and none caught. A field whose search
    //   runs out of the regex engine's step budget counts as not caught for
    //   that field, and so does a field id or rule id that names no row.
    // - throws TFilterError: an invalid pattern or modifier string (a damaged
    //   rules or fields table) ended the evaluation; the result members then
    //   read -1/empty. The caller decides how to go on (the scan keeps the
    //   message and goes on with the next one).
    // - throws TTableError: the hit counts could not be saved (never while a
    //   batch is open); the result members already hold the match.
    // The user's current category and expression are unchanged afterwards.
    int Evaluate(const std::string& header);

    enum class TOutcome { Caught, NotCaught, EngineError };
    struct TEvaluation {
        TOutcome outcome = TOutcome::NotCaught;
        int actionId = -1;
        std::string error;  // the TFilterError's text for EngineError
    };
    // Evaluate, with a TFilterError turned into EngineError.
    TEvaluation TryEvaluate(const std::string& header);

    // Rebuilds the caches when CacheStale is set or the expression cache is empty.
    void RebuildCache();
    // Row of FieldCache whose id text equals id (tried at row id-1 first), or -1.
    int FieldCacheLookup(std::string_view id) const;

    // True when the modifier string holds "i" but not "-i".
    static bool IsCaseInsensitive(const std::string& modifier);
    // Turns the case switch on (drops the "-" of the first "-i", or puts "i"
    // in front when there is neither) or off (drops the first "i").
    static std::string ApplyCaseMatch(bool caseInsensitive, const std::string& modifier);

    // Every whole match of the pattern in the input, one after another, no
    // separator; a fresh pattern object with the modifiers over the defaults.
    // Throws TRegexError.
    static std::string CollectMatches(std::string_view input, const std::string& pattern, const std::string& modifier);
    // Appends group `group` (0: the whole match) of every match to the list.
    static void CollectGroup(int group, std::string_view input, std::vector<std::string>& list,
                             const std::string& modifier, const std::string& pattern);
    // The first e-mail address in the text, trimmed; empty when none.
    static std::string ExtractAddress(std::string_view text);
    // The raw matches of a field's pattern in the header (no CR LF removal,
    // no trimming); empty when no field has that id.
    std::string ExtractField(const std::string& header, int fieldId);
    // Appends the Name of every row of the "Action", "Field" or "Rule" table.
    void ListNames(const std::string& tableName, std::vector<std::string>& list);

    // Asks for a file with the module's save/open dialog and writes or reads
    // it; nothing happens when the user cancels. Throw TFilterError.
    void ExportFilters();
    void ImportFilters();
    // The same without the dialog. A file whose first line is not "Tarnwick
    // filters" is ignored. A bad line stops the import with a TFilterError
    // naming the line; the lines before it stay imported.
    void ExportFiltersTo(const std::string& path);
    void ImportFiltersFrom(const std::string& path);

    // For benchmarks and the cross-check test: with caching off every search
    // uses a fresh pattern object and every expression cuts its fields out of
    // the header again, as the plain algorithm does. Results are the same.
    void SetCaching(bool on) { caching_ = on; }
    bool Caching() const { return caching_; }

private:
    struct TPlan;
    struct TFieldText;
    struct TRuleRow;
    class TRowKeeper;

    int EvaluateRows(const std::string& header);
    bool Catch(std::size_t row, int fieldRow);
    void SaveHits(TTable& table);
    void RefreshRules();
    const TRuleRow* FindRule(std::int64_t id) const;
    void Prepare(std::size_t row);
    const std::string* FieldText(int fieldRow, const std::string& header);
    void ScanHeaderFields(const std::string& header);
    TRegex& Pattern(const std::string& pattern, const std::string& modifier);

    TFilterDM& dm_;
    bool caching_ = true;
    std::vector<TExpressionRow> expressionCache_;
    std::vector<TFieldRow> fieldCache_;
    std::vector<TPlan> plans_;
    std::vector<TFieldText> fieldTexts_;
    std::vector<TRuleRow> rules_;
    std::uint64_t rulesChanged_ = 1, rulesRead_ = 0;
    std::uint64_t evaluation_ = 0;
    std::unordered_map<std::string, std::unique_ptr<TRegex>> patterns_;
    std::string scratchText_;  // field text when caching is off
    // Where the evaluated header's lines begin, found once for all its fields.
    std::unique_ptr<TLineStarts> headerLines_;
    std::uint64_t headerLinesEvaluation_ = 0;
    std::unique_ptr<THeaderFieldScan> headerFieldScan_;
    std::vector<TRegex*> scanPatterns_;  // kept for their room
    std::vector<std::string*> scanTexts_;
    int rulesToken_ = 0;
};
