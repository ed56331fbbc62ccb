#include "probe/probe_codes.h"

#include <cstdio>

namespace tavelor::probe {

namespace {

using Labels = std::vector<std::string>;

Labels Join(std::initializer_list<Labels> parts) {
  Labels all;
  for (const Labels& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::string SlotName(int slot) {
  char name[8];
  std::snprintf(name, sizeof name, "Tcas%02d", slot);
  return name;
}

// The fifteen traffic slots of both map replies: four fields per slot, then the call signs.
Labels TrafficLabels() {
  Labels labels;
  for (int k = 1; k <= 15; ++k) {
    for (const char* part : {" lat", " lon", " alt", " trend"}) labels.push_back(SlotName(k) + part);
  }
  for (int k = 1; k <= 15; ++k) labels.push_back(SlotName(k) + " call");
  return labels;
}

const Labels kWind = {"Vientos dir", "Vientos kt"};

Labels NavLabels(const std::string& nav) {
  return {nav + " id", nav + " dme", nav + " radial", nav + " aux"};
}

std::vector<CodeInfo> BuildCodes() {
  std::vector<CodeInfo> codes;
  const auto command = [&](std::initializer_list<const char*> list) {
    for (const char* code : list) codes.push_back({code, CodeKind::kCommand, false, {}});
  };
  const auto reply = [&](const char* code, Labels labels) {
    codes.push_back({code, CodeKind::kReply, false, std::move(labels)});
  };

  command({"COM1", "CO11", "COM2", "CO22", "NAV1", "NAV2", "ADF0", "TRA0", "AUD0"});
  command({"APGP", "APAL", "APVS", "APHD"});
  command({"EBAT", "EALT", "EAVI", "EFUE", "EICE", "EPIT", "ECOW", "LIGH", "LAND", "FLAP"});
  command({"APCR", "APAP", "APFD", "APNA", "APPR", "APGS", "APHH", "APAA", "APSP", "APMM",
           "APYD", "APLV", "APIA", "APMA"});
  command({"BARO"});
  for (const char* chunk : {"PLA9", "PL99", "PLAX", "PLAN"}) {
    codes.push_back({chunk, CodeKind::kCommand, true, {}});
  }
  command({"EXEC"});
  command({"MAGN", "FLPS", "GDRF", "OBS2", "AOBS"});

  reply("DTPA", {"BTN+LIGHT+LAND", "FLAPS lever", "FLAPS handle"});
  reply("MAPS", Join({{"Lat", "Lon", "Dir"}, kWind, {"Gps Id", "Gps Dme", "Gps Ete", "Alt"},
                      TrafficLabels(), {"RadAlt", "Mag"}}));
  reply("RADI", {"Dme1", "Dme2", "Transponder", "Com1a", "Com1b", "Nav1a", "Nav1b", "Nav2a",
                 "Nav2b", "Adf", "Audio", "Com2a", "Com2b"});
  reply("HSI", Join({{"Derr", "Adf", "Vor2", "Dme1", "Dme2", "Hdg", "Crs", "sGsv", "sGsh", "Tof",
                      "Ils", "Ap", "ApAlt", "ApVsp", "Marker"},
                     kWind,
                     {"Nav1 Id", "Nav2 Id", "Gps Id", "Gps Dme", "Gps Crs", "Gps Gsv"}}));
  reply("PFD", Join({{"Ias", "Ace", "Vsp", "sAlt", "Pich", "Bank", "Ground", "Ap", "Ap Alt",
                      "sMatch", "GS", "Qnh", "Rum", "Adf", "Vor2", "Hdg", "Crs", "Tof", "GsVor",
                      "GsIls", "Ils"},
                     kWind, NavLabels("Nav1"), NavLabels("Nav2"),
                     {"ApVsp", "AdfId", "Tas", "Oat", "Ap 8th", "Ap Mach", "FDir", "FDir 2EE8",
                      "FDir 2EF0", "Barb.P.", "Ap Ias", "Adf flag", "Speed mode", "Gps Id",
                      "Gps Dme", "Gps Crs", "Gps Gsv", "Gps Ete"}}));
  reply("FGP", {"Ap", "Hdg", "Crs", "Ap Alt", "Ap Vsp", "Ap Ias", "Derr", "Dir To", "Alt To",
                "Ap Mach", "Qnh"});
  reply("FMS", {"Lat", "Lon", "Gps Id"});
  reply("C172", {"Master", "Electr", "Magnet", "Avioni", "Flaps", "Oat", "Vol", "Time local",
                 "Time UTC", "Fuel left", "Fuel right", "Egt", "Flw", "Oil T", "Oil P", "Vac",
                 "Amp", "Ias", "Alt", "Qnh", "Vsp", "Rpm", "Gdr", "Der", "Hdg", "Obs1", "ToFr1",
                 "Ils", "Loc1", "Gs1", "Obs2", "ToFr2", "Loc2", "Adf", "AHdg", "Bola", "Bast",
                 "Pich", "Bank"});
  reply("C177", {"Master", "Electr", "Magnet", "Avioni", "Trim", "Obs1", "ToFr1", "Ils", "Loc1",
                 "Gs1", "Adf", "AHdg", "Alt", "Qnh", "Vsp", "Gdr", "Der", "Hdg", "Pich", "Bank",
                 "Bola", "Bast", "Ias", "Flaps", "Rpm", "Flw", "Man", "Time", "Vac", "Egt",
                 "Fuel Prs", "Cht", "Fuel left", "Fuel right", "Oil T", "Oil P", "Amp"});
  reply("XRAD", {"Audio", "Com1a", "Com1b", "Com2a", "Com2b", "Nav1a", "Nav1b", "Dme1", "Nav2a",
                 "Nav2b", "Dme2", "Adf", "Trs", "Ap", "ApAlt", "ApVsp", "Lat", "Lon", "Dir",
                 "Avi+Bat", "Mag"});
  reply("PMAP", Join({{"Lat", "Lon", "Dir"}, kWind, {"RadAlt", "Zero1", "Zero2", "Alt"},
                      TrafficLabels(),
                      {"Oat", "Gsp", "Adf", "Adf flag", "Vor2", "Vor2 flag", "Crs", "Tof",
                       "GsVor1", "Gps sel", "Gps crs", "Gps needle", "Ils", "GsIls", "Nav1 id",
                       "Nav1 dme", "Nav2 id", "Nav2 dme", "Gps id", "Gps dme", "Mag"}}));
  reply("PFDP", Join({{"Pich", "Bank", "FDir", "FDir 2EE8", "FDir 2EF0", "Ap", "Ias", "Barb.P.",
                       "Rad Alt", "Ace", "Ap Ias", "Tas", "Alt", "VerSp", "Ap Alt", "Ap Vsp",
                       "Rum", "Adf", "Vor2", "Hdg", "Crs", "Tof", "GsVor", "GsIls", "Ils"},
                      NavLabels("Nav1"), NavLabels("Nav2"),
                      {"AdfId", "Adf flag", "Gps Id", "Gps Dme", "Gps Crs", "Gps Gsv", "Gps Ete",
                       "Gsp"},
                      kWind, {"Oat", "Mark"}}));

  for (const char* version : {"V100", "V172", "V177", "VMAP", "VPFD"}) {
    codes.push_back({version, CodeKind::kVersion, false, {}});
  }
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
