// ZARezodudParams: the caller's fixed-layout parameter record. A standard-layout struct of 69
// public fields in a fixed order; text fields are 2,048-byte NUL-terminated character arrays.
// Named fields have an accessor (returning a new string for text, the value otherwise) and a
// setter (text setters copy with a bound and always terminate). Fields this library does not
// read are named after their position (m_text9, m_flag38, ...) and are carried unchanged.
//
// Thread-safety: a plain value; copy it freely, share it only read-only.
#ifndef ZAREZODUD_ENGINE_ZAREZODUD_PARAMS_H
#define ZAREZODUD_ENGINE_ZAREZODUD_PARAMS_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace zarezodud {
constexpr std::size_t kParamTextSize = 2048;

// Copies text into a 2,048-byte field: at most 2,047 characters, always terminated.
inline void copyParamText(char (&field)[kParamTextSize], const std::string& text) {
  std::size_t n = text.size() < kParamTextSize - 1 ? text.size() : kParamTextSize - 1;
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}
}  // namespace zarezodud

#define ZZ_PARAM_TEXT(name, Setter)                                                       \
  char m_##name[zarezodud::kParamTextSize];                                               \
  std::string name() const { return std::string(m_##name); }                              \
  void set##Setter(const std::string& value) { zarezodud::copyParamText(m_##name, value); }
#define ZZ_PARAM_VALUE(type, name, Setter)                 \
  type m_##name;                                           \
  type name() const { return m_##name; }                   \
  void set##Setter(type value) { m_##name = value; }

struct ZARezodudParams {
  ZZ_PARAM_TEXT(productName, ProductName)                 // 1
  ZZ_PARAM_TEXT(DBname, DBname)                           // 2
  ZZ_PARAM_TEXT(DBServer, DBServer)                       // 3
  ZZ_PARAM_TEXT(controlSet, ControlSet)                   // 4
  ZZ_PARAM_TEXT(SQLInstance, SQLInstance)                 // 5
  ZZ_PARAM_TEXT(DSN, DSN)                                 // 6
  ZZ_PARAM_TEXT(userId, UserId)                           // 7
  ZZ_PARAM_TEXT(password, Password)                       // 8
  char m_text9[zarezodud::kParamTextSize];                // 9-18: not read by this library
  char m_text10[zarezodud::kParamTextSize];
  char m_text11[zarezodud::kParamTextSize];
  char m_text12[zarezodud::kParamTextSize];
  char m_text13[zarezodud::kParamTextSize];
  char m_text14[zarezodud::kParamTextSize];
  char m_text15[zarezodud::kParamTextSize];
  char m_text16[zarezodud::kParamTextSize];
  char m_text17[zarezodud::kParamTextSize];
  char m_text18[zarezodud::kParamTextSize];
  ZZ_PARAM_TEXT(commonScriptsDir, CommonScriptsDir)       // 19
  ZZ_PARAM_TEXT(databaseScriptsDir, DatabaseScriptsDir)   // 20
  char m_text21[zarezodud::kParamTextSize];               // 21-23
  char m_text22[zarezodud::kParamTextSize];
  char m_text23[zarezodud::kParamTextSize];
  ZZ_PARAM_TEXT(logfile, Logfile)                         // 24
  ZZ_PARAM_TEXT(phaseLogFile, PhaseLogFile)               // 25
  char m_text26[zarezodud::kParamTextSize];               // 26
  ZZ_PARAM_TEXT(failedSrcLogFile, FailedSrcLogFile)       // 27
  char m_text28[zarezodud::kParamTextSize];               // 28-29
  char m_text29[zarezodud::kParamTextSize];
  ZZ_PARAM_TEXT(PhaseName, PhaseName)                     // 30
  ZZ_PARAM_TEXT(ServicePackPrefix, ServicePackPrefix)     // 31
  int64_t m_int64_32;                                     // 32
  ZZ_PARAM_VALUE(int32_t, currentReleaseId, CurrentReleaseId)  // 33
  int32_t m_int34;                                        // 34-37
  int32_t m_int35;
  int32_t m_int36;
  int32_t m_int37;
  bool m_flag38;                                          // 38-43
  bool m_flag39;
  bool m_flag40;
  bool m_flag41;
  bool m_flag42;
  bool m_flag43;
  ZZ_PARAM_VALUE(bool, isServicePackUpgrade, IsServicePackUpgrade)  // 44
  bool m_flag45;                                          // 45-46
  bool m_flag46;
  ZZ_PARAM_VALUE(bool, isUpgradeRepair, IsUpgradeRepair)  // 47
  ZZ_PARAM_VALUE(bool, isRTMBuild, IsRTMBuild)            // 48
  char m_text49[zarezodud::kParamTextSize];               // 49-50
  char m_text50[zarezodud::kParamTextSize];
  ZZ_PARAM_TEXT(configFile, ConfigFile)                   // 51
  ZZ_PARAM_TEXT(productConfigFile, ProductConfigFile)     // 52
  char m_text53[zarezodud::kParamTextSize];               // 53-55
  char m_text54[zarezodud::kParamTextSize];
  char m_text55[zarezodud::kParamTextSize];
  bool m_flag56;                                          // 56
  ZZ_PARAM_VALUE(int32_t, xmlOutput, XmlOutput)           // 57
  int32_t m_int58;                                        // 58-63
  int32_t m_int59;
  int32_t m_int60;
  int32_t m_int61;
  int32_t m_int62;
  int32_t m_int63;
  bool m_flag64;                                          // 64
  int32_t m_int65;                                        // 65
  bool m_flag66;                                          // 66-67
  bool m_flag67;
  char m_text68[zarezodud::kParamTextSize];               // 68
  bool m_flag69;                                          // 69

  // Every text empty, every number 0, every flag false.
  ZARezodudParams() { std::memset(static_cast<void*>(this), 0, sizeof(*this)); }
};

#undef ZZ_PARAM_TEXT
#undef ZZ_PARAM_VALUE

#endif
