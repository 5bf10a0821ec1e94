// The registry of message kinds: per (group, kind), the class that records of that kind are
// made as and the declared layout of their fields (the type of each field and the kind of the
// records nested in it). SGMessageBase consults it when it makes nested records and when it
// checks what a field may hold.
//
// A registered class adds no data to SGMessageBase, which lets lists keep records of any
// registered class side by side in their own storage.
//
// Thread-safety: every function may be called from any thread; registrations are guarded by
// one lock and published whole.
#ifndef ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_REGISTRY_H
#define ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_REGISTRY_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <type_traits>
#include <vector>

#include "platform/messaging/sg_message_base.h"

namespace zarezodud {

// Field types of the message form.
enum class SGFieldType : unsigned char { kInt64, kString, kObject, kList };

// One field of a registered message kind. group and kind name the nested records of an
// object or list field and are ignored for the other types.
struct SGFieldSpec {
  int number;
  SGFieldType type;
  int group;
  int kind;
};

// Constructs an empty record of a registered class in storage of sizeof(SGMessageBase) bytes
// aligned for SGMessageBase, and returns it.
using SGMessagePlacer = SGMessageBase* (*)(void* storage);

// How records of a registered class are made: place constructs one in given storage; make
// allocates one with new.
struct SGMessageClass {
  SGMessagePlacer place;
  SGMessageBase* (*make)();
};

// Registers the class and the field layout of a message kind. Registering the same kind
// again replaces the earlier registration (lists that exist already keep making their records
// as the class registered when they were made). A class whose records are not of (group, kind) is
// ignored (records of that kind are then plain SGMessageBase). Thread-safe.
void registerMessageKind(int group, int kind, SGMessageClass messageClass, std::vector<SGFieldSpec> fields);

// Registers class T for (group, kind); T's default constructor must make a record of that
// group and kind.
template <class T>
void registerMessageClass(int group, int kind, std::vector<SGFieldSpec> fields) {
  static_assert(std::is_base_of<SGMessageBase, T>::value, "a message class derives from SGMessageBase");
  static_assert(sizeof(T) == sizeof(SGMessageBase) && alignof(T) == alignof(SGMessageBase),
                "a message class adds no data to SGMessageBase");
  SGMessageClass messageClass{[](void* storage) -> SGMessageBase* { return new (storage) T(); },
                              []() -> SGMessageBase* { return new T(); }};
  registerMessageKind(group, kind, messageClass, std::move(fields));
}

// An empty message of (group, kind), owned by the caller: of its registered class when the
// kind is registered, else a plain SGMessageBase. Thread-safe.
std::unique_ptr<SGMessageBase> makeMessage(int group, int kind);

// Constructs an empty message of (group, kind), as makeMessage, in storage of
// sizeof(SGMessageBase) bytes aligned for SGMessageBase; the caller destroys it.
SGMessageBase* placeMessage(void* storage, int group, int kind);

// What a list of records of (group, kind) needs to know: how records are placed (null when
// the kind has no registered class) and how many fields they declare (0 when none).
struct SGElementLayout {
  SGMessagePlacer place;
  std::size_t fieldCount;
};
SGElementLayout elementLayout(int group, int kind);

// The declared layout of field fieldNo of (group, kind), when the kind is registered and
// declares that field.
std::optional<SGFieldSpec> declaredField(int group, int kind, int fieldNo);

// How many fields the registration of (group, kind) declares; 0 when it is not registered.
std::size_t declaredFieldCount(int group, int kind);

}  // namespace zarezodud

#endif  // ZAREZODUD_PLATFORM_MESSAGING_SG_MESSAGE_REGISTRY_H
