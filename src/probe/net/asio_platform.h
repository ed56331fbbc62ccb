// The probe's connection and clock on Boost.Asio, the same on both platforms; only whether the
// output is a terminal (for --watch's table redrawn in place) is left to each platform's main.
#pragma once

#include <boost/asio/io_context.hpp>

#include <cstdint>
#include <string>

#include "probe/probe_session.h"

namespace tavelor::probe {

class AsioPlatform : public ProbePlatform {
 public:
  Connection Connect(const std::string& host, int port, int timeoutMs) override;
  void Pause(int ms) override;
  int64_t NowMs() override;

 private:
  boost::asio::io_context io_;
};

}  // namespace tavelor::probe
