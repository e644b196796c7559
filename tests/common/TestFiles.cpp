#include "common/TestFiles.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace qil::test {

namespace fs = std::filesystem;

TempDir::TempDir(TempPlace place) {
  std::vector<fs::path> bases = {fs::temp_directory_path()};
  if (place == TempPlace::kMemory) bases.insert(bases.begin(), "/dev/shm");
  for (const fs::path& base : bases) {
    std::string pattern = (base / "qil-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
      path_ = fs::absolute(pattern);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempPath(const std::string& stem) {
  static std::atomic<int> counter{0};
  return (fs::temp_directory_path() /
          (stem + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
      .string();
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  WriteBytes(path, bytes);
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace qil::test
