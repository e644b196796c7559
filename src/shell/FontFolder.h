// The folder into which start-up writes the disc's TrueType fonts, so that
// the web view can draw pages in them; removed again at shutdown.
//
// The folder is "$QILCD$" in the temporary directory. Because that directory
// is usually shared by every user of the machine, the folder is only used
// when it is a real folder of our own that nobody else can write to; a
// symbolic link, a file, or a folder that belongs to someone else is left
// alone and a fresh private folder ("$QILCD$-XXXXXX") is made instead.
//
// The archive's font list ("mt4fonts/mt4fonts.txt") names the fonts one per
// line. Only names ending in ".ttf" (any letter case) are installed; names
// holding "/", "\", ".." or a NUL byte would leave the folder and are skipped.
// Files are never written through a symbolic link.
//
// Not thread-safe; used by start-up and shutdown on the main thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qil {

class ArchiveReader;

// The temporary directory: "TMP", else "TEMP", else "TMPDIR" (each when set
// and not empty), else "/tmp". lookup answers an environment variable.
std::string TemporaryDirectory(
    const std::function<std::optional<std::string>(const std::string&)>& lookup);

// Whether a line of the font list names a font that may be installed.
bool IsInstallableFontName(const std::string& name);

class FontFolder {
 public:
  static constexpr const char* kFolderName = "$QILCD$";
  static constexpr const char* kFontList = "mt4fonts/mt4fonts.txt";

  FontFolder() = default;
  ~FontFolder();  // removes what Install wrote
  FontFolder(const FontFolder&) = delete;
  FontFolder& operator=(const FontFolder&) = delete;

  // Writes the archive's fonts into the folder under temp_dir. Answers
  // false, writing nothing, when no folder could be had.
  bool Install(ArchiveReader& archive, const std::string& temp_dir);

  // Deletes the files Install wrote and the folder, then makes the folder's
  // parent the current directory. Nothing happens when nothing was installed.
  void Remove();

  // The folder in use; "" before Install and after Remove.
  const std::string& Path() const { return path_; }
  // The font files written, as full paths, in list order.
  const std::vector<std::string>& Files() const { return files_; }

 private:
  // The folder to use under temp_dir, created when needed; "" when none.
  static std::string ClaimFolder(const std::string& temp_dir, bool& created);

  std::string path_;
  bool created_ = false;
  std::vector<std::string> files_;
};

}  // namespace qil
