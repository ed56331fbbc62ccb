// The shape every panel reply shares: a read table, one exchange, then the panel's table of
// fields (replies/tables/), one row per field in line order, and its debug block.
//
//   PanelReads in(state.link);                       // values start at zero on every request
//   const auto& dme1 = in.Read(offsets::kDme1Distance);
//   in.Process();                                    // a failed exchange leaves them at zero
//   PanelReply reply(state, ReplyCode::kRadi);      // the debug header from its registry row
//   #define FIELD(number, name, label, unit, width, kind, rule, ...) reply.Field(number, rule);
//   #include "replies/tables/radi.inc"               // FIELD(1, "dme1", "Dme1", ..., DmeText(dme1))
//   #undef FIELD
//   reply.Log(1, 5).Log(12, 13).Log(6, 11);          // the debug block, line by line
//   return reply.Finish();                           // the line; the debug block when on
//
// The debug block is written out for every panel, so that where its order or grouping differs
// from the line's, the builder shows how at a glance.
#pragma once

#include <cstddef>
#include <deque>
#include <initializer_list>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/request_codes.h"
#include "core/request_state.h"
#include "replies/reply_schema.h"
#include "simlink/ipc_client.h"

namespace tavelor {

// Reads queued on `link` in call order, each into a zeroed value of the offset's type that
// stays in place until the reply is built.
class PanelReads {
 public:
  explicit PanelReads(IpcClient& link) : link_(link) {}

  template <typename T>
  const T& Read(Offset<T> offset) {
    static_assert(sizeof(T) <= sizeof(Slot::bytes) && alignof(T) <= alignof(Slot),
                  "a read value larger than a slot");
    Slot& slot = slots_.emplace_back();
    T* value = ::new (static_cast<void*>(slot.bytes)) T{};
    IpcRead(link_, offset, value);
    return *value;
  }
  // The one exchange; false when nothing was delivered (every value is then still zero).
  bool Process() { return IpcProcess(link_); }

 private:
  struct alignas(8) Slot {
    unsigned char bytes[16];
  };
  IpcClient& link_;
  std::deque<Slot> slots_;  // a deque never moves what it holds
};

class PanelReply {
 public:
  // `code` is the panel's reply (its table gives the labels, its registry row the debug block's
  // first line). The block goes to the state's log while its DebugEnabled is on.
  PanelReply(const RequestState& state, ReplyCode code);

  // Field `number` of the line: they come in line order, from 1.
  void Field(int number, std::string text);
  const std::string& Text(int number) const { return fields_[number - 1]; }
  const char* Label(int number) const;

  // The debug block, line by line. Fields first to last, each on a line of its own:
  // "- label:text".
  PanelReply& Log(int first, int last);
  PanelReply& Log(int number) { return Log(number, number); }
  // Several fields on one line under the first one's label, joined by `separator`:
  // "- Vientos:270/05".
  PanelReply& LogJoined(std::initializer_list<int> numbers, const char* separator);
  // A line of the builder's own making.
  PanelReply& LogText(const char* label, std::string text);
  // Whether the debug block is written: a line that takes work to make is made only then.
  bool Logging() const { return state_.DebugEnabled; }

  size_t FieldCount() const { return fields_.size(); }
  // Builds the line, then writes the debug block while DebugEnabled, and returns the line.
  std::string Finish() const;

 private:
  const RequestState& state_;
  const ReplySchema* schema_;
  const char* header_;
  std::vector<std::string> fields_;
  std::vector<std::pair<const char*, std::string>> logLines_;  // kept only while debugging
};

}  // namespace tavelor
