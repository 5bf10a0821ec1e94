// The shared library's dynamic symbol table: the C-style functions keep their plain names,
// and nothing but the library's interface is exported (no platform, helper or dependency
// symbols).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct Symbol {
  char type;
  std::string name;
};

std::vector<Symbol> exportedSymbols(bool demangle) {
  std::string command = std::string("nm -D --defined-only ") + (demangle ? "-C " : "") + ZAREZODUD_SHARED_LIBRARY;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::vector<Symbol> symbols;
  if (!pipe) return symbols;
  char line[4096];
  while (fgets(line, sizeof line, pipe.get()) != nullptr) {
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    // "<address> <type> <name>"
    size_t first = text.find(' ');
    if (first == std::string::npos || first + 3 > text.size()) continue;
    symbols.push_back(Symbol{text[first + 1], text.substr(first + 3)});
  }
  return symbols;
}

const std::set<std::string> kPlainFunctions = {
    // profile-file store
    "TruncWhiteSpace", "IsEscape", "IsQuote", "IsComment", "TruncComment", "ReadLine", "WriteLine",
    "ParseProfileEntry", "GetProfileEntry", "GetProfileString", "GetProfileLong", "GetProfileBoolean",
    "SetProfileString", "SetProfileLong", "SetProfileBoolean", "GetPrivateProfileString",
    "WritePrivateProfileString", "GetPrivateProfileInt",
    // return codes, output file, progress, credentials, dump retention, executables
    "isWarningCode", "isErrorCode", "getEffectiveReturnCode", "getTempOutputFile", "truncateFile",
    "setProgress", "getDecryptedUserandPwd", "getDecryptedUserandPwd2", "DeleteOldDBDumps_OnStart",
    "DeleteOldDBDumps_OnTimer", "deleteOldDBFileBackups", "executeExecutable", "readRegistry", "getDBUser",
    "getSQLServerConnectionString", "addClientSPVersionString",
    // host settings for C hosts
    "zarezodud_set_registry_directory", "zarezodud_set_instance", "zarezodud_set_output_directory",
    "zarezodud_set_odbc_driver", "zarezodud_set_odbc_attributes", "zarezodud_set_login_timeout",
    "zarezodud_set_debug_level",
    // linker-defined
    "_init", "_fini", "_edata", "_end", "__bss_start"};

// Classes and namespaces whose members form the library's interface.
const std::vector<std::string> kInterfacePrefixes = {
    "INIFileProcessor", "INIFileReader", "ZARezodudLogger", "UtilityLogger", "DBQueries", "RKZARezodud::",
    "SGMessageBase", "SGMessageList", "ScriptObserver", "PhaseSection", "ProductInfo", "LOGINFO", "ZARezodudParams",
    "RunJournal", "JournalScript", "ScriptPosition", "zarezodud::HostSettings", "zarezodud::setHostSettings",
    "zarezodud::hostSettings", "zarezodud::effective"};

// Internal services the command-line front end calls. The command links the shared library, so
// these carry default visibility too; their headers are not installed, so hosts cannot reach them.
const std::vector<std::string> kCommandOnlyPrefixes = {"zarezodud::RKPlatformInfo",
                                                       "zarezodud::RKPassword",
                                                       "zarezodud::RecordingSink",
                                                       "zarezodud::installRecordingFactory",
                                                       "zarezodud::setSQLConnectionFactory",
                                                       "zarezodud::HostLock",
                                                       "zarezodud::InterruptSignals",
                                                       "zarezodud::fdio::",
                                                       "zarezodud::checkCodePage",
                                                       "zarezodud::clearString",
                                                       "zarezodud::collectPhaseScripts",
                                                       "zarezodud::equalsIgnoreCase",
                                                       "zarezodud::trimCopy",
                                                       "zarezodud::findNulLine",
                                                       "zarezodud::lintScript",
                                                       "zarezodud::lintSeverityName",
                                                       "zarezodud::parseDecimal",
                                                       "zarezodud::parseInt",
                                                       "zarezodud::parseScriptVariable",
                                                       "zarezodud::scriptVariableListItem",
                                                       "zarezodud::planDumpRetention",
                                                       "zarezodud::readRegularFile",
                                                       "zarezodud::sha256File",
                                                       "zarezodud::writeFileAtomically"};

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

bool isInterfaceSymbol(const std::string& demangled) {
  std::string name = demangled;
  for (const char* decoration : {"typeinfo for ", "typeinfo name for ", "vtable for ", "VTT for "}) {
    if (startsWith(name, decoration)) name = name.substr(std::string(decoration).size());
  }
  for (const auto* list : {&kInterfacePrefixes, &kCommandOnlyPrefixes}) {
    for (const std::string& prefix : *list) {
      if (startsWith(name, prefix)) return true;
    }
  }
  // Free functions are listed by name (C++ ones demangle with their parameter list).
  return kPlainFunctions.count(name.substr(0, name.find('('))) > 0;
}

// Template instantiations of the standard library carry default visibility from libstdc++'s own
// headers; they are weak or unique symbols that the dynamic linker merges with everyone else's.
bool isStandardLibraryInstantiation(const Symbol& s) {
  const bool weak = s.type == 'W' || s.type == 'V' || s.type == 'u';
  std::string name = s.name;
  for (const char* decoration : {"typeinfo for ", "typeinfo name for ", "vtable for ", "guard variable for "}) {
    if (startsWith(name, decoration)) name = name.substr(std::string(decoration).size());
  }
  return weak && (startsWith(name, "std::") || startsWith(name, "__gnu_cxx::") || startsWith(name, "void std::") ||
                  name.find(" std::") != std::string::npos);
}

TEST(ExportedSymbols, ProfileFunctionsHavePlainNames) {
  std::set<std::string> raw;
  for (const Symbol& s : exportedSymbols(false)) raw.insert(s.name);
  ASSERT_FALSE(raw.empty()) << "nm found no symbols in " << ZAREZODUD_SHARED_LIBRARY;
  for (const char* name : {"GetProfileString", "GetProfileLong", "GetProfileBoolean", "SetProfileString",
                           "SetProfileLong", "SetProfileBoolean", "GetProfileEntry", "ParseProfileEntry",
                           "TruncComment", "TruncWhiteSpace", "GetPrivateProfileString",
                           "WritePrivateProfileString", "GetPrivateProfileInt"}) {
    EXPECT_EQ(raw.count(name), 1u) << name << " is not exported under its plain name";
  }
}

TEST(ExportedSymbols, NothingOutsideTheInterfaceLeaks) {
  std::vector<std::string> leaks;
  for (const Symbol& s : exportedSymbols(true)) {
    if (isInterfaceSymbol(s.name) || isStandardLibraryInstantiation(s)) continue;
    leaks.push_back(std::string(1, s.type) + " " + s.name);
  }
  std::string report;
  for (const std::string& leak : leaks) report += "  " + leak + "\n";
  EXPECT_TRUE(leaks.empty()) << "symbols exported outside the interface:\n" << report;
}

}  // namespace
