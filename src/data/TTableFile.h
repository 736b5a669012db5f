#pragma once

#include "data/TField.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

// A stored field definition as the file records it.
struct TStoredField {
    std::string name;
    std::string type;
    int size = 0;
    bool operator==(const TStoredField&) const = default;
};

// One row as the file holds it: its key and the values of the stored fields.
struct TStoredRow {
    std::uint64_t key = 0;
    std::vector<TValue> values;
};

struct TStoredTable {
    std::vector<TStoredField> layout;
    std::vector<TStoredRow> rows;
    std::int64_t nextAutoInc = 1;
};

enum class TLoadResult { Loaded, Missing, Failed };

// A table file: an SQLite database with the field definitions in stored order
// (table "fielddefs"), the rows (table "rows", keyed by the row key) and the
// next auto-increment value (table "meta"). Every write is one transaction, so
// a killed process leaves the old or the new content, never a mix.
class TTableFile {
public:
    explicit TTableFile(std::string path);
    ~TTableFile();
    TTableFile(const TTableFile&) = delete;
    TTableFile& operator=(const TTableFile&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& LastError() const { return error_; }

    // Reads the whole file. Missing when there is no file; Failed when it is
    // not a table file (LastError says why). Never changes the file.
    TLoadResult Read(TStoredTable& out);

    // Only the recorded field definitions; nothing when the file is missing or unreadable.
    static std::optional<std::vector<TStoredField>> ReadLayout(const std::string& path);

    // Writes the changed rows and removes the deleted keys in one transaction,
    // creating the file with the given layout when it does not exist yet.
    bool Write(const std::vector<TStoredField>& layout, const std::vector<const TStoredRow*>& changed,
               const std::vector<std::uint64_t>& deleted, std::int64_t nextAutoInc);

    // Closes the connection; the next write opens it again.
    void Close();

private:
    struct Statements;
    bool Open(bool create);
    bool Exec(const char* sql);
    bool Fail(const std::string& what);
    bool CreateSchema(const std::vector<TStoredField>& layout);

    std::string path_;
    std::string error_;
    sqlite3* db_ = nullptr;
    std::unique_ptr<Statements> statements_;
    size_t columns_ = 0;
};
