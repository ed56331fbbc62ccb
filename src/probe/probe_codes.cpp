#include "probe/probe_codes.h"

#include "core/request_codes.h"

namespace tavelor::probe {

namespace {

std::vector<CodeInfo> BuildCodes() {
  std::vector<CodeInfo> codes;
  for (const RequestCode& row : RequestCodes()) {
    const CodeKind kind = row.kind == tavelor::CodeKind::kCommand ? CodeKind::kCommand
                          : row.kind == tavelor::CodeKind::kReply ? CodeKind::kReply
                                                                  : CodeKind::kVersion;
    codes.push_back({row.code, kind, row.TakesRestOfRequest(), FindReplySchema(row.code), &row});
  }
  return codes;
}

}  // namespace

const std::vector<CodeInfo>& KnownCodes() {
  static const std::vector<CodeInfo> codes = BuildCodes();
  return codes;
}

const CodeInfo* FindCode(const std::string& requestText) {
  const RequestCode* row = MatchRequestCode(requestText);
  return row ? &KnownCodes()[row->index] : nullptr;
}

std::string WireRequest(const std::string& request) {
  return TypedRequestText(request).size() < request.size() ? request : "xx" + request;
}

std::string RequestTextOfWire(const std::string& wire) {
  return wire.size() > 2 ? wire.substr(2) : std::string();
}

}  // namespace tavelor::probe
