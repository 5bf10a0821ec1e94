#include "db/rows/rkdb_data_types.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <type_traits>

namespace zarezodud {
namespace {

static_assert(std::is_same<RKDB_int, RKDBPrimitiveType<int, &RKDB_int_format, 1>>::value, "int alias");
static_assert(std::is_base_of<RKDBCompositeType<RKTIMESTAMP_STRUCT, 5>, RKDB_datetime>::value, "datetime");
static_assert(std::is_base_of<RKDBCompositeType<std::string, 6>, RKDB_string>::value, "string");

TEST(RKDBValueTypes, ConstructionStateAndTypeCodes) {
  RKDB_int i;
  RKDB___int64 b;
  RKDB_datetime t;
  RKDB_string s;
  const RKDBDataTypeBase* all[] = {&i, &b, &t, &s};
  const int codes[] = {1, 4, 5, 6};
  for (int k = 0; k < 4; ++k) {
    EXPECT_TRUE(all[k]->isNull()) << k;
    EXPECT_EQ(all[k]->getUpdated(), RKDB_NOT_UPDATED) << k;
    EXPECT_FALSE(all[k]->getFlag()) << k;
    EXPECT_FALSE(all[k]->isChanged()) << k;
    EXPECT_EQ(all[k]->getWord(), 0) << k;
    EXPECT_TRUE(all[k]->getAuxText().empty()) << k;
    EXPECT_EQ(all[k]->getDataType(), codes[k]) << k;
  }
  EXPECT_EQ(i.getData(), 0);
  EXPECT_EQ(b.getData(), 0);
  EXPECT_EQ(t.getData(), RKTIMESTAMP_STRUCT{});
  EXPECT_TRUE(s.getData().empty());

  RKDB_int given(-42);
  EXPECT_FALSE(given.isNull());
  EXPECT_EQ(given.getUpdated(), RKDB_UPDATED_ONCE);
  EXPECT_EQ(given.getData(), -42);
  EXPECT_EQ(given.getStr(), "-42");
}

TEST(RKDBValueTypes, SetInternalNullOnlyActsOnAChange) {
  RKDB_string s;
  s.setValue("kept");
  ASSERT_TRUE(s.isChanged());
  s.setInternalNull(false);  // already not null: nothing happens
  EXPECT_TRUE(s.isChanged());
  EXPECT_EQ(s.getData(), "kept");

  s.setInternalNull(true);
  EXPECT_TRUE(s.isNull());
  EXPECT_FALSE(s.isChanged());
  EXPECT_TRUE(s.getData().empty());
  EXPECT_TRUE(s.getStr().empty());

  s.setChanged(true);
  s.setInternalNull(true);  // already null: the change flag stays
  EXPECT_TRUE(s.isChanged());
  s.setInternalNull(false);
  EXPECT_FALSE(s.isNull());
  EXPECT_FALSE(s.isChanged());
}

TEST(RKDBValueTypes, NullIntegerKeepsItsValue) {
  RKDB_int i(7);
  i.setInternalNull(true);
  EXPECT_EQ(i.getData(), 7);  // only text clears memory on null
  EXPECT_EQ(i.toString(0), "NULL");
}

TEST(RKDBValueTypes, UpdateChangesStopsAtTwo) {
  RKDB___int64 b;
  b.updateChanges();
  EXPECT_EQ(b.getUpdated(), RKDB_UPDATED_ONCE);
  b.updateChanges();
  EXPECT_EQ(b.getUpdated(), RKDB_UPDATED_MORE);
  b.updateChanges();
  EXPECT_EQ(b.getUpdated(), RKDB_UPDATED_MORE);

  RKDB_string s;
  s.setValue("a");
  s.setValue("b");
  s.updateChanges();
  EXPECT_EQ(s.getUpdated(), RKDB_UPDATED_MORE);
  s.setUpdated(RKDB_NOT_UPDATED);
  EXPECT_EQ(s.getUpdated(), RKDB_NOT_UPDATED);
}

TEST(RKDBValueTypes, CloneCopiesFlagsTextAndValueButNotWordOrAuxText) {
  RKDB_string source;
  source.setValue("hello");
  source.setFlag(true);
  source.setWord(99);
  source.setAuxText("aux");

  RKDB_string target;
  target.setWord(5);
  target.clone(&source);
  EXPECT_FALSE(target.isNull());
  EXPECT_EQ(target.getStr(), "hello");
  EXPECT_EQ(target.getData(), "hello");
  EXPECT_TRUE(target.isChanged());
  EXPECT_TRUE(target.getFlag());
  EXPECT_EQ(target.getUpdated(), RKDB_UPDATED_ONCE);  // advanced from its own 0
  EXPECT_EQ(target.getWord(), 5);
  EXPECT_TRUE(target.getAuxText().empty());

  RKDB_string copy(source);  // copy constructor clones
  EXPECT_EQ(static_cast<std::string>(copy), "hello");
  EXPECT_TRUE(copy.getFlag());
  EXPECT_EQ(copy.getWord(), 0);
  EXPECT_EQ(copy.getUpdated(), RKDB_UPDATED_ONCE);

  RKDB_int i(3);
  RKDB_int j;
  j.clone(&i);
  EXPECT_EQ(j.getData(), 3);
  EXPECT_EQ(j.getStr(), "3");

  // A source of another type gives only the common fields.
  RKDB_int k;
  k.clone(&source);
  EXPECT_EQ(k.getData(), 0);
  EXPECT_FALSE(k.isNull());
  k.clone(nullptr);
  EXPECT_EQ(k.getUpdated(), RKDB_UPDATED_ONCE);
}

TEST(RKDBValueTypes, IntegerSetDataCopiesBytesAndRefreshesText) {
  RKDB_int i;
  i.setChanged(true);
  const int value = -123456;
  EXPECT_EQ(i.setData(reinterpret_cast<const char*>(&value), 0, sizeof(value), false), 1);
  EXPECT_EQ(i.getData(), -123456);
  EXPECT_EQ(i.getStr(), "-123456");
  EXPECT_FALSE(i.isChanged());
  EXPECT_TRUE(i.isNull());  // the null flag is the caller's business

  RKDB___int64 b;
  const long long big = std::numeric_limits<long long>::min();
  EXPECT_EQ(b.setData(reinterpret_cast<const char*>(&big), 0, sizeof(big), false), 1);
  EXPECT_EQ(b.getStr(), "-9223372036854775808");

  // Partial copy at an offset replaces only those bytes.
  RKDB_int part(0);
  const char byte = 0x01;
  EXPECT_EQ(part.setData(&byte, 1, 1, false), 1);
  int expected = 0;
  std::memcpy(reinterpret_cast<char*>(&expected) + 1, &byte, 1);
  EXPECT_EQ(part.getData(), expected);
}

TEST(RKDBValueTypes, SetDataRefusesWhatDoesNotFit) {
  RKDB_int i(11);
  const long long wide = 1;
  EXPECT_EQ(i.setData(reinterpret_cast<const char*>(&wide), 0, sizeof(wide), false), 0);
  EXPECT_EQ(i.setData(reinterpret_cast<const char*>(&wide), 2, 4, false), 0);
  EXPECT_EQ(i.setData(reinterpret_cast<const char*>(&wide), -1, 1, false), 0);
  EXPECT_EQ(i.setData(nullptr, 0, 4, false), 0);
  EXPECT_EQ(i.getData(), 11);

  RKDB_datetime t;
  char raw[17] = {};
  EXPECT_EQ(t.setData(raw, 0, 17, false), 0);

  RKDB_string s;
  EXPECT_EQ(s.setData("x", 3, 1, false), 0);  // offset beyond the text
  EXPECT_EQ(s.setData("x", 0, -1, false), 0);
}

TEST(RKDBValueTypes, DatetimeSetDataCopiesTimestamp) {
  RKTIMESTAMP_STRUCT ts;
  ts.year = 2024;
  ts.month = 2;
  ts.day = 29;
  ts.hour = 23;
  ts.minute = 5;
  ts.second = 9;
  ts.fraction = 123000000;
  RKDB_datetime t;
  EXPECT_EQ(t.setData(reinterpret_cast<const char*>(&ts), 0, sizeof(ts), false), 1);
  EXPECT_EQ(t.getData(), ts);
  EXPECT_EQ(t.getStr(), "2024-02-29 23:05:09.123");

  RKDB_datetime u;
  u.clone(&t);
  EXPECT_EQ(u.getData(), ts);
}

TEST(RKDBValueTypes, StringSetDataAssignsAndAppendsPieces) {
  RKDB_string s;
  s.setValue("old text");
  EXPECT_EQ(s.setData("abc\0def", 0, 7, false), 1);
  EXPECT_EQ(s.getData(), std::string("abc\0def", 7));
  EXPECT_EQ(s.setData("XYZ", 3, 3, false), 1);
  EXPECT_EQ(s.getData(), "abcXYZ");
  EXPECT_EQ(s.getStr(), "abcXYZ");
  EXPECT_EQ(s.setData("pq\0rest", 0, 7, true), 1);  // terminated source
  EXPECT_EQ(s.getData(), "pq");
  EXPECT_EQ(s.setData(nullptr, 0, 0, false), 1);
  EXPECT_TRUE(s.getData().empty());
  EXPECT_FALSE(s.isChanged());
}

TEST(RKDBValueTypes, ToStringCutsToMaximum) {
  RKDB_string s;
  EXPECT_EQ(s.toString(0), "NULL");
  s.setValue("abcdef");
  EXPECT_EQ(s.toString(0), "abcdef");
  EXPECT_EQ(s.toString(3), "abc");
  RKDB___int64 b(1234567890123LL);
  EXPECT_EQ(b.getStr(), "1234567890123");
}

TEST(RKTimestamp, DbDatetimeClearAndAssignmentRules) {
  DB_DATETIME d;
  EXPECT_EQ(d.timestamp, RKTIMESTAMP_STRUCT{});
  EXPECT_EQ(d.flag, 0);
  EXPECT_EQ(d.area[0], 0);

  RKTIMESTAMP_STRUCT ts;
  ts.year = 1999;
  ts.second = 59;
  ts.fraction = 7;
  d.area[0] = 'x';
  d.area[1] = 'y';
  d.flag = 1;
  d = ts;
  EXPECT_EQ(d.timestamp, ts);
  EXPECT_EQ(d.area[0], 0);
  EXPECT_EQ(d.area[1], 'y');  // only the first byte is reset
  EXPECT_EQ(d.flag, 0);

  DB_DATETIME other;
  other.timestamp.month = 12;
  other.flag = 1;
  other.area[0] = 'z';
  d = other;
  EXPECT_EQ(d.timestamp, other.timestamp);
  EXPECT_EQ(d.flag, 1);
  EXPECT_EQ(d.area[0], 0);

  d.clear();
  EXPECT_EQ(d.timestamp, RKTIMESTAMP_STRUCT{});
  EXPECT_EQ(d.flag, 0);
  EXPECT_EQ(d.area[1], 'y');
}

}  // namespace
}  // namespace zarezodud
