// A simulator whose window takes the link's message and never answers: every attempt of the
// exchange times out, the server says the simulator is gone, keeps serving, and carries on with
// the simulator once it answers again.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "app/tf_main.h"
#include "sim/posix/sim_server.h"
#include "simlink/ipc_client.h"
#include "simlink/posix/posix_transport.h"
#include "support/process.h"
#include "support/scripted_loop.h"
#include "support/sim_link.h"

namespace tavelor {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

TEST(HungSimulator, TheExchangeGivesUpAfterItsAttemptsAndServingGoesOn) {
  std::string folder = (fs::temp_directory_path() / "tavelor-hung-XXXXXX").string();
  ASSERT_NE(mkdtemp(folder.data()), nullptr);
  setenv("TAVELOR_IPC_DIR", folder.c_str(), 1);
  sim::SimOptions options;
  options.controlPort = 0;
  auto sim = std::make_unique<sim::SimServer>(options);
  std::string error;
  ASSERT_TRUE(sim->Open(&error)) << error;
  sim->Start();
  testing::Client control;
  ASSERT_TRUE(control.Connect(sim->ControlPort()));

  PosixTransport transport;
  transport.LimitWaits(50);
  testing::ScriptedLoop loop;
  testing::RecordingView view;
  {
    TfMain main(&view, &loop, &transport);
    main.Start("/");
    main.Tick();
    ASSERT_TRUE(main.Listening());
    loop.Accept(1);
    view.log.clear();

    control.Send("hang 10\n");
    ASSERT_EQ(control.ReadUntil("\n", milliseconds(5000)), "OK\n");
    const auto started = std::chrono::steady_clock::now();
    loop.Receive(1, "xxTRA0 1234");  // never reaches the simulator
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10) * testing::kSlowdown);
    EXPECT_EQ(view.log,
              (std::vector<std::string>{"- Fsuipc Disconnected", "- Fsuipc Not Responding"}));
    loop.Receive(1, "xxV177");
    EXPECT_EQ(loop.Drain(1), "2.02a\r\n");

    // Connecting again waits a tick longer than usual: the simulator was there but silent.
    main.Tick();
    EXPECT_EQ(view.log.back(), "- Fsuipc Not Responding");
    main.Tick();  // the simulator answers again
    EXPECT_EQ(view.log.back(), "- Fsuipc Connected OK");
    loop.Receive(1, "xxTRA0 4321");
    loop.Receive(1, "xxRADI");
    EXPECT_EQ(loop.Drain(1).substr(12, 5), "4321:");
    main.Close();
  }
  sim.reset();
  unsetenv("TAVELOR_IPC_DIR");
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tavelor
