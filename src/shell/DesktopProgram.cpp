#include "shell/DesktopProgram.h"

#include <clocale>
#include <cstdio>
#include <filesystem>

#include "archive/ArchiveReader.h"
#include "base/Convert.h"
#include "base/Exceptions.h"
#include "base/MemoryStream.h"
#include "platform/DesktopPlatform.h"
#include "shell/Engine.h"

namespace qil {

namespace {

constexpr int kStartupFailed = 2;

// The leading decimal digits of text as a number; nullopt when there are none.
std::optional<long> LeadingNumber(const std::string& text, size_t& pos) {
  const size_t start = pos;
  long value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 9) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == start) return std::nullopt;
  return value;
}

// Whether the user may run the program. The check looks at the groups of the
// NT platform's users; on any other platform, Linux included, the answer is yes.
bool IsAdministrator() { return true; }

}  // namespace

std::string ChooseArchive(const std::string& explicit_path, const std::string& installed) {
  if (!explicit_path.empty()) return explicit_path;
  std::error_code error;
  if (std::filesystem::exists("math.dat", error) || installed.empty()) return "math.dat";
  return installed;
}

bool IsSuitableWebEngine(const std::string& version) {
  size_t pos = 0;
  const std::optional<long> major = LeadingNumber(version, pos);
  if (!major || pos >= version.size() || version[pos] != '.') return false;
  ++pos;
  const std::optional<long> minor = LeadingNumber(version, pos);
  if (!minor) return false;
  if (*major != DesktopProgram::kMinimumWebEngineMajor) {
    return *major > DesktopProgram::kMinimumWebEngineMajor;
  }
  return *minor >= DesktopProgram::kMinimumWebEngineMinor;
}

DesktopProgram::DesktopProgram(DesktopPlatform& platform, DesktopOptions options)
    : platform_(platform), options_(std::move(options)) {}

DesktopProgram::~DesktopProgram() { Shutdown(); }

int DesktopProgram::Run() {
  // A newer part of the product is waiting to be installed: run it instead.
  if (platform_.ConfigValue("PatchLevel") > "00") {
    platform_.LaunchProgram(platform_.ConfigValue("PatchPath"));
    return 0;
  }
  if (!platform_.ClaimSingleInstance(options_.Address)) return 0;

  platform_.RunMainLoop([this] { return Startup(); });
  Shutdown();
  return status_;
}

bool DesktopProgram::Startup() {
  // Numbers are written and read with "." and "," whatever the locale says.
  std::setlocale(LC_NUMERIC, "C");
  temp_dir_ = TemporaryDirectory([this](const std::string& name) {
    return platform_.Environment(name);
  });
  platform_.SetTitle(kTitle);
  const std::string version = platform_.WebEngineVersion();

  EngineOptions engine_options;
  engine_options.ArchivePath = options_.ArchivePath;
  engine_options.DisplayPictures = true;  // the web view cannot draw metafiles
  if (!options_.MIMETypesPath.empty()) engine_options.MIMETypesPath = options_.MIMETypesPath;
  engine_options.AfterArchiveOpened = [&version] {
    if (!IsSuitableWebEngine(version)) throw StartupError(kWebEngineMessage);
    if (!IsAdministrator()) throw StartupError(kAdministratorMessage);
  };
  std::string error;
  engine_ = StartEngine(engine_options, error);
  if (!engine_) {
    platform_.ShowError(error);
    status_ = kStartupFailed;
    return false;
  }

  MemoryStream about;
  engine_->Archive().ReadFile("about.jpg", about);
  platform_.SetAboutImage(about.Bytes());

  if (fonts_.Install(engine_->Archive(), temp_dir_)) platform_.AddFontFolder(fonts_.Path());

  if (!platform_.ShowReadme(kReadmePage)) return false;
  platform_.ActivateTray();
  platform_.ShowMainWindow(options_.Address.empty() ? kStartPage : options_.Address);
  return true;
}

void DesktopProgram::Shutdown() {
  if (!engine_) return;
  if (!fonts_.Path().empty()) platform_.RemoveFontFolder(fonts_.Path());
  // The engine withdraws the scheme and frees the server before it closes
  // the archive; the fonts go in between.
  engine_->StopServing();
  fonts_.Remove();
  engine_.reset();
}

}  // namespace qil
