#include "classroom/HttpServer.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "base/Escape.h"
#include "base/Exceptions.h"
#include "classroom/AccessLog.h"

namespace qil {

// What the server keeps of one TCP connection.
struct HttpServer::Connection {
  std::string client;
  bool over_limit = false;  // beyond the limits when it opened: answered 503 only
};

// What the server keeps of one request, from its first line to its end.
struct HttpServer::Exchange {
  std::string target;
  std::string method;
  std::string version;
  int status = 0;         // 0 until an answer was queued
  uint64_t bytes = 0;
  bool counted = false;   // counted in in_progress_
  bool headers_seen = false;
};

namespace {

constexpr int kRetryAfterSeconds = 3;
// How far above the answered limits libmicrohttpd itself starts dropping connections.
constexpr unsigned kHardLimitMargin = 64;

void* OnBegin(void* server, const char* target, MHD_Connection* connection) {
  return static_cast<HttpServer*>(server)->BeginExchange(target, connection);
}

MHD_Result OnRequest(void* server, MHD_Connection* connection, const char* /*url*/, const char* method,
                     const char* version, const char* /*upload*/, size_t* uploadSize,
                     void** exchange) {
  // A body is never used: what arrives of it is dropped.
  const bool body_part = *uploadSize != 0;
  *uploadSize = 0;
  return static_cast<MHD_Result>(
      static_cast<HttpServer*>(server)->Answer(connection, method, version, body_part, exchange));
}

void OnCompleted(void* server, MHD_Connection* connection, void** exchange,
                 MHD_RequestTerminationCode /*why*/) {
  static_cast<HttpServer*>(server)->EndExchange(connection, exchange);
}

void OnConnection(void* server, MHD_Connection* connection, void** context,
                  MHD_ConnectionNotificationCode what) {
  auto* self = static_cast<HttpServer*>(server);
  if (what == MHD_CONNECTION_NOTIFY_STARTED) {
    self->ConnectionStarted(connection, context);
  } else {
    self->ConnectionClosed(context);
  }
}

void ReleaseBody(void* holder) { delete static_cast<std::shared_ptr<const std::string>*>(holder); }

std::string AddressText(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address == nullptr) return "-";
  if (address->sa_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
  } else if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    // An IPv4 client on a dual-stack socket is named by its IPv4 address.
    if (std::strncmp(text, "::ffff:", 7) == 0 && std::strchr(text + 7, '.') != nullptr) {
      return text + 7;
    }
  }
  return text;
}

std::optional<std::string> ConnectionValue(MHD_Connection* connection, MHD_ValueKind kind,
                                           const std::string& name) {
  const char* value = MHD_lookup_connection_value(connection, kind, name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

// The socket address of address and port, or nullopt when address is not one.
std::optional<sockaddr_storage> SocketAddress(const std::string& address, uint16_t port) {
  addrinfo hints{};
  hints.ai_flags = AI_PASSIVE;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
  sockaddr_storage result{};
  std::memcpy(&result, found->ai_addr, found->ai_addrlen);
  freeaddrinfo(found);
  if (result.ss_family == AF_INET) {
    reinterpret_cast<sockaddr_in&>(result).sin_port = htons(port);
  } else if (result.ss_family == AF_INET6) {
    reinterpret_cast<sockaddr_in6&>(result).sin6_port = htons(port);
  } else {
    return std::nullopt;
  }
  return result;
}

}  // namespace

HttpResponse HtmlPage(int status, const std::string& title, const std::string& bodyHtml) {
  HttpResponse response;
  response.status = status;
  response.AddHeader("Content-Type", "text/html; charset=utf-8");
  response.AddHeader("Cache-Control", "no-store");
  response.body = std::make_shared<const std::string>(
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
      EscapeHtmlText(title) + "</title>\n<link rel=\"stylesheet\" href=\"/disc.css\">\n</head>\n"
      "<body class=\"page\">\n<div class=\"sheet\">\n<h1>" + EscapeHtmlText(title) + "</h1>\n" + bodyHtml +
      "\n</div>\n</body>\n</html>\n");
  return response;
}

HttpResponse BusyResponse() {
  HttpResponse response =
      HtmlPage(503, "Busy, try again in a moment",
               "<p>Many people are using the disc right now. This page tries again by itself in a "
               "few seconds.</p>");
  response.AddHeader("Retry-After", std::to_string(kRetryAfterSeconds));
  response.AddHeader("Refresh", std::to_string(kRetryAfterSeconds));
  return response;
}

HttpServer::HttpServer(HttpServerOptions options, HttpHandler handler, AccessLog& log)
    : options_(std::move(options)), handler_(std::move(handler)), log_(log) {}

HttpServer::~HttpServer() { Stop(); }

void HttpServer::Start() {
  unsigned flags = MHD_USE_AUTO_INTERNAL_THREAD | MHD_USE_ITC | MHD_USE_ERROR_LOG;
  std::optional<sockaddr_storage> bind_to;
  if (options_.address.empty()) {
    flags |= MHD_USE_DUAL_STACK;
  } else {
    bind_to = SocketAddress(options_.address, options_.port);
    if (!bind_to) throw Exception("Cannot listen on " + options_.address + ": not an address of this machine.");
    if (bind_to->ss_family == AF_INET6) flags |= MHD_USE_IPv6;
  }
  const unsigned hard_limit = options_.maxConnections + kHardLimitMargin;
  const unsigned hard_per_ip = options_.perIpLimit == 0 ? 0 : options_.perIpLimit + kHardLimitMargin;
  auto start = [&](unsigned with_flags) {
    return MHD_start_daemon(
        with_flags, options_.port, nullptr, nullptr, &OnRequest, this,
        MHD_OPTION_THREAD_POOL_SIZE, options_.threads,
        MHD_OPTION_CONNECTION_LIMIT, hard_limit,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, hard_per_ip,
        MHD_OPTION_CONNECTION_TIMEOUT, options_.timeoutSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, options_.memoryLimit,
        MHD_OPTION_LISTEN_BACKLOG_SIZE, 256u,
        MHD_OPTION_URI_LOG_CALLBACK, &OnBegin, this,
        MHD_OPTION_NOTIFY_COMPLETED, &OnCompleted, this,
        MHD_OPTION_NOTIFY_CONNECTION, &OnConnection, this,
        bind_to ? MHD_OPTION_SOCK_ADDR : MHD_OPTION_END, bind_to ? &*bind_to : nullptr,
        MHD_OPTION_END);
  };
  daemon_ = start(flags);
  // A machine without IPv6 still serves every IPv4 address.
  if (daemon_ == nullptr && options_.address.empty()) daemon_ = start(flags & ~MHD_USE_DUAL_STACK);
  if (daemon_ == nullptr) {
    throw Exception("Cannot listen on " + (options_.address.empty() ? std::string("every address")
                                                                    : options_.address) +
                    " port " + std::to_string(options_.port) + ".");
  }
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
  port_ = info != nullptr ? info->port : options_.port;
}

void HttpServer::StopAccepting() {
  if (daemon_ == nullptr || !accepting_.exchange(false)) return;
  const MHD_socket listener = MHD_quiesce_daemon(daemon_);
  if (listener != MHD_INVALID_SOCKET) close(listener);
}

bool HttpServer::WaitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(idle_lock_);
  return idle_.wait_for(hold, timeout, [this] { return in_progress_ == 0; });
}

void HttpServer::Stop() {
  if (daemon_ == nullptr) return;
  StopAccepting();
  MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
}

void HttpServer::ConnectionStarted(MHD_Connection* connection, void** context) {
  auto state = std::make_unique<Connection>();
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  state->client = AddressText(info != nullptr ? info->client_addr : nullptr);
  std::lock_guard<std::mutex> hold(connections_lock_);
  unsigned& from_client = per_address_[state->client];
  state->over_limit = open_connections_ >= options_.maxConnections ||
                      (options_.perIpLimit != 0 && from_client >= options_.perIpLimit);
  ++from_client;
  ++open_connections_;
  *context = state.release();
}

void HttpServer::ConnectionClosed(void** context) {
  std::unique_ptr<Connection> state(static_cast<Connection*>(*context));
  *context = nullptr;
  if (!state) return;
  std::lock_guard<std::mutex> hold(connections_lock_);
  --open_connections_;
  auto entry = per_address_.find(state->client);
  if (entry != per_address_.end() && --entry->second == 0) per_address_.erase(entry);
}

void* HttpServer::BeginExchange(const char* target, MHD_Connection* /*connection*/) {
  auto* exchange = new Exchange;
  exchange->target = target != nullptr ? target : "";
  return exchange;
}

int HttpServer::Answer(MHD_Connection* connection, const char* method, const char* version,
                       bool bodyPart, void** slot) {
  auto* exchange = static_cast<Exchange*>(*slot);
  if (exchange == nullptr) return MHD_NO;
  if (exchange->status != 0 || bodyPart) return MHD_YES;  // answered already, or a body to drop
  const bool reads_page = std::strcmp(method, "GET") == 0 || std::strcmp(method, "HEAD") == 0;
  if (!exchange->headers_seen && reads_page) {
    // The first call comes with the headers. Answering on the last one, when
    // the request is complete, keeps the connection alive; other methods are
    // refused at once, and their bodies are not read.
    exchange->headers_seen = true;
    return MHD_YES;
  }
  exchange->method = method;
  {
    std::lock_guard<std::mutex> hold(idle_lock_);
    ++in_progress_;
    exchange->counted = true;
  }
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  const auto* state = info != nullptr ? static_cast<const Connection*>(info->socket_context) : nullptr;
  exchange->version = version != nullptr ? version : "";

  if (state == nullptr || state->over_limit) {
    HttpResponse busy = BusyResponse();
    busy.AddHeader("Connection", "close");
    return Queue(connection, *exchange, busy);
  }
  HttpRequest request;
  request.method = method;
  request.target = exchange->target;
  request.client = state->client;
  request.header = [connection](const std::string& name) {
    return ConnectionValue(connection, MHD_HEADER_KIND, name);
  };
  request.cookie = [connection](const std::string& name) {
    return ConnectionValue(connection, MHD_COOKIE_KIND, name);
  };
  HttpResponse response;
  try {
    response = handler_(request);
  } catch (const std::exception& error) {
    LogProblem(exchange->target + ": " + error.what());
    response = HtmlPage(500, "Something went wrong",
                        "<p>The server could not answer this request. Other pages still work.</p>");
  }
  return Queue(connection, *exchange, response);
}

int HttpServer::Queue(MHD_Connection* connection, Exchange& exchange, const HttpResponse& response) {
  static const std::string kEmpty;
  const std::string& body = response.body ? *response.body : kEmpty;
  MHD_Response* answer = MHD_create_response_from_buffer_with_free_callback_cls(
      body.size(), const_cast<char*>(body.data()), &ReleaseBody,
      new std::shared_ptr<const std::string>(response.body));
  if (answer == nullptr) return MHD_NO;
  for (const auto& [name, value] : response.headers) {
    MHD_add_response_header(answer, name.c_str(), value.c_str());
  }
  MHD_add_response_header(answer, "X-Content-Type-Options", "nosniff");
  MHD_add_response_header(answer, "Referrer-Policy", "no-referrer");
  MHD_add_response_header(answer, "Content-Security-Policy", kContentSecurityPolicy);
  if (!accepting_) MHD_add_response_header(answer, "Connection", "close");
  const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(response.status), answer);
  MHD_destroy_response(answer);
  exchange.status = response.status;
  exchange.bytes = exchange.method == "HEAD" ? 0 : body.size();
  return queued;
}

void HttpServer::EndExchange(MHD_Connection* connection, void** slot) {
  std::unique_ptr<Exchange> exchange(static_cast<Exchange*>(*slot));
  *slot = nullptr;
  if (!exchange) return;
  if (exchange->status != 0) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    const auto* state = info != nullptr ? static_cast<const Connection*>(info->socket_context) : nullptr;
    log_.Write(state != nullptr ? state->client : "-", std::time(nullptr),
               exchange->method + " " + exchange->target + " " + exchange->version, exchange->status,
               exchange->bytes);
  }
  if (exchange->counted) {
    std::lock_guard<std::mutex> hold(idle_lock_);
    if (--in_progress_ == 0) idle_.notify_all();
  }
}

}  // namespace qil
