#include "log/result_messages.h"

#include <gtest/gtest.h>

#include <string>

namespace RKZARezodud {
namespace {

TEST(ResultMessages, EachClassHasGroup105AndItsKind) {
  EXPECT_EQ(ProcessPhase().kind(), 0);
  EXPECT_EQ(UpgradePhase().kind(), 1);
  EXPECT_EQ(Script().kind(), 2);
  EXPECT_EQ(DataGroup().kind(), 3);
  EXPECT_EQ(Error().kind(), 4);
  EXPECT_EQ(UpgradeResults().kind(), 5);
  EXPECT_EQ(ColumnData().kind(), 6);
  for (int group : {ProcessPhase().group(), UpgradePhase().group(), Script().group(), DataGroup().group(),
                    Error().group(), UpgradeResults().group(), ColumnData().group()}) {
    EXPECT_EQ(group, 105);
  }
}

TEST(ResultMessages, FreshRecordsReadDefaults) {
  const ProcessPhase position;
  EXPECT_EQ(position.getStage(), 0);
  EXPECT_EQ(position.getResumeFlag(), 0);
  EXPECT_EQ(position.getPhaseName(), "");
  EXPECT_EQ(position.getCurrentListFile(), "");
  EXPECT_EQ(position.getCurrentScript(), "");
  EXPECT_EQ(position.getSubModule(), nullptr);

  const Script script;
  EXPECT_TRUE(script.errors().empty());
  EXPECT_EQ(script.getReturnCode(), 0);
  const Error error;
  EXPECT_EQ(error.getAdvice(), "");
  EXPECT_EQ(error.getSeverity(), 0);
  EXPECT_TRUE(error.rows().empty());
  EXPECT_TRUE(UpgradePhase().scripts().empty());
  EXPECT_TRUE(DataGroup().cells().empty());
}

// The accessors must use the field numbers and types of the message format, since other
// programs read and write the same records.
TEST(ResultMessages, AccessorsUseTheFormatsFieldNumbers) {
  ProcessPhase p;
  p.setPhaseName("Main");
  p.setStage(2);
  p.setCurrentListFile("pre.lst");
  p.setCurrentScript("a.sql");
  p.setResumeFlag(1);
  EXPECT_EQ(p.getstring(0, 1, 0, 0), "Main");
  EXPECT_EQ(p.getint64(5, 0, 0), 2);
  EXPECT_EQ(p.getstring(0, 6, 0, 0), "pre.lst");
  EXPECT_EQ(p.getstring(0, 10, 0, 0), "a.sql");
  EXPECT_EQ(p.getint64(15, 0, 0), 1);
  p.getSubModule(true);
  EXPECT_NE(p.getObjectAccessor(0, 14, 0, 0, 105, 0), nullptr);

  Script s;
  s.setName("a");
  s.setDescription("does a");
  s.setReturnCode(-7);
  s.errors().append(Error());
  EXPECT_EQ(s.getstring(0, 1, 0, 0), "a");
  EXPECT_EQ(s.getstring(0, 5, 0, 0), "does a");
  EXPECT_EQ(s.getint64(9, 0, 0), -7);
  ASSERT_NE(s.getlistobject(0, 10, 0, 0), nullptr);
  EXPECT_EQ(s.getlistobject(0, 10, 0, 0)->size(), 1u);

  Error e;
  e.setSeverity(2);
  e.setMessage("failed");
  e.setAdvice("retry");
  e.rows().append(DataGroup());
  EXPECT_EQ(e.getint64(1, 0, 0), 2);
  EXPECT_EQ(e.getstring(0, 2, 0, 0), "failed");
  EXPECT_EQ(e.getstring(0, 6, 0, 0), "retry");
  EXPECT_NE(e.getlistobject(0, 10, 0, 0), nullptr);

  DataGroup row;
  ColumnData cell;
  cell.setName("col");
  cell.setValue("val");
  EXPECT_EQ(cell.getstring(0, 1, 0, 0), "col");
  EXPECT_EQ(cell.getstring(0, 5, 0, 0), "val");
  row.cells().append(cell);
  EXPECT_NE(row.getlistobject(0, 1, 0, 0), nullptr);

  UpgradePhase u;
  u.scripts().append(s);
  EXPECT_NE(u.getlistobject(0, 6, 0, 0), nullptr);
}

TEST(ResultMessages, SubModuleCreateGetDrop) {
  ProcessPhase position;
  EXPECT_EQ(position.getSubModule(false), nullptr);
  ProcessPhase* sub = position.getSubModule(true);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->kind(), 0);
  EXPECT_EQ(sub->getStage(), 0);
  EXPECT_EQ(sub->getPhaseName(), "");
  EXPECT_EQ(position.getSubModule(true), sub);
  EXPECT_EQ(position.getSubModule(false), sub);
  sub->setPhaseName("Inner");
  EXPECT_EQ(static_cast<const ProcessPhase&>(position).getSubModule()->getPhaseName(), "Inner");

  // Nested sub-modules are their own records.
  ProcessPhase* inner = sub->getSubModule(true);
  ASSERT_NE(inner, nullptr);
  EXPECT_NE(inner, sub);

  position.dropSubModule();
  EXPECT_EQ(position.getSubModule(false), nullptr);
  EXPECT_EQ(position.getSubModule(), nullptr);
  ProcessPhase* fresh = position.getSubModule(true);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->getPhaseName(), "");

  ProcessPhase saved;
  saved.setCurrentScript("x.sql");
  ProcessPhase* stored = position.setSubModule(saved);
  ASSERT_NE(stored, nullptr);
  saved.setCurrentScript("y.sql");
  EXPECT_EQ(position.getSubModule(false)->getCurrentScript(), "x.sql");
}

TEST(ResultMessages, AppendingStoresACopy) {
  UpgradePhase phase;
  Script local;
  local.setName("first");
  local.setReturnCode(2);
  Script* stored = phase.scripts().append(local);
  ASSERT_NE(stored, nullptr);
  local.setName("changed");
  local.setReturnCode(0);
  local.errors().append(Error());
  ASSERT_EQ(phase.scripts().size(), 1u);
  EXPECT_EQ(phase.scripts().at(0).getName(), "first");
  EXPECT_EQ(phase.scripts().at(0).getReturnCode(), 2);
  EXPECT_TRUE(phase.scripts().at(0).errors().empty());

  // The stored copy can be changed in place through the list.
  phase.scripts().at(0).setDescription("in place");
  EXPECT_EQ(stored->getDescription(), "in place");

  // Copies of records are deep too.
  UpgradePhase copy(phase);
  phase.scripts().at(0).setName("again");
  EXPECT_EQ(copy.scripts().at(0).getName(), "first");
  phase.scripts().clear();
  EXPECT_TRUE(phase.scripts().empty());
  EXPECT_EQ(copy.scripts().size(), 1u);
}

Script sampleScript() {
  Script script;
  script.setName("upgrade_tables");
  script.setDescription("Upgrades the tables & <indexes>");
  script.setReturnCode(101);
  Error warning;
  warning.setSeverity(1);
  warning.setMessage("Table [X] is large");
  Error error;
  error.setSeverity(2);
  error.setMessage("Cannot drop");
  error.setAdvice("Drop the constraint first.");
  for (int r = 0; r < 2; ++r) {
    DataGroup row;
    for (const char* column : {"name", "rows"}) {
      ColumnData cell;
      cell.setName(column);
      cell.setValue(std::string(column) + "-" + std::to_string(r));
      row.cells().append(cell);
    }
    error.rows().append(row);
  }
  script.errors().append(warning);
  script.errors().append(error);
  return script;
}

void expectSampleScript(const Script& s) {
  EXPECT_EQ(s.getName(), "upgrade_tables");
  EXPECT_EQ(s.getDescription(), "Upgrades the tables & <indexes>");
  EXPECT_EQ(s.getReturnCode(), 101);
  ASSERT_EQ(s.errors().size(), 2u);
  EXPECT_EQ(s.errors().at(0).getSeverity(), 1);
  EXPECT_EQ(s.errors().at(0).getMessage(), "Table [X] is large");
  EXPECT_EQ(s.errors().at(0).getAdvice(), "");
  EXPECT_TRUE(s.errors().at(0).rows().empty());
  const Error& e = s.errors().at(1);
  EXPECT_EQ(e.getSeverity(), 2);
  EXPECT_EQ(e.getAdvice(), "Drop the constraint first.");
  ASSERT_EQ(e.rows().size(), 2u);
  for (std::size_t r = 0; r < 2; ++r) {
    ASSERT_EQ(e.rows().at(r).cells().size(), 2u);
    EXPECT_EQ(e.rows().at(r).cells().at(0).getName(), "name");
    EXPECT_EQ(e.rows().at(r).cells().at(1).getValue(), "rows-" + std::to_string(r));
  }
}

template <class T>
T roundTrip(const T& record) {
  T back;
  std::string error;
  EXPECT_TRUE(back.unserialize(record.serialize(), &error)) << error << "\n" << record.serialize();
  return back;
}

TEST(ResultMessages, EveryKindRoundTripsThroughXml) {
  ProcessPhase position;
  position.setPhaseName("Upgrade");
  position.setStage(3);
  position.setCurrentListFile("post.lst");
  position.setCurrentScript("z.sql");
  position.setResumeFlag(1);
  position.getSubModule(true)->setStage(2);
  position.getSubModule(true)->getSubModule(true)->setCurrentScript("deep.sql");
  ProcessPhase p = roundTrip(position);
  EXPECT_EQ(p.getPhaseName(), "Upgrade");
  EXPECT_EQ(p.getStage(), 3);
  EXPECT_EQ(p.getCurrentListFile(), "post.lst");
  EXPECT_EQ(p.getCurrentScript(), "z.sql");
  EXPECT_EQ(p.getResumeFlag(), 1);
  ASSERT_NE(p.getSubModule(false), nullptr);
  EXPECT_EQ(p.getSubModule(false)->getStage(), 2);
  ASSERT_NE(p.getSubModule(false)->getSubModule(false), nullptr);
  EXPECT_EQ(p.getSubModule(false)->getSubModule(false)->getCurrentScript(), "deep.sql");

  UpgradePhase phase;
  phase.scripts().append(sampleScript());
  phase.scripts().append(Script());
  UpgradePhase u = roundTrip(phase);
  ASSERT_EQ(u.scripts().size(), 2u);
  expectSampleScript(u.scripts().at(0));
  EXPECT_EQ(u.scripts().at(1).getName(), "");

  expectSampleScript(roundTrip(sampleScript()));
  Error error = roundTrip(sampleScript().errors().at(1));
  EXPECT_EQ(error.getMessage(), "Cannot drop");
  EXPECT_EQ(error.rows().size(), 2u);
  DataGroup row = roundTrip(sampleScript().errors().at(1).rows().at(0));
  EXPECT_EQ(row.cells().at(0).getValue(), "name-0");
  ColumnData cell = roundTrip(row.cells().at(1));
  EXPECT_EQ(cell.getName(), "rows");
  UpgradeResults results = roundTrip(UpgradeResults());
  EXPECT_EQ(results.kind(), 5);
}

TEST(ResultMessages, RecordsReadFromXmlAreOfTheirOwnClass) {
  const std::string xml = sampleScript().serialize();
  // Read through the plain base, the nested records are still made as their classes.
  SGMessageBase plain(105, 2);
  std::string error;
  ASSERT_TRUE(plain.unserialize(xml, &error)) << error;
  const SGMessageList* errors = plain.getlistobject(4, 10, 0, 0);
  ASSERT_NE(errors, nullptr);
  ASSERT_EQ(errors->size(), 2u);
  EXPECT_NE(dynamic_cast<const Error*>(&errors->at(1)), nullptr);
  Script typed;
  static_cast<SGMessageBase&>(typed) = plain;
  expectSampleScript(typed);
}

TEST(ResultMessages, UnserializeRefusesRecordsOfTheWrongShape) {
  std::string error;
  // A script is not a position record.
  ProcessPhase position;
  position.setPhaseName("kept");
  EXPECT_FALSE(position.unserialize(Script().serialize(), &error));
  EXPECT_EQ(position.getPhaseName(), "kept");

  // A sub-module record must itself be a position record.
  EXPECT_FALSE(
      position.unserialize("<message group=\"105\" kind=\"0\"><field number=\"14\" type=\"object\">"
                           "<message group=\"105\" kind=\"2\"/></field></message>",
                           &error));
  // Stage is an integer field.
  EXPECT_FALSE(position.unserialize(
      "<message group=\"105\" kind=\"0\"><field number=\"5\" type=\"string\">two</field></message>", &error));
  // A script's messages are Error records.
  Script script;
  EXPECT_FALSE(
      script.unserialize("<message group=\"105\" kind=\"2\"><field number=\"10\" type=\"list\">"
                         "<message group=\"105\" kind=\"6\"/></field></message>",
                         &error));
  EXPECT_EQ(position.getPhaseName(), "kept");
}

}  // namespace
}  // namespace RKZARezodud
