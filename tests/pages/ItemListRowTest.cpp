#include <gtest/gtest.h>

#include "core/CurrentRow.h"
#include "pages/ItemListRow.h"
#include "platform/DateTime.h"
#include "tests/pages/PagesTestSupport.h"

namespace lq {
namespace {

DateTime At(int y, int mo, int d, int h, int mi, int s) {
    return EncodeDateTime({y, mo, d, h, mi, s, 0});
}

CurrentRow SampleRow() {
    CurrentRow r;
    r.irange = 2;
    r.iaansw = 15;
    r.igansw = 3;
    r.irng_2 = 40;
    r.iplace = 7;
    r.ididnt = 12;
    r.dtansw = "2024-08-09 08:09:00";
    r.dtansn = "2024-08-12 08:09:00";
    r.strbef = "ab";
    return r;
}

TEST(ListRow, SummaryLineGolden) {
    const CurrentRow r = SampleRow();
    const std::string expected = std::string("1   ") + "  R:2" + "  A:15 " + "  G:3  " + "  I:40 " + "  P:7    " +
                                 "  N:12    " + "  D:2024-08-09 08:09:00 2024-08-12 08:09:00" + "    1.00";
    EXPECT_EQ(ListSummaryLine(r, 0, At(2024, 8, 10, 8, 9, 0)), expected);

    CurrentRow wide = SampleRow();
    wide.ididnt = 1234567;
    wide.dtansw = "garbage";
    const std::string line = ListSummaryLine(wide, 9999, 45000.0);
    EXPECT_EQ(line.substr(0, 6), "10000 ");
    EXPECT_NE(line.find("  N:1234567  D:garbage 2024-08-12 08:09:00 "), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 8), "    0.00");
}

TEST(ListRow, DatesAreReadInBaseTenAndBadDatesGiveAgeZero) {
    const DateTime last = At(2024, 8, 9, 12, 0, 0);
    EXPECT_EQ(ListRowAge("2024-08-09 08:09:00", last), static_cast<float>(last - At(2024, 8, 9, 8, 9, 0)));
    EXPECT_FLOAT_EQ(ListRowAge("2024-08-08 12:00:00", last), 1.0f);
    for (const char* bad : {"", "garbage", "2024-08-09", "2024-02-31 99:00:00", "0000-00-00 00:00:00"})
        EXPECT_EQ(ListRowAge(bad, last), 0.0f) << bad;
}

TEST(ListRow, MarkColourAndDueColour) {
    const std::pair<int, uint32_t> marks[] = {{39, 0xFFFFFF}, {40, 0x7878FF}, {890, 0x7878FF}, {891, 0x64F064}, {-5, 0xFFFFFF}};
    for (const auto& [irng2, colour] : marks) EXPECT_EQ(ListMarkColor(irng2), colour) << irng2;
    CurrentRow r = SampleRow();
    EXPECT_TRUE(ListRowNotDue(r, "2024-08-12 08:08:59"));
    EXPECT_FALSE(ListRowNotDue(r, "2024-08-12 08:09:00"));
    EXPECT_FALSE(ListRowNotDue(r, "2024-09-01 00:00:00"));
}

TEST(ListRow, BeforeTextNeedsMoreThanTwoCharacters) {
    CurrentRow r;
    for (const auto& [before, shown] : std::initializer_list<std::pair<const char*, const char*>>{
             {"", "---"}, {"ab", "---"}, {"abc", "abc"}})
    {
        r.strbef = before;
        EXPECT_EQ(ListBeforeText(r), shown);
    }
}

TEST(ListRow, RowsComeInQueueOrder) {
    test::PagesFixture f;
    f.InsertItem("first");
    f.InsertItem("second");
    f.Exec("UPDATE items2 SET iplace=10 WHERE stract='first';");
    CurrentRow r;
    ASSERT_TRUE(ReadListRow(f.db, 0, r));
    EXPECT_EQ(r.stract, "second");
    ASSERT_TRUE(ReadListRow(f.db, 1, r));
    EXPECT_EQ(r.stract, "first");
    EXPECT_FALSE(ReadListRow(f.db, 2, r));
    EXPECT_EQ(r.stract, "");  // no stale row
}

}  // namespace
}  // namespace lq
