#include "log/result_messages.h"

#include <memory>

#include "platform/messaging/sg_message_registry.h"

namespace RKZARezodud {
namespace {

using zarezodud::SGFieldSpec;
using zarezodud::SGFieldType;

// ProcessPhase
constexpr FieldRef kPhaseName{1, 1, ProcessPhase::kClassTag, 10011302};
constexpr FieldRef kStage{2, 5, ProcessPhase::kClassTag, 14013413};
constexpr FieldRef kCurrentListFile{3, 6, ProcessPhase::kClassTag, 15246811};
constexpr FieldRef kCurrentScript{4, 10, ProcessPhase::kClassTag, 7823040};
constexpr FieldRef kSubModule{5, 14, ProcessPhase::kClassTag, 8706996};
constexpr FieldRef kResumeFlag{6, 15, ProcessPhase::kClassTag, 5097517};
// UpgradePhase
constexpr FieldRef kScripts{3, 6, UpgradePhase::kClassTag, 13912328};
// Script
constexpr FieldRef kScriptName{1, 1, Script::kClassTag, 3373707};
constexpr FieldRef kScriptDescription{2, 5, Script::kClassTag, 3507196};
constexpr FieldRef kScriptReturnCode{3, 9, Script::kClassTag, 14819873};
constexpr FieldRef kScriptErrors{4, 10, Script::kClassTag, 13987691};
// Error
constexpr FieldRef kSeverity{1, 1, Error::kClassTag, 10785122};
constexpr FieldRef kMessage{2, 2, Error::kClassTag, 15400967};
constexpr FieldRef kAdvice{3, 6, Error::kClassTag, 4095224};
constexpr FieldRef kRows{4, 10, Error::kClassTag, 282869};
// DataGroup
constexpr FieldRef kCells{1, 1, DataGroup::kClassTag, 7969824};
// ColumnData
constexpr FieldRef kColumnName{1, 1, ColumnData::kClassTag, 3373707};
constexpr FieldRef kColumnValue{2, 5, ColumnData::kClassTag, 3076010};

void registerKinds() {
  using zarezodud::registerMessageClass;
  const int g = kResultGroup;
  registerMessageClass<ProcessPhase>(g, ProcessPhase::kKind,
                                     {{kPhaseName.number, SGFieldType::kString, 0, 0},
                                      {kStage.number, SGFieldType::kInt64, 0, 0},
                                      {kCurrentListFile.number, SGFieldType::kString, 0, 0},
                                      {kCurrentScript.number, SGFieldType::kString, 0, 0},
                                      {kSubModule.number, SGFieldType::kObject, g, ProcessPhase::kKind},
                                      {kResumeFlag.number, SGFieldType::kInt64, 0, 0}});
  registerMessageClass<UpgradePhase>(g, UpgradePhase::kKind,
                                     {{kScripts.number, SGFieldType::kList, g, Script::kKind}});
  registerMessageClass<Script>(g, Script::kKind,
                               {{kScriptName.number, SGFieldType::kString, 0, 0},
                                {kScriptDescription.number, SGFieldType::kString, 0, 0},
                                {kScriptReturnCode.number, SGFieldType::kInt64, 0, 0},
                                {kScriptErrors.number, SGFieldType::kList, g, Error::kKind}});
  registerMessageClass<DataGroup>(g, DataGroup::kKind,
                                  {{kCells.number, SGFieldType::kList, g, ColumnData::kKind}});
  registerMessageClass<Error>(g, Error::kKind,
                              {{kSeverity.number, SGFieldType::kInt64, 0, 0},
                               {kMessage.number, SGFieldType::kString, 0, 0},
                               {kAdvice.number, SGFieldType::kString, 0, 0},
                               {kRows.number, SGFieldType::kList, g, DataGroup::kKind}});
  registerMessageClass<UpgradeResults>(g, UpgradeResults::kKind, {});
  registerMessageClass<ColumnData>(
      g, ColumnData::kKind,
      {{kColumnName.number, SGFieldType::kString, 0, 0}, {kColumnValue.number, SGFieldType::kString, 0, 0}});
}

// Registers the result kinds once, before the first record exists, so that nested records
// and list items are made as their own classes.
void ensureRegistered() {
  static const bool registered = (registerKinds(), true);
  (void)registered;
}

// Registration at load time as well, so that a plain SGMessageBase read from XML already
// holds nested records of their own classes.
[[maybe_unused]] const bool kRegisteredAtLoad = (ensureRegistered(), true);

std::string getString(const SGMessageBase& m, const FieldRef& f) {
  return m.getstring(f.ordinal, f.number, f.classTag, f.fieldTag);
}
void setString(SGMessageBase& m, const FieldRef& f, const std::string& value) {
  m.setstring(f.ordinal, f.number, value, f.classTag, f.fieldTag);
}
void setShared(SGMessageBase& m, const FieldRef& f, const SGMessageBase::SharedText& text,
               std::string_view part) {
  m.setstring(f.ordinal, f.number, text, part, f.classTag, f.fieldTag);
}
int64_t getInt(const SGMessageBase& m, const FieldRef& f) {
  return m.getint64(f.number, f.classTag, f.fieldTag);
}
void setInt(SGMessageBase& m, const FieldRef& f, int64_t value) {
  m.setint64(f.ordinal, f.number, value, f.classTag, f.fieldTag);
}

static_assert(sizeof(ProcessPhase) == sizeof(SGMessageBase) &&
                  sizeof(UpgradePhase) == sizeof(SGMessageBase) && sizeof(Script) == sizeof(SGMessageBase) &&
                  sizeof(DataGroup) == sizeof(SGMessageBase) && sizeof(Error) == sizeof(SGMessageBase) &&
                  sizeof(UpgradeResults) == sizeof(SGMessageBase) &&
                  sizeof(ColumnData) == sizeof(SGMessageBase),
              "result records add no data to SGMessageBase");

}  // namespace

// --- ProcessPhase ----------------------------------------------------------------------------

ProcessPhase::ProcessPhase() : SGMessageBase(kResultGroup, kKind) { ensureRegistered(); }

std::string ProcessPhase::getPhaseName() const { return getString(*this, kPhaseName); }
void ProcessPhase::setPhaseName(const std::string& name) { setString(*this, kPhaseName, name); }
int64_t ProcessPhase::getStage() const { return getInt(*this, kStage); }
void ProcessPhase::setStage(int64_t stage) { setInt(*this, kStage, stage); }
std::string ProcessPhase::getCurrentListFile() const { return getString(*this, kCurrentListFile); }
void ProcessPhase::setCurrentListFile(const std::string& listFile) {
  setString(*this, kCurrentListFile, listFile);
}
std::string ProcessPhase::getCurrentScript() const { return getString(*this, kCurrentScript); }
void ProcessPhase::setCurrentScript(const std::string& script) { setString(*this, kCurrentScript, script); }
int64_t ProcessPhase::getResumeFlag() const { return getInt(*this, kResumeFlag); }
void ProcessPhase::setResumeFlag(int64_t flag) { setInt(*this, kResumeFlag, flag); }

ProcessPhase* ProcessPhase::getSubModule(bool create) {
  SGMessageBase* nested = getObjectAccessor(true, create, kSubModule.ordinal, kSubModule.number,
                                            kSubModule.classTag, kSubModule.fieldTag, kResultGroup, kKind);
  return dynamic_cast<ProcessPhase*>(nested);
}

const ProcessPhase* ProcessPhase::getSubModule() const {
  const SGMessageBase* nested = getObjectAccessor(kSubModule.ordinal, kSubModule.number, kSubModule.classTag,
                                                  kSubModule.fieldTag, kResultGroup, kKind);
  return dynamic_cast<const ProcessPhase*>(nested);
}

ProcessPhase* ProcessPhase::setSubModule(const ProcessPhase& record) {
  return dynamic_cast<ProcessPhase*>(setObjectAccessor(&record, kSubModule.ordinal, kSubModule.number,
                                                       kSubModule.classTag, kSubModule.fieldTag));
}

void ProcessPhase::dropSubModule() {
  setObjectAccessor(nullptr, kSubModule.ordinal, kSubModule.number, kSubModule.classTag, kSubModule.fieldTag);
}

// --- UpgradePhase ----------------------------------------------------------------------------

UpgradePhase::UpgradePhase() : SGMessageBase(kResultGroup, kKind) { ensureRegistered(); }

RecordList<Script> UpgradePhase::scripts() { return RecordList<Script>(*this, kScripts); }
ConstRecordList<Script> UpgradePhase::scripts() const { return ConstRecordList<Script>(*this, kScripts); }

// --- Script ----------------------------------------------------------------------------------

Script::Script() : SGMessageBase(kResultGroup, kKind) { ensureRegistered(); }

std::string Script::getName() const { return getString(*this, kScriptName); }
void Script::setName(const std::string& name) { setString(*this, kScriptName, name); }
std::string Script::getDescription() const { return getString(*this, kScriptDescription); }
void Script::setDescription(const std::string& description) {
  setString(*this, kScriptDescription, description);
}
void Script::setDescription(const SharedText& text, std::string_view part) {
  setShared(*this, kScriptDescription, text, part);
}
int64_t Script::getReturnCode() const { return getInt(*this, kScriptReturnCode); }
void Script::setReturnCode(int64_t returnCode) { setInt(*this, kScriptReturnCode, returnCode); }
RecordList<Error> Script::errors() { return RecordList<Error>(*this, kScriptErrors); }
ConstRecordList<Error> Script::errors() const { return ConstRecordList<Error>(*this, kScriptErrors); }

// --- DataGroup -------------------------------------------------------------------------------

DataGroup::DataGroup() : SGMessageBase(kResultGroup, kKind) { ensureRegistered(); }

RecordList<ColumnData> DataGroup::cells() { return RecordList<ColumnData>(*this, kCells); }
ConstRecordList<ColumnData> DataGroup::cells() const { return ConstRecordList<ColumnData>(*this, kCells); }

// --- Error -----------------------------------------------------------------------------------

Error::Error() : SGMessageBase(kResultGroup, kKind) { ensureRegistered(); }

int64_t Error::getSeverity() const { return getInt(*this, kSeverity); }
void Error::setSeverity(int64_t severity) { setInt(*this, kSeverity, severity); }
std::string Error::getMessage() const { return getString(*this, kMessage); }
void Error::setMessage(const std::string& message) { setString(*this, kMessage, message); }
void Error::setMessage(const SharedText& text, std::string_view part) {
  setShared(*this, kMessage, text, part);
}
std::string Error::getAdvice() const { return getString(*this, kAdvice); }
void Error::setAdvice(const std::string& advice) { setString(*this, kAdvice, advice); }
void Error::setAdvice(const SharedText& text, std::string_view part) {
  setShared(*this, kAdvice, text, part);
}
RecordList<DataGroup> Error::rows() { return RecordList<DataGroup>(*this, kRows); }
ConstRecordList<DataGroup> Error::rows() const { return ConstRecordList<DataGroup>(*this, kRows); }

// --- UpgradeResults, ColumnData ----------------------------------------------------------------

UpgradeResults::UpgradeResults() : SGMessageBase(kResultGroup, kKind) { ensureRegistered(); }

ColumnData::ColumnData() : SGMessageBase(kResultGroup, kKind) { ensureRegistered(); }

std::string ColumnData::getName() const { return getString(*this, kColumnName); }
void ColumnData::setName(const std::string& name) { setString(*this, kColumnName, name); }
void ColumnData::setName(const SharedText& text, std::string_view part) {
  setShared(*this, kColumnName, text, part);
}
std::string ColumnData::getValue() const { return getString(*this, kColumnValue); }
void ColumnData::setValue(const std::string& value) { setString(*this, kColumnValue, value); }
void ColumnData::setValue(const SharedText& text, std::string_view part) {
  setShared(*this, kColumnValue, text, part);
}

}  // namespace RKZARezodud
