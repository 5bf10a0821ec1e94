// The XML form of SGMessageBase, for the messaging files: the writer that produces it piece by
// piece (no document tree is built, so a message of any size is written in a fixed amount of
// memory) and the reader that checks and reads it back.
//
// Thread-safety: pure functions over their arguments; the message being read into needs
// exclusive access.
#ifndef ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_XML_H
#define ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_XML_H

#include <iosfwd>
#include <string>

#include "platform/messaging/sg_message_base.h"

namespace zarezodud {

// The XML form of message (declaration, two-space indentation, one element per line),
// appended to out.
void writeMessageXml(const SGMessageBase& message, std::string& out);
// The same text written to out in pieces of about 64 KiB.
void writeMessageXml(const SGMessageBase& message, std::ostream& out);

// Reads xml into target (see SGMessageBase::unserialize): true when it holds a message of
// target's group and kind in the accepted form; otherwise false, target unchanged and the
// fault described in *error (when not null).
bool readMessageXml(const std::string& xml, SGMessageBase& target, std::string* error);

// The name of a field type in the type attribute ("int64", "string", "object", "list").
const char* xmlTypeName(SGFieldType type);

}  // namespace zarezodud

#endif  // ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_XML_H
