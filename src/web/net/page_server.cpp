#include "web/net/page_server.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <limits>
#include <optional>

#include "replies/reply_json.h"
#include "web/connection_shares.h"
#include "web/pages.h"
#include "web/stream_messages.h"

namespace tavelor::web {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using boost::system::error_code;

namespace {

constexpr uint32_t kMaxRequestHead = 8 * 1024;   // a browser's request is under a kilobyte
// A request's head comes whole within this, and a kept-alive connection waits this long for the
// next: a browser sends its head at once, so only a connection held on purpose is cut.
constexpr auto kHeadTimeout = std::chrono::seconds(5);
// An answer (a page is tens of kilobytes) gets this long to reach a tablet on weak Wi-Fi.
constexpr auto kAnswerTimeout = std::chrono::seconds(30);
// After an answer that ends the connection, what the browser still sends is read and dropped
// for a moment, so that closing with bytes unread (which resets the connection) does not
// destroy the answer before the browser has read it.
constexpr auto kLingerTime = std::chrono::seconds(2);
constexpr size_t kLingerBytes = 64 * 1024;
// A stream quiet for half this is pinged; one that answers nothing by the end is closed, so a
// tablet that vanished (its Wi-Fi gone, its battery flat) frees its slot.
constexpr auto kStreamIdle = std::chrono::seconds(20);
// A page that does not read is dropped once this much waits for it: seconds of every reply at
// 20 Hz, minutes of a radio stack.
constexpr size_t kMaxUnsentBytes = 512 * 1024;
constexpr size_t kMaxUnsentMessages = 1024;
// The kernel's own buffer for a page: small, so that a page that does not read shows soon.
constexpr int kPageSendBuffer = 64 * 1024;

constexpr const char* kSecurityPolicy =
    "default-src 'self'; script-src 'self' 'unsafe-inline'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data:; frame-ancestors 'none'";

}  // namespace

// A connection as the server sees it when it stops.
class Session {
 public:
  virtual ~Session() = default;
  virtual void Stop() = 0;  // closes its socket: its pending reads and writes end
};

struct PageServer::Shared {
  Gateway& gateway;
  StreamOrigins origins;
  LogFunction log;
  ConnectionShares shares;
  const std::string schema = ReplySchemasJson();
  std::vector<std::weak_ptr<Session>> sessions;  // every connection that may still be open
  std::string addresses = "{}";                  // /address.json

  void Add(const std::shared_ptr<Session>& session) {
    std::erase_if(sessions, [](const std::weak_ptr<Session>& s) { return s.expired(); });
    sessions.push_back(session);
  }
};

namespace {

// A connection's place in the shares, taken at its accept and given back when the session that
// holds it last ends; it moves from the page load to the stream it becomes.
class Slot {
 public:
  Slot(std::shared_ptr<PageServer::Shared> shared, std::string address)
      : shared_(std::move(shared)), address_(std::move(address)) {}
  ~Slot() {
    if (shared_) shared_->shares.Release(address_);
  }
  Slot(Slot&& other) noexcept = default;
  Slot& operator=(Slot&&) = delete;
  const std::string& Address() const { return address_; }

 private:
  std::shared_ptr<PageServer::Shared> shared_;
  std::string address_;
};

// The peer's address as the log shows it, an IPv4 client of an IPv6 listener as IPv4.
std::string PeerAddress(const tcp::socket& socket) {
  error_code error;
  const tcp::endpoint peer = socket.remote_endpoint(error);
  if (error) return "?";
  const asio::ip::address address = peer.address();
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string();
  }
  return address.to_string();
}

// How a page usually goes: closed, reloaded, or its tablet put to sleep.
bool Ordinary(const error_code& error) {
  return error == websocket::error::closed || error == asio::error::eof ||
         error == asio::error::connection_reset || error == asio::error::operation_aborted;
}

class PageSocket : public PageSink, public Session, public std::enable_shared_from_this<PageSocket> {
 public:
  PageSocket(beast::tcp_stream&& stream, std::shared_ptr<PageServer::Shared> shared, Slot&& slot)
      : shared_(std::move(shared)), slot_(std::move(slot)), ws_(std::move(stream)) {}
  ~PageSocket() override { Leave(); }
  void Stop() override { Drop(""); }

  void Accept(http::request<http::empty_body> request) {
    error_code ignored;
    beast::get_lowest_layer(ws_).socket().set_option(asio::socket_base::send_buffer_size(kPageSendBuffer), ignored);
    beast::get_lowest_layer(ws_).expires_never();
    websocket::stream_base::timeout timeouts;
    timeouts.handshake_timeout = kAnswerTimeout;
    timeouts.idle_timeout = kStreamIdle;
    timeouts.keep_alive_pings = true;
    ws_.set_option(timeouts);
    ws_.set_option(websocket::stream_base::decorator(
        [](websocket::response_type& response) { response.set(http::field::server, "tavelor-web"); }));
    ws_.read_message_max(kMaxPageMessageBytes);
    ws_.text(true);
    ws_.async_accept(request, [self = shared_from_this()](error_code error) {
      if (error) return;
      self->id_ = self->shared_->gateway.Join(self.get());
      self->joined_ = true;
      self->shared_->log("Page connected from " + self->slot_.Address() + " (" +
                         std::to_string(self->shared_->gateway.Pages()) + " on the stream)");
      self->Read();
    });
  }

  void Deliver(std::shared_ptr<const std::string> message) override {
    if (closing_) return;
    unsentBytes_ += message->size();
    queue_.push_back(std::move(message));
    if (unsentBytes_ > kMaxUnsentBytes || queue_.size() > kMaxUnsentMessages) {
      return Drop("dropped: " + std::to_string(unsentBytes_) + " bytes in " + std::to_string(queue_.size()) +
                  " messages unread");
    }
    if (!writing_) Write();
  }

 private:
  void Read() {
    ws_.async_read(inbox_, [self = shared_from_this()](error_code error, size_t) {
      if (error == beast::error::timeout) return self->Drop("gone: no answer to pings");
      if (error) return self->Drop(Ordinary(error) ? "" : "gone (" + error.message() + ")");
      // Messages the stream had buffered still come after a drop: the page has left by then.
      if (self->closing_) return;
      const std::string text = beast::buffers_to_string(self->inbox_.data());
      self->inbox_.consume(self->inbox_.size());
      if (!self->ws_.got_text()) {
        self->Deliver(std::make_shared<const std::string>(ErrorMessage("messages are JSON text")));
      } else {
        self->shared_->gateway.OnMessage(self->id_, text);
      }
      self->Read();
    });
  }

  void Write() {
    writing_ = true;
    ws_.async_write(asio::buffer(*queue_.front()), [self = shared_from_this()](error_code error, size_t) {
      if (error) return self->Drop("gone (" + error.message() + ")");
      self->unsentBytes_ -= self->queue_.front()->size();
      self->queue_.pop_front();
      self->writing_ = false;
      if (!self->queue_.empty() && !self->closing_) self->Write();
    });
  }

  // Closes at once; the pending read then ends, and with it the page's place at the gateway.
  // Never leaves from here: a page may be dropped while the gateway gives out a message.
  void Drop(const std::string& why) {
    if (closing_) return;
    closing_ = true;
    if (!why.empty()) shared_->log("Page " + slot_.Address() + " " + why);
    error_code ignored;
    beast::get_lowest_layer(ws_).socket().close(ignored);
    asio::post(ws_.get_executor(), [self = shared_from_this()] { self->Leave(); });
  }

  void Leave() {
    if (!joined_) return;
    joined_ = false;
    shared_->gateway.Leave(id_);
    shared_->log("Page left (" + std::to_string(shared_->gateway.Pages()) + " on the stream)");
  }

  std::shared_ptr<PageServer::Shared> shared_;
  Slot slot_;
  websocket::stream<beast::tcp_stream> ws_;
  beast::flat_buffer inbox_;
  std::deque<std::shared_ptr<const std::string>> queue_;
  size_t unsentBytes_ = 0;
  bool writing_ = false;
  bool closing_ = false;
  bool joined_ = false;
  PageId id_ = 0;
};

class HttpSession : public Session, public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(tcp::socket socket, std::shared_ptr<PageServer::Shared> shared, Slot&& slot)
      : shared_(std::move(shared)), slot_(std::move(slot)), stream_(std::move(socket)) {}
  void Stop() override {
    error_code ignored;
    stream_.socket().close(ignored);  // a stream it became has its own socket and session
  }

  void Read() {
    parser_.emplace();
    parser_->header_limit(kMaxRequestHead);
    // No request here has a body, but one that comes with one is answered by its method (405
    // for a POST): the body is refused only at its first byte, once the head is known.
    // (Not boost::none: this Beast compares a length with it as if it were below every limit.)
    parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
    stream_.expires_after(kHeadTimeout);
    http::async_read(stream_, buffer_, *parser_, [self = shared_from_this()](error_code error, size_t) {
      if (error) return self->Unreadable(error);
      self->Serve(self->parser_->release());
    });
  }

 private:
  // A request that could not be read whole: answered when it was the browser's fault, else the
  // connection just ends (the browser left, or sent nothing in time).
  void Unreadable(const error_code& error) {
    http::request<http::empty_body> head;
    head.version(11);
    const bool httpFault = error.category() == http::make_error_code(http::error::bad_method).category() &&
                           error != http::error::end_of_stream && error != http::error::partial_message;
    if (error == http::error::header_limit) {
      return Respond(head, http::status::request_header_fields_too_large, "text/plain",
                     "A request's head is at most " + std::to_string(kMaxRequestHead) + " bytes\n", false);
    }
    if (httpFault && parser_->is_header_done()) {  // a body, which no request here has
      head = parser_->release();
      if (head.method() != http::verb::get && head.method() != http::verb::head) {
        return Respond(head, http::status::method_not_allowed, "text/plain", "GET only\n", false);
      }
      return Respond(head, http::status::bad_request, "text/plain", "A GET has no body\n", false);
    }
    if (httpFault) return Respond(head, http::status::bad_request, "text/plain", "Not an HTTP request\n", false);
    error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
  }

  void Serve(http::request<http::empty_body> request) {
    const std::string target(request.target());
    const std::string path = target.substr(0, target.find('?'));
    if (websocket::is_upgrade(request)) {
      if (path != "/stream") return Respond(request, http::status::not_found, "text/plain", "No stream here: it is at /stream\n");
      error_code known;
      const tcp::endpoint local = stream_.socket().local_endpoint(known);
      const std::string origin(request[http::field::origin]);
      if (!MayOpenStream(origin, request[http::field::host], known ? "" : local.address().to_string(),
                         shared_->origins)) {
        shared_->log("Stream refused to a page from " + origin + ": not this server's address");
        return Respond(request, http::status::forbidden, "text/plain",
                       "The stream is only for pages from this server\n", false);
      }
      const auto page = std::make_shared<PageSocket>(std::move(stream_), shared_, std::move(slot_));
      shared_->Add(page);
      return page->Accept(std::move(request));
    }
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
      return Respond(request, http::status::method_not_allowed, "text/plain", "GET only\n", false);
    }
    if (path == "/stream") {
      return Respond(request, http::status::upgrade_required, "text/plain", "The stream is a WebSocket\n");
    }
    if (path == "/schema.json") return Respond(request, http::status::ok, "application/json", shared_->schema);
    if (path == "/address.json") return Respond(request, http::status::ok, "application/json", shared_->addresses);
    if (const BuiltInPage* page = FindPage(target)) {
      return Respond(request, http::status::ok, page->contentType, page->bytes);
    }
    Respond(request, http::status::not_found, "text/plain", "No such page\n");
  }

  void Respond(const http::request<http::empty_body>& request, http::status status, std::string_view type,
               std::string_view body, bool keepAlive = true) {
    stream_.expires_after(kAnswerTimeout);  // a slow tablet still gets a large page
    auto response = std::make_shared<http::response<http::string_body>>(status, request.version());
    response->set(http::field::server, "tavelor-web");
    response->set(http::field::content_type, type);
    response->set(http::field::cache_control, "no-cache");
    response->set("X-Content-Type-Options", "nosniff");
    response->set("X-Frame-Options", "DENY");
    response->set("Content-Security-Policy", kSecurityPolicy);
    if (status == http::status::method_not_allowed) response->set(http::field::allow, "GET, HEAD");
    response->keep_alive(keepAlive && request.keep_alive());
    if (request.method() != http::verb::head) response->body() = std::string(body);
    response->content_length(body.size());
    http::async_write(stream_, *response, [self = shared_from_this(), response](error_code error, size_t) {
      if (!error && response->keep_alive()) return self->Read();
      error_code ignored;
      self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
      if (!error) self->Linger(0);
    });
  }

  // Reads and drops what the browser still sends, until it closes, for a moment at most.
  void Linger(size_t dropped) {
    if (dropped == 0) stream_.expires_after(kLingerTime);
    buffer_.consume(buffer_.size());
    stream_.async_read_some(buffer_.prepare(4096), [self = shared_from_this(), dropped](error_code error, size_t n) {
      if (!error && dropped + n < kLingerBytes) self->Linger(dropped + n);
    });
  }

  std::shared_ptr<PageServer::Shared> shared_;
  Slot slot_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::empty_body>> parser_;
};

}  // namespace

PageServer::PageServer(asio::io_context& io, Gateway& gateway, StreamOrigins origins, LogFunction log,
                       size_t maxPerAddress)
    : acceptor_(io), retry_(io),
      shared_(std::make_shared<Shared>(Shared{gateway, std::move(origins), std::move(log),
                                              ConnectionShares(kMaxConnections, maxPerAddress), ReplySchemasJson(), {},
                                              "{}"})) {}

std::string PageServer::Listen(const std::string& address, int port) {
  error_code error;
  const asio::ip::address ip = asio::ip::make_address(address.empty() ? "0.0.0.0" : address, error);
  if (error) return "'" + address + "' is not an IP address";
  const tcp::endpoint endpoint(ip, static_cast<unsigned short>(port));
  acceptor_.open(endpoint.protocol(), error);
#if !defined(_WIN32)
  // A restart may bind at once. (On Windows the same option lets a second program take the port.)
  if (!error) acceptor_.set_option(asio::socket_base::reuse_address(true), error);
#endif
  if (!error) acceptor_.bind(endpoint, error);
  if (!error) acceptor_.listen(asio::socket_base::max_listen_connections, error);
  if (error) return "cannot listen on " + endpoint.address().to_string() + " port " + std::to_string(port) + ": " + error.message();
  shared_->origins.port = Port();
  Accept();
  return "";
}

void PageServer::SetAddresses(const std::string& lan, const std::string& local) {
  shared_->addresses = AddressesJson(lan, local);
}

void PageServer::Stop() {
  error_code ignored;
  acceptor_.close(ignored);
  retry_.cancel();
  for (const std::weak_ptr<Session>& held : shared_->sessions)
    if (const std::shared_ptr<Session> session = held.lock()) session->Stop();
  shared_->sessions.clear();
}

int PageServer::Port() const {
  error_code ignored;
  return acceptor_.local_endpoint(ignored).port();
}

void PageServer::Accept() {
  acceptor_.async_accept([this](error_code error, tcp::socket socket) {
    if (error == asio::error::operation_aborted) return;
    if (error) {
      // Out of descriptors, say: the browsers wait in the listen queue meanwhile.
      retry_.expires_after(std::chrono::milliseconds(250));
      return retry_.async_wait([this](error_code error) {
        if (!error) Accept();
      });
    }
    std::string address = PeerAddress(socket);
    const ConnectionShares::Decision decision = shared_->shares.Take(address);
    if (!decision.taken) {
      if (!decision.refusal.empty()) shared_->log("Error: " + decision.refusal);
      socket.close(error);  // past a bound a browser sees the connection closed
    } else {
      const auto session = std::make_shared<HttpSession>(std::move(socket), shared_, Slot(shared_, std::move(address)));
      shared_->Add(session);
      session->Read();
    }
    Accept();
  });
}

}  // namespace tavelor::web
