// The classroom server's HTTP front: listens on a socket and hands every
// request to one handler function, on a bounded pool of threads.
//
// HTTP itself (parsing, keep-alive, HEAD without a body, Date headers) is
// libmicrohttpd's. This unit adds what a shared classroom needs:
//  - a limit per client address: connections from an address beyond
//    perIpLimit, and every connection beyond maxConnections, are answered
//    503 with Retry-After (BusyResponse) and closed; the handler never sees
//    them. A hard limit a little above both drops floods at the socket.
//  - limits on the request's size (request line and headers together within
//    memoryLimit, else 431 or 414) and a time-out for idle or slow clients,
//    after which their connection is closed;
//  - the headers every answer carries: X-Content-Type-Options,
//    Referrer-Policy and the Content-Security-Policy of kContentSecurityPolicy;
//  - one access-log line per answered request;
//  - a shutdown in two steps: StopAccepting closes the socket (requests on
//    open connections are still answered, with "Connection: close"), then
//    Stop ends the threads; WaitIdle waits for the requests in progress.
// The handler runs on the pool's threads, several at once; it must be
// thread-safe and should not raise (an exception becomes a 500 answer).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;

namespace qil {

class AccessLog;

// What a handler sees of one request.
struct HttpRequest {
  std::string method;
  std::string target;   // path and query exactly as the client sent them
  std::string client;   // the client's address, as text
  std::function<std::optional<std::string>(const std::string& name)> header;
  std::function<std::optional<std::string>(const std::string& name)> cookie;
};

// One answer. body may be shared with a cache: it is never changed.
struct HttpResponse {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::shared_ptr<const std::string> body;

  void AddHeader(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
  }
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

struct HttpServerOptions {
  std::string address;              // "" = every address, IPv6 and IPv4
  uint16_t port = 8080;             // 0 = any free port
  unsigned threads = 4;
  unsigned perIpLimit = 32;         // 0 = no limit per address
  unsigned maxConnections = 512;
  unsigned timeoutSeconds = 15;
  size_t memoryLimit = 32 * 1024;   // per connection: request line, headers, buffers
};

// Everything the disc's pages load comes from the server's own origin; the
// pages' own inline scripts, event handlers and style sheets apply.
inline constexpr const char* kContentSecurityPolicy =
    "default-src 'self'; script-src 'self' 'unsafe-inline'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data:; font-src 'self'; object-src 'none'; base-uri 'self'; "
    "form-action 'self'; frame-ancestors 'self'";

// A small HTML page of the server's own (errors, notices), styled like the disc.
HttpResponse HtmlPage(int status, const std::string& title, const std::string& bodyHtml);

// The calm answer of a full server: 503, Retry-After, a page that tries again.
HttpResponse BusyResponse();

class HttpServer {
 public:
  HttpServer(HttpServerOptions options, HttpHandler handler, AccessLog& log);
  ~HttpServer();

  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Starts listening. Raises Exception "Cannot listen on ADDRESS port N."
  // when the socket cannot be had.
  void Start();
  // The port listened on (the chosen one when the options said 0).
  uint16_t Port() const { return port_; }

  void StopAccepting();
  // True when no request is in progress, waiting at most timeout for it.
  bool WaitIdle(std::chrono::milliseconds timeout);
  // Stops the threads; open connections are closed. Also run by the destructor.
  void Stop();

  // For libmicrohttpd's callbacks (they are plain functions).
  struct Connection;
  struct Exchange;
  void* BeginExchange(const char* target, MHD_Connection* connection);
  int Answer(MHD_Connection* connection, const char* method, const char* version, bool bodyPart,
             void** exchange);
  void EndExchange(MHD_Connection* connection, void** exchange);
  void ConnectionStarted(MHD_Connection* connection, void** context);
  void ConnectionClosed(void** context);

 private:
  int Queue(MHD_Connection* connection, Exchange& exchange, const HttpResponse& response);

  HttpServerOptions options_;
  HttpHandler handler_;
  AccessLog& log_;
  MHD_Daemon* daemon_ = nullptr;
  uint16_t port_ = 0;
  std::atomic<bool> accepting_{true};

  std::mutex connections_lock_;
  std::map<std::string, unsigned> per_address_;  // open connections per client address
  unsigned open_connections_ = 0;

  std::mutex idle_lock_;
  std::condition_variable idle_;
  unsigned in_progress_ = 0;
};

}  // namespace qil
