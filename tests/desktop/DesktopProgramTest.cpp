// The desktop program's entry, start-up and shutdown, run against a platform
// that records what it is asked; and the rules they rest on.
#include "shell/DesktopProgram.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "archive/ArchiveReader.h"
#include "archive/ArchiveWriter.h"
#include "common/TestFiles.h"
#include "platform/DesktopPlatform.h"
#include "protocol/ProtocolHandler.h"
#include "shell/WindowRules.h"

namespace qil {
namespace {

namespace fs = std::filesystem;
using Calls = std::vector<std::string>;

// Notes every call that shows in the order of start-up and shutdown.
class RecordingPlatform : public DesktopPlatform {
 public:
  Calls calls;
  std::map<std::string, std::string> config, environment;
  bool only_copy = true, accept_readme = true;
  std::string version = "2.50.6";

  bool AskRetry(const std::string&) override { return false; }
  void ShowError(const std::string& message) override { Note("error: " + message); }
  bool SetClipboardRTF(const std::string&) override { return true; }
  uint32_t UtcMillisecondsOfDay() override { return 0; }
  std::string ConfigValue(const std::string& name) override { return Note("config " + name) ? config[name] : ""; }
  bool LaunchProgram(const std::string& path) override { return Note("launch " + path); }
  bool ClaimSingleInstance(const std::string& address) override { return Note("claim " + address) && only_copy; }
  std::optional<std::string> Environment(const std::string& name) override {
    return environment.count(name) ? std::optional(environment[name]) : std::nullopt;
  }
  std::string WebEngineVersion() override { return Note("version") ? version : ""; }
  void RunMainLoop(const std::function<bool()>& startup) override {
    Note("loop");
    Note(startup() ? "running" : "startup ended");
  }
  void SetTitle(const std::string& title) override { Note("title " + title); }
  void SetAboutImage(const std::string& jpeg) override { Note("about " + jpeg); }
  void AddFontFolder(const std::string& folder) override { Note("fonts added in " + folder); }
  void RemoveFontFolder(const std::string& folder) override {
    Note(std::string("fonts removed") + (fs::exists(folder) ? "" : " (already gone)"));
  }
  bool ShowReadme(const std::string& address) override {
    return Note("readme " + address + (RequestHandler ? " (served)" : "")) && accept_readme;
  }
  void ActivateTray() override { Note("tray"); }
  void ShowMainWindow(const std::string& address) override { Note("main " + address); }

 private:
  bool Note(const std::string& call) {
    calls.push_back(call);
    return true;
  }
};

class DesktopProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_.environment["TMP"] = temp_.Path().string();
    WriteDisc();
  }
  // A disc with the about picture, the readme, and a font list of two good
  // names, one without the extension and one that would leave the folder.
  void WriteDisc(const std::string& data_region = "") {
    ArchiveWriter writer;
    writer.AddEntry("about.jpg", "JPEG");
    writer.AddEntry("readme.htm", "<p>readme</p>");
    writer.AddEntry("mt4fonts/mt4fonts.txt", "Disc.ttf\r\nNotes.txt\r\n../Escape.ttf\r\nDISC2.TTF\r\n");
    for (const char* font : {"Disc.ttf", "DISC2.TTF", "Notes.txt", "../Escape.ttf"}) {
      writer.AddEntry(std::string("mt4fonts/") + font, font);
    }
    writer.SetDataRegion(data_region);
    writer.WriteToFile(disc_);
  }
  int Run(const std::string& address = "") {
    DesktopOptions options;
    options.ArchivePath = disc_;
    options.Address = address;
    return DesktopProgram(platform_, options).Run();
  }
  Calls From(const std::string& first) const {
    return {std::find(platform_.calls.begin(), platform_.calls.end(), first), platform_.calls.end()};
  }
  // The folder that FontFolder::Install picks under temp, with the number of fonts written.
  std::string InstallFonts(const fs::path& temp) {
    ArchiveReader archive;
    archive.Open(disc_, "QVRTLNDX100", false);
    FontFolder fonts;
    EXPECT_TRUE(fonts.Install(archive, temp.string()));
    return fonts.Path() + " with " + std::to_string(fonts.Files().size());
  }

  test::TempDir temp_;
  std::string disc_ = temp_.File("math.dat");
  RecordingPlatform platform_;
};

TEST_F(DesktopProgramTest, StartsAndShutsDownInOrder) {
  const fs::path saved_dir = fs::current_path();
  EXPECT_EQ(Run(), 0);
  const std::string folder = temp_.File("$QILCD$");
  EXPECT_EQ(platform_.calls,
            (Calls{"config PatchLevel", "claim ", "loop", "title Brenlowe: Orvella v1.00", "version", "about JPEG",
                   "fonts added in " + folder, "readme qilproto://qilproto_local/readme.htm (served)", "tray",
                   "main qilproto://qilproto_local/index.html", "running", "fonts removed"}));
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_EQ(fs::current_path(), temp_.Path()) << "after shutdown the font folder's parent is the current directory";
  EXPECT_FALSE(RequestHandler);

  platform_.calls.clear();  // declining the readme ends through shutdown
  platform_.accept_readme = false;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(From("startup ended"), (Calls{"startup ended", "fonts removed"}));
  EXPECT_FALSE(fs::exists(folder));

  // An address replaces the start page; without a font folder start-up goes on.
  platform_.accept_readme = true;
  const std::string address = "qilproto://qilproto_local/solution.stmp?id=000004";
  platform_.calls.clear();
  platform_.environment["TMP"] = temp_.File("no/such/dir");
  EXPECT_EQ(Run(address), 0);
  EXPECT_EQ(From("version"), (Calls{"version", "about JPEG", "readme qilproto://qilproto_local/readme.htm (served)",
                                    "tray", "main " + address, "running"}));
  EXPECT_EQ(platform_.calls[1], "claim " + address);

  // The disc is the one given, else math.dat in the current folder (here), else the installed one.
  std::string seen = ChooseArchive("/discs/other.dat", "/installed.dat") + " " + ChooseArchive("", "/installed.dat");
  fs::remove(disc_);
  EXPECT_EQ(seen + " " + ChooseArchive("", "/installed.dat"), "/discs/other.dat math.dat /installed.dat");
  fs::current_path(saved_dir);
}

TEST_F(DesktopProgramTest, APatchLevelAboveZeroZeroOrASecondCopyEndsAtOnce) {
  platform_.config["PatchPath"] = "/opt/patch/run";
  platform_.only_copy = false;
  for (const char* level : {"01", "1", "000", "a", "00", "", "0", "-1"}) {
    platform_.calls.clear();
    platform_.config["PatchLevel"] = level;
    EXPECT_EQ(Run(), 0) << level;
    const Calls patch = {"config PatchLevel", "config PatchPath", "launch /opt/patch/run"};
    EXPECT_EQ(platform_.calls, std::string(level) > "00" ? patch : (Calls{"config PatchLevel", "claim "})) << level;
  }
}

TEST_F(DesktopProgramTest, StartUpFailuresShowOneErrorBoxAndEnd) {
  const std::pair<std::function<void()>, std::string> rows[] = {
      {[&] { fs::remove(disc_); }, "Cannot open file " + disc_},
      {[&] { platform_.version = "2.34.1"; }, DesktopProgram::kWebEngineMessage},
      {[&] { platform_.version = ""; }, DesktopProgram::kWebEngineMessage},
      {[&] { WriteDisc(std::string(64, '\0')); }, ""},  // a damaged problem database
  };
  for (const auto& [arrange, message] : rows) {
    platform_ = RecordingPlatform();
    SetUp();
    arrange();
    EXPECT_EQ(Run(), 2) << message;
    const Calls tail = From("version");
    ASSERT_EQ(tail.size(), 3u) << message;
    EXPECT_EQ(tail[1].rfind("error: " + message, 0), 0u) << tail[1];
    EXPECT_EQ(tail[2], "startup ended");
    EXPECT_FALSE(fs::exists(temp_.File("$QILCD$"))) << message;
    EXPECT_FALSE(RequestHandler) << message;
  }
}

TEST_F(DesktopProgramTest, FontsGoOnlyIntoAFolderOfOurOwnAndOnlyFontsOfTheList) {
  const fs::path link = temp_.Path() / "link", elsewhere = temp_.Path() / "elsewhere";
  fs::create_directories(link);
  fs::create_directory(elsewhere);
  fs::create_directory_symlink(elsewhere, link / "$QILCD$");
  EXPECT_EQ(InstallFonts(link).rfind((link / "$QILCD$-").string(), 0), 0u) << "a link in the way is not followed";
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_FALSE(fs::exists(link / "Escape.ttf"));

  const fs::path own = temp_.Path() / "own";  // our own leftover folder is used again
  fs::create_directories(own / "$QILCD$");
  fs::permissions(own / "$QILCD$", fs::perms::owner_all);
  EXPECT_EQ(InstallFonts(own), (own / "$QILCD$").string() + " with 2");

  if (geteuid() != 0) return;  // giving a folder to another user needs root
  const fs::path shared = temp_.Path() / "shared";
  fs::create_directories(shared / "$QILCD$");
  ASSERT_EQ(chown((shared / "$QILCD$").c_str(), 65534, 65534), 0);
  EXPECT_NE(InstallFonts(shared), (shared / "$QILCD$").string() + " with 2");
  EXPECT_TRUE(fs::is_empty(shared / "$QILCD$"));
}

TEST(DesktopRules, TemporaryFolderFontNamesWebEngineMarkersAndNavigation) {
  std::map<std::string, std::string> env;
  auto lookup = [&](const std::string& name) { return env.count(name) ? std::optional(env[name]) : std::nullopt; };
  std::string seen = TemporaryDirectory(lookup);
  for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
           {"TMPDIR", "/c"}, {"TMP", ""}, {"TEMP", "/b"}, {"TMP", "/a"}}) {
    env[name] = value;
    seen += " " + TemporaryDirectory(lookup);
  }
  EXPECT_EQ(seen, "/tmp /c /c /b /a");  // TMP, else TEMP, else TMPDIR (set and not empty), else /tmp

  EXPECT_TRUE(IsInstallableFontName("DejaVuSans.ttf") && IsInstallableFontName("MTEXTRA.TTF"));
  for (const std::string name : {"Notes.txt", "ttf", ".ttf", "a/b.ttf", "a\\b.ttf", "..ttf", "x..y.ttf", "f.ttf.exe"}) {
    EXPECT_FALSE(IsInstallableFontName(name) || IsInstallableFontName(name + '\0' + ".ttf")) << name;
  }

  for (const char* good : {"2.36.0", "2.50.6", "2.100", "3.0.1"}) EXPECT_TRUE(IsSuitableWebEngine(good)) << good;
  for (const char* bad : {"2.34.1", "1.99", "", "2", "abc", "2.x", ".36"}) EXPECT_FALSE(IsSuitableWebEngine(bad)) << bad;

  // The windows' markers, and where a navigation belongs.
  const std::string base = "qilproto://qilproto_local/";
  EXPECT_EQ(ReadmeMarker(base + "readme.htm#NO#"), ReadmeAnswer::kDecline);
  EXPECT_EQ(ReadmeMarker(base + "x.htm?x=#NO#b#YES#"), ReadmeAnswer::kAccept);  // in a query too; both: accept
  EXPECT_EQ(ReadmeMarker(base + "readme.htm#yes#CLOSE_BROWSER#"), ReadmeAnswer::kNone);
  EXPECT_TRUE(HasCloseMarker(base + "a.stmp?q=#CLOSE_BROWSER#&z=1"));
  EXPECT_FALSE(HasCloseMarker(base + "readme.htm#YES##NO#"));

  const std::pair<NavigationTarget, std::vector<const char*>> targets[] = {
      {NavigationTarget::kInside, {"qilproto://qilproto_local/index.html", "QILPROTO://x/a.htm", "about:blank"}},
      {NavigationTarget::kExternal, {"https://example.org/", "http://x", "mailto:a@b.c"}},
      {NavigationTarget::kRefused, {"file:///etc/passwd", "javascript:alert(1)", "data:text/html,x", "ftp://x",
                                    "about:config", "relative/path", "", ":x"}},
  };
  for (const auto& [target, addresses] : targets) {
    for (const char* address : addresses) EXPECT_EQ(ClassifyNavigation(address), target) << address;
  }
}

}  // namespace
}  // namespace qil
