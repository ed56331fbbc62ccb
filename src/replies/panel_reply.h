// The shape every panel reply shares: a read table, one exchange, then the fields in the order
// of the line, each with its debug label beside it.
//
//   PanelReads in;                                   // values start at zero on every request
//   const auto& dme1 = in.Read(offsets::kDme1Distance);
//   in.Process();                                    // a failed exchange leaves them at zero
//   PanelReply reply("- Radio Panel:----");
//   reply.Field("Dme1", DmeText(dme1));              // field 1, logged as "- Dme1:..."
//   return reply.Finish();                           // the line; the debug block when on
//
// Where the debug block's order differs from the line's, Field(text) puts a field on the line
// only and Log(label, text) a line in the block only, so both orders stay in plain sight.
#pragma once

#include <cstddef>
#include <deque>
#include <initializer_list>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "simlink/ipc_client.h"

namespace tavelor {

// Reads queued in call order, each into a zeroed value of the offset's type that stays in
// place until the reply is built.
class PanelReads {
 public:
  template <typename T>
  const T& Read(Offset<T> offset) {
    static_assert(sizeof(T) <= sizeof(Slot::bytes) && alignof(T) <= alignof(Slot),
                  "a read value larger than a slot");
    Slot& slot = slots_.emplace_back();
    T* value = ::new (static_cast<void*>(slot.bytes)) T{};
    IpcRead(offset, value);
    return *value;
  }
  // The one exchange; false when nothing was delivered (every value is then still zero).
  bool Process() { return IpcProcess(); }

 private:
  struct alignas(8) Slot {
    unsigned char bytes[16];
  };
  std::deque<Slot> slots_;  // a deque never moves what it holds
};

class PanelReply {
 public:
  // The debug block's first line, as the panel's Part gives it.
  explicit PanelReply(std::string debugHeader) : header_(std::move(debugHeader)) {}

  // The next field of the line, and the next line of the debug block: "- label:text".
  PanelReply& Field(const char* label, std::string text);
  // The next field of the line only.
  PanelReply& Field(std::string text);
  // The next line of the debug block only.
  PanelReply& Log(const char* label, std::string text);

  size_t FieldCount() const { return fields_.size(); }
  // Builds the line, then writes the debug block while DebugEnabled, and returns the line.
  std::string Finish() const;

 private:
  std::string header_;
  std::vector<std::string> fields_;
  std::vector<std::pair<const char*, std::string>> logLines_;
};

// Every field followed by ":" (the last one too), then CR LF; no leading ":".
std::string ReplyLine(std::initializer_list<std::string> fields);

// Only while DebugEnabled: the header line as given, then "- label:text" per value.
void LogDebugBlock(const std::string& header,
                   std::initializer_list<std::pair<const char*, std::string>> values);

}  // namespace tavelor
