#include "base/comma_list.h"

#include <gtest/gtest.h>

namespace zarezodud {
namespace {

using Items = std::vector<std::string>;

TEST(CommaList, TrimsDropsEmptyAndKeepsOrder) {
  EXPECT_EQ(splitCommaList(" A ,\tB\r\n, \v ,,C\f"), (Items{"A", "B", "C"}));
  EXPECT_EQ(splitCommaList("b,a,b"), (Items{"b", "a", "b"}));
}

TEST(CommaList, EmptyAndSeparatorOnlyValuesGiveNoItems) {
  EXPECT_TRUE(splitCommaList("").empty());
  EXPECT_TRUE(splitCommaList(" , ,, ").empty());
}

}  // namespace
}  // namespace zarezodud
