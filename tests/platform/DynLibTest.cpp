#include <gtest/gtest.h>

#include <string>

#include "platform/DynLib.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

TEST(DynLib, LoadsALibraryAndFindsItsExports) {
    DynLib lib;
    ASSERT_TRUE(lib.Open(LQ_TEST_DYNLIB)) << lib.Error();
    EXPECT_TRUE(lib.IsOpen());
    EXPECT_TRUE(lib.Error().empty());
    using AddFn = int (*)(int, int);
    const auto add = reinterpret_cast<AddFn>(lib.Symbol("lq_test_add"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    const auto* value = static_cast<const int*>(lib.Symbol("lq_test_value"));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, 42);
    EXPECT_EQ(lib.Symbol("_ShowTransl"), nullptr);
    EXPECT_EQ(lib.Symbol(nullptr), nullptr);
}

TEST(DynLib, MissingOrBrokenFilesAreReported) {
    test::TempDir dir;
    DynLib lib;
    EXPECT_FALSE(lib.Open(dir.File("VORizu.so")));
    EXPECT_FALSE(lib.IsOpen());
    EXPECT_NE(lib.Error().find("VORizu.so"), std::string::npos) << lib.Error();
    EXPECT_EQ(lib.Symbol("lq_test_add"), nullptr);

    const std::string notALibrary = dir.Write("text.so", "this is no library\n");
    EXPECT_FALSE(lib.Open(notALibrary));
    EXPECT_FALSE(lib.Error().empty());
}

TEST(DynLib, OnlyAbsolutePaths) {
    DynLib lib;
    EXPECT_FALSE(lib.Open("libc.so.6"));  // would be found on the system's search path
    EXPECT_FALSE(lib.IsOpen());
    EXPECT_FALSE(lib.Error().empty());
    EXPECT_FALSE(lib.Open(""));
}

}  // namespace
}  // namespace lq
