// The Linux server against the stand-in simulator, as a panel client sees it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "e2e/harness.h"

namespace tavelor::e2e {
namespace {

const char* const kZeroRadio =
    "  0.0:  0.0:0000:100.00:100.00:100.00:100.00:100.00:100.00:0000:00000000:100.00:100.00:\r\n";

TEST(ServerEndToEnd, StartLinesComeInOrderAndVersionCodesAreAnswered) {
  Stack stack;
  stack.StartBoth();
  const std::vector<std::string> expected = {
      "- Tavelor Server v2.02A",     "- Note: Run in administrator mode",
      "- Connecting to Fsuipc . . .", "- Fsuipc Connected OK",
      "- Listening Port " + std::to_string(stack.serverPort) + " ...",
  };
  std::vector<std::string> lines = stack.server.Lines();
  ASSERT_GE(lines.size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]);
  EXPECT_EQ(lines[expected.size()].rfind("- IP: ", 0), 0u);

  Client client = stack.Connect();
  const std::pair<const char*, const char*> cases[] = {
      {"xxV100\r\n", "2.01b\r\n"}, {"xxV172", "2.02a\r\n"},         {"xxV177", "2.02a\r\n"},
      {"..VMAP", "2.01a\r\n"},     {"..VPFD\r\n", "2.01a\r\n"},     {"xxv177", "noversion\r\n"},
      {"RADI", "noversion\r\n"},   {"xx", "noversion\r\n"},         {"xxHSI\r\n", "noversion\r\n"},
      {"xxQQQQ", "noversion\r\n"},
  };
  for (const auto& [request, answer] : cases) {
    SCOPED_TRACE(request);
    EXPECT_EQ(client.Ask(request), answer);
  }
}

TEST(ServerEndToEnd, RadioReplyShowsPokedValuesAndCommandsReachTheSimulator) {
  Stack stack;
  stack.StartBoth();
  const char* pokes[] = {"poke 0300 7B00",   "poke 0306 6519", "poke 0354 0012", "poke 034E 5018",
                         "poke 311A 5021",   "poke 3118 0018", "poke 311C 1019", "poke 0350 5010",
                         "poke 311E 9013",   "poke 0352 1014", "poke 3120 0009", "poke 034C 4503",
                         "poke 3122 90"};
  for (const char* poke : pokes) ASSERT_EQ(stack.control.Command(poke), "OK") << poke;
  Client client = stack.Connect();
  const std::string reply = client.Ask("xxRADI\r\n");
  EXPECT_EQ(reply,
            " 12.3:  0.0:1200:118.50:121.50:110.50:113.90:114.10:109.00:0345:10010000:118.00:"
            "119.10:\r\n");
  EXPECT_EQ(reply.size(), 89u);

  stack.control.Journal();  // forget the reads so far
  struct Case {
    const char* request;
    std::vector<std::string> records;
  } cases[] = {
      {"xxCOM1 118.25 121.50", {"W 034E 2 2518", "W 311A 2 5021"}},
      {"xxCO11 118.250 121.500", {"W 05C4 4 105A0C07", "W 05CC 4 60F13D07"}},  // hertz
      {"xxNAV2 108.00 117.95", {"W 0352 2 0008", "W 3120 2 9517"}},
      {"xxADF0 1024", {"W 034C 2 0201", "W 0356 2 0000"}},
      {"xxTRA0 7700", {"W 0354 2 0077"}},
      {"xxAUD0 10000001", {"W 3122 1 81"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    client.Send(c.request);
    std::vector<std::string> journal = stack.control.JournalOf(c.records.size());
    EXPECT_TRUE(AnsweredNothingBefore(client));  // commands answer nothing
    for (std::string& line : stack.control.Journal()) journal.push_back(line);
    ASSERT_EQ(journal.size(), c.records.size());
    const std::string exchange = journal[0].substr(0, journal[0].find(' '));
    for (size_t i = 0; i < journal.size(); ++i) {
      EXPECT_EQ(journal[i], exchange + " " + c.records[i]);  // one exchange for the command
    }
  }
  EXPECT_EQ(client.Ask("xxRADI").substr(17, 14), "118.25:121.50:");
}

TEST(ServerEndToEnd, BadNumberIsLoggedAndTheConnectionGoesOn) {
  Stack stack;
  stack.StartBoth();
  Client client = stack.Connect();
  stack.control.Journal();
  client.Send("xxCOM1");
  EXPECT_TRUE(stack.server.WaitForLine("- Error: '$' is not a valid integer value."));
  EXPECT_TRUE(stack.control.Journal().empty());
  // A zero byte does not end the text; a C1 byte could drive the terminal, so it is escaped.
  client.Send(std::string("xxAPAL 1\0\x9B" "2J", 12));
  EXPECT_TRUE(stack.server.WaitForLine("- Error: '1\\x00\\x9B2J' is not a valid integer value."));
  EXPECT_EQ(client.Ask("xxV177"), "2.02a\r\n");
}

TEST(ServerEndToEnd, DebugLinesComeBeforeTheReplyBlockAndSignalTogglesThem) {
  Stack stack;
  stack.StartBoth({"--debug"});
  Client client = stack.Connect();
  client.Ask("xxRADI");
  ASSERT_TRUE(stack.server.WaitForLine("- Audio:"));
  std::vector<std::string> lines = stack.server.Lines();
  size_t received = 0;
  while (received < lines.size() && lines[received].find(" <- received code:RADI") == std::string::npos)
    ++received;
  ASSERT_LT(received + 1, lines.size());
  EXPECT_EQ(lines[received].size(), 8 + std::string(" <- received code:RADI").size());  // HH:mm:ss
  EXPECT_EQ(lines[received + 1], "- Radio Panel:--------------------");

  stack.server.Signal(SIGUSR1);
  ASSERT_TRUE(stack.server.WaitForLine("- Debug Off"));
  client.Ask("xxV100");
  client.Ask("xxRADI");
  EXPECT_EQ(stack.server.CountLines("<- received code:"), 1);
  stack.server.Signal(SIGUSR1);
  EXPECT_TRUE(stack.server.WaitForLine("- Debug On"));
}

// The log's reader falls behind, so the server waits in its write to the full pipe, and a
// SIGUSR1 comes meanwhile: the write is taken up again, and no log line is lost or doubled.
TEST(ServerEndToEnd, ADebugToggleWhileTheLogIsBlockedLosesNoLine) {
  Stack stack;
  stack.StartBoth({"--debug"});
  Client client = stack.Connect();
  std::atomic<bool> stop{false};
  std::atomic<int> answers{0};
  std::thread asking([&] {
    for (int i = 0; i < 1000000 && !stop; ++i) answers += !client.Ask("xxRADI").empty();
  });
  for (int round = 1; round <= 3; ++round) {
    // Nothing read from the log: the pipe fills and the server stops answering.
    for (int was = -1, i = 0; i < 50 && was != answers; ++i) {
      was = answers;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    stack.server.Signal(SIGUSR1);
    // Read nothing until the server has met the signal, still in its write.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(stack.server.WaitForCount("- Debug Off", round));
    stack.server.Signal(SIGUSR1);
    ASSERT_TRUE(stack.server.WaitForCount("- Debug On", round));
  }
  stop = true;
  asking.join();
  client.Ask("xxV100");  // after the last block
  ASSERT_TRUE(stack.server.WaitForLine("<- received code:V100"));
  // Every radio block whole and in order, as the first: its code, then the panel's fourteen lines.
  std::vector<std::vector<std::string>> blocks;
  for (std::string line : stack.server.Lines()) {
    if (line.size() > 9 && line[2] == ':' && line[5] == ':') line.erase(0, 9);
    if (line == "<- received code:V100") break;
    if (line == "<- received code:RADI") blocks.emplace_back();
    if (!blocks.empty() && line != "- Debug On" && line != "- Debug Off") blocks.back().push_back(line);
  }
  ASSERT_GT(blocks.size(), 100u);
  EXPECT_EQ(blocks[0].size(), 15u) << ::testing::PrintToString(blocks[0]);
  for (size_t i = 1; i < blocks.size(); ++i) ASSERT_EQ(blocks[i], blocks[0]) << "radio block " << i;
}

TEST(ServerEndToEnd, SimulatorGoingAwayAndComingBack) {
  Stack stack;
  stack.StartBoth({"--debug"});  // each request is logged as it is taken
  Client client = stack.Connect();
  EXPECT_NE(client.Ask("xxRADI"), kZeroRadio);

  ASSERT_EQ(stack.control.Command("quit"), "OK");
  ASSERT_EQ(stack.sim.Wait(), 0);
  stack.control.Disconnect();
  // The first request finds the simulator gone, the next ones fail at once: zeros, not hangs.
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(client.Ask("xxRADI"), kZeroRadio);
  EXPECT_TRUE(stack.server.WaitForLine("- Fsuipc Disconnected"));
  EXPECT_EQ(client.Ask("xxRADI"), kZeroRadio);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5) * testing::kSlowdown);
  client.Send("xxCOM1 118.25 121.50");  // lost, but harmless
  ASSERT_TRUE(stack.server.WaitForLine("<- received code:COM1"));
  EXPECT_EQ(client.Ask("xxV172"), "2.02a\r\n");

  stack.StartSim();
  ASSERT_TRUE(stack.server.WaitForCount("- Fsuipc Connected OK", 2));
  EXPECT_EQ(stack.server.CountLines("- Listening Port"), 1);  // the listener was never closed
  stack.control.Command("poke 0354 0070");
  EXPECT_EQ(client.Ask("xxRADI").substr(12, 5), "7000:");
}

TEST(ServerEndToEnd, RefusedExchangeGivesZerosOnceWithoutDisconnecting) {
  Stack stack;
  stack.StartBoth();
  stack.control.Command("fail 1");
  Client client = stack.Connect();
  // A refused exchange is not a lost simulator: zeros this once, then real values again.
  EXPECT_EQ(client.Ask("xxRADI"), kZeroRadio);
  EXPECT_NE(client.Ask("xxRADI"), kZeroRadio);
  EXPECT_EQ(stack.server.CountLines("- Fsuipc Disconnected"), 0);
}

TEST(ServerEndToEnd, SecondWindowClassIsFoundAndBadVersionsAreNeverAccepted) {
  {
    Stack stack;
    stack.StartSim({"--class", "FS98MAIN"});
    stack.StartServer();
    ASSERT_TRUE(stack.server.WaitForLine("- IP: "));
    Client client = stack.Connect();
    EXPECT_EQ(client.Ask("xxRADI").size(), 89u);
  }
  const std::vector<std::string> refused[] = {{"--fsuipc-version", "19980004"},
                                              {"--sim-version", "FADF0008"}};
  Stack stacks[2];  // side by side: each waits a tick
  for (int i = 0; i < 2; ++i) {
    stacks[i].StartSim(refused[i]);
    stacks[i].StartServer();
  }
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(refused[i][0]);
    // The first attempt reads the versions in one exchange and gives up; a second one comes a
    // tick later. Had the first been accepted, its line would be there before the second.
    std::vector<std::string> journal;
    while (journal.empty() || ExchangeOf(journal.back()) < 2) {
      std::vector<std::string> more = stacks[i].control.JournalOf(1);
      ASSERT_FALSE(more.empty()) << "the server keeps trying";
      journal.insert(journal.end(), more.begin(), more.end());
    }
    EXPECT_EQ(stacks[i].server.Lines().size(), 3u);
  }
}

TEST(ServerEndToEnd, ManyClientsAtOnceAndOneThatLeavesMidRequest) {
  Stack stack;
  stack.StartBoth();
  constexpr int kClients = 40;
  std::vector<Client> clients;
  for (int i = 0; i < kClients; ++i) clients.push_back(stack.Connect());
  for (Client& c : clients) c.Send("xxRADI");
  for (Client& c : clients) EXPECT_EQ(c.ReadLine().size(), 89u);
  EXPECT_TRUE(stack.server.WaitForLine("- New Client Connected"));

  {
    Client leaver = stack.Connect();
    leaver.Send("xxRA");  // half a request, then gone before any answer
    leaver.Send("xxRADI");
    leaver.Close();
  }
  for (Client& c : clients) c.Close();
  EXPECT_TRUE(stack.server.WaitForCount("- Client Disconnected", kClients + 1));
  EXPECT_EQ(stack.server.CountLines("- Client Disconnected"), kClients + 1);
  EXPECT_EQ(stack.server.CountLines("- New Client Connected"), kClients + 1);
  Client last = stack.Connect();
  EXPECT_EQ(last.Ask("xxV177"), "2.02a\r\n");
}

TEST(ServerEndToEnd, OptionsSignalsAndBusyPort) {
  IpcFolder ipc;
  const std::string version = std::string(" ") + TAVELOR_PROGRAM_VERSION;
  const char* const server = TAVELOR_SERVER_BIN;
  // A recording is never written over, and what is not one is not replayed.
  const std::string existing = ipc.Path() + "/yesterday.tvr", missing = ipc.Path() + "/missing.tvr";
  const std::string nowhere = ipc.Path() + "/no/such/folder/a.tvr";
  const std::string pipe = ipc.Path() + "/pipe.tvr";  // read, it would wait for a writer for ever
  std::ofstream(existing) << "a flight";
  const std::string badMap = ipc.Path() + "/c182.map";
  std::ofstream(badMap) << "# a row too many\n/orientation/heading-deg 2B00 angle17 in\n";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const struct {
    const char* program;
    std::vector<std::string> args;
    int status;
    std::string says;  // on standard output or standard error
  } runs[] = {
      {server, {"--help"}, 0, "Usage: tavelor-server"},
      {server, {"--version"}, 0, "tavelor-server" + version},
      {server, {"--port", "x"}, 2, "tavelor-server: --port needs a port number from 1 to 65535, not 'x'"},
      {server, {"--frobnicate"}, 2, "tavelor-server: unknown option '--frobnicate'"},
      {server, {"--port"}, 2, "tavelor-server: --port needs a port number from 1 to 65535"},
      {server, {"--bind", "nothost"}, 2, "Try 'tavelor-server --help'."},
      {server, {"--bind", "127.0.0.256"}, 2, "--bind needs a dotted IPv4 address"},
      {server, {"--fly"}, 2, "--fly needs --sim"},  // only the stand-in flies
      {server, {"--replay", "a.tvr"}, 2, "--replay needs --sim"},  // and replays
      {server, {"--sim", "--fly", "--replay", "a.tvr"}, 2, "--fly and --replay exclude each other"},
      {server, {"--sim", "--loop"}, 2, "--loop and --speed go with --replay"},
      {server, {"--sim", "--replay", "a.tvr", "--speed", "1000"}, 2, "--speed needs a factor from 0.01 to 100"},
      {server, {"--record"}, 2, "--record needs a file or folder name"},
      {server, {"--record", existing}, 1,
       "cannot record to " + existing + ": the file exists already (a recording is never written over)"},
      {server, {"--record", nowhere}, 1, "cannot record to " + nowhere},
      {server, {"--sim", "--sim-control", "0", "--replay", existing}, 1,
       "the stand-in simulator cannot start: " + existing + ": not a recording"},
      {TAVELOR_SIM_BIN, {"--control", "0", "--replay", missing}, 1,
       "tavelor-sim: cannot open the recording " + missing},
      {TAVELOR_SIM_BIN, {"--replay", "a.tvr", "--fly"}, 2, "tavelor-sim: --fly and --replay exclude each other"},
      {server, {"--flightgear", "127.0.0.1:5400"}, 2, "--flightgear needs --sim"},
      {server, {"--sim", "--fly", "--flightgear", "127.0.0.1:5400"}, 2, "--flightgear and --fly exclude each other"},
      {TAVELOR_SIM_BIN, {"--flightgear", "fgpc"}, 2, "tavelor-sim: --flightgear needs HOST:PORT"},
      {TAVELOR_SIM_BIN, {"--flightgear-map", badMap}, 2, "tavelor-sim: --flightgear-map goes with --flightgear"},
      {TAVELOR_SIM_BIN, {"--control", "0", "--flightgear", "127.0.0.1:1", "--flightgear-map", badMap}, 1,
       "tavelor-sim: " + badMap + ", line 2: unknown conversion 'angle17'"},
      {TAVELOR_SIM_BIN, {"--control", "0", "--replay", pipe}, 1,
       "tavelor-sim: " + pipe + " is not a regular file (a pipe or a device cannot be replayed)"},
      {server, {"--sim", "--sim-control", "0", "--replay", ipc.Path()}, 1,
       "the stand-in simulator cannot start: " + ipc.Path() + " is a folder, not a recording"},
      {server, {"--max-clients", "0"}, 2, "--max-clients needs a number from 1 to 1000000, not '0'"},
      {server, {"--idle-timeout", "-5"}, 2, "--idle-timeout needs whole seconds"},
      {server, {"--max-clients", "5", "--idle-timeout", "30", "--version"}, 0, "tavelor-server" + version},
      {TAVELOR_SIM_BIN, {"--version"}, 0, "tavelor-sim" + version},
      {TAVELOR_SIM_BIN, {"--control", "70000"}, 2, "tavelor-sim: --control needs a port number from 0"},
      {TAVELOR_PROBE_BIN, {"--version"}, 0, "tavelor-probe" + version},
      {TAVELOR_WEB_BIN, {"--version"}, 0, "tavelor-web" + version},
      {TAVELOR_WEB_BIN, {"--port", "-1"}, 2, "tavelor-web: --port needs a port number from 0 to 65535"},
  };
  for (const auto& run : runs) {
    // Both streams into the one the test reads.
    std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", run.program};
    argv.insert(argv.end(), run.args.begin(), run.args.end());
    SCOPED_TRACE(run.says);
    Process p;
    p.Start(argv, {ipc.Env()});
    EXPECT_EQ(p.Wait(), run.status);
    EXPECT_TRUE(p.WaitForLine(run.says)) << p.Output();
  }
  EXPECT_EQ(testing::FileBytes(existing), "a flight");

  Stack stack;
  stack.StartBoth();
  // A second server on the same port: its bind fails, it says so and ends with status 1, as a
  // console server that cannot listen is of no use.
  Process second;
  second.Start({TAVELOR_SERVER_BIN, "--connect-now", "--bind", "127.0.0.1", "--port",
                std::to_string(stack.serverPort)},
               {stack.ipc.Env()});
  EXPECT_TRUE(second.WaitForLine("- Error: Windows socket error: "));
  EXPECT_EQ(second.Wait(), 1);
  EXPECT_EQ(second.CountLines("on API 'bind'"), 1);
  EXPECT_EQ(second.CountLines("- Listening Port"), 0);

  stack.server.Signal(SIGINT);
  EXPECT_EQ(stack.server.Wait(), 0);
}

// The address the log gives panels on other machines is not a loopback one when the machine
// has another.
TEST(ServerEndToEnd, TheIpLineNamesAnAddressOtherMachinesCanReach) {
  bool networked = false;
  ifaddrs* interfaces = nullptr;
  ASSERT_EQ(getifaddrs(&interfaces), 0);
  for (const ifaddrs* i = interfaces; i; i = i->ifa_next)
    if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET && (i->ifa_flags & IFF_UP) &&
        !(i->ifa_flags & IFF_LOOPBACK))
      networked = true;
  freeifaddrs(interfaces);

  Stack stack;
  stack.StartBoth();
  std::string line;
  ASSERT_TRUE(stack.server.WaitForLine("- IP: ", milliseconds(1000), &line));
  const std::string address = line.substr(std::string("- IP: ").size());
  in_addr parsed{};
  EXPECT_EQ(inet_pton(AF_INET, address.c_str(), &parsed), 1) << line;
  EXPECT_EQ(address.rfind("127.", 0) == 0, !networked) << line;
}

TEST(ServerEndToEnd, EmbeddedSimulatorServesAParkedAircraft) {
  IpcFolder ipc;
  const int port = FreePort();
  const int control = FreePort();
  Process server;
  server.Start({TAVELOR_SERVER_BIN, "--sim", "--sim-control", std::to_string(control),
                "--connect-now", "--bind", "127.0.0.1", "--port", std::to_string(port)},
               {ipc.Env()});
  ASSERT_TRUE(server.WaitForLine("- IP: "));
  Client client;
  ASSERT_TRUE(client.Connect(port));
  const std::string reply = client.Ask("xxRADI");
  EXPECT_EQ(reply.size(), 89u);
  EXPECT_NE(reply, kZeroRadio);
  EXPECT_EQ(reply.substr(12, 5), "7000:");
  SimControl sim;
  ASSERT_TRUE(sim.Connect(control));
  sim.Journal();
  client.Send("xxCOM1 118.25 121.50");
  ASSERT_EQ(sim.JournalOf(2).size(), 2u);
  EXPECT_EQ(client.Ask("xxRADI").substr(17, 14), "118.25:121.50:");
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0);
}

}  // namespace
}  // namespace tavelor::e2e

namespace tavelor::e2e {
namespace {

// Every program stopped as a user stops it (Ctrl+C, systemctl stop, the terminal closed) while
// a client is connected ends as it should: the servers with status 0 after closing in order,
// the probe's watch by the signal itself. None crashes.
TEST(EveryProgram, StopsByASignalWithAClientConnected) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    Stack stack;
    stack.StartBoth({"--record", stack.ipc.Path() + "/stopped.tvr"});
    Client panel = stack.Connect();
    ASSERT_EQ(panel.Ask("xxRADI").size(), 89u);
    Process watch;
    watch.Start({TAVELOR_PROBE_BIN, "--port", std::to_string(stack.serverPort), "--watch", "5", "RADI"});
    ASSERT_TRUE(watch.WaitForLine("RADI  poll 1"));
    Process web;
    web.Start({TAVELOR_WEB_BIN, "--server", "127.0.0.1:" + std::to_string(stack.serverPort), "--bind", "127.0.0.1",
               "--port", "0", "--sim-control", std::to_string(stack.controlPort)});
    std::string open;
    ASSERT_TRUE(web.WaitForLine("in a browser on this computer", milliseconds(10000), &open));
    Client page;
    const std::string port = open.substr(open.rfind(':') + 1, open.find('/', open.rfind(':')) - open.rfind(':') - 1);
    ASSERT_TRUE(page.Connect(std::stoi(port)));
    page.Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    ASSERT_NE(page.ReadUntil("\r\n\r\n", milliseconds(5000)).find(" 101 "), std::string::npos);
    ASSERT_TRUE(web.WaitForLine("Page connected"));

    for (Process* program : {&web, &watch, &stack.server, &stack.sim}) program->Signal(signal);
    EXPECT_EQ(web.Wait(), 0) << web.Output();
    EXPECT_TRUE(web.WaitForLine("- Stopped"));
    EXPECT_EQ(stack.server.Wait(), 0) << stack.server.Output();
    EXPECT_EQ(stack.sim.Wait(), 0);
    const int probe = watch.Wait();
    EXPECT_TRUE(probe == 0 || probe == 128 + signal) << probe;
    EXPECT_GT(testing::FileBytes(stack.ipc.Path() + "/stopped.tvr").size(), 0u);
  }
}

}  // namespace
}  // namespace tavelor::e2e
