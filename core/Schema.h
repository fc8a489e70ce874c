#pragma once
// The lesson database's tables and indexes (Database::EnsureSchema makes them on opening).

namespace lq {

// The schema statements exactly as the database stores them in sqlite_master.
const char* const* SchemaStatements(int* count);

// Indexes added to every file on opening so that the learning step's reference queries are
// seeks. SQLite keeps them up to date for any program that writes the file, also one that does
// not know them; they change no statement's result. Both lead with igansw so that no statement
// that filters on isound or dtansn and orders by iplace is drawn away from the iplace index.
const char* const* SpeedIndexStatements(int* count);

}  // namespace lq
