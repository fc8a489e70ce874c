#pragma once
// What the caches of the lesson tables share: the date texts as numbers and the column positions
// their row reports need.
#include <initializer_list>
#include <string>
#include <utility>

namespace lq {

class Database;

// The 14 digits of a date text "yyyy-mm-dd hh:nn:ss" as one number into `key`; false for any
// other text. Such texts compare byte by byte as their numbers compare.
bool DateKey(const std::string& text, long long& key);
bool DateKey(const unsigned char* text, int bytes, long long& key);
// The date text of a key from DateKey.
std::string DateKeyText(long long key);

// The position of each named column of `table` into its int; false when one is missing.
bool ColumnIndexes(const Database& db, const char* table, std::initializer_list<std::pair<const char*, int*>> columns);

}  // namespace lq
