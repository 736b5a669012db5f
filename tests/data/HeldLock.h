#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>

// Another program's hold on a table file: a connection of its own in the
// middle of a write transaction, as another Tarnwick saving, or one that
// hangs there. Released when the object goes.
class THeldLock {
public:
    enum class TKind {
        RollbackJournal,  // the file in rollback-journal mode, an exclusive write transaction
        ExclusiveWal,     // the file in WAL mode, the connection in exclusive locking mode
    };

    THeldLock(const std::string& path, TKind kind) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            Fail("cannot open " + path);
        Exec(kind == TKind::RollbackJournal ? "PRAGMA journal_mode=DELETE"
                                            : "PRAGMA locking_mode=EXCLUSIVE; PRAGMA journal_mode=WAL");
        Exec("BEGIN EXCLUSIVE; INSERT OR REPLACE INTO meta VALUES ('held', 1)");
    }
    ~THeldLock() {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
    }
    THeldLock(const THeldLock&) = delete;
    THeldLock& operator=(const THeldLock&) = delete;

private:
    void Exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
    }
    [[noreturn]] void Fail(const std::string& what) {
        const std::string message = what + ": " + sqlite3_errmsg(db_);
        sqlite3_close(db_);
        throw std::runtime_error(message);
    }

    sqlite3* db_ = nullptr;
};
