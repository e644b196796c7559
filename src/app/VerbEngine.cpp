// The engine verbs: qilcd get and qilcd session.
//
// Both start the engine as the desktop program does, minus the windows, and
// send every address through a protocol handler as the web view would.
// An address is either a full URL (qilproto://qilproto_local/index.html) or
// a bare path ("/index.html", "index.html"), which gets the scheme and host
// put in front. The environment variable QILCD_UTC_TIME_OF_DAY_MS (decimal
// milliseconds since midnight UTC, 0 to 86399999) fixes the time of day that
// the engine sees, so random worksheets can be reproduced.
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Verbs.h"
#include "base/Convert.h"
#include "platform/headless/HeadlessPlatform.h"
#include "shell/Engine.h"
#include "shell/Fetch.h"

namespace qil::app {

namespace {

struct EngineArgs {
  EngineOptions options;
  std::string clipboard_file;
  std::string save_folder;
  std::optional<uint32_t> time_of_day;
  std::vector<std::string> positional;
};

constexpr const char* kTimeOfDayVariable = "QILCD_UTC_TIME_OF_DAY_MS";
constexpr int32_t kMillisecondsPerDay = 86400000;

// Reads the fixed time of day from the environment into time; time stays
// unset when the variable is not set. False (after one line on stderr) for a
// value that is not a decimal number from 0 to 86399999.
bool ReadFixedTimeOfDay(const char* verb, std::optional<uint32_t>& time) {
  const char* text = std::getenv(kTimeOfDayVariable);
  if (text == nullptr) return true;
  const std::optional<int32_t> value = TryStrToInt(text);
  if (!value || *value < 0 || *value >= kMillisecondsPerDay) {
    std::cerr << "qilcd " << verb << ": " << kTimeOfDayVariable
              << " must be milliseconds since midnight UTC, 0 to 86399999" << std::endl;
    return false;
  }
  time = static_cast<uint32_t>(*value);
  return true;
}

// Reads --archive FILE, --clipboard FILE, --save-dir FOLDER (where documents
// the pages save go) and --display (metafile pictures answered drawn, as a
// viewer gets them); the rest is positional. Then
// reads the fixed time of day. False (after one line on stderr) on an unknown
// option, a missing value or a bad time of day.
bool ParseEngineArgs(const char* verb, const Args& args, EngineArgs& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--display") {
      out.options.DisplayPictures = true;
    } else if (arg == "--archive" || arg == "--clipboard" || arg == "--save-dir") {
      if (i + 1 >= args.size()) {
        std::cerr << "qilcd " << verb << ": " << arg << " needs a file name" << std::endl;
        return false;
      }
      std::string& value = arg == "--archive"     ? out.options.ArchivePath
                           : arg == "--clipboard" ? out.clipboard_file
                                                  : out.save_folder;
      value = args[++i];
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
      std::cerr << "qilcd " << verb << ": unknown option '" << arg << "'" << std::endl;
      return false;
    } else {
      out.positional.push_back(arg);
    }
  }
  return ReadFixedTimeOfDay(verb, out.time_of_day);
}

// A full URL stays as it is; a bare path gets the scheme and host in front.
std::string ExpandAddress(const std::string& address) {
  if (address.find("://") != std::string::npos) return address;
  const std::string path = !address.empty() && address[0] == '/' ? address.substr(1) : address;
  return std::string(Engine::kSchemeName) + "://" + Engine::kHostName + "/" + path;
}

// The headless platform of one run, installed for its length.
class RunPlatform {
 public:
  explicit RunPlatform(const EngineArgs& args) {
    if (!args.clipboard_file.empty()) platform_.SetClipboardFile(args.clipboard_file);
    platform_.SetSaveFolder(args.save_folder);
    const std::optional<uint32_t> time_of_day = args.time_of_day;
    platform_.SetFixedTimeOfDay(time_of_day);
    SetCurrentPlatform(&platform_);
  }
  ~RunPlatform() { SetCurrentPlatform(nullptr); }
  RunPlatform(const RunPlatform&) = delete;
  RunPlatform& operator=(const RunPlatform&) = delete;

 private:
  HeadlessPlatform platform_;
};

// Starts the engine or shows the start-up error (exit code 2 follows).
std::unique_ptr<Engine> Start(const EngineArgs& args) {
  std::string error;
  std::unique_ptr<Engine> engine = StartEngine(args.options, error);
  if (!engine) CurrentPlatform().ShowError(error);
  return engine;
}

}  // namespace

int RunGet(const Args& args) {
  EngineArgs parsed;
  if (!ParseEngineArgs("get", args, parsed)) return 2;
  if (parsed.positional.size() != 1) {
    std::cerr << "usage: qilcd get [--archive FILE] [--clipboard FILE] [--save-dir FOLDER] [--display] URL" << std::endl;
    return 2;
  }
  RunPlatform platform(parsed);
  std::unique_ptr<Engine> engine = Start(parsed);
  if (!engine) return 2;
  const std::string url = ExpandAddress(parsed.positional[0]);
  const FetchResult answer = FetchAddress(url);
  if (!answer.Found) {
    std::cerr << "qilcd get: no answer for " << url << std::endl;
    return 1;
  }
  std::cout.write(answer.Body.data(), static_cast<std::streamsize>(answer.Body.size()));
  std::cout.flush();
  return std::cout ? 0 : 1;
}

int RunSession(const Args& args) {
  EngineArgs parsed;
  if (!ParseEngineArgs("session", args, parsed)) return 2;
  if (!parsed.positional.empty()) {
    std::cerr << "usage: qilcd session [--archive FILE] [--clipboard FILE] [--save-dir FOLDER] [--display]" << std::endl;
    return 2;
  }
  RunPlatform platform(parsed);
  std::unique_ptr<Engine> engine = Start(parsed);
  if (!engine) return 2;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const FetchResult answer = FetchAddress(ExpandAddress(line));
    if (answer.Found) {
      const std::string mime = answer.MimeType.empty() ? "-" : answer.MimeType;
      std::cout << "200 " << mime << " " << answer.Body.size() << "\n";
      std::cout.write(answer.Body.data(), static_cast<std::streamsize>(answer.Body.size()));
      std::cout << "\n";
    } else {
      std::cout << "404 - 0\n\n";
    }
    std::cout.flush();
    if (!std::cout) return 1;
  }
  return 0;
}

}  // namespace qil::app
