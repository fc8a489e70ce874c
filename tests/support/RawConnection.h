#pragma once
// The tests' one way to the raw connection of a Database: for what only the engine's own calls
// can do to it (a trace, a second thread's statement behind the class's back, a busy timeout).
#include <sqlite3.h>

#include "core/Database.h"

namespace lq {

class DatabaseTestAccess {
public:
    static sqlite3* Handle(const Database& db) { return db.db_; }
};

namespace test {
inline sqlite3* RawHandle(const Database& db) { return DatabaseTestAccess::Handle(db); }
}  // namespace test

}  // namespace lq
