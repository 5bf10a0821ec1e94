// Fuzzes SGMessageBase::unserialize with arbitrary text, both for an unregistered message and
// for a registered result record whose nested kinds are checked. A rejected text must leave
// the message unchanged and give a reason; an accepted one must survive its own XML form.
#include <string>

#include "log/result_messages.h"
#include "fuzz_support.h"
#include "platform/messaging/sg_message_base.h"

namespace {

void check(SGMessageBase& message, SGMessageBase& copy, const std::string& xml) {
  const std::string before = message.serialize();
  std::string error;
  if (!message.unserialize(xml, &error)) {
    ZFUZZ_CHECK(!error.empty());
    ZFUZZ_CHECK(message.serialize() == before);
    return;
  }
  const std::string form = message.serialize();
  error.clear();
  ZFUZZ_CHECK(copy.unserialize(form, &error));
  ZFUZZ_CHECK(copy.serialize() == form);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string xml(reinterpret_cast<const char*>(data), size);
  SGMessageBase plain(3, 9);
  plain.setstring(1, 1, "kept", 0, 0);
  SGMessageBase plainCopy(3, 9);
  check(plain, plainCopy, xml);

  RKZARezodud::UpgradePhase phase;
  RKZARezodud::UpgradePhase phaseCopy;
  check(phase, phaseCopy, xml);
  return 0;
}
