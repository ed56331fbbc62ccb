// The registry of request codes: every code the server knows, one row each in
// request_codes.inc, with its kind, its family in the reference, its handler, the columns of its
// arguments and how each is read, and for a panel reply its debug header. The dispatch table,
// the field tables' schema, the probe, tavelor-web and the generated reference all read these
// rows, so a code's string and its facts are written once. Standard headers only: the probe,
// tavelor-web and the reference's generator link it without the server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavelor {

// How an argument's characters become its value.
enum class ArgumentRead : uint8_t {
  kInteger,        // the integer parse: blanks, then a sign, in front allowed; nothing after
  kBcd,            // behind "$": each character one hexadecimal digit, as the simulator's BCD
  kBcdAfterZero,   // as kBcd with a 0 in front: the ADF's three digits
  kBits,           // "1" a set bit, any other character clear; the last character is bit 0
  kMinus,          // 1 for "-" (the value is negative), 0 for anything else or nothing
  kChunk,          // every byte to the request's end, as it is
};

// Positions (1-based, from the code's first letter) from..to; from 0: no such piece.
struct PositionSpan {
  uint16_t from = 0, to = 0;
};

// One argument: what it is, how it is read, and the one or two pieces of the request joined to
// make it (a frequency's digits around its decimal point). The dispatcher reads every argument
// before it calls the handler, unless the row leaves one to its handler (ReadByHandler): one
// whose reading must wait for something the handler does first.
struct ArgumentColumns {
  const char* what;
  ArgumentRead read;
  PositionSpan first, second;
  bool byHandler = false;
};

constexpr ArgumentColumns Columns(const char* what, ArgumentRead read, uint16_t from, uint16_t to) {
  return {what, read, {from, to}, {}};
}
constexpr ArgumentColumns Columns(const char* what, ArgumentRead read, uint16_t from, uint16_t to,
                                  uint16_t from2, uint16_t to2) {
  return {what, read, {from, to}, {from2, to2}};
}
// The same columns, read by the handler itself when it comes to them.
constexpr ArgumentColumns ReadByHandler(ArgumentColumns columns) {
  columns.byHandler = true;
  return columns;
}

// Columns several commands share. A digit that stands for a switch's position says what each
// value means.
namespace arguments {
inline constexpr ArgumentColumns kSwitch = Columns("the switch: 1 on, 0 off", ArgumentRead::kInteger, 6, 6);
inline constexpr const char* kSpeedMode = "the speed reference mode: 1 Mach, any other digit airspeed";
inline constexpr ArgumentColumns kDegrees = Columns("the degrees", ArgumentRead::kInteger, 6, 8);
inline constexpr ArgumentColumns kBcdActive =
    Columns("the active frequency's digits", ArgumentRead::kBcd, 7, 8, 10, 11);
inline constexpr ArgumentColumns kBcdStandby =
    Columns("the standby frequency's digits", ArgumentRead::kBcd, 14, 15, 17, 18);
inline constexpr ArgumentColumns kKhzActive =
    Columns("the active frequency", ArgumentRead::kInteger, 6, 8, 10, 12);
inline constexpr ArgumentColumns kKhzStandby =
    Columns("the standby frequency", ArgumentRead::kInteger, 14, 16, 18, 20);
// A flight plan chunk: position 5 is not read; at most 995 bytes, to the request text's end.
inline constexpr ArgumentColumns kChunk = Columns("the chunk", ArgumentRead::kChunk, 6, 1000);
}  // namespace arguments

enum class CodeKind : uint8_t { kCommand, kReply, kVersion };

// Where the reference lists a code.
enum class CodeFamily : uint8_t { kRadio, kAutopilot, kSystems, kFlightPlan, kReply, kVersion };

// The commands, by the name other code uses to hand them a request (the speed re-send).
enum class CommandCode : uint8_t {
#define COMMAND(id, code, family, handler, ...) id,
#define REPLY(id, code, builder, header)
#define VERSION(code, text)
#include "core/request_codes.inc"
#undef COMMAND
#undef REPLY
#undef VERSION
};

// The panel replies, by the name their builders use.
enum class ReplyCode : uint8_t {
#define COMMAND(id, code, family, handler, ...)
#define REPLY(id, code, builder, header) id,
#define VERSION(code, text)
#include "core/request_codes.inc"
#undef COMMAND
#undef REPLY
#undef VERSION
};

struct RequestCode {
  const char* code;        // three or four letters, compared byte for byte and by length
  CodeKind kind;
  CodeFamily family;
  std::vector<ArgumentColumns> arguments;  // commands: in the order the handler reads them
  std::optional<ReplyCode> reply;          // panel replies
  const char* debugHeader = "";            // panel replies: the debug block's first line
  const char* versionText = "";            // version codes: their answer, without CR LF
  size_t index = 0;                        // place in RequestCodes()

  // A flight plan chunk takes every byte after it, a version query sent after it too.
  bool TakesRestOfRequest() const;
};

// Every code, in the order the server compares them (no two are equal, so the order changes
// nothing).
const std::vector<RequestCode>& RequestCodes();

// The code named exactly so; nullptr for any other text.
const RequestCode* FindRequestCode(std::string_view code);
// The code a request text (without the two leading characters) starts with, matched as the
// server matches it: a four-letter code ignores what follows it, a three-letter code matches
// only a request of exactly its three letters. nullptr when no code matches.
const RequestCode* MatchRequestCode(std::string_view requestText);
const RequestCode& ReplyRow(ReplyCode reply);
const RequestCode& CommandRow(CommandCode command);
// The version query a client sends after a command, whose answer shows that the command was
// handled: the first of the version codes.
const RequestCode& BarrierQuery();

// The request text of what a user typed: `typed` itself, unless only what follows its first
// two characters starts with a code ("xxRADI", as in the README's examples).
std::string TypedRequestText(const std::string& typed);

// The characters an argument is made of: its pieces, joined (whatever of them the request has).
std::string ArgumentCharacters(const std::string& requestText, const ArgumentColumns& argument);
// The argument's value, read as the server reads it. Throws RequestError with the integer
// parse's message when its characters do not parse; kBits and kMinus never throw. Not for
// kChunk.
int32_t ArgumentValue(const std::string& requestText, const ArgumentColumns& argument);

// A command's arguments as the dispatcher hands them over: each column of its row read in the
// row's order before the handler runs, so a handler never cuts or parses its own (the first
// that does not parse ends the request with the integer parse's error, before anything is
// written). A column the row leaves to its handler is read when the handler asks for it.
class CommandArguments {
 public:
  // `text` (without the two leading characters) must outlive the arguments.
  CommandArguments(const std::string& text, const RequestCode& code);

  int32_t operator[](size_t argument) const { return values_.at(argument); }
  // A column the row leaves to the handler (ReadByHandler), read now.
  int32_t ReadNow(size_t argument) const { return ArgumentValue(text_, code_.arguments.at(argument)); }
  // A flight plan chunk's bytes.
  const std::string& Chunk() const { return chunk_; }
  const RequestCode& Code() const { return code_; }

 private:
  const std::string& text_;
  const RequestCode& code_;
  std::vector<int32_t> values_;
  std::string chunk_;
};

}  // namespace tavelor
