// The stand-in aircraft flying, as a panel sees it through the server.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "harness.h"

namespace tavelor::e2e {
namespace {

TEST(FlightEndToEnd, AFlyingStandInMovesTheMapAndAnswersInCockpitUnits) {
  Stack stack;
  stack.StartSim({"--fly"});
  stack.StartServer();
  ASSERT_TRUE(stack.server.WaitForLine("- IP: "));
  ASSERT_TRUE(stack.control.Connect(stack.controlPort));
  Client client = stack.Connect();

  // The aircraft taxis: its position moves within a few of the flight's steps.
  const std::string before = client.Ask("xxFMS");
  std::string after = before;
  for (int i = 0; i < 500 && after == before; ++i) {
    std::this_thread::sleep_for(milliseconds(20));
    after = client.Ask("xxFMS");
  }
  EXPECT_EQ(before.size(), after.size());
  EXPECT_NE(before, after) << "the position did not move in ten seconds";

  EXPECT_EQ(stack.control.Command("fly off"), "OK");
  EXPECT_EQ(stack.control.Command("fly at 910"), "OK");
  std::string hsi = client.Ask("xxHSI");
  for (int field = 1; field < 15; ++field) hsi.erase(0, hsi.find(':') + 1);
  EXPECT_EQ(hsi.substr(0, 4), "001:") << "the marker lights: the outer one on";
  EXPECT_EQ(stack.control.Command("set com1 119.30"), "OK");
  EXPECT_EQ(stack.control.Command("get com1"), "OK 119.30");
  EXPECT_EQ(client.Ask("xxRADI").substr(17, 7), "119.30:");
}

}  // namespace
}  // namespace tavelor::e2e
