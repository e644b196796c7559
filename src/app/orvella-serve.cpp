// orvella-serve: the disc for a whole class, over HTTP.
//
//   orvella-serve --archive FILE [--port N] [--address A] [--key-file FILE] [--log FILE]
//                 [--threads N] [--per-ip-limit N] [--max-connections N]
//                 [--session-hours N] [--timeout SECONDS]
//
// Once listening it says so on standard error ("Listening on http://...",
// then "Students open http://IP:PORT/" for each network address of the
// machine when it listens on all of them). The access log goes to standard
// output or --log. SIGHUP reopens the log; SIGTERM and SIGINT stop taking
// requests, finish those in progress and exit 0. Bad arguments, or a disc,
// key, log or address that cannot be used, end it with a message and exit 2.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/Convert.h"
#include "base/Exceptions.h"
#include "classroom/ClassroomServer.h"

namespace {

constexpr int kStartupFailed = 2;
constexpr auto kShutdownGrace = std::chrono::seconds(10);

constexpr const char* kUsage =
    "Usage: orvella-serve --archive FILE [--port N] [--address A] [--key-file FILE] [--log FILE]\n"
    "                     [--threads N] [--per-ip-limit N] [--max-connections N]\n"
    "                     [--session-hours N] [--timeout SECONDS]\n"
    "Serves the disc FILE to every browser on the network, each with a worksheet of its own.\n"
    "  --port N             the port to listen on (default 8080; 0 picks a free one)\n"
    "  --address A          listen on this address only (default: every address)\n"
    "  --key-file FILE      the key that signs students' sessions (at least 32 bytes); give\n"
    "                       several servers behind one proxy the same file\n"
    "  --log FILE           append the access log to FILE (default: standard output)\n"
    "  --threads N          requests handled at once (default: twice the processors, at least 4)\n"
    "  --per-ip-limit N     connections per client address (default 32; 0: no limit)\n"
    "  --max-connections N  open connections in all; more are told to retry (default 512)\n"
    "  --session-hours N    how long an unused worksheet is kept (default 12)\n"
    "  --timeout SECONDS    idle time after which a connection is closed (default 15)\n";

class UsageError : public qil::Exception {
 public:
  using Exception::Exception;
};

unsigned Count(const std::string& option, const std::string& text, unsigned low, unsigned high) {
  const std::optional<int32_t> value = qil::TryStrToInt(text);
  if (!value || *value < static_cast<int64_t>(low) || *value > static_cast<int64_t>(high)) {
    throw UsageError(option + " wants a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not \"" + text + "\".");
  }
  return static_cast<unsigned>(*value);
}

qil::ClassroomOptions ParseArguments(int argc, char** argv) {
  qil::ClassroomOptions options;
  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  options.http.threads = std::max(4u, 2 * processors);
  bool archive_given = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (i + 1 >= argc) throw UsageError("Unknown option or missing value: " + option);
    const std::string value = argv[++i];
    if (option == "--archive") {
      options.archive = value;
      archive_given = true;
    } else if (option == "--port") {
      options.http.port = static_cast<uint16_t>(Count(option, value, 0, 65535));
    } else if (option == "--address") {
      options.http.address = value;
    } else if (option == "--key-file") {
      options.keyFile = value;
    } else if (option == "--log") {
      options.logPath = value;
    } else if (option == "--threads") {
      options.http.threads = Count(option, value, 1, 256);
    } else if (option == "--per-ip-limit") {
      options.http.perIpLimit = Count(option, value, 0, 100000);
    } else if (option == "--max-connections") {
      options.http.maxConnections = Count(option, value, 1, 100000);
    } else if (option == "--session-hours") {
      options.sessionSeconds = int64_t{3600} * Count(option, value, 1, 24 * 366);
    } else if (option == "--timeout") {
      options.http.timeoutSeconds = Count(option, value, 1, 3600);
    } else {
      throw UsageError("Unknown option: " + option);
    }
  }
  if (!archive_given) throw UsageError("Which disc? Name it with --archive FILE.");
  return options;
}

// Enough descriptors for every connection the server may hold.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

// The IPv4 addresses of the machine's network interfaces that are up, loopback excepted.
std::vector<std::string> NetworkAddresses() {
  std::vector<std::string> addresses;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return addresses;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    char text[INET_ADDRSTRLEN];
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr) addresses.emplace_back(text);
  }
  freeifaddrs(list);
  return addresses;
}

std::string HostPart(const std::string& address) {
  if (address.empty()) return "localhost";
  return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

}  // namespace

int main(int argc, char** argv) {
  qil::ClassroomOptions options;
  try {
    options = ParseArguments(argc, argv);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "orvella-serve: %s\n%s", error.Message().c_str(), kUsage);
    return kStartupFailed;
  }
  RaiseDescriptorLimit();

  // The signals are taken by this thread alone: every thread started from
  // here on inherits the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<qil::ClassroomServer> server;
  try {
    server = std::make_unique<qil::ClassroomServer>(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "orvella-serve: %s\n", error.what());
    return kStartupFailed;
  }
  const std::string port = std::to_string(server->Port());
  std::fprintf(stderr, "Listening on http://%s:%s/\n", HostPart(options.http.address).c_str(), port.c_str());
  if (options.http.address.empty()) {
    for (const std::string& address : NetworkAddresses()) {
      std::fprintf(stderr, "Students open http://%s:%s/\n", address.c_str(), port.c_str());
    }
  }
  std::fflush(stderr);

  for (;;) {
    int received = 0;
    if (sigwait(&signals, &received) != 0) continue;
    if (received == SIGHUP) {
      const std::string failure = server->ReopenLog();
      if (!failure.empty()) std::fprintf(stderr, "orvella-serve: cannot reopen the log: %s\n", failure.c_str());
      continue;
    }
    break;
  }
  if (!server->Shutdown(kShutdownGrace)) {
    std::fprintf(stderr, "orvella-serve: stopped with requests still in progress\n");
  }
  server.reset();
  return 0;
}
