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

struct RestartCase {
    std::vector<std::string> params;
    std::vector<std::string> expected;
};

void PrintTo(const RestartCase& c, std::ostream* os) {
    for (const std::string& p : c.params) *os << '[' << p << ']';
}

class RestartArgumentsTest : public ::testing::TestWithParam<RestartCase> {};

// The new copy gets the options the old one was started with, and reads them back the same way
// (without ever taking the import road).
TEST_P(RestartArgumentsTest, PassOnDebugAndDbfile) {
    const ProgramOptions o = ParseOptions(GetParam().params);
    const std::vector<std::string> args = RestartArguments(o);
    EXPECT_EQ(args, GetParam().expected);

    std::vector<std::string> next{"/x/lindquest"};
    next.insert(next.end(), args.begin(), args.end());
    const ProgramOptions again = ParseOptions(next);
    EXPECT_EQ(again.debug, o.debug);
    EXPECT_EQ(again.dbFile, o.dbFile);
    std::vector<char*> argv;
    for (std::string& a : next) argv.push_back(a.data());
    EXPECT_EQ(FindAddItemsArg(RawCommandLine(static_cast<int>(argv.size()), argv.data())), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestartArgumentsTest,
    ::testing::Values(RestartCase{{"prog"}, {}}, RestartCase{{"prog", "-debug"}, {"-debug"}},
                      RestartCase{{"prog", "-dbfile", "x"}, {"-dbfile", "x"}},
                      RestartCase{{"prog", "-dbfile", "alt.db", "-debug"}, {"-debug", "-dbfile", "alt.db"}},
                      RestartCase{{"prog", "-DeBuG"}, {"-debug"}},
                      RestartCase{{"prog", "-DBFILE", "Alt.DB"}, {"-dbfile", "Alt.DB"}},
                      RestartCase{{"prog", "x", "-dbfile"}, {}},
                      RestartCase{{"prog", "-dbfile", "a.db", "-dbfile", "b.db"}, {"-dbfile", "b.db"}},
                      RestartCase{{"prog", "-dbfile", "my lessons.db"}, {"-dbfile", "my lessons.db"}},
                      RestartCase{{"prog", "-dbfile", "уроки 1.db"},
                                  {"-dbfile", "уроки 1.db"}},
                      RestartCase{{"prog", "-dbfile", "/data/QV_01.db"}, {"-dbfile", "/data/QV_01.db"}},
                      // A name that ends in the import key stays last, where the key has nothing after it.
                      RestartCase{{"prog", "-dbfile", "a-additems"}, {"-dbfile", "a-additems"}},
                      RestartCase{{"prog", "-dbfile", "-debug"}, {"-debug", "-dbfile", "-debug"}}));

}  // namespace
}  // namespace lq
