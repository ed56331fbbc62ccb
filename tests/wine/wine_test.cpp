// TavelorServer.exe and tavelor-sim.exe under Wine, checked from Linux: the link to the
// stand-in simulator through the real Win32 window, atom and mapping calls; the listener on
// port 9696 over loopback; the window and its log through win_inspect.exe.
//
// The server listens on the fixed port 9696, so these tests run one at a time (RUN_SERIAL), in
// a network namespace of their own, and each one closes what it started. A CTest fixture
// creates the namespace and the prefix once per run, and stops Wine and removes the namespace
// at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>

#include "e2e/harness.h"
#include "replies/reply_schema.h"
#include "support/recordings.h"
#include "wine_harness.h"

namespace tavelor::wine {

std::string gNoPrivateNetwork;  // why the tests cannot have their own network, if they cannot

namespace {

namespace fs = std::filesystem;
constexpr int kServerPort = 9696;
const Ms kStart(60000);  // a program's first start in a prefix can be slow
const Ms kReply(10000);

std::string Exe(const std::string& name) { return std::string(TAVELOR_WINDOWS_BIN_DIR) + "/" + name; }

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

RunResult Inspect(const std::vector<std::string>& args, Ms timeout = Ms(30000)) {
  std::vector<std::string> argv = {"wine", Exe("win_inspect.exe")};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, timeout);
}

std::vector<std::string> MemoLines() { return SplitLines(Inspect({"memo"}).out); }

int Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

class WineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!WineInstalled()) GTEST_SKIP() << "wine is not installed: the Windows programs cannot run";
    if (!gNoPrivateNetwork.empty()) GTEST_SKIP() << gNoPrivateNetwork;
    for (const char* exe : {"TavelorServer.exe", "tavelor-sim.exe", "win_inspect.exe"})
      ASSERT_TRUE(FileExists(Exe(exe))) << Exe(exe) << " is missing: run scripts/build-windows.sh";
    ASSERT_TRUE(WaitPortFree(kServerPort, Ms(30000))) << "port 9696 is still taken";
  }

  void TearDown() override {
    if (server_.Running()) {
      Inspect({"close", "10000"});
      if (server_.Wait(Ms(10000)) < 0) server_.Kill();
    }
    StopSim();
  }

  void StartSim(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> argv = {"wine", Exe("tavelor-sim.exe"), "--control", "0"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    sim_.Start(argv, {}, WineErrorLog());
    std::string line;
    ASSERT_TRUE(sim_.WaitForLine("tavelor-sim: window", kStart, &line)) << "the simulator did not start";
    const size_t colon = line.rfind(':');
    ASSERT_TRUE(control_.Connect(std::atoi(line.c_str() + colon + 1))) << line;
  }

  void StopSim() {
    if (!sim_.Running()) return;
    control_.Command("quit");
    if (sim_.Wait(Ms(10000)) < 0) sim_.Kill();
  }

  void StartServer(const std::string& exe = Exe("TavelorServer.exe"),
                   const std::vector<std::string>& env = {}, const std::vector<std::string>& args = {}) {
    std::vector<std::string> argv = {"wine", exe};
    argv.insert(argv.end(), args.begin(), args.end());
    server_.Start(argv, env, WineErrorLog());
    ASSERT_EQ(Inspect({"wait", "TfMain", "60000"}, kStart).exitCode, 0) << "no main window";
  }

  Client Connect() {
    Client client;
    EXPECT_TRUE(client.Connect(kServerPort, Ms(30000))) << "nothing listens on 9696";
    return client;
  }

  static std::string Ask(Client& client, const std::string& request) {
    client.Send(request);
    return client.ReadUntil("\r\n", kReply);
  }

  // The log once `done` holds for it, or as it is when the time is up.
  template <typename Done>
  std::vector<std::string> WaitForLog(Done done, Ms timeout = Ms(15000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      std::vector<std::string> lines = MemoLines();
      if (done(lines) || std::chrono::steady_clock::now() >= deadline) return lines;
      std::this_thread::sleep_for(Ms(100));
    }
  }
  std::vector<std::string> WaitForLogLine(const std::string& line, int count = 1) {
    return WaitForLog([&](const std::vector<std::string>& l) { return Count(l, line) >= count; });
  }

  Process sim_;
  Process server_;
  SimControl control_;
};

// Values the radio panel reads, poked into the simulator, and the reply line they make.
const char* const kRadioPokes[] = {
    "poke 0300 7B00",  // DME 1: 12.3 nm
    "poke 0306 251C",  // DME 2: beyond 650 nm reads 0.0
    "poke 0354 2145",  // transponder 4521
    "poke 034E 3518",  // COM1 118.35
    "poke 311A 7021",  // COM1 standby 121.70
    "poke 3118 9032",  // COM2 132.90
    "poke 311C 5022",  // COM2 standby 122.50
    "poke 0350 9010",  // NAV1 110.90
    "poke 311E 5008",  // NAV1 standby 108.50
    "poke 0352 2013",  // NAV2 113.20
    "poke 3120 4511",  // NAV2 standby 111.45
    "poke 034C 7903",  // ADF 379
    "poke 3122 A5",    // audio switches
};
const char kRadioReply[] =
    " 12.3:  0.0:4521:118.35:121.70:110.90:108.50:113.20:111.45:0379:10100101:132.90:122.50:\r\n";
// What the radio panel answers when the exchange fails: every value zero.
const char kZeroRadioReply[] =
    "  0.0:  0.0:0000:100.00:100.00:100.00:100.00:100.00:100.00:0000:00000000:100.00:100.00:\r\n";

TEST_F(WineTest, StartsWithoutSimulatorThenConnectsAndServes) {
  StartServer();
  // Two connect attempts go by with nothing to find: the log holds the start lines only.
  std::this_thread::sleep_for(Ms(2500));
  const std::vector<std::string> start = {"", "- Tavelor Server v2.02A",
                                          "- Note: Run in administrator mode",
                                          "- Connecting to Fsuipc . . ."};
  EXPECT_EQ(MemoLines(), start);

  StartSim();
  WaitForLogLine("- Listening Port 9696 ...");
  Client client = Connect();
  const std::vector<std::string> log = WaitForLogLine("- New Client Connected");
  ASSERT_EQ(log.size(), 8u) << ::testing::PrintToString(log);
  EXPECT_TRUE(std::equal(start.begin(), start.end(), log.begin()));
  EXPECT_EQ(log[4], "- Fsuipc Connected OK");
  EXPECT_EQ(log[5], "- Listening Port 9696 ...");
  EXPECT_TRUE(std::regex_match(log[6], std::regex(R"(- IP: \d+\.\d+\.\d+\.\d+)"))) << log[6];
  EXPECT_EQ(log[7], "- New Client Connected");

  struct Case {
    const char* request;
    const char* reply;
  };
  const Case versions[] = {
      {"xxV100\r\n", "2.01b\r\n"}, {"..V172", "2.02a\r\n"},       {"ABV177", "2.02a\r\n"},
      {"xxVMAP", "2.01a\r\n"},     {"xxVPFD\r\n", "2.01a\r\n"},   {"xxv100", "noversion\r\n"},
      {"V100", "noversion\r\n"},   {"xxHSI\r\n", "noversion\r\n"}, {"xx", "noversion\r\n"},
  };
  for (const Case& c : versions) EXPECT_EQ(Ask(client, c.request), c.reply) << c.request;

  client.Close();
  const std::vector<std::string> closed = WaitForLogLine("- Client Disconnected");
  EXPECT_EQ(closed.back(), "- Client Disconnected");
}

TEST_F(WineTest, RadioReplyAndCommandTravelTheLink) {
  StartSim();
  StartServer();
  Client client = Connect();
  for (const char* poke : kRadioPokes) ASSERT_EQ(control_.Command(poke), "OK") << poke;
  EXPECT_EQ(Ask(client, "xxRADI\r\n"), kRadioReply);

  control_.Journal();  // forget the handshake and the reply's reads
  // COM1 119.25, standby 121.80: the digits at their fixed positions, written as BCD.
  ASSERT_TRUE(client.Send("xxCOM1 119.25 121.80"));
  const std::vector<std::string> journal = control_.JournalOf(2);
  EXPECT_EQ(Ask(client, "xxV100"), "2.01b\r\n") << "a command is not answered";
  ASSERT_EQ(journal.size(), 2u) << ::testing::PrintToString(journal);
  EXPECT_TRUE(std::regex_match(journal[0], std::regex(R"(\d+ W 034E 2 2519)"))) << journal[0];
  EXPECT_TRUE(std::regex_match(journal[1], std::regex(R"(\d+ W 311A 2 8021)"))) << journal[1];
  EXPECT_EQ(journal[0].substr(0, journal[0].find(' ')), journal[1].substr(0, journal[1].find(' ')))
      << "both writes go in one exchange";
  EXPECT_EQ(control_.Command("peek 034E 2"), "OK 2519");
}

TEST_F(WineTest, FindsASimulatorWindowOfTheSecondClass) {
  StartSim({"--class", "FS98MAIN"});
  StartServer();
  Client client = Connect();
  EXPECT_EQ(Ask(client, "xxV177"), "2.02a\r\n");
  for (const char* poke : kRadioPokes) ASSERT_EQ(control_.Command(poke), "OK");
  EXPECT_EQ(Ask(client, "xxRADI"), kRadioReply);
  EXPECT_EQ(Count(MemoLines(), "- Fsuipc Connected OK"), 1);
}

TEST_F(WineTest, WindowLayoutAndDebugSwitch) {
  StartSim();
  StartServer();
  Client client = Connect();
  const auto info = KeyValues(Inspect({"info"}).out);
  const std::map<std::string, std::string> expected = {
      {"caption", "Tavelor Server v2.02A"},
      {"class", "TfMain"},
      {"position", "0,0"},
      {"client", "351,108"},
      {"sizable", "0"},
      {"maximizebox", "0"},
      {"caption_bar", "1"},
      {"visible", "1"},
      {"memo", "0,0,351,108"},
      {"memo_multiline", "1"},
      {"memo_vscroll", "1"},
      {"memo_wordwrap", "1"},
      {"memo_readonly", "0"},
      {"button", "376,8,75,25"},
      {"button_caption", "Debug Off"},
      {"button_tabstop", "1"},
  };
  for (const auto& [key, value] : expected) EXPECT_EQ(info.count(key) ? info.at(key) : "?", value) << key;

  // From the keyboard: Tab leaves the log for the button, Space presses it.
  const auto keys = KeyValues(Inspect({"keys"}).out);
  EXPECT_EQ(keys.count("tab_path") ? keys.at("tab_path") : "", "memo>button");
  EXPECT_EQ(keys.count("button_caption") ? keys.at("button_caption") : "", "Debug On");
  // A click switches it back off: a request then logs nothing.
  EXPECT_EQ(KeyValues(Inspect({"click"}).out)["button_caption"], "Debug Off");
  const size_t quiet = WaitForLog([](const std::vector<std::string>& l) {
                         return l.back() == "- New Client Connected";
                       }).size();
  EXPECT_EQ(Ask(client, "xxV100"), "2.01b\r\n");
  std::this_thread::sleep_for(Ms(300));
  EXPECT_EQ(MemoLines().size(), quiet) << "with debug off a request adds no line";

  EXPECT_EQ(KeyValues(Inspect({"click"}).out)["button_caption"], "Debug On");
  const size_t before = MemoLines().size();
  Ask(client, "xxRADI");
  const std::vector<std::string> log = WaitForLog(
      [&](const std::vector<std::string>& l) { return l.size() >= before + 15; });
  ASSERT_GE(log.size(), before + 15);
  EXPECT_TRUE(std::regex_match(log[before], std::regex(R"(\d\d:\d\d:\d\d <- received code:RADI)")))
      << log[before];
  EXPECT_EQ(log[before + 1], "- Radio Panel:--------------------");
  // Two bytes only: the line still comes, with an empty code.
  EXPECT_EQ(Ask(client, "xx"), "noversion\r\n");
  const std::vector<std::string> after = WaitForLog(
      [&](const std::vector<std::string>& l) { return l.size() > log.size(); });
  EXPECT_TRUE(std::regex_match(after.back(), std::regex(R"(\d\d:\d\d:\d\d <- received code:)")))
      << after.back();
}

TEST_F(WineTest, RequestErrorIsLoggedAndTheConnectionServesOn) {
  StartSim();
  StartServer();
  Client client = Connect();
  control_.Journal();
  ASSERT_TRUE(client.Send("xxCOM1"));
  const std::vector<std::string> log =
      WaitForLogLine("- Error: '$' is not a valid integer value.");
  EXPECT_EQ(Count(log, "- Error: '$' is not a valid integer value."), 1)
      << ::testing::PrintToString(log);
  EXPECT_EQ(client.ReadFor(Ms(300)), "");
  // Logged, not shown in a box that would wait for someone to press OK.
  EXPECT_NE(Inspect({"errorbox", "500"}).exitCode, 0) << "an error box is open";
  EXPECT_EQ(Ask(client, "xxV100\r\n"), "2.01b\r\n");
  for (const std::string& record : control_.Journal())
    EXPECT_EQ(record.find(" W "), std::string::npos) << "nothing is written: " << record;
}

TEST_F(WineTest, PortTakenAtStartShowsTheBindError) {
  PortBlocker blocker(kServerPort);
  ASSERT_TRUE(blocker.Ok());
  StartSim();
  StartServer();
  const RunResult box = Inspect({"errorbox", "30000"}, Ms(40000));
  ASSERT_EQ(box.exitCode, 0) << box.out;
  const auto shown = KeyValues(box.out);
  EXPECT_EQ(shown.at("title"), "TavelorServer");
  EXPECT_EQ(shown.count("icon"), 1u) << "the error icon";
  EXPECT_EQ(shown.at("button"), "OK");
  const std::regex bindError(R"(Windows socket error: .* \(10048\), on API 'bind')");
  EXPECT_TRUE(std::regex_match(shown.at("text"), bindError)) << shown.at("text");
  EXPECT_EQ(shown.at("closed"), "1");

  // Logged too; no listening lines, and no second attempt.
  std::this_thread::sleep_for(Ms(2500));
  const std::vector<std::string> log = MemoLines();
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(log[4], "- Fsuipc Connected OK");
  EXPECT_EQ(log[5], "- Error: " + shown.at("text"));
  EXPECT_EQ(log.size(), 6u) << ::testing::PrintToString(log);
}

TEST_F(WineTest, SimulatorGoesAwayAndComesBack) {
  StartSim();
  StartServer();
  Client client = Connect();
  for (const char* poke : kRadioPokes) ASSERT_EQ(control_.Command(poke), "OK");
  EXPECT_EQ(Ask(client, "xxRADI"), kRadioReply);

  ASSERT_EQ(control_.Command("quit"), "OK");
  ASSERT_EQ(sim_.Wait(Ms(15000)), 0);
  // The exchange finds the window gone: zeros for this reply, and the link is closed.
  EXPECT_EQ(Ask(client, "xxRADI"), kZeroRadioReply);
  WaitForLogLine("- Fsuipc Disconnected");

  StartSim();
  const std::vector<std::string> log = WaitForLogLine("- Fsuipc Connected OK", 2);
  EXPECT_EQ(Count(log, "- Fsuipc Connected OK"), 2) << ::testing::PrintToString(log);
  EXPECT_EQ(Count(log, "- Fsuipc Disconnected"), 1);
  EXPECT_EQ(Count(log, "- Listening Port 9696 ..."), 1) << "the listener stays as it was";
  EXPECT_EQ(log.back(), "- Fsuipc Connected OK");
  for (const char* poke : kRadioPokes) ASSERT_EQ(control_.Command(poke), "OK");
  EXPECT_EQ(Ask(client, "xxRADI"), kRadioReply) << "the same connection is served again";
}

// Two clients allowed. While the server waits for a silent simulator, one client connects and
// then another leaves: once it is free again, the leaving one's slot goes to the newcomer.
TEST_F(WineTest, AClientThatLeftWhileTheServerWasBusyFreesItsSlot) {
  StartSim();
  StartServer(Exe("TavelorServer.exe"), {}, {"--max-clients", "2"});
  Client busy = Connect();
  Client leaving = Connect();
  WaitForLogLine("- New Client Connected", 2);
  ASSERT_EQ(control_.Command("hang 1"), "OK");
  ASSERT_TRUE(busy.Send("xxRADI"));  // the server waits two seconds for the exchange
  std::this_thread::sleep_for(Ms(300));
  Client newcomer = Connect();
  leaving.Close();
  EXPECT_EQ(busy.ReadLine().size(), sizeof kRadioReply - 1);
  const std::vector<std::string> log = WaitForLogLine("- New Client Connected", 3);
  EXPECT_EQ(Count(log, "- New Client Connected"), 3) << ::testing::PrintToString(log);
  EXPECT_EQ(Count(log, "- Client Disconnected"), 1);
  EXPECT_EQ(Ask(newcomer, "xxV100"), "2.01b\r\n");
}

// A simulator that answers every exchange with harm (see hostile_sim.cpp): every reply keeps its
// shape, a value no real can hold (a not-a-number where a real is read) ends its request with the
// fault in the log, as any such value does, and the server keeps its client. Once that simulator
// is gone, a good one is taken again.
TEST_F(WineTest, AHostileSimulatorCannotBreakTheServer) {
  Process hostile;
  hostile.Start({"wine", Exe("hostile_sim.exe"), "3000"}, {}, WineErrorLog());
  ASSERT_TRUE(hostile.WaitForLine("hostile_sim: window", kStart));
  StartServer();
  Client client = Connect();
  WaitForLogLine("- Fsuipc Connected OK");
  int asked = 0, shaped = 0, unanswered = 0;
  for (int round = 0; round < 400 && hostile.Running(); ++round) {
    for (const ReplySchema& schema : ReplySchemas()) {
      client.Send(std::string("xx") + schema.code);
      const std::string line = client.ReadUntil("\r\n", Ms(500));
      ++asked;
      if (line.empty()) {
        ++unanswered;
        ASSERT_EQ(Ask(client, "xxV100"), "2.01b\r\n") << schema.code << " after " << asked << " requests";
      } else {
        shaped += ReadReplyLine(schema, line.substr(0, line.size() - 2)).has_value();
      }
    }
  }
  EXPECT_EQ(shaped, asked - unanswered);
  const std::vector<std::string> log = MemoLines();
  EXPECT_EQ(Count(log, "- Error: Invalid floating point operation.") + Count(log, "- Error: Floating point overflow.") +
                Count(log, "- Error: Floating point division by zero."),
            unanswered) << ::testing::PrintToString(log);
  ASSERT_EQ(hostile.Wait(Ms(60000)), 0) << "the hostile simulator did not end";
  WaitForLogLine("- Fsuipc Disconnected");
  StartSim();
  WaitForLogLine("- Fsuipc Connected OK", 2);
  for (const char* poke : kRadioPokes) ASSERT_EQ(control_.Command(poke), "OK");
  EXPECT_EQ(Ask(client, "xxRADI"), kRadioReply) << "after " << asked << " requests, " << unanswered << " unanswered";
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

// The folder made read-only for as long as it lives, as Program Files is to a user: a bind
// mount, since root writes anywhere.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::string& path) : path_(path) {
    ok_ = mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
          mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  }
  ~ReadOnlyFolder() { umount2(path_.c_str(), MNT_DETACH); }
  bool Ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

// The Windows path "C:\a\b" as a file of the prefix.
std::string InPrefix(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return std::string(TAVELOR_WINE_PREFIX) + "/drive_c" + path.substr(2);
}

// A Linux path as the Windows programs see it, on drive Z:.
std::string OnZ(const fs::path& path) {
  std::string windows = "Z:" + path.string();
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

// A folder beside the prefix, made afresh; one a killed run left read-only is let go first.
fs::path FreshFolder(const std::string& name) {
  const fs::path folder = fs::path(TAVELOR_WINE_PREFIX).parent_path() / name;
  umount2(folder.c_str(), MNT_DETACH);
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

// Where the program is: in a folder it may write (the plan beside it), in one it may not, or
// installed under Program Files, which it may write here as an administrator may but never does
// (the plan in the user's own folder, made by the first plan).
enum class PlanPlace { kWritable, kReadOnly, kProgramFiles };
class PlanFolderTest : public WineTest, public ::testing::WithParamInterface<PlanPlace> {};

TEST_P(PlanFolderTest, FlightPlanIsConvertedFromTheSystemCodePageAndStoredWhereTheProgramMayWrite) {
  // A copy of the program in a folder of its own, in a Cyrillic Windows (code page 1251):
  // the plan is converted from that code page, not from Western.
  const PlanPlace place = GetParam();
  const fs::path folder = place == PlanPlace::kProgramFiles ? fs::path(InPrefix("C:\\Program Files\\TavelorPlanTest"))
                                                            : FreshFolder("plan-run");
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::copy_file(Exe("TavelorServer.exe"), folder / "TavelorServer.exe");
  std::string path = OnZ(folder / "Quindrel.pln");
  std::string file = (folder / "Quindrel.pln").string();
  std::optional<ReadOnlyFolder> readOnly;
  if (place != PlanPlace::kWritable) {
    std::string local = wine::Run({"wine", "cmd", "/c", "echo %LOCALAPPDATA%"}, kStart).out;
    local.erase(local.find_last_not_of("\r\n") + 1);
    path = local + "\\TavelorServer\\Quindrel.pln";
    file = InPrefix(path);
    fs::remove_all(fs::path(file).parent_path());  // made by the first plan, not before
  }
  if (place == PlanPlace::kReadOnly) {
    readOnly.emplace(folder.string());
    ASSERT_TRUE(readOnly->Ok()) << "cannot make " << folder << " read-only: " << std::strerror(errno);
  }
  StartSim();
  // Started by its Windows path, as the Start menu would: the program finds itself there.
  const std::string exe = place == PlanPlace::kProgramFiles ? "C:\\Program Files\\TavelorPlanTest\\TavelorServer.exe"
                                                           : (folder / "TavelorServer.exe").string();
  StartServer(exe, {"LANG=ru_RU.UTF-8", "LC_ALL=ru_RU.UTF-8"});
  Client client = Connect();

  // "&" becomes the degree sign, 0xB0 in that code page too; 0xE9 there is a Cyrillic letter.
  ASSERT_TRUE(client.Send("xxPLAX N45&30 \xE9t\xE9"));
  const std::string expected = "\xEF\xBB\xBF" "N45\xC2\xB0" "30 \xD0\xB9t\xD0\xB9";
  std::string stored;
  for (int i = 0; i < 50 && stored != expected; ++i) {
    std::this_thread::sleep_for(Ms(100));
    stored = testing::FileBytes(file);
  }
  EXPECT_EQ(Hex(stored), Hex(expected)) << file;

  // EXEC hands the simulator the file's full Windows path.
  control_.Journal();
  ASSERT_TRUE(client.Send("xxEXEC"));
  const std::vector<std::string> journal = control_.JournalOf(1);
  ASSERT_EQ(journal.size(), 1u) << ::testing::PrintToString(journal);
  const std::string field = path + std::string(256 - path.size(), '\0');
  EXPECT_TRUE(std::regex_match(journal[0], std::regex(R"(\d+ W 0130 256 )" + Hex(field))))
      << journal[0] << "\nexpected the path " << path;
}

std::string PlaceName(const ::testing::TestParamInfo<PlanPlace>& info) {
  const char* names[] = {"Writable", "ReadOnly", "ProgramFiles"};
  return names[static_cast<int>(info.param)];
}
INSTANTIATE_TEST_SUITE_P(Wine, PlanFolderTest,
                         ::testing::Values(PlanPlace::kWritable, PlanPlace::kReadOnly, PlanPlace::kProgramFiles),
                         PlaceName);

// A flight recorded by the Windows program into a folder whose name holds a blank, as a
// shortcut would give it, and replayed by the stand-in on Linux: every reply again; and by the
// Windows stand-in.
TEST_F(WineTest, RecordsAFlightThatTheStandInReplaysOnLinux) {
  const fs::path folder = FreshFolder("record-run/My Flights");
  StartSim({"--fly"});
  ASSERT_EQ(control_.Command("fly at 900"), "OK");
  StartServer(Exe("TavelorServer.exe"), {}, {"--record", OnZ(folder)});
  Client client = Connect();
  const std::vector<std::string> codes = {"xxHSI", "xxRADI", "xxPFDP"};
  const std::vector<std::string> recorded = testing::Poll(client, codes, 30, Ms(30));
  const std::vector<fs::path> files(fs::directory_iterator(folder), fs::directory_iterator{});
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files[0].filename().string(), std::regex(R"(flight-\d{4}-\d\d-\d\d-\d{6}\.tvr)")));
  const std::vector<std::string> log = MemoLines();
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log[4], "- Recording to " + OnZ(files[0]));
  client.Close();
  Inspect({"close", "10000"});
  EXPECT_EQ(server_.Wait(Ms(15000)), 0);
  const testing::ReadBack back = testing::ReadRecording(testing::FileBytes(files[0]));
  ASSERT_EQ(back.exchanges.size(), recorded.size()) << back.error;

  e2e::Stack linux;
  linux.StartServer({"--sim", "--replay", files[0], "--sim-control", std::to_string(linux.controlPort)});
  ASSERT_TRUE(linux.server.WaitForLine("- IP: "));
  ASSERT_TRUE(linux.control.Connect(linux.controlPort));
  ASSERT_EQ(linux.control.Command("replay pause"), "OK");
  Client panel = linux.Connect();
  EXPECT_EQ(testing::PollReplay(linux.control, panel, codes, back.exchanges), recorded);

  // And by the Windows stand-in, at one of its moments.
  StopSim();
  StartSim({"--replay", OnZ(files[0])});
  ASSERT_EQ(control_.Command("replay pause"), "OK");
  ASSERT_EQ(control_.Command(testing::ReplayAt(back.exchanges[7].ms)), "OK");
  StartServer();
  Client again = Connect();
  EXPECT_EQ(Ask(again, codes[7 % 3]), recorded[7]);
}

// A hard link under the plan's name is the other file itself: a chunk must not overwrite it.
TEST_F(WineTest, APlanFileThatIsAHardLinkIsRefusedAndTheLinkedFileKept) {
  const fs::path folder = FreshFolder("plan-link-run");
  fs::copy_file(Exe("TavelorServer.exe"), folder / "TavelorServer.exe");
  std::ofstream(folder / "victim.txt") << "precious";
  fs::create_hard_link(folder / "victim.txt", folder / "Quindrel.pln");
  StartSim();
  StartServer((folder / "TavelorServer.exe").string());
  Client client = Connect();
  ASSERT_TRUE(client.Send("xxPLA9HELLO"));
  const std::string refused = "- Error: Flight plan chunk refused: the plan file is a hard link to another file.";
  EXPECT_EQ(Count(WaitForLogLine(refused), refused), 1);
  EXPECT_EQ(testing::FileBytes(folder / "victim.txt"), "precious");
}

TEST_F(WineTest, ClosingTheWindowDropsClientsAndEnds) {
  StartSim();
  StartServer();
  Client client = Connect();
  EXPECT_EQ(Ask(client, "xxV100"), "2.01b\r\n");
  EXPECT_EQ(KeyValues(Inspect({"close", "10000"}).out)["closed"], "1");
  EXPECT_TRUE(client.WaitClosedByPeer(Ms(5000)));
  EXPECT_EQ(server_.Wait(Ms(15000)), 0);
}

TEST_F(WineTest, LogKeepsItsNewestLinesWithinItsBound) {
  StartSim();
  StartServer();
  Client client = Connect();
  ASSERT_EQ(KeyValues(Inspect({"click"}).out)["button_caption"], "Debug On");
  // A debug radio reply writes fifteen lines, about 290 characters: some 3,600 requests fill
  // the log's megabyte, so 4,500 are sure to pass it.
  for (int i = 0; i < 4500; ++i) {
    ASSERT_EQ(Ask(client, "xxRADI").size(), sizeof kZeroRadioReply - 1) << "request " << i;
  }
  ASSERT_EQ(Ask(client, "xxV172"), "2.02a\r\n");
  const std::string text = Inspect({"memo"}).out;
  EXPECT_LE(text.size(), size_t{1} << 20);
  EXPECT_GE(text.size(), size_t{1} << 19);
  const std::vector<std::string> lines = SplitLines(text);
  EXPECT_NE(lines.front(), "") << "the oldest lines are gone";
  EXPECT_EQ(Count(lines, "- Tavelor Server v2.02A"), 0);
  EXPECT_TRUE(std::regex_match(lines.back(), std::regex(R"(\d\d:\d\d:\d\d <- received code:V172)")))
      << lines.back();
  // Whole lines are dropped: the first one left is a line the server wrote.
  EXPECT_TRUE(lines.front().rfind("- ", 0) == 0 || std::regex_match(lines.front(), std::regex(R"(\d\d:\d\d:\d\d <- .*)")))
      << lines.front();
}

}  // namespace
}  // namespace tavelor::wine

int main(int argc, char** argv) {
  using namespace tavelor::wine;
  SetWineEnvironment(TAVELOR_WINE_PREFIX);
  const std::string network = PrivateNetworkName(TAVELOR_WINE_PREFIX);
  // The CTest fixture's two steps: make the network and the prefix once per run (the wineserver
  // it starts lives in that network), stop Wine and remove the network at the end.
  if (argc == 2 && std::strcmp(argv[1], "--prepare-prefix") == 0) {
    if (!WineInstalled()) {
      std::printf("wine is not installed: the Wine tests will be skipped\n");
      return 0;
    }
    StopWine();  // whatever an interrupted run left behind
    std::string why;
    if (!EnterPrivateNetwork(network, true, &why)) {
      std::printf("%s: the Wine tests will be skipped\n", why.c_str());
      return 0;
    }
    if (!PreparePrefix(TAVELOR_WINE_PREFIX, &why)) {
      std::fprintf(stderr, "%s\n", why.c_str());
      return 1;
    }
    std::printf("Wine prefix ready: %s\n", TAVELOR_WINE_PREFIX);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--stop-wine") == 0) {
    if (WineInstalled()) StopWine();
    RemovePrivateNetwork(network);
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  if (!GTEST_FLAG_GET(list_tests)) EnterPrivateNetwork(network, false, &gNoPrivateNetwork);
  return RUN_ALL_TESTS();
}
