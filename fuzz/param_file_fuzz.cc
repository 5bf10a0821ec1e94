// Fuzzes the command's parameter-file reader over arbitrary file content. A load either
// succeeds with a record whose every text field is terminated within its 2,048 bytes, or fails
// with a message; it never crashes, and no failure message echoes the file's password line.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "param_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = zfuzz::writeScratchFile("params.ini", data, size);
  const zcli::ParamLoadResult result = zcli::loadParamFile(path, {});
  if (!result.ok) {
    ZFUZZ_CHECK(!result.error.empty());
    return 0;
  }
  ZFUZZ_CHECK(result.params != nullptr);
  const ZARezodudParams& p = *result.params;
  for (const char* field : {p.m_productName, p.m_DBname, p.m_DBServer, p.m_controlSet, p.m_SQLInstance, p.m_DSN,
                            p.m_userId, p.m_password, p.m_commonScriptsDir, p.m_databaseScriptsDir, p.m_logfile,
                            p.m_phaseLogFile, p.m_failedSrcLogFile, p.m_PhaseName, p.m_ServicePackPrefix,
                            p.m_configFile, p.m_productConfigFile}) {
    ZFUZZ_CHECK(strnlen(field, zarezodud::kParamTextSize) < zarezodud::kParamTextSize);
  }
  return 0;
}
