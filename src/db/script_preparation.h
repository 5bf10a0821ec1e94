// From the bytes of a script file to the text that is sent to the server, refusing before
// anything is sent what could only be sent wrong:
//   1. decoding (platform/script_decoder.h): byte-order marks, UTF-16, the code page;
//   2. in sqlcmd variable mode, :setvar, :r and $(NAME) (db/sqlcmd_expansion.h);
//   3. the batch-separator rule: a line whose first word is GO but that is not a valid
//      separator fails the script ("Script [<file>] line <n>: [<line>] is not a valid batch
//      separator.").
// Every error names the file and line a person sees, also inside an included file.
//
// Pure functions apart from reading included files; thread-safe.
#ifndef ZAREZODUD_DB_SCRIPT_PREPARATION_H
#define ZAREZODUD_DB_SCRIPT_PREPARATION_H

#include <string>

#include "db/script_settings.h"
#include "db/script_text.h"
#include "platform/text/script_decoder.h"

namespace zarezodud {

// Reads the regular file at path and decodes it with codePage ("" for none). encoding, when
// given, receives how it was stored. False with a message naming the file when it cannot be
// read ("Cannot open file [<path>]. <reason>") or decoded.
bool loadScriptFile(const std::string& path, const std::string& codePage, std::string& text,
                    ScriptEncoding* encoding, std::string& error);

// The message for the first invalid separator line of a prepared text.
std::string invalidSeparatorMessage(const ScriptText& script, int line, const std::string& lineText);

// Turns bytes, the content of the script file at path, into out (steps 1 to 3 above). False
// with error set when the script must not be sent.
bool prepareScript(const std::string& path, const std::string& bytes, const ScriptSettings& settings,
                   ScriptText& out, std::string& error);

}  // namespace zarezodud

#endif
