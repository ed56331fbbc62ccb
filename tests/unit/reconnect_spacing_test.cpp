// Connecting again to a simulator whose window is there but which never answers holds the
// program for the exchange's whole time-out and retries each time; such attempts are spaced
// out (two ticks, then four, eight, ten at most) so clients that need nothing from the
// simulator get served in between. A simulator that is simply absent is looked for every tick.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tf_main.h"
#include "simlink/ipc_client.h"
#include "support/fake_transport.h"
#include "support/scripted_loop.h"

namespace tavelor {
namespace {

using Lines = std::vector<std::string>;

// The simulator as one tick of the connect timer finds it.
enum class Sim { kAbsent, kSilent, kAnswering };

class CountingTransport : public testing::FakeTransport {
 public:
  WindowRef FindWindowByClass(const char* windowClass) override {
    if (std::string(windowClass) == "UIPCMAIN") ++looks;
    return FakeTransport::FindWindowByClass(windowClass);
  }
  void Become(Sim sim) {
    windows["UIPCMAIN"] = sim != Sim::kAbsent;
    windowStillExists = sim != Sim::kAbsent;
    failSends = sim == Sim::kSilent ? -1 : 0;
  }
  int looks = 0;
};

struct Scenario {
  const char* what;
  std::vector<Sim> ticks;     // the simulator at each tick, from tick 1
  std::vector<int> attempts;  // the ticks at which the program tried to connect
  Lines log;                  // what the log said after the start lines
};

std::vector<Sim> Repeat(Sim sim, int count, std::vector<Sim> then = {}) {
  std::vector<Sim> ticks(static_cast<size_t>(count), sim);
  ticks.insert(ticks.end(), then.begin(), then.end());
  return ticks;
}

TEST(ReconnectSpacing, AttemptsOnASilentSimulatorAreSpacedOutAndOthersAreNot) {
  const Scenario scenarios[] = {
      {"absent: every tick", Repeat(Sim::kAbsent, 5), {1, 2, 3, 4, 5}, {}},
      {"silent: spacing doubles up to ten ticks",
       Repeat(Sim::kSilent, 40),
       {1, 3, 7, 15, 25, 35},
       {"- Fsuipc Not Responding"}},
      {"silent, then answering: connects at the next spaced attempt",
       Repeat(Sim::kSilent, 4, Repeat(Sim::kAnswering, 4)),
       {1, 3, 7},
       {"- Fsuipc Not Responding", "- Fsuipc Connected OK", "- Listening Port 9696 ...",
        "- IP: 192.0.2.7"}},
      {"silent, then gone: every tick again once it is seen gone",
       Repeat(Sim::kSilent, 3, Repeat(Sim::kAbsent, 6)),
       {1, 3, 7, 8, 9},
       {"- Fsuipc Not Responding"}},
  };
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.what);
    CountingTransport transport;
    transport.Become(Sim::kAbsent);
    testing::ScriptedLoop loop;
    testing::RecordingView view;
    {
      TfMain main(&view, &loop, &transport);
      main.Start("/");
      view.log.clear();
      std::vector<int> attempts;
      for (size_t tick = 1; tick <= s.ticks.size(); ++tick) {
        transport.Become(s.ticks[tick - 1]);
        const int before = transport.looks;
        if (loop.timerRunning) main.Tick();
        if (transport.looks != before) attempts.push_back(static_cast<int>(tick));
      }
      EXPECT_EQ(attempts, s.attempts);
      EXPECT_EQ(view.log, s.log);
      main.Close();
    }
  }
}

TEST(ReconnectSpacing, AVersionRefusedAtOnceIsRetriedEveryTick) {
  CountingTransport transport;
  transport.peer = testing::HandshakePeer(0x19980004, 0xFADE0008);  // too old an FSUIPC
  testing::ScriptedLoop loop;
  testing::RecordingView view;
  {
    TfMain main(&view, &loop, &transport);
    main.Start("/");
    view.log.clear();
    for (int tick = 0; tick < 4; ++tick) main.Tick();
    EXPECT_EQ(transport.looks, 4);
    EXPECT_TRUE(view.log.empty());
    main.Close();
  }
}

TEST(ReconnectSpacing, ASimulatorFallingSilentDuringARequestStartsTheSpacingAtOnce) {
  CountingTransport transport;
  testing::ScriptedLoop loop;
  testing::RecordingView view;
  {
    TfMain main(&view, &loop, &transport);
    main.Start("/");
    main.Tick();
    ASSERT_TRUE(main.Listening());
    loop.Accept(1);
    view.log.clear();

    transport.Become(Sim::kSilent);
    loop.Receive(1, "xxRADI");
    EXPECT_EQ(view.log, (Lines{"- Fsuipc Disconnected", "- Fsuipc Not Responding"}));
    loop.Receive(1, "xxV177");  // served from the program alone, at once
    EXPECT_EQ(loop.Drain(1).substr(89), "2.02a\r\n");

    const int before = transport.looks;
    main.Tick();
    EXPECT_EQ(transport.looks, before) << "the first tick is let pass";
    transport.Become(Sim::kAnswering);
    main.Tick();
    EXPECT_EQ(view.log.back(), "- Fsuipc Connected OK");
    main.Close();
  }
}

}  // namespace
}  // namespace tavelor
