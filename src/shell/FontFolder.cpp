#include "shell/FontFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "archive/ArchiveReader.h"
#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "base/Text.h"

namespace qil {

namespace {

bool IsPrivateFolderOfOurs(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 022) == 0;
}

// Writes bytes to path, refusing to follow a symbolic link.
bool WriteNewFile(const std::string& path, const MemoryStream& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const char* data = bytes.Data();
  size_t left = bytes.Size();
  while (left > 0) {
    const ssize_t written = write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      close(fd);
      unlink(path.c_str());
      return false;
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  return close(fd) == 0;
}

}  // namespace

std::string TemporaryDirectory(
    const std::function<std::optional<std::string>(const std::string&)>& lookup) {
  for (const char* name : {"TMP", "TEMP", "TMPDIR"}) {
    const std::optional<std::string> value = lookup(name);
    if (value && !value->empty()) return *value;
  }
  return "/tmp";
}

bool IsInstallableFontName(const std::string& name) {
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos ||
      name.find("..") != std::string::npos || name.find('\0') != std::string::npos) {
    return false;
  }
  return name.size() > 4 && EndsText(".ttf", name);
}

FontFolder::~FontFolder() { Remove(); }

std::string FontFolder::ClaimFolder(const std::string& temp_dir, bool& created) {
  std::string base = temp_dir;
  if (base.empty() || base.back() != '/') base += '/';
  const std::string shared = base + kFolderName;
  if (mkdir(shared.c_str(), 0700) == 0) {
    created = true;
    return shared;
  }
  if (errno == EEXIST && IsPrivateFolderOfOurs(shared)) {
    created = false;
    return shared;
  }
  if (errno != EEXIST) return "";
  // Someone else's folder, a link or a file stands there: use one of our own.
  std::string pattern = shared + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return "";
  created = true;
  return pattern;
}

bool FontFolder::Install(ArchiveReader& archive, const std::string& temp_dir) {
  Remove();
  path_ = ClaimFolder(temp_dir, created_);
  if (path_.empty()) return false;

  MemoryStream list_bytes;
  archive.ReadFile(kFontList, list_bytes);
  StringList names;
  names.LoadFromStream(list_bytes);
  for (int i = 0; i < names.Count(); ++i) {
    const std::string& name = names[i];
    if (!IsInstallableFontName(name)) continue;
    MemoryStream font;
    archive.ReadFile("mt4fonts/" + name, font);
    const std::string file = path_ + "/" + name;
    if (WriteNewFile(file, font)) files_.push_back(file);
  }
  return true;
}

void FontFolder::Remove() {
  if (path_.empty()) return;
  for (const std::string& file : files_) unlink(file.c_str());
  files_.clear();
  if (created_) rmdir(path_.c_str());
  const std::string parent = path_.substr(0, path_.find_last_of('/') + 1);
  if (!parent.empty() && chdir(parent.c_str()) != 0) {
    // The current directory stays where it was; nothing depends on it.
  }
  path_.clear();
  created_ = false;
}

}  // namespace qil
