#include "pages/ItemListRow.h"

#include <cmath>
#include <cstdio>

#include "core/CurrentRow.h"
#include "core/Database.h"
#include "platform/CNumbers.h"
#include "platform/DateTime.h"

namespace lq {

bool ReadListRow(const Database& db, int r, CurrentRow& row) {
    row = CurrentRow();
    if (!db.QueryCached("SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?,1;", {r}, row).ok()) return false;
    return row.ididnt != -1;
}

uint32_t ListMarkColor(int irng2) {
    if (irng2 < 40) return 0xFFFFFF;
    if (irng2 <= 890) return 0x7878FF;  // RGB(120, 120, 255)
    return 0x64F064;                    // RGB(100, 240, 100)
}

float ListRowAge(std::string_view dtansw, double lastNextTime) {
    DateTime when = 0;
    if (!ParseDateText(dtansw, when)) return 0.0f;
    const float age = static_cast<float>(lastNextTime - when);
    return std::isfinite(age) ? age : 0.0f;
}

std::string ListSummaryLine(const CurrentRow& row, int r, double lastNextTime) {
    std::string age = FormatFixed(ListRowAge(row.dtansw, lastNextTime), 2);
    if (age.size() < 7) age.insert(0, 7 - age.size(), ' ');
    // Integers and texts only: printf's handling of them does not depend on the locale.
    const int n = std::snprintf(nullptr, 0, "%-4i  R:%-1i  A:%-3i  G:%-3i  I:%-3i  P:%-5i  N:%-6i  D:%s %s ", r + 1,
                                row.irange, row.iaansw, row.igansw, row.irng_2, row.iplace, row.ididnt,
                                row.dtansw.c_str(), row.dtansn.c_str());
    std::string out(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
    std::snprintf(out.data(), out.size(), "%-4i  R:%-1i  A:%-3i  G:%-3i  I:%-3i  P:%-5i  N:%-6i  D:%s %s ", r + 1,
                  row.irange, row.iaansw, row.igansw, row.irng_2, row.iplace, row.ididnt, row.dtansw.c_str(),
                  row.dtansn.c_str());
    out.resize(static_cast<size_t>(n > 0 ? n : 0));
    return out + age;
}

bool ListRowNotDue(const CurrentRow& row, const std::string& nowText) { return row.dtansn > nowText; }

std::string ListBeforeText(const CurrentRow& row) { return row.strbef.size() > 2 ? row.strbef : "---"; }

}  // namespace lq
