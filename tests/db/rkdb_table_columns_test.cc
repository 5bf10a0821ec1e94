// One column description per table: schema codes that follow from the record's field types,
// the record's construction and release, and a table object described from it alone.
#include "db/rows/rkdb_table_columns.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "db/rows/record_layout.h"
#include "db/rows/rkdb_generated_table.h"
#include "db/rows/sm_array.h"
#include "db/rows/sm_array_ctrl_host_map.h"
#include "db/rows/sm_control_host.h"

namespace zarezodud {
namespace {

struct Gadget_t {
  Gadget_t() { rkdbClearRecord(kColumns, this); }
  ~Gadget_t() { rkdbReleaseRecord(kColumns, this); }

  int count;
  long long total;
  DB_DATETIME when;
  char label[7];
  char wide[9];
  char* notes;

  static const RKDBColumn kColumns[6];
};

constexpr RKDBColumn Gadget_t::kColumns[6] = {
    rkdbColumn<&Gadget_t::count>("count"),
    rkdbColumn<&Gadget_t::total>("total"),
    rkdbColumn<&Gadget_t::when>("when"),
    rkdbColumn<&Gadget_t::label>("label"),
    rkdbColumn<&Gadget_t::wide>("wide", RKDBText::kWide),
    rkdbColumn<&Gadget_t::notes>("notes"),
};

TEST(TableColumns, SchemaCodesFollowFromTheFieldTypes) {
  std::vector<std::string> codes;
  for (const RKDBColumn& column : Gadget_t::kColumns) codes.push_back(column.schemaCode());
  EXPECT_EQ(codes, (std::vector<std::string>{"i", "b", "t", "s7", "u9", "s"}));
  const std::vector<RKDBColumnDef> defs = rkdbColumnDefs(Gadget_t::kColumns);
  EXPECT_EQ(rkdbSchemaText(defs), "i|b|t|s7|u9|s|");
  EXPECT_EQ(rkdbColumnList(defs), "count, total, when, label, wide, notes");
  // The layout the framework derives from the schema is where the compiler put the fields.
  const RecordLayout layout(rkdbSchemaText(defs));
  ASSERT_TRUE(layout.valid()) << layout.error();
  EXPECT_EQ(layout.fields()[3].offset, offsetof(Gadget_t, label));
  EXPECT_EQ(layout.fields()[5].offset, offsetof(Gadget_t, notes));
  EXPECT_EQ(layout.recordSize(), sizeof(Gadget_t));
}

TEST(TableColumns, RecordsStartEmptyAndReleaseTheirHeapText) {
  alignas(Gadget_t) unsigned char storage[sizeof(Gadget_t)];
  std::memset(storage, 0x5a, sizeof storage);
  auto* gadget = new (storage) Gadget_t;
  EXPECT_EQ(gadget->count, 0);
  EXPECT_EQ(gadget->total, 0);
  EXPECT_EQ(gadget->when.timestamp, RKTIMESTAMP_STRUCT{});
  EXPECT_EQ(gadget->when.flag, 0);
  EXPECT_STREQ(gadget->label, "");
  EXPECT_STREQ(gadget->wide, "");
  EXPECT_EQ(gadget->notes, nullptr);

  replaceRecordHeapText(gadget->notes, "some notes");
  char* const notes = gadget->notes;
  std::strcpy(gadget->label, "abc");
  gadget->when.timestamp.year = 2026;
  rkdbClearRecord(Gadget_t::kColumns, gadget);  // clearing forgets the heap text...
  EXPECT_STREQ(gadget->label, "");
  EXPECT_EQ(gadget->when.timestamp.year, 0);
  EXPECT_EQ(gadget->notes, nullptr);
  delete[] notes;
  replaceRecordHeapText(gadget->notes, "again");
  gadget->~Gadget_t();  // ...releasing frees it (the sanitizer build would see a leak)
}

// A table described by nothing but its definition.
const RKDBTableDef& gadgetDefinition() {
  static const RKDBTableDef def{"Gadget", 1,         "Table Gadget",
                                "2.0",    "total",   rkdbColumnDefs(Gadget_t::kColumns),
                                "count",  {"count"}, {}};
  return def;
}

class Gadget : public RKDBGeneratedTable<Gadget_t, void, std::size(Gadget_t::kColumns)> {
 public:
  explicit Gadget(DBtran* tran) : RKDBGeneratedTable(tran, gadgetDefinition(), "gadget.cc", 7) {}
};

TEST(TableColumns, TableObjectsAreDescribedFromTheDefinition) {
  Gadget gadget(nullptr);
  EXPECT_EQ(Gadget::kColumnCount, 6);
  EXPECT_EQ(gadget.getName(), "Gadget");
  EXPECT_EQ(gadget.getHeaderType(), 1);
  EXPECT_EQ(gadget.getHeader(), "Table Gadget");
  EXPECT_EQ(gadget.getVersion(), "2.0");
  EXPECT_EQ(gadget.getSerialName(), "count");
  EXPECT_EQ(gadget.getOrderBy(), "total");
  EXPECT_EQ(gadget.getColumnList(), "count, total, when, label, wide, notes");
  EXPECT_NE(gadget.getIndicatorArray(), nullptr);
  EXPECT_EQ(gadget.getRowObject(), nullptr);
  EXPECT_EQ(gadget.getDataPtr()->count, 0);
}

// Each generated table's column list is its row class's column names, in order.
template <class Table, class Row>
void expectListsAgree() {
  Table table(nullptr);
  Row row;
  std::string names;
  for (const std::string& name : Row::staticColumnNames()) names += (names.empty() ? "" : ", ") + name;
  EXPECT_EQ(table.getColumnList(), names);
  EXPECT_EQ(static_cast<std::size_t>(Table::kColumnCount), Row::staticColumnNames().size());
}

TEST(TableColumns, TableAndRowDescriptionsAgree) {
  expectListsAgree<SMArray, SMArray_t2>();
  expectListsAgree<SMArrayCtrlHostMap, SMArrayCtrlHostMap_t2>();
  expectListsAgree<SMControlHost, SMControlHost_t2>();
}

}  // namespace
}  // namespace zarezodud
