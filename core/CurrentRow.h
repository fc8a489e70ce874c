#pragma once
// The row store: the values the last read left, one field per known column name of the four
// tables, plus the aggregates. Reads that go on silently after a failure keep what it holds.
#include <string>

namespace lq {

// One value per known column name of the four tables, plus the aggregates.
struct CurrentRow {
    std::string sfname;
    int isigns = 1;
    int CountResult = 0;  // "count(*)"
    int ididnt = -1;
    int isound = -1;
    int isndbg = 0, isndfn = 0, irange = 0, irng_2 = 0, iaansw = 0, igansw = 0;
    std::string dtansw, dtansn;
    int iplace = 0;
    int isntbf = -1, isntaf = -1;
    std::string strbef, stract, straft, strtrn, strind;
    int ipicnm = 0, ipic_1 = 0, ipic_2 = 0, ipic_3 = 0, ipic_4 = 0, ipic_5 = 0;
    float glrang = 0.0f;
    std::string dtdate;
    int isentn = 0;
    float glansn = 0.0f;
    int istate = 0, icount = 0, ianswr = 0;
    std::string twordd;
    float GlrangSum = 0.0f;
    int IntAggregate = 0;      // "max(igansw)", "sum(irng_2)"
    float FloatAggregate = 0;  // "max(glrang)", "min(glrang)"
};

// The row callback: each non-NULL column of a row goes into the field of its name.
void StoreCurrentRow(CurrentRow& row, int columnCount, char** values, char** names);

}  // namespace lq
