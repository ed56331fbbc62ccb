#include "probe/probe_codes.h"

#include "core/version_texts.h"

namespace tavelor::probe {

namespace {

std::vector<CodeInfo> BuildCodes() {
  std::vector<CodeInfo> codes;
  const auto command = [&](std::initializer_list<const char*> list) {
    for (const char* code : list) codes.push_back({code, CodeKind::kCommand});
  };

  command({"COM1", "CO11", "COM2", "CO22", "NAV1", "NAV2", "ADF0", "TRA0", "AUD0"});
  command({"APGP", "APAL", "APVS", "APHD"});
  command({"EBAT", "EALT", "EAVI", "EFUE", "EICE", "EPIT", "ECOW", "LIGH", "LAND", "FLAP"});
  command({"APCR", "APAP", "APFD", "APNA", "APPR", "APGS", "APHH", "APAA", "APSP", "APMM",
           "APYD", "APLV", "APIA", "APMA"});
  command({"BARO"});
  for (const char* chunk : {"PLA9", "PL99", "PLAX", "PLAN"}) {
    codes.push_back({chunk, CodeKind::kCommand, true});
  }
  command({"EXEC"});
  command({"MAGN", "FLPS", "GDRF", "OBS2", "AOBS"});

  for (const ReplySchema& schema : ReplySchemas()) {
    codes.push_back({schema.code, CodeKind::kReply, false, &schema});
  }

  for (const VersionText& version : kVersionTexts) codes.push_back({version.code, CodeKind::kVersion});
  return codes;
}

}  // namespace

const std::vector<CodeInfo>& KnownCodes() {
  static const std::vector<CodeInfo> codes = BuildCodes();
  return codes;
}

const CodeInfo* FindCode(const std::string& requestText) {
  for (const CodeInfo& info : KnownCodes()) {
    const bool match = info.code.size() == 3 ? requestText == info.code
                                             : requestText.compare(0, 4, info.code) == 0;
    if (match) return &info;
  }
  return nullptr;
}

std::string WireRequest(const std::string& request) {
  if (!FindCode(request) && request.size() > 2 && FindCode(request.substr(2))) return request;
  return "xx" + request;
}

std::string RequestTextOfWire(const std::string& wire) {
  return wire.size() > 2 ? wire.substr(2) : std::string();
}

}  // namespace tavelor::probe
