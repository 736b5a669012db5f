#pragma once

#include "data/TField.h"

#include <chrono>
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

// Locked: another connection kept the file locked for longer than the busy
// timeout, so nothing is known about its content; it is not a damaged file.
enum class TLoadResult { Loaded, Missing, Failed, Locked };

// A table file: an SQLite database with the field definitions in stored order
// (table "fielddefs"), the rows (table "rows", keyed by the row key) and the
// next auto-increment value (table "meta"). Every write is one transaction, so
// a killed process leaves the old or the new content, never a mix.
//
// The first write switches the file to a write-ahead log ("<file>-wal", with
// its index "<file>-shm"): a commit then needs no flush to disk of its own,
// only the log's checkpoints do. When the last connection closes, the log is
// written back and both side files are gone, so a closed file stands alone and
// may be copied. After a crash the log stays beside the file and is taken in
// by the next connection; whoever moves or deletes a table file must take its
// side files along (DiscardFile, KeepAside).
class TTableFile {
public:
    explicit TTableFile(std::string path);
    ~TTableFile();
    TTableFile(const TTableFile&) = delete;
    TTableFile& operator=(const TTableFile&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& LastError() const { return error_; }

    // Reads the whole file at one moment. Missing when there is no file;
    // Failed when it is not a table file, Locked when another connection keeps
    // it locked (LastError says why). Never changes the file.
    TLoadResult Read(TStoredTable& out);

    // Only the recorded field definitions; nothing when the file is missing or unreadable.
    static std::optional<std::vector<TStoredField>> ReadLayout(const std::string& path);

    // Writes the changed rows and removes the deleted keys in one transaction,
    // creating the file with the given layout when it does not exist yet.
    bool Write(const std::vector<TStoredField>& layout, const std::vector<const TStoredRow*>& changed,
               const std::vector<std::uint64_t>& deleted, std::int64_t nextAutoInc);

    // Closes the connection; the next write opens it again.
    void Close();

    // Deletes the file with its side files.
    static void Remove(const std::string& path);
    // Moves an unreadable file out of the way as "<path>.damaged", or
    // "<path>.damaged2", ... when that is taken, with the log or journal that
    // belongs to it. Returns the new name; empty when it could not be moved,
    // with the reason in error.
    static std::string KeepAside(const std::string& path, std::string& error);

    // How long a read or write waits for another connection's lock before it
    // gives up; for every table file the process opens from then on. Two
    // seconds unless set.
    static void SetBusyTimeout(std::chrono::milliseconds timeout);
    static std::chrono::milliseconds BusyTimeout();

private:
    struct Statements;
    bool Open(bool create);
    bool Exec(const char* sql);
    bool Fail(const std::string& what);
    TLoadResult ReadFailure(const std::string& what);
    TLoadResult ReadTables(TStoredTable& out);
    bool UseWriteAheadLog();
    bool CreateSchema(const std::vector<TStoredField>& layout);

    std::string path_;
    std::string error_;
    sqlite3* db_ = nullptr;
    std::unique_ptr<Statements> statements_;
    size_t columns_ = 0;
    bool writeModeSet_ = false;  // per connection
};
