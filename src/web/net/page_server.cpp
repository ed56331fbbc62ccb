#include "web/net/page_server.h"

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <optional>

#include "replies/reply_json.h"
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

constexpr size_t kMaxConnections = 256;          // pages and page loads together
constexpr uint32_t kMaxRequestHead = 8 * 1024;   // a browser's request is under a kilobyte
constexpr auto kRequestTimeout = std::chrono::seconds(30);
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

struct PageServer::Shared {
  Gateway& gateway;
  StreamOrigins origins;
  LogFunction log;
  size_t open = 0;
  const std::string schema = ReplySchemasJson();
};

namespace {

// Counts a connection for as long as its session lives.
class Slot {
 public:
  explicit Slot(PageServer::Shared& shared) : shared_(shared) { ++shared_.open; }
  ~Slot() { --shared_.open; }
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;

 private:
  PageServer::Shared& shared_;
};

// How a page usually goes: closed, reloaded, or its tablet put to sleep.
bool Ordinary(const error_code& error) {
  return error == websocket::error::closed || error == asio::error::eof ||
         error == asio::error::connection_reset || error == asio::error::operation_aborted;
}

class PageSocket : public PageSink, public std::enable_shared_from_this<PageSocket> {
 public:
  PageSocket(beast::tcp_stream&& stream, std::shared_ptr<PageServer::Shared> shared)
      : shared_(std::move(shared)), slot_(*shared_), ws_(std::move(stream)) {}
  ~PageSocket() override { Leave(); }

  void Accept(http::request<http::empty_body> request) {
    error_code ignored;
    beast::get_lowest_layer(ws_).socket().set_option(asio::socket_base::send_buffer_size(kPageSendBuffer), ignored);
    beast::get_lowest_layer(ws_).expires_never();
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.set_option(websocket::stream_base::decorator(
        [](websocket::response_type& response) { response.set(http::field::server, "tavelor-web"); }));
    ws_.read_message_max(kMaxPageMessageBytes);
    ws_.text(true);
    ws_.async_accept(request, [self = shared_from_this()](error_code error) {
      if (error) return;
      self->id_ = self->shared_->gateway.Join(self.get());
      self->joined_ = true;
      self->shared_->log("Page connected from " + self->peer_ + " (" +
                         std::to_string(self->shared_->gateway.Pages()) + " on the stream)");
      self->Read();
    });
    error_code known;
    const tcp::endpoint peer = beast::get_lowest_layer(ws_).socket().remote_endpoint(known);
    peer_ = known ? "?" : peer.address().to_string();
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
      if (error) return self->Drop(Ordinary(error) ? "" : "gone (" + error.message() + ")");
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
    if (!why.empty()) shared_->log("Page " + peer_ + " " + why);
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
  std::string peer_;
};

class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(tcp::socket socket, std::shared_ptr<PageServer::Shared> shared)
      : shared_(std::move(shared)), slot_(*shared_), stream_(std::move(socket)) {}

  void Read() {
    parser_.emplace();
    parser_->header_limit(kMaxRequestHead);
    parser_->body_limit(0);
    stream_.expires_after(kRequestTimeout);
    http::async_read(stream_, buffer_, *parser_, [self = shared_from_this()](error_code error, size_t) {
      if (error) {
        error_code ignored;
        self->stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        return;
      }
      self->Serve(self->parser_->release());
    });
  }

 private:
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
      return std::make_shared<PageSocket>(std::move(stream_), shared_)->Accept(std::move(request));
    }
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
      return Respond(request, http::status::method_not_allowed, "text/plain", "GET only\n");
    }
    if (path == "/stream") {
      return Respond(request, http::status::upgrade_required, "text/plain", "The stream is a WebSocket\n");
    }
    if (path == "/schema.json") return Respond(request, http::status::ok, "application/json", shared_->schema);
    if (const BuiltInPage* page = FindPage(target)) {
      return Respond(request, http::status::ok, page->contentType, page->bytes);
    }
    Respond(request, http::status::not_found, "text/plain", "No such page\n");
  }

  void Respond(const http::request<http::empty_body>& request, http::status status, std::string_view type,
               std::string_view body, bool keepAlive = true) {
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
    });
  }

  std::shared_ptr<PageServer::Shared> shared_;
  Slot slot_;
  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::empty_body>> parser_;
};

}  // namespace

PageServer::PageServer(asio::io_context& io, Gateway& gateway, StreamOrigins origins, LogFunction log)
    : acceptor_(io), retry_(io), shared_(std::make_shared<Shared>(Shared{gateway, std::move(origins), std::move(log)})) {}

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
      return retry_.async_wait([this](error_code) { Accept(); });
    }
    if (shared_->open >= kMaxConnections) {
      socket.close(error);  // past the bound a browser sees the connection closed
    } else {
      std::make_shared<HttpSession>(std::move(socket), shared_)->Read();
    }
    Accept();
  });
}

}  // namespace tavelor::web
