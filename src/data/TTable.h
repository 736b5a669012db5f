#pragma once

#include "data/TField.h"
#include "data/TTableFile.h"
#include "platform/DateTime.h"

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// An in-memory table of typed fields with a current row, in the manner of a
// client dataset: navigation over the visible rows (active index, filter,
// master-detail link), an edit buffer for append/edit, hooks and change
// notification. A table with a file name keeps its rows in that file.
class TTable {
public:
    using TBookmark = std::uint64_t;
    enum class TState { Browse, Edit, Insert };
    // Scroll: another row became current. Data: the current row's values changed.
    // State: edit mode began or ended. Reset: the visible rows changed as a whole.
    // Values: values of any rows changed, while the rows, their order and the
    // current row stayed (what a quiet spell of edits ends with).
    enum class TChange { Scroll, Data, State, Reset, Values };
    using TListener = std::function<void(TTable&, TChange)>;
    // Rows: a grid of the stored rows; a row being added is news once posted.
    // NewRowValues: also each value set in a row being added (the edit boxes
    // of the current row, a list that edits its new row in place).
    enum class TInterest { Rows, NewRowValues };

    TTable(std::string name, std::vector<TFieldDef> fields);
    ~TTable();
    TTable(const TTable&) = delete;
    TTable& operator=(const TTable&) = delete;

    const std::string& Name() const { return name_; }

    // --- fields
    const std::vector<TFieldDef>& Fields() const { return fields_; }
    int FieldIndex(std::string_view field) const;  // -1 when unknown
    const TFieldDef& FieldDef(std::string_view field) const;
    TFieldDef& FieldDef(std::string_view field);
    // The order in which grids show the fields (stored order by default).
    void SetColumnOrder(const std::vector<std::string>& names);
    const std::vector<int>& ColumnOrder() const { return columns_; }

    // --- file
    void SetFileName(std::string fileName);
    const std::string& FileName() const { return fileName_; }
    // Loads the file into the (empty) table. A file whose stored fields differ
    // from the declared ones in names or types is a failure; after a failure,
    // and when the file was locked, the table stays empty and refuses to save
    // until DiscardFile.
    TLoadResult Load();
    bool LoadFailed() const { return loadFailed_; }
    const std::string& LastError() const { return lastError_; }
    // Deletes the file and its side files (after a failed load the caller may
    // start afresh; the file may have been moved away already).
    void DiscardFile();
    // Writes the pending changes (posted rows, deletions) in one transaction.
    bool Save();
    bool HasUnsavedChanges() const { return !dirty_.empty() || !deleted_.empty() || dirtyCounter_; }
    // Saves after every successful post (and so writes earlier deletions too).
    void SetSaveAfterPost(bool on) { saveAfterPost_ = on; }
    // Writes unsaved changes and lets go of the file; throws TTableError when it cannot write.
    void Close();

    // --- navigation over the visible rows
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const;
    bool Bof() const;
    bool IsEmpty() const { return RecordCount() == 0; }
    int RecordCount() const;
    int RecNo() const;  // 1-based; 0 without a current row
    void SetRecNo(int recNo);

    // --- values of the current row (of the edit buffer while editing)
    const TValue& Value(std::string_view field) const;
    const TValue& Value(int fieldIndex) const;
    // A value of any visible row (1-based, in the current order) without
    // moving the current row: what a grid draws. Null outside the rows.
    const TValue& ValueAt(int recNo, int fieldIndex) const;
    std::string AsString(std::string_view field) const;
    std::int64_t AsInteger(std::string_view field) const;
    bool AsBoolean(std::string_view field) const;
    TDateTime AsDateTime(std::string_view field) const;
    bool IsNull(std::string_view field) const { return ::IsNull(Value(field)); }
    // Needs edit or insert mode. Strings are cut to the field size.
    void SetValue(std::string_view field, TValue value);
    // By the place FieldIndex gives, for callers that set the same fields of many rows.
    void SetValue(int fieldIndex, TValue value);
    // Parses the text for the field's type; throws TTableError when it does not fit.
    void SetAsString(std::string_view field, const std::string& text);
    // Calculated fields may be set in any mode (from OnCalcFields).
    void SetCalculated(std::string_view field, TValue value);
    // Runs OnCalcFields over every row again (after the looked-up names changed).
    void RecalculateAll();

    // --- editing
    TState State() const { return state_; }
    void Append();
    void Edit();
    // False when BeforePost cancelled it (the row stays in edit mode). Throws
    // TTableError for an empty required field, naming the field, or when the
    // save after the post fails.
    bool Post();
    // Post, leaving the change for the next Save even with SaveAfterPost on.
    bool PostWithoutSaving();
    void Cancel();
    void Delete();
    // Removes every row, as if deleted one by one.
    void EmptyTable();

    // --- search
    bool Locate(std::string_view field, const TValue& value, bool caseInsensitive = false);
    TValue Lookup(std::string_view keyField, const TValue& key, std::string_view resultField) const;
    // Adds to an integer field of the first row, visible or not, whose keyField
    // holds key, without moving the current row; a counter that must not
    // disturb what the user looks at. Left for the next Save. The edit buffer
    // of that row takes the addition too. Calculated fields are not worked
    // out again: a counter feeds none of them. False without such a row.
    bool AddToInteger(std::string_view keyField, const TValue& key, std::string_view field, std::int64_t amount);
    TBookmark Bookmark() const;
    bool BookmarkValid(TBookmark bookmark) const;
    bool GotoBookmark(TBookmark bookmark);

    // --- order and visibility
    // fields: names separated by ";".
    void AddIndex(const std::string& indexName, const std::string& fields, bool descending = false,
                  bool caseInsensitive = false);
    void SetIndexName(const std::string& indexName);  // "" for the order of adding
    const std::string& IndexName() const { return indexName_; }
    bool HasIndex(const std::string& indexName) const;
    // "idaccount=5"; empty shows every row.
    void SetFilter(const std::string& expression);
    const std::string& Filter() const { return filterText_; }
    void SetFiltered(bool on);
    bool Filtered() const { return filtered_; }
    // Shows only rows whose detailField equals the master's masterField; new rows take that key.
    void SetMaster(TTable* master, const std::string& masterField, const std::string& detailField);

    // --- hooks
    std::function<bool(TTable&)> BeforePost;  // false cancels the post silently
    std::function<void(TTable&)> AfterPost;
    std::function<void(TTable&)> AfterInsert;
    std::function<void(TTable&)> OnCalcFields;  // sets calculated fields of the current row

    // --- change notification
    int Subscribe(TListener listener, TInterest interest = TInterest::Rows);
    void Unsubscribe(int token);
    // Nestable; quiets the detail tables too. Changes meanwhile give one
    // notification at the end: Values when the same rows stand in the same
    // order with the same current row, else Reset.
    void DisableControls();
    void EnableControls();

    // Every row, visible or not, in the order of adding (for saving and tests).
    size_t RowCountAll() const { return rows_.size(); }

private:
    struct TRow {
        TBookmark key = 0;
        std::vector<TValue> values;
        bool persisted = false;
    };
    struct TIndex {
        std::string name;
        std::vector<int> fields;
        bool descending = false;
        bool caseInsensitive = false;
    };

    bool PostRow(bool save);
    void CheckBrowse(const char* operation) const;
    int RequireField(std::string_view field) const;
    TValue Coerce(const TFieldDef& def, TValue value) const;
    void EnsureView() const;
    void InvalidateView();
    void PlaceAddedRow(TRow& row);
    bool RowVisible(const TRow& row) const;
    bool RowLess(const TRow* a, const TRow* b) const;
    void SetCurrent(int position);
    void Notify(TChange change);
    void Broadcast(TChange change, TInterest reach = TInterest::Rows);
    void BeginQuiet();
    void EndQuiet();
    bool OrderOrVisibilityCalculated() const;
    bool OrderOrVisibilityUses(int field) const;
    bool OrderOrVisibilityChanged(const std::vector<TValue>& before, const std::vector<TValue>& after) const;
    void MasterChanged();
    void CalcRow(TRow& row);
    void MarkDirty(TRow& row);
    TRow* RowOfKey(TBookmark key) const;
    std::vector<TStoredField> StoredLayout() const;
    static bool ValuesEqual(const TValue& a, const TValue& b, bool caseInsensitive);

    std::string name_;
    std::vector<TFieldDef> fields_;
    std::vector<int> columns_;

    std::vector<std::unique_ptr<TRow>> rows_;
    TBookmark nextKey_ = 1;
    std::int64_t nextAutoInc_ = 1;
    int autoIncField_ = -1;

    TState state_ = TState::Browse;
    std::vector<TValue> buffer_;
    mutable TRow* current_ = nullptr;
    TRow* calcRow_ = nullptr;
    TRow* beforeInsert_ = nullptr;
    mutable std::vector<TRow*> view_;
    struct TFieldHint {
        const char* name = nullptr;
        std::size_t index = 0;
    };
    mutable std::array<TFieldHint, 64> fieldHints_{};  // sets of two, by a hash of the name's address
    mutable bool viewValid_ = false;
    mutable int position_ = -1;
    bool eof_ = true, bof_ = true;

    std::vector<TIndex> indexes_;
    std::string indexName_;
    int activeIndex_ = -1;

    std::string filterText_;
    int filterField_ = -1;
    TValue filterValue_;
    bool filtered_ = false;

    TTable* master_ = nullptr;
    int masterField_ = -1, detailField_ = -1;
    TValue masterKey_;
    std::vector<TTable*> details_;

    struct TSubscription {
        int token = 0;  // 0 once unsubscribed during a notification
        TInterest interest = TInterest::Rows;
        TListener listener;
    };
    // A list, so that a listener may subscribe another while it is being called.
    std::list<TSubscription> listeners_;
    int nextToken_ = 1;
    int notifying_ = 0;
    int newRowListeners_ = 0;
    int disabled_ = 0;
    // Own DisableControls and the master's; what stood when it began.
    int quiet_ = 0;
    bool changedWhileQuiet_ = false;
    // Counts changes of which rows are visible, or of their order.
    std::uint64_t layout_ = 0;
    struct TQuietStart {
        std::uint64_t layout = 0;
        const TRow* current = nullptr;
        TState state = TState::Browse;
        TValue masterKey;
    } quietStart_;

    std::string fileName_;
    std::unique_ptr<TTableFile> file_;
    std::unordered_set<TBookmark> dirty_;
    std::vector<TBookmark> deleted_;
    bool dirtyCounter_ = false;
    bool loadFailed_ = false;
    bool saveAfterPost_ = false;
    std::string lastError_;
};
