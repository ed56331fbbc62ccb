// The stand-in's control channel: any bytes, cut into the reads a socket might deliver (their
// lengths from the input's end), through the line framing and the command parser. The answers
// never echo what was sent: every byte of them is printable ASCII or a line end.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "sim/control_session.h"
#include "sim/sim_peer.h"

using namespace tavelor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  static sim::SimPeer* peer = new sim::SimPeer;
  peer->ClearJournal();
  sim::ControlSession session;
  bool quit = false;
  while (!quit && input.remaining_bytes() > 0) {
    const size_t length = input.ConsumeIntegralInRange<size_t>(1, 256);
    const std::string chunk = input.ConsumeBytesAsString(length);
    quit = session.Receive(*peer, chunk.data(), chunk.size(), input.remaining_bytes() == 0);
  }
  if (!quit) session.Receive(*peer, nullptr, 0, true);
  for (const char c : session.Output()) FUZZ_CHECK(c == '\n' || (c >= 0x20 && c < 0x7F));
  // A command typed alone on a line is parsed the same way.
  const std::string line(reinterpret_cast<const char*>(data), size);
  if (line.find('\n') == std::string::npos) {
    const std::string answer = peer->Control(line, &quit);
    FUZZ_CHECK(answer.rfind("OK", 0) == 0 || answer.rfind("ERR ", 0) == 0);
  }
  return 0;
}
