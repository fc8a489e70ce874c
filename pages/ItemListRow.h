#pragma once
// One row of the List page: the sentence at place r of the learning queue with its scheduling
// figures, its coloured mark and its texts.
#include <cstdint>
#include <string>
#include <string_view>

namespace lq {

class Database;
struct CurrentRow;

// "SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?,1;" for row r into `row`. False when the
// row could not be read (or there is none): the row store is then left fresh.
bool ReadListRow(const Database& db, int r, CurrentRow& row);

// The mark's fill by irng_2 (0x00RRGGBB): white below 40, blue from 40 to 890, green above.
uint32_t ListMarkColor(int irng2);

// Days from the date text `dtansw` to `lastNextTime`, in single precision; 0 when the text is
// not a valid "yyyy-mm-dd hh:nn:ss" date (every field is read base 10).
float ListRowAge(std::string_view dtansw, double lastNextTime);

// "%-4i  R:%-1i  A:%-3i  G:%-3i  I:%-3i  P:%-5i  N:%-6i  D:%s %s %7.2f" with r + 1, irange,
// iaansw, igansw, irng_2, iplace, ididnt, dtansw, dtansn and the age.
std::string ListSummaryLine(const CurrentRow& row, int r, double lastNextTime);

// Blue when the sentence is not yet due: dtansn after `nowText` by byte order.
bool ListRowNotDue(const CurrentRow& row, const std::string& nowText);

// strbef when it is longer than 2 characters, else "---".
std::string ListBeforeText(const CurrentRow& row);

}  // namespace lq
