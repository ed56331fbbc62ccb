// The stand-in simulator's loop on Linux: the window the link talks to and the control channel,
// served by one poll() on one thread, with a wake-up pipe that Stop() writes to.
#include "sim/posix/sim_server.h"

#include <algorithm>
#include <mutex>

#include "sim/posix/control_server.h"
#include "sim/posix/poll_loop.h"
#include "sim/posix/window_server.h"
#include "sim/sim_service.h"

namespace tavelor::sim {

struct SimServer::Impl {
  explicit Impl(const SimServerOptions& o)
      : options(o), service(o), rest(service), window(service, rest), control(service, rest) {}

  SimServerOptions options;
  SimService service;
  PollLoop loop;
  AcceptRest rest;  // both listeners rest together
  WindowServer window;
  ControlServer control;
  // Held while a pass of the loop serves, and by an exchange from this process's own link,
  // which goes first: a pass waits while one is waiting for it (a lock is not fair, and a
  // replay catching up runs pass after pass).
  std::mutex serving;
  std::atomic<int> linkWaiting{0};

  void CloseAll() {
    window.CloseAll();
    control.CloseAll();
  }
  // One pass of the loop; false when the loop must end.
  bool Serve();
};

bool SimServer::Impl::Serve() {
  PollList fds = loop.Begin();
  const bool resting = rest.Resting();
  window.Watch(fds, resting);
  control.Watch(fds, resting);
  auto until = service.NextControlDeadline();
  if (service.Flying()) until = std::min(until, PollClock::now() + SimService::kTickInterval);
  if (service.CatchingUp()) until = PollClock::now();
  if (resting) until = std::min(until, rest.Until());
  if (!loop.Wait(fds, until)) return false;

  while (linkWaiting.load() > 0) std::this_thread::yield();
  const std::lock_guard<std::mutex> lock(serving);
  const auto now = PollClock::now();
  service.Tick(now);
  // Existing connections first: the lists may grow when the listeners accept below.
  window.Serve(fds);
  if (control.Serve(fds, now)) {
    // The window goes first, so a client that has read "OK" already finds the simulator gone.
    window.CloseListener();
    control.FlushForQuit();
    return false;
  }
  window.Accept(fds);
  control.Accept(fds);
  return true;
}

const std::string& SimServer::WindowClass() const { return impl_->options.windowClass; }

SimServer::Answer SimServer::ExchangeInProcess(uint8_t* block, size_t size, uint32_t* result) {
  ++impl_->linkWaiting;
  std::unique_lock<std::mutex> lock(impl_->serving);
  --impl_->linkWaiting;
  if (!running_ || !impl_->window.Listening()) return Answer::kGone;
  if (impl_->service.TakeHang()) return Answer::kUnanswered;
  *result = impl_->service.Exchange(block, size);
  return Answer::kAnswered;
}

SimServer::SimServer(const SimServerOptions& options)
    : impl_(std::make_unique<Impl>(options)) {}

SimServer::~SimServer() { Stop(); }

bool SimServer::Open(std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  if (impl_->window.Listening() || impl_->control.Listening()) {
    *error = "already open";
    return false;
  }
  if (!impl_->loop.HasWakePipe()) {
    *error = "cannot create the wake-up pipe";
    return false;
  }
  if (!impl_->service.StartProblem().empty()) {
    *error = impl_->service.StartProblem();
    return false;
  }
  if (!impl_->window.Open(impl_->options.windowClass, error)) return false;
  if (!impl_->control.Open(impl_->options.controlPort, error)) {
    impl_->window.CloseListener();
    return false;
  }
  controlPort_ = impl_->control.Port();
  return true;
}

void SimServer::Run() {
  if (!impl_->window.Listening() || !impl_->control.Listening()) {
    running_ = false;
    return;
  }
  running_ = true;
  while (impl_->Serve()) {
  }
  const std::lock_guard<std::mutex> lock(impl_->serving);
  running_ = false;
  impl_->CloseAll();
}

void SimServer::Start() {
  if (thread_.joinable() || !impl_->window.Listening()) return;
  running_ = true;  // already true when Start() returns, so a watcher cannot miss the start
  thread_ = std::thread([this] { Run(); });
}

void SimServer::Stop() {
  impl_->loop.Wake();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  if (!thread_.joinable() && !running_) {
    // Nothing serves any more: drop the listeners (and a wake-up byte meant for nobody).
    impl_->CloseAll();
    impl_->loop.DrainWake();
  }
}

}  // namespace tavelor::sim
