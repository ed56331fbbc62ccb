#include "replies/reply_schema.h"

#include <cctype>
#include <charconv>

namespace tavelor {

namespace {

// The kind column of the tables: a number, a text the server forms (switch runs, codes, clock
// digits), or a text copied from simulator memory.
enum FieldKind { kNumber, kText, kSimulatorText };

// A table row without its rule: the builders read the same rows with the rule (see
// replies/tables/).
#define FIELD(number, name, label, unit, width, kind, rule, meaning, encoding) \
  {number, name, label, unit, width, kind == kNumber, kind == kSimulatorText, meaning, encoding},

// Each reply's table; the compiler's switch check finds a reply of the registry without one.
std::vector<FieldInfo> FieldTable(ReplyCode reply) {
  switch (reply) {
    case ReplyCode::kDtpa:
      return {
#include "replies/tables/dtpa.inc"
      };
    case ReplyCode::kMaps:
      return {
#include "replies/tables/maps.inc"
      };
    case ReplyCode::kRadi:
      return {
#include "replies/tables/radi.inc"
      };
    case ReplyCode::kHsi:
      return {
#include "replies/tables/hsi.inc"
      };
    case ReplyCode::kPfd:
      return {
#include "replies/tables/pfd.inc"
      };
    case ReplyCode::kFgp:
      return {
#include "replies/tables/fgp.inc"
      };
    case ReplyCode::kFms:
      return {
#include "replies/tables/fms.inc"
      };
    case ReplyCode::kC172:
      return {
#include "replies/tables/c172.inc"
      };
    case ReplyCode::kC177:
      return {
#include "replies/tables/c177.inc"
      };
    case ReplyCode::kXrad:
      return {
#include "replies/tables/xrad.inc"
      };
    case ReplyCode::kPmap:
      return {
#include "replies/tables/pmap.inc"
      };
    case ReplyCode::kPfdp:
      return {
#include "replies/tables/pfdp.inc"
      };
  }
  return {};
}

std::vector<ReplySchema> BuildSchemas() {
  std::vector<ReplySchema> schemas;
  for (const RequestCode& row : RequestCodes())
    if (row.reply) schemas.push_back({row.code, FieldTable(*row.reply)});
  return schemas;
}

#undef FIELD

}  // namespace

const std::vector<ReplySchema>& ReplySchemas() {
  static const std::vector<ReplySchema> schemas = BuildSchemas();
  return schemas;
}

const ReplySchema& ReplySchemaOf(ReplyCode reply) {
  return ReplySchemas()[static_cast<size_t>(reply)];
}

const ReplySchema* FindReplySchema(std::string_view code) {
  for (const ReplySchema& schema : ReplySchemas()) {
    if (code == schema.code) return &schema;
  }
  return nullptr;
}

std::optional<double> FieldNumber(std::string_view text) {
  const size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return std::nullopt;
  text.remove_prefix(start);
  // A negative zero-filled to its width keeps its zeros in front of the sign: "00-50".
  const size_t zeros = text.find_first_not_of('0');
  if (zeros != std::string_view::npos && zeros > 0 && text[zeros] == '-') text.remove_prefix(zeros);
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  // Digits first: the parse below would also take "inf" and "nan".
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return std::nullopt;
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  if (value == 0) return 0.0;  // "-0000" is zero, not minus zero
  return negative ? -value : value;
}

std::optional<std::vector<std::string_view>> ReplyFieldTexts(std::string_view line) {
  if (line.ends_with("\r\n")) line.remove_suffix(2);
  if (!line.ends_with(':')) return std::nullopt;  // every field, the last too, ends with ':'
  line.remove_suffix(1);
  std::vector<std::string_view> texts;
  for (size_t start = 0;;) {
    const size_t colon = line.find(':', start);
    texts.push_back(line.substr(start, colon - start));
    if (colon == std::string_view::npos) return texts;
    start = colon + 1;
  }
}

std::optional<std::vector<FieldValue>> ReadReplyLine(const ReplySchema& schema, std::string_view line) {
  const std::optional<std::vector<std::string_view>> texts = ReplyFieldTexts(line);
  if (!texts || texts->size() != schema.fields.size()) return std::nullopt;
  std::vector<FieldValue> values;
  values.reserve(schema.fields.size());
  for (size_t i = 0; i < texts->size(); ++i) {
    const FieldInfo& info = schema.fields[i];
    values.push_back({&info, std::string((*texts)[i]), info.numeric ? FieldNumber((*texts)[i]) : std::nullopt});
  }
  return values;
}

}  // namespace tavelor
