#include "description/text_layout.h"

#include <cstring>

namespace {

// Writes the bytes and the NUL of a text at `data`, its length in front.
const char* PutText(char* data, std::string_view bytes) {
  PutNumber(data, bytes.size());
  if (!bytes.empty()) {
    std::memcpy(data, bytes.data(), bytes.size());
  }
  data[bytes.size()] = '\0';
  return data;
}

// The bytes of a value's slot from its line on, without free bytes.
size_t SlotBytes(size_t size, uint64_t line) {
  return NumberBytes(line) + NumberBytes(size) + size + 1;
}

// Writes the line and the length of a value whose bytes are in place at
// `data`, then its room in front; the NUL behind is the caller's.
const char* PutHead(char* data, size_t size, uint64_t line, size_t room) {
  PutNumber(data, size);
  char* lineEnd = data - NumberBytes(size);
  PutNumber(lineEnd, line);
  PutNumber(lineEnd - NumberBytes(line), room);
  return data;
}

}  // namespace

uint64_t ValueLine(const char* data) {
  size_t lengthBytes = 0;
  ReadNumber(data, lengthBytes);
  size_t lineBytes = 0;
  return ReadNumber(data - lengthBytes, lineBytes);
}

const char* PutName(RecordArena& arena, std::string_view name) {
  const size_t lengthBytes = NumberBytes(name.size());
  return PutText(arena.Allocate(lengthBytes + name.size() + 1) + lengthBytes, name);
}

const char* PutValue(RecordArena& arena, std::string_view value, uint64_t line) {
  const size_t room = SlotBytes(value.size(), line);
  char* data = arena.Allocate(NumberBytes(room) + room) + NumberBytes(room) + NumberBytes(line) +
               NumberBytes(value.size());
  if (!value.empty()) {
    std::memcpy(data, value.data(), value.size());
  }
  data[value.size()] = '\0';
  return PutHead(data, value.size(), line, room);
}

const char* ReplaceValue(RecordArena& arena, const char* old, std::string_view value,
                         uint64_t line) {
  size_t head = 0;
  ReadNumber(old, head);
  ReadNumber(old - head, head);
  size_t roomBytes = 0;
  const size_t room = static_cast<size_t>(ReadNumber(old - head, roomBytes));
  if (SlotBytes(value.size(), line) > room) {
    return PutValue(arena, value, line);
  }
  // The slot belongs to the record, whose texts are const only to readers.
  char* slot = const_cast<char*>(old) - head;
  char* data = slot + NumberBytes(line) + NumberBytes(value.size());
  PutText(data, value);
  PutNumber(data - NumberBytes(value.size()), line);
  return data;
}
