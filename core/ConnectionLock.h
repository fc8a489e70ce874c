#pragma once
// The connection's own mutex (serialized mode), held for a scope: statements of other threads
// wait, those of this thread run (the mutex is recursive). Lets a caller run a statement and read
// what only the last statement leaves behind (sqlite3_changes, sqlite3_get_autocommit) without
// another thread's statement in between. Does nothing on a connection without a mutex.
#include <sqlite3.h>

namespace lq {

class ConnectionLock {
public:
    explicit ConnectionLock(sqlite3* db) : mutex_(db ? sqlite3_db_mutex(db) : nullptr) { sqlite3_mutex_enter(mutex_); }
    ~ConnectionLock() { sqlite3_mutex_leave(mutex_); }
    ConnectionLock(const ConnectionLock&) = delete;
    ConnectionLock& operator=(const ConnectionLock&) = delete;

private:
    sqlite3_mutex* mutex_;  // null when the library is single-threaded; the calls accept that
};

}  // namespace lq
