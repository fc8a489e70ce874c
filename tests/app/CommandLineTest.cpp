#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace lq {
namespace {

struct AddItemsCase {
    const char* raw;
    std::optional<std::string> expected;
};

class FindAddItemsArgTest : public ::testing::TestWithParam<AddItemsCase> {};

TEST_P(FindAddItemsArgTest, ScansTheRawLine) {
    EXPECT_EQ(FindAddItemsArg(GetParam().raw), GetParam().expected) << GetParam().raw;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindAddItemsArgTest,
    ::testing::Values(AddItemsCase{"-additems a.txt", "a.txt"}, AddItemsCase{"-additemsXa.txt", "a.txt"},
                      AddItemsCase{"-additems", std::nullopt}, AddItemsCase{"-additems ", ""},
                      AddItemsCase{"-additems my file.txt", "my"}, AddItemsCase{"-ADDITEMS a.txt", std::nullopt},
                      AddItemsCase{"x -additems a.txt -additems b.txt", "a.txt"},
                      AddItemsCase{"-additems\ta.txt", "a.txt"}, AddItemsCase{"-additems a.txt\tb", "a.txt\tb"},
                      AddItemsCase{"-dbfile x.db -additems u.txt", "u.txt"},
                      AddItemsCase{"\"-additems a.txt\"", "a.txt\""}, AddItemsCase{"", std::nullopt}));

TEST(FindAddItemsArg, LongNameIsReturnedWhole) {
    const std::string name(5000, 'n');
    EXPECT_EQ(FindAddItemsArg("-additems " + name + ".txt"), name + ".txt");
}

TEST(RawCommandLine, JoinsArgumentsAfterTheProgramWithSingleBlanks) {
    char a0[] = "/x/lindquest", a1[] = "-additems", a2[] = "unit07.txt";
    char* argv[] = {a0, a1, a2};
    EXPECT_EQ(RawCommandLine(3, argv), "-additems unit07.txt");
    EXPECT_EQ(RawCommandLine(1, argv), "");
}

struct OptionsCase {
    std::vector<std::string> params;
    bool debug;
    std::string db;
};

class ParseOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(ParseOptionsTest, ReadsDebugAndDbfile) {
    const ProgramOptions o = ParseOptions(GetParam().params);
    EXPECT_EQ(o.debug, GetParam().debug);
    EXPECT_EQ(o.dbFile, GetParam().db);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseOptionsTest,
    ::testing::Values(OptionsCase{{"prog", "-DeBuG"}, true, "QV_01.db"},
                      OptionsCase{{"prog", "-dbfile", "My.DB"}, false, "My.DB"},
                      OptionsCase{{"prog", "-dbfile"}, false, "QV_01.db"},
                      OptionsCase{{"prog", "-dbfile", "-debug"}, true, "-debug"},
                      OptionsCase{{"prog", "-dbfile", "a", "-DBFILE", "b"}, false, "b"},
                      OptionsCase{{"-debug"}, true, "QV_01.db"},  // the program's own name is tested too
                      OptionsCase{{"prog", "debug", "--debug"}, false, "QV_01.db"}));

}  // namespace
}  // namespace lq
