#include "data/TTableFile.h"

#include <sqlite3.h>

#include <chrono>
#include <filesystem>

namespace {

// Owns one prepared statement.
class TStatement {
public:
    TStatement() = default;
    TStatement(sqlite3* db, const std::string& sql) { sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr); }
    ~TStatement() { sqlite3_finalize(stmt_); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;
    TStatement(TStatement&& other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
    TStatement& operator=(TStatement&& other) noexcept {
        std::swap(stmt_, other.stmt_);
        return *this;
    }
    sqlite3_stmt* get() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

std::string Quoted(const std::string& name) {
    std::string q = "\"";
    for (char c : name) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

void Bind(sqlite3_stmt* stmt, int index, const TValue& value) {
    if (auto i = std::get_if<std::int64_t>(&value))
        sqlite3_bind_int64(stmt, index, *i);
    else if (auto b = std::get_if<bool>(&value))
        sqlite3_bind_int(stmt, index, *b ? 1 : 0);
    else if (auto d = std::get_if<double>(&value))
        sqlite3_bind_double(stmt, index, *d);
    else if (auto s = std::get_if<std::string>(&value))
        // Text is kept in the program's 8-bit code page, so it is stored as bytes.
        sqlite3_bind_blob(stmt, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(stmt, index);
}

TValue Column(sqlite3_stmt* stmt, int index, const std::string& type) {
    if (sqlite3_column_type(stmt, index) == SQLITE_NULL) return {};
    if (type == "Boolean") return sqlite3_column_int(stmt, index) != 0;
    if (type == "DateTime") return sqlite3_column_double(stmt, index);
    if (type == "String" || type == "Memo") {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, index));
        return std::string(data ? data : "", static_cast<size_t>(sqlite3_column_bytes(stmt, index)));
    }
    return static_cast<std::int64_t>(sqlite3_column_int64(stmt, index));
}

std::string Text(sqlite3_stmt* stmt, int index) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
    return text ? text : "";
}

// Another connection holds the file: not a damaged file.
bool IsLockError(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

std::chrono::milliseconds& BusyTimeoutSetting() {
    static std::chrono::milliseconds timeout{2000};
    return timeout;
}

// The log and the journal hold changes of the file; the index is rebuilt from the log.
const char* const kChangeSideFiles[] = {"-wal", "-journal"};
const char kLogIndexSideFile[] = "-shm";

}  // namespace

struct TTableFile::Statements {
    TStatement upsert, remove, meta;
};

TTableFile::TTableFile(std::string path) : path_(std::move(path)) {}

TTableFile::~TTableFile() { Close(); }

void TTableFile::Close() {
    statements_.reset();
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
    writeModeSet_ = false;
}

void TTableFile::SetBusyTimeout(std::chrono::milliseconds timeout) { BusyTimeoutSetting() = timeout; }

std::chrono::milliseconds TTableFile::BusyTimeout() { return BusyTimeoutSetting(); }

void TTableFile::Remove(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    for (const char* side : kChangeSideFiles) std::filesystem::remove(path + side, ec);
    std::filesystem::remove(path + kLogIndexSideFile, ec);
}

std::string TTableFile::KeepAside(const std::string& path, std::string& error) {
    std::error_code ec;
    std::string kept = path + ".damaged";
    for (int n = 2; std::filesystem::exists(kept, ec); ++n) kept = path + ".damaged" + std::to_string(n);
    std::filesystem::rename(path, kept, ec);
    if (ec) {
        error = ec.message();
        return {};
    }
    for (const char* side : kChangeSideFiles)
        if (std::filesystem::exists(path + side, ec)) std::filesystem::rename(path + side, kept + side, ec);
    std::filesystem::remove(path + kLogIndexSideFile, ec);
    return kept;
}

bool TTableFile::Fail(const std::string& what) {
    error_ = path_ + ": " + what + (db_ ? std::string(": ") + sqlite3_errmsg(db_) : std::string());
    return false;
}

bool TTableFile::Open(bool create) {
    if (db_) return true;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        Fail("cannot open");
        Close();
        return false;
    }
    sqlite3_busy_timeout(db_, static_cast<int>(BusyTimeout().count()));
    return true;
}

bool TTableFile::Exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error_ = path_ + ": " + (message ? message : "error");
    sqlite3_free(message);
    return false;
}

TLoadResult TTableFile::ReadFailure(const std::string& what) {
    const bool locked = IsLockError(sqlite3_errcode(db_));
    Fail(locked ? "locked by another program" : what);
    return locked ? TLoadResult::Locked : TLoadResult::Failed;
}

TLoadResult TTableFile::Read(TStoredTable& out) {
    out = {};
    if (!std::filesystem::exists(path_)) return TLoadResult::Missing;
    if (!Open(false)) return TLoadResult::Failed;
    // One read transaction, so that the layout and the rows are of one moment.
    TLoadResult result = Exec("BEGIN") ? ReadTables(out) : ReadFailure("cannot read");
    if (result == TLoadResult::Loaded && !Exec("COMMIT")) result = ReadFailure("cannot read");
    if (result != TLoadResult::Loaded) {
        const std::string reason = error_;
        Exec("ROLLBACK");
        error_ = reason;
        out = {};
        Close();
        return result;
    }
    columns_ = out.layout.size();
    return result;
}

TLoadResult TTableFile::ReadTables(TStoredTable& out) {
    TStatement layout(db_, "SELECT name, type, size FROM fielddefs ORDER BY position");
    if (!layout) return ReadFailure("not a table file");
    int rc;
    while ((rc = sqlite3_step(layout.get())) == SQLITE_ROW)
        out.layout.push_back({Text(layout.get(), 0), Text(layout.get(), 1), sqlite3_column_int(layout.get(), 2)});
    if (rc != SQLITE_DONE) return ReadFailure("damaged table file");
    std::string columns = "rowkey";
    for (const auto& f : out.layout) columns += ", " + Quoted(f.name);
    TStatement rows(db_, "SELECT " + columns + " FROM rows ORDER BY rowkey");
    TStatement meta(db_, "SELECT value FROM meta WHERE key = 'nextautoinc'");
    if (!rows || !meta) return ReadFailure("damaged table file");
    while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
        TStoredRow row;
        row.key = static_cast<std::uint64_t>(sqlite3_column_int64(rows.get(), 0));
        for (size_t i = 0; i < out.layout.size(); ++i)
            row.values.push_back(Column(rows.get(), static_cast<int>(i + 1), out.layout[i].type));
        out.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) return ReadFailure("damaged table file");
    rc = sqlite3_step(meta.get());
    if (rc == SQLITE_ROW)
        out.nextAutoInc = sqlite3_column_int64(meta.get(), 0);
    else if (rc != SQLITE_DONE)
        return ReadFailure("damaged table file");
    return TLoadResult::Loaded;
}

std::optional<std::vector<TStoredField>> TTableFile::ReadLayout(const std::string& path) {
    TTableFile file(path);
    TStoredTable table;
    if (file.Read(table) != TLoadResult::Loaded) return std::nullopt;
    return table.layout;
}

bool TTableFile::UseWriteAheadLog() {
    TStatement mode(db_, "PRAGMA journal_mode=WAL");
    if (!mode || sqlite3_step(mode.get()) != SQLITE_ROW) return Fail("cannot choose the journal");
    // A file system without shared memory keeps the rollback journal, and
    // with it the full flushes that keep that journal safe.
    if (Text(mode.get(), 0) == "wal" && !Exec("PRAGMA synchronous=NORMAL")) return false;
    writeModeSet_ = true;
    return true;
}

bool TTableFile::CreateSchema(const std::vector<TStoredField>& layout) {
    std::string create = "CREATE TABLE rows (rowkey INTEGER PRIMARY KEY";
    for (const auto& f : layout) create += ", " + Quoted(f.name);
    create += ")";
    if (!Exec("CREATE TABLE fielddefs (position INTEGER PRIMARY KEY, name TEXT NOT NULL, "
              "type TEXT NOT NULL, size INTEGER NOT NULL)") ||
        !Exec(create.c_str()) || !Exec("CREATE TABLE meta (key TEXT PRIMARY KEY, value)"))
        return false;
    TStatement insert(db_, "INSERT INTO fielddefs VALUES (?, ?, ?, ?)");
    for (size_t i = 0; i < layout.size(); ++i) {
        sqlite3_bind_int(insert.get(), 1, static_cast<int>(i));
        sqlite3_bind_text(insert.get(), 2, layout[i].name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert.get(), 3, layout[i].type.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert.get(), 4, layout[i].size);
        if (sqlite3_step(insert.get()) != SQLITE_DONE) return Fail("cannot record the field definitions");
        sqlite3_reset(insert.get());
    }
    return true;
}

bool TTableFile::Write(const std::vector<TStoredField>& layout, const std::vector<const TStoredRow*>& changed,
                       const std::vector<std::uint64_t>& deleted, std::int64_t nextAutoInc) {
    error_.clear();
    if (!Open(true)) return false;
    if (!writeModeSet_ && !UseWriteAheadLog()) return false;
    if (!Exec("BEGIN IMMEDIATE")) return false;
    auto rollback = [this](bool ok) {
        if (!ok) {
            const std::string reason = error_;
            Exec("ROLLBACK");
            error_ = reason;
            statements_.reset();
        }
        return ok;
    };
    if (!statements_) {
        TStatement exists(db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'fielddefs'");
        if (!exists) return rollback(Fail("not a table file"));
        if (sqlite3_step(exists.get()) != SQLITE_ROW && !CreateSchema(layout)) return rollback(false);
        std::string insert = "INSERT OR REPLACE INTO rows VALUES (?";
        for (size_t i = 0; i < layout.size(); ++i) insert += ", ?";
        insert += ")";
        auto s = std::make_unique<Statements>();
        s->upsert = TStatement(db_, insert);
        s->remove = TStatement(db_, "DELETE FROM rows WHERE rowkey = ?");
        s->meta = TStatement(db_, "INSERT OR REPLACE INTO meta VALUES ('nextautoinc', ?)");
        if (!s->upsert || !s->remove || !s->meta) return rollback(Fail("layout of the file differs"));
        statements_ = std::move(s);
        columns_ = layout.size();
    }
    for (std::uint64_t key : deleted) {
        sqlite3_bind_int64(statements_->remove.get(), 1, static_cast<sqlite3_int64>(key));
        const int rc = sqlite3_step(statements_->remove.get());
        sqlite3_reset(statements_->remove.get());
        if (rc != SQLITE_DONE) return rollback(Fail("cannot delete a row"));
    }
    for (const TStoredRow* row : changed) {
        sqlite3_stmt* upsert = statements_->upsert.get();
        sqlite3_bind_int64(upsert, 1, static_cast<sqlite3_int64>(row->key));
        for (size_t i = 0; i < columns_; ++i)
            Bind(upsert, static_cast<int>(i + 2), i < row->values.size() ? row->values[i] : TValue{});
        const int rc = sqlite3_step(upsert);
        sqlite3_reset(upsert);
        if (rc != SQLITE_DONE) return rollback(Fail("cannot write a row"));
    }
    sqlite3_bind_int64(statements_->meta.get(), 1, nextAutoInc);
    const int rc = sqlite3_step(statements_->meta.get());
    sqlite3_reset(statements_->meta.get());
    if (rc != SQLITE_DONE) return rollback(Fail("cannot write the counter"));
    if (!Exec("COMMIT")) return rollback(false);
    return true;
}
