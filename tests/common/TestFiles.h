// Files and folders for tests: a temporary folder that removes itself with
// everything in it, fresh temporary names, and whole-file reads and writes.
// Creating a folder or writing a file throws std::runtime_error on failure;
// reading a file that cannot be opened gives "".
#pragma once

#include <filesystem>
#include <string>

namespace qil::test {

// Where a TempDir lies: the system's temporary directory, or memory
// (/dev/shm, where there is one) for tests that write many files.
enum class TempPlace { kDisk, kMemory };

// A fresh folder, removed with everything in it at the end.
class TempDir {
 public:
  explicit TempDir(TempPlace place = TempPlace::kDisk);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path of name inside the folder (nothing is created).
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A fresh path in the temporary directory made of stem, the process id and a
// counter (nothing is created there).
std::string TempPath(const std::string& stem);

// Replaces the file at path with bytes; the folder must exist.
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
// WriteBytes after creating the folders on the path.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
// The whole file, "" when it cannot be opened.
std::string ReadBytes(const std::filesystem::path& path);

}  // namespace qil::test
