// The desktop program's entry, start-up and shutdown, run against a platform
// that records what it is asked; and the rules they rest on.
#include "shell/DesktopProgram.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "archive/ArchiveWriter.h"
#include "archive/ArchiveReader.h"
#include "common/TestFiles.h"
#include "platform/DesktopPlatform.h"
#include "protocol/ProtocolHandler.h"
#include "shell/WindowRules.h"

namespace qil {
namespace {

namespace fs = std::filesystem;

class RecordingPlatform : public DesktopPlatform {
 public:
  std::vector<std::string> calls;
  std::map<std::string, std::string> config;
  std::map<std::string, std::string> environment;
  bool only_copy = true;
  bool accept_readme = true;
  std::string version = "2.50.6";
  std::string font_folder;  // as given to AddFontFolder
  std::vector<std::string> fonts_seen;  // files in it when it was added

  bool AskRetry(const std::string&) override { return false; }
  void ShowError(const std::string& message) override { calls.push_back("error: " + message); }
  bool SetClipboardRTF(const std::string&) override { return true; }
  uint32_t UtcMillisecondsOfDay() override { return 0; }

  std::string ConfigValue(const std::string& name) override {
    calls.push_back("config " + name);
    return config[name];
  }
  bool LaunchProgram(const std::string& path) override {
    calls.push_back("launch " + path);
    return true;
  }
  bool ClaimSingleInstance(const std::string& address) override {
    calls.push_back("claim " + address);
    return only_copy;
  }
  std::optional<std::string> Environment(const std::string& name) override {
    auto found = environment.find(name);
    if (found == environment.end()) return std::nullopt;
    return found->second;
  }
  std::string WebEngineVersion() override {
    calls.push_back("version");
    return version;
  }
  void RunMainLoop(const std::function<bool()>& startup) override {
    calls.push_back("loop");
    calls.push_back(startup() ? "running" : "startup ended");
  }
  void SetTitle(const std::string& title) override { calls.push_back("title " + title); }
  void SetAboutImage(const std::string& jpeg) override { calls.push_back("about " + jpeg); }
  void AddFontFolder(const std::string& folder) override {
    calls.push_back("fonts added");
    font_folder = folder;
    for (const auto& entry : fs::directory_iterator(folder)) {
      fonts_seen.push_back(entry.path().filename().string());
    }
    std::sort(fonts_seen.begin(), fonts_seen.end());
  }
  void RemoveFontFolder(const std::string& folder) override {
    calls.push_back(std::string("fonts removed") + (fs::exists(folder) ? "" : " (already gone)"));
  }
  bool ShowReadme(const std::string& address) override {
    calls.push_back("readme " + address + (RequestHandler ? " (served)" : ""));
    return accept_readme;
  }
  void ActivateTray() override { calls.push_back("tray"); }
  void ShowMainWindow(const std::string& address) override { calls.push_back("main " + address); }
};

class DesktopProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_.environment["TMP"] = temp_.Path().string();
    WriteDisc("");
  }

  // A disc with the about picture, a font list (one good name, one without
  // the extension, one that would leave the folder) and the readme.
  void WriteDisc(const std::string& data_region, const std::string& product = "QVRTLNDX100") {
    ArchiveWriter writer;
    writer.SetProductId(product);
    writer.AddEntry("about.jpg", "JPEG");
    writer.AddEntry("readme.htm", "<p>readme</p>");
    writer.AddEntry("mt4fonts/mt4fonts.txt", "Disc.ttf\r\nNotes.txt\r\n../Escape.ttf\r\nDISC2.TTF\r\n");
    writer.AddEntry("mt4fonts/Disc.ttf", "font one");
    writer.AddEntry("mt4fonts/DISC2.TTF", "font two");
    writer.AddEntry("mt4fonts/Notes.txt", "not a font");
    if (!data_region.empty()) writer.SetDataRegion(data_region);
    writer.WriteToFile(disc_);
  }

  int Run(const std::string& address = "") {
    DesktopOptions options;
    options.ArchivePath = disc_;
    options.Address = address;
    DesktopProgram program(platform_, options);
    return program.Run();
  }

  std::vector<std::string> From(const std::string& first) const {
    auto at = std::find(platform_.calls.begin(), platform_.calls.end(), first);
    return {at, platform_.calls.end()};
  }

  test::TempDir temp_;
  std::string disc_ = temp_.File("math.dat");
  RecordingPlatform platform_;
};

TEST_F(DesktopProgramTest, StartsAndShutsDownInOrder) {
  const std::string saved_dir = fs::current_path().string();
  EXPECT_EQ(Run(), 0);
  const std::string folder = temp_.File("$QILCD$");
  EXPECT_EQ(platform_.calls,
            (std::vector<std::string>{
                "config PatchLevel", "claim ", "loop", "title Brenlowe: Orvella v1.00",
                "version", "about JPEG", "fonts added",
                "readme qilproto://qilproto_local/readme.htm (served)", "tray",
                "main qilproto://qilproto_local/index.html", "running", "fonts removed"}));
  EXPECT_EQ(platform_.font_folder, folder);
  EXPECT_EQ(platform_.fonts_seen, (std::vector<std::string>{"DISC2.TTF", "Disc.ttf"}));
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_FALSE(fs::exists(temp_.Path().parent_path() / "Escape.ttf"));
  // After shutdown the folder's parent is the current directory.
  EXPECT_EQ(fs::current_path(), temp_.Path());
  EXPECT_FALSE(RequestHandler);
  fs::current_path(saved_dir);
}

TEST_F(DesktopProgramTest, AnAddressReplacesTheStartPage) {
  const std::string address = "qilproto://qilproto_local/solution.stmp?id=000004";
  EXPECT_EQ(Run(address), 0);
  EXPECT_EQ(platform_.calls[1], "claim " + address);
  EXPECT_NE(std::find(platform_.calls.begin(), platform_.calls.end(), "main " + address),
            platform_.calls.end());
}

TEST_F(DesktopProgramTest, PatchLevelAboveZeroZeroRunsThePatchProgramInstead) {
  platform_.config["PatchPath"] = "/opt/patch/run";
  for (const char* level : {"01", "1", "000", "a"}) {
    platform_.calls.clear();
    platform_.config["PatchLevel"] = level;
    EXPECT_EQ(Run(), 0) << level;
    EXPECT_EQ(platform_.calls, (std::vector<std::string>{"config PatchLevel", "config PatchPath",
                                                         "launch /opt/patch/run"}))
        << level;
  }
  for (const char* level : {"00", "", "0", "-1"}) {
    platform_.calls.clear();
    platform_.config["PatchLevel"] = level;
    Run();
    EXPECT_EQ(platform_.calls[1], "claim ") << level;
  }
}

TEST_F(DesktopProgramTest, ASecondCopyEndsQuietly) {
  platform_.only_copy = false;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(platform_.calls, (std::vector<std::string>{"config PatchLevel", "claim "}));
}

TEST_F(DesktopProgramTest, StartUpFailuresShowOneErrorBoxAndEnd) {
  struct Row {
    const char* what;
    std::function<void()> arrange;
    std::string message;
  };
  const std::vector<Row> rows = {
      {"missing disc", [&] { fs::remove(disc_); }, "Cannot open file " + disc_},
      {"not an archive", [&] { test::WriteBytes(disc_, std::string(64, 'x')); },
       "Bad archive header."},
      {"another product", [&] { WriteDisc("", "OTHERPRODUCT"); }, "Bad product ID."},
      {"old web engine", [&] { platform_.version = "2.34.1"; },
       DesktopProgram::kWebEngineMessage},
      {"no web engine", [&] { platform_.version = ""; }, DesktopProgram::kWebEngineMessage},
      {"damaged database", [&] { WriteDisc(std::string(64, '\0')); }, ""},
  };
  for (const Row& row : rows) {
    SetUp();
    platform_ = RecordingPlatform();
    platform_.environment["TMP"] = temp_.Path().string();
    row.arrange();
    EXPECT_EQ(Run(), 2) << row.what;
    const std::vector<std::string> tail = From("version");
    ASSERT_EQ(tail.size(), 3u) << row.what;
    EXPECT_EQ(tail[1].rfind("error: ", 0), 0u) << row.what;
    if (!row.message.empty()) {
      EXPECT_EQ(tail[1], "error: " + row.message) << row.what;
    }
    EXPECT_EQ(tail[2], "startup ended") << row.what;
    EXPECT_FALSE(fs::exists(temp_.File("$QILCD$"))) << row.what;
    EXPECT_FALSE(RequestHandler) << row.what;
  }
}

TEST_F(DesktopProgramTest, DecliningTheReadmeEndsThroughShutdown) {
  platform_.accept_readme = false;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(From("readme qilproto://qilproto_local/readme.htm (served)"),
            (std::vector<std::string>{"readme qilproto://qilproto_local/readme.htm (served)",
                                      "startup ended", "fonts removed"}));
  EXPECT_FALSE(fs::exists(temp_.File("$QILCD$")));
}

TEST_F(DesktopProgramTest, NoFontFolderMeansNoFontsButStartUpGoesOn) {
  platform_.environment["TMP"] = temp_.File("no/such/dir");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(std::count(platform_.calls.begin(), platform_.calls.end(), "fonts added"), 0);
  EXPECT_EQ(platform_.calls.back(), "running");
}

TEST(TemporaryDirectory, TakesTmpThenTempThenTmpdirThenSlashTmp) {
  std::map<std::string, std::string> env;
  auto lookup = [&](const std::string& name) -> std::optional<std::string> {
    auto found = env.find(name);
    if (found == env.end()) return std::nullopt;
    return found->second;
  };
  EXPECT_EQ(TemporaryDirectory(lookup), "/tmp");
  env["TMPDIR"] = "/c";
  EXPECT_EQ(TemporaryDirectory(lookup), "/c");
  env["TEMP"] = "/b";
  env["TMP"] = "";
  EXPECT_EQ(TemporaryDirectory(lookup), "/b");
  env["TMP"] = "/a";
  EXPECT_EQ(TemporaryDirectory(lookup), "/a");
}

TEST(FontFolder, InstallsOnlySafeTrueTypeNames) {
  EXPECT_TRUE(IsInstallableFontName("DejaVuSans.ttf"));
  EXPECT_TRUE(IsInstallableFontName("MTEXTRA.TTF"));
  for (const std::string& name : std::vector<std::string>{
           "Notes.txt", "ttf", ".ttf", "a/b.ttf", "a\\b.ttf", "..ttf", "x..y.ttf", "../up.ttf",
        std::string("a\0b.ttf", 7), "font.ttf.exe"}) {
    EXPECT_FALSE(IsInstallableFontName(name)) << name;
  }
}

class FontFolderPlaceTest : public DesktopProgramTest {
 protected:
  std::string Installed() {
    ArchiveReader archive;
    archive.Open(disc_, "QVRTLNDX100", false);
    FontFolder fonts;
    EXPECT_TRUE(fonts.Install(archive, temp_.Path().string()));
    EXPECT_EQ(fonts.Files().size(), 2u);
    const std::string path = fonts.Path();
    struct stat info;
    EXPECT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_uid, geteuid());
    return path;
  }
};

TEST_F(FontFolderPlaceTest, ALinkInTheWayIsNeverFollowed) {
  const fs::path elsewhere = temp_.Path() / "elsewhere";
  fs::create_directory(elsewhere);
  fs::create_directory_symlink(elsewhere, temp_.Path() / "$QILCD$");
  const std::string used = Installed();
  EXPECT_NE(used, temp_.File("$QILCD$"));
  EXPECT_EQ(used.rfind(temp_.File("$QILCD$-"), 0), 0u) << used;
  EXPECT_TRUE(fs::is_empty(elsewhere));
}

TEST_F(FontFolderPlaceTest, SomeoneElsesFolderIsLeftAlone) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
  const std::string shared = temp_.File("$QILCD$");
  fs::create_directory(shared);
  ASSERT_EQ(chown(shared.c_str(), 65534, 65534), 0);
  EXPECT_NE(Installed(), shared);
  EXPECT_TRUE(fs::is_empty(shared));
}

TEST_F(FontFolderPlaceTest, OurOwnLeftoverFolderIsReused) {
  fs::create_directory(temp_.File("$QILCD$"));
  fs::permissions(temp_.File("$QILCD$"), fs::perms::owner_all);
  EXPECT_EQ(Installed(), temp_.File("$QILCD$"));
}

TEST_F(DesktopProgramTest, TheDiscIsTheOneGivenElseTheCurrentFolderElseTheInstalledOne) {
  const fs::path saved = fs::current_path();
  fs::current_path(temp_.Path());
  EXPECT_EQ(ChooseArchive("/discs/other.dat", "/usr/share/orvella/math.dat"), "/discs/other.dat");
  EXPECT_EQ(ChooseArchive("", "/usr/share/orvella/math.dat"), "math.dat");
  fs::remove(disc_);
  EXPECT_EQ(ChooseArchive("", "/usr/share/orvella/math.dat"), "/usr/share/orvella/math.dat");
  fs::current_path(saved);
}

TEST(WebEngineVersion, NeedsTwoThirtySixOrNewer) {
  for (const char* good : {"2.36.0", "2.50.6", "2.100", "3.0.1"}) {
    EXPECT_TRUE(IsSuitableWebEngine(good)) << good;
  }
  for (const char* bad : {"2.34.1", "1.99", "", "2", "abc", "2.x", ".36"}) {
    EXPECT_FALSE(IsSuitableWebEngine(bad)) << bad;
  }
}

TEST(WindowRules, ReadmeMarkers) {
  EXPECT_EQ(ReadmeMarker("qilproto://qilproto_local/readme.htm#YES#"), ReadmeAnswer::kAccept);
  EXPECT_EQ(ReadmeMarker("qilproto://qilproto_local/readme.htm#NO#"), ReadmeAnswer::kDecline);
  // Anywhere in the address, a query too; both at once accept.
  EXPECT_EQ(ReadmeMarker("qilproto://qilproto_local/x.htm?x=#YES#"), ReadmeAnswer::kAccept);
  EXPECT_EQ(ReadmeMarker("qilproto://qilproto_local/a#NO#b#YES#"), ReadmeAnswer::kAccept);
  EXPECT_EQ(ReadmeMarker("qilproto://qilproto_local/readme.htm#yes#"), ReadmeAnswer::kNone);
  // The main window's marker means nothing here, and the readme's nothing there.
  EXPECT_EQ(ReadmeMarker("qilproto://qilproto_local/index.html#CLOSE_BROWSER#"),
            ReadmeAnswer::kNone);
  EXPECT_TRUE(HasCloseMarker("qilproto://qilproto_local/index.html#CLOSE_BROWSER#"));
  EXPECT_TRUE(HasCloseMarker("qilproto://qilproto_local/a.stmp?q=#CLOSE_BROWSER#&z=1"));
  EXPECT_FALSE(HasCloseMarker("qilproto://qilproto_local/readme.htm#YES##NO#"));
}

TEST(WindowRules, TheWindowIsAViewerNotABrowser) {
  EXPECT_EQ(ClassifyNavigation("qilproto://qilproto_local/index.html"), NavigationTarget::kInside);
  EXPECT_EQ(ClassifyNavigation("QILPROTO://qilproto_local/a.htm"), NavigationTarget::kInside);
  EXPECT_EQ(ClassifyNavigation("about:blank"), NavigationTarget::kInside);
  for (const char* out : {"https://example.org/", "http://x", "mailto:a@b.c"}) {
    EXPECT_EQ(ClassifyNavigation(out), NavigationTarget::kExternal) << out;
  }
  for (const char* refused : {"file:///etc/passwd", "javascript:alert(1)", "data:text/html,x",
                              "ftp://x", "about:config", "relative/path", "", ":x"}) {
    EXPECT_EQ(ClassifyNavigation(refused), NavigationTarget::kRefused) << refused;
  }
}

}  // namespace
}  // namespace qil
