// tavelor-web: live cockpit instruments in a browser, a client of TavelorServer's panel port.
// The same program on Linux and Windows: Boost.Asio carries both the browsers and the panel port
// on one thread.
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ip/host_name.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/signal_set.hpp>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "text/escaped_bytes.h"
#include "text/lower_case.h"
#include "web/net/console_close.h"
#include "web/net/gateway.h"
#include "web/net/page_server.h"

namespace {

namespace asio = boost::asio;
using namespace tavelor::web;

// Log lines go to standard output; bytes a client chose (an Origin header) cannot forge lines
// or reach the terminal as control sequences.
void Log(const std::string& line) { std::cout << "- " << tavelor::EscapedBytes(line, tavelor::UnsafeBytes::kControl) << std::endl; }

// The address other machines reach this one by: the one a datagram to a distant address would
// leave from (a datagram socket's connect sends nothing).
std::string RoutedAddress(asio::io_context& io) {
  boost::system::error_code error;
  asio::ip::udp::socket probe(io);
  probe.connect(asio::ip::udp::endpoint(asio::ip::make_address_v4("192.0.2.1"), 9), error);
  if (error) return "";
  const auto local = probe.local_endpoint(error);
  return error || local.address().is_loopback() || local.address().is_unspecified() ? ""
                                                                                    : local.address().to_string();
}

// This machine's names and addresses, for the stream's Origin check; *lan gets the address to
// give to tablets ("" when there is none but loopback), *local the name a tablet finds it by on
// the network (NAME.local, "" when it has no name of its own).
std::vector<std::string> OwnHosts(asio::io_context& io, const std::string& bind, std::string* lan, std::string* local) {
  std::vector<std::string> hosts = {"localhost", "127.0.0.1", "::1"};
  boost::system::error_code error;
  const std::string name = tavelor::LowerCase(asio::ip::host_name(error));
  if (!error && !name.empty() && name != "localhost") *local = name + ".local";
  if (!error && !name.empty()) {
    hosts.push_back(name);
    hosts.push_back(name + ".local");
    asio::ip::tcp::resolver resolver(io);
    for (const auto& found : resolver.resolve(name, "", error)) {
      const asio::ip::address address = found.endpoint().address();
      hosts.push_back(address.to_string());
      if (lan->empty() && address.is_v4() && !address.is_loopback()) *lan = address.to_string();
    }
  }
  if (const std::string routed = RoutedAddress(io); !routed.empty()) {
    hosts.push_back(routed);
    *lan = routed;
  }
  if (!bind.empty() && bind != "0.0.0.0" && bind != "::") {
    hosts.push_back(tavelor::LowerCase(bind));
    *lan = bind;
  }
  return hosts;
}

std::string Url(const std::string& host, int port) {
  const bool v6 = host.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port) + "/";
}

}  // namespace

int main(int argc, char** argv) {
  WebOptions options;
  if (const int status = ParseWebOptions(argc, argv, &options); status >= 0) return status;

  asio::io_context io;
  Log("Tavelor Web: cockpit panels in a browser");
  Gateway gateway(io, options, Log);
  StreamOrigins origins;
  std::string lan, local;
  origins.hosts = OwnHosts(io, options.bind, &lan, &local);
  for (const std::string& origin : options.origins) origins.extra.push_back(tavelor::LowerCase(origin));
  PageServer pages(io, gateway, origins, Log, options.maxPerAddress);
  if (const std::string error = pages.Listen(options.bind, options.port); !error.empty()) {
    Log("Error: " + error);
    return 1;
  }
  const int port = pages.Port();
  const bool loopbackOnly = asio::ip::make_address(options.bind.empty() ? "0.0.0.0" : options.bind).is_loopback();
  if (loopbackOnly || lan.empty()) {
    Log("Open " + Url(loopbackOnly ? options.bind : "127.0.0.1", port) + " in a browser on this computer");
  } else {
    Log("Open " + Url(lan, port) + (local.empty() ? "" : " or " + Url(local, port)) +
        " on a tablet or phone (on this computer: " + Url("127.0.0.1", port) + ")");
    // The index page, opened on this computer, shows these for a tablet's camera.
    pages.SetAddresses(Url(lan, port), local.empty() ? "" : Url(local, port));
  }
  if (options.readOnly) Log("Read-only: pages show values but cannot send commands");
  gateway.Start();

  // Ctrl+C, systemctl stop (SIGTERM), a closed terminal (SIGHUP) and a closed console window
  // stop it the same way. The guard outlives everything below it, so a console's handler waits
  // for all of it.
  ConsoleCloseGuard console([&io] { asio::post(io, [&io] { io.stop(); }); });
  asio::signal_set stop(io, SIGINT, SIGTERM);
#if defined(SIGHUP)
  stop.add(SIGHUP);
#endif
  stop.async_wait([&](boost::system::error_code error, int) {
    if (!error) io.stop();
  });
  io.run();
  // In order: the pages' connections close and leave the gateway, then the gateway's own close;
  // their handlers, all cancelled, run out while everything they reach is still there. Only then
  // do the objects go, the io_context last, with nothing left in it to release.
  stop.cancel();
  pages.Stop();
  gateway.Stop();
  io.restart();
  io.run_for(std::chrono::seconds(5));
  Log("Stopped");
  return 0;
}
