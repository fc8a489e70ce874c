#include "core/CacheSupport.h"

#include <sqlite3.h>

#include <cstdio>

#include "core/Database.h"
#include "core/SqlText.h"

namespace lq {

bool DateKey(const unsigned char* text, int bytes, long long& key) {
    static const char kShape[] = "dddd-dd-dd dd:dd:dd";
    if (bytes != 19) return false;
    key = 0;
    for (int i = 0; i < 19; ++i) {
        if (kShape[i] == 'd') {
            if (text[i] < '0' || text[i] > '9') return false;
            key = key * 10 + (text[i] - '0');
        } else if (text[i] != static_cast<unsigned char>(kShape[i])) {
            return false;
        }
    }
    return true;
}

bool DateKey(const std::string& text, long long& key) {
    return DateKey(reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()), key);
}

std::string DateKeyText(long long key) {
    const long long second = key % 100, minute = key / 100 % 100, hour = key / 10000 % 100;
    const long long day = key / 1000000 % 100, month = key / 100000000 % 100, year = key / 10000000000;
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", year, month, day, hour, minute, second);
    return text;
}

bool ColumnIndexes(const Database& db, const char* table, std::initializer_list<std::pair<const char*, int*>> columns) {
    for (const auto& column : columns) *column.second = -1;
    const SqlResult r = db.Scan(Sql("PRAGMA table_info(%Q);", table).c_str(), [&](const ScanRow& row) {
        const std::string name(row.Text(1));
        for (const auto& [wanted, index] : columns)
            if (sqlite3_stricmp(name.c_str(), wanted) == 0) *index = static_cast<int>(row.Int(0));
    });
    if (!r.ok()) return false;
    for (const auto& column : columns)
        if (*column.second < 0) return false;
    return true;
}

}  // namespace lq
