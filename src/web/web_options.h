// tavelor-web's command line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "web/connection_shares.h"

namespace tavelor::web {

inline constexpr int kDefaultWebPort = 9080;

struct WebOptions {
  std::string serverHost = "127.0.0.1";  // the panel port tavelor-web is a client of
  int serverPort = 9696;
  std::string bind;                      // the browsers' address; empty: every IPv4 interface
  int port = kDefaultWebPort;            // 0: any free port (the one taken is printed)
  bool readOnly = false;                 // pages may watch but never send
  std::vector<std::string> origins;      // more page origins allowed to open the stream
  int simControl = 9697;                 // the stand-in's control channel on 127.0.0.1, for its
                                         // replay; 0: none
  size_t maxPerAddress = kDefaultMaxPerAddress;  // connections one address may hold at once
};

// Reads tavelor-web's options into *options. Returns -1 to go on; otherwise the program ends
// with the returned status: 0 after --help or --version, 2 after saying what is wrong.
int ParseWebOptions(int argc, char** argv, WebOptions* options);

}  // namespace tavelor::web
