#include "archive/ArchiveReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/Text.h"
#include "platform/Platform.h"

namespace qil {

namespace {

const char kBadHeader[] = "Bad archive header.";

int OpenReadOnly(const std::string& file_name) {
  return ::open(file_name.c_str(), O_RDONLY | O_CLOEXEC);
}

// Reads exactly count bytes at offset; false on an error or a short read.
bool ReadAt(int fd, uint64_t offset, void* buffer, size_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    const ssize_t got = ::pread(fd, out, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    offset += static_cast<uint64_t>(got);
    count -= static_cast<size_t>(got);
  }
  return true;
}

bool FileSize(int fd, uint64_t& size) {
  struct stat info;
  if (::fstat(fd, &info) != 0) return false;
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

// Closes a descriptor when it goes out of scope.
class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard() { ::close(fd_); }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;

 private:
  int fd_;
};

// Splits the name text into lines (at CR, LF or CR LF; a final line end adds
// no empty line), one directory entry per line. Stops as soon as the text
// holds more lines than expected, so nothing beyond the expected count is
// allocated; true when there are exactly expected lines.
bool SplitNames(std::string_view text, size_t expected, std::vector<DirectoryEntry>& entries) {
  entries.reserve(expected);
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    const bool end_of_text = i == text.size();
    if (!end_of_text && text[i] != '\r' && text[i] != '\n') continue;
    if (end_of_text && start == text.size()) break;
    if (entries.size() == expected) return false;
    entries.push_back({std::string(text.substr(start, i - start)), {}});
    if (!end_of_text && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return entries.size() == expected;
}

bool LessByName(const DirectoryEntry& a, const DirectoryEntry& b) { return CompareText(a.Name, b.Name) < 0; }

// The product IDs compared as C strings over at most the field's 16 characters.
bool SameProductId(const std::string& given, const std::string& stored) {
  const size_t limit = archive::kProductIdFieldSize;
  return std::string_view(given.c_str(), strnlen(given.c_str(), limit)) ==
         std::string_view(stored).substr(0, limit);
}

}  // namespace

ArchiveReader::ArchiveReader()
    : directory_(std::make_shared<const Directory>()),
      own_pool_(std::make_unique<ReaderPool>()),
      pool_(own_pool_.get()) {}

ArchiveReader::ArchiveReader(const ArchiveReader& archive, uint64_t generation)
    : file_name_(archive.file_name_),
      directory_(archive.directory_),
      header_(archive.header_),
      file_size_(archive.file_size_),
      reader_mode_(true),
      generation_(generation),
      pool_(archive.pool_) {}

ArchiveReader::~ArchiveReader() {
  if (!reader_mode_) DropIdleReaders();
  CloseFile();
}

void ArchiveReader::CloseFile() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void ArchiveReader::DropIdleReaders() {
  std::vector<std::unique_ptr<ArchiveReader>> dropped;
  {
    std::lock_guard<std::mutex> lock(pool_->lock);
    ++pool_->generation;
    dropped.swap(pool_->idle);
  }
  // The readers close their files here, outside the lock.
}

void ArchiveReader::Open(const std::string& file_name, const std::string& product_id,
                       bool skip_product_check) {
  Close();
  file_name_ = file_name;
  header_ = archive::ArchiveHeader();
  file_size_ = 0;

  const int fd = OpenReadOnly(file_name);
  if (fd < 0) throw FileOpenError("Cannot open file " + file_name);
  FdGuard guard(fd);

  uint64_t file_size = 0;
  uint8_t plain[archive::kHeaderSize];
  if (!FileSize(fd, file_size) || file_size < archive::kHeaderSize ||
      !ReadAt(fd, 0, plain, sizeof plain)) {
    throw ArchiveError(kBadHeader);
  }
  Decipher(plain, plain, archive::kHeaderKey, sizeof plain);
  archive::ArchiveHeader header = archive::ArchiveHeader::Decode(plain);
  if (header.magic != archive::kMagic) throw ArchiveError(kBadHeader);
  if (header.version != archive::kVersion) throw ArchiveError("Bad archive version.");
  if (!skip_product_check && !SameProductId(product_id, header.product_id)) {
    throw ArchiveError("Bad product ID.");
  }

  // Every size below is checked against the file before anything is allocated for it.
  const uint64_t names_size = archive::RoundUp8(header.names_length);
  const uint64_t records_at = uint64_t{header.names_offset} + names_size;
  const uint64_t records_size = uint64_t{header.file_count} * archive::kRecordSize;
  if (records_at + records_size > file_size) throw ArchiveError(kBadHeader);

  std::string names(names_size, '\0');
  if (!ReadAt(fd, header.names_offset, names.data(), names.size())) throw ArchiveError(kBadHeader);
  Decipher(names.data(), names.data(), archive::kNamesKey, names.size());
  names.resize(strnlen(names.c_str(), header.names_length));

  auto directory = std::make_shared<Directory>();
  if (!SplitNames(names, header.file_count, *directory)) throw ArchiveError(kBadHeader);
  names = std::string();

  std::string records(records_size, '\0');
  if (!ReadAt(fd, records_at, records.data(), records.size())) throw ArchiveError(kBadHeader);
  Decipher(records.data(), records.data(), archive::kRecordsKey, records.size());
  for (size_t i = 0; i < directory->size(); ++i) {
    const char* record = records.data() + i * archive::kRecordSize;
    EntryLocation& rec = (*directory)[i].Rec;
    rec.Offset = LoadU32LE(record);
    rec.Size = LoadU32LE(record + 4);
    if (rec.Offset + archive::RoundUp8(rec.Size) > file_size) throw ArchiveError(kBadHeader);
  }
  std::stable_sort(directory->begin(), directory->end(), LessByName);

  header_ = std::move(header);
  file_size_ = file_size;
  directory_ = std::move(directory);
}

void ArchiveReader::Close() {
  if (!reader_mode_) {
    DropIdleReaders();
    directory_ = std::make_shared<const Directory>();
  }
  CloseFile();
}

const DirectoryEntry* ArchiveReader::Find(std::string_view name) const {
  if (!name.empty() && name.front() == '/') name.remove_prefix(1);
  if (name.empty()) return nullptr;
  const Directory& directory = *directory_;
  auto it = std::lower_bound(
      directory.begin(), directory.end(), name,
      [](const DirectoryEntry& entry, std::string_view key) { return CompareText(entry.Name, key) < 0; });
  if (it == directory.end() || CompareText(it->Name, name) != 0) return nullptr;
  return &*it;
}

std::optional<uint32_t> ArchiveReader::GetFileSize(std::string_view name) const {
  const DirectoryEntry* entry = Find(name);
  if (!entry) return std::nullopt;
  return entry->Rec.Size;
}

std::unique_ptr<ArchiveReader> ArchiveReader::AcquireReader() {
  std::unique_ptr<ArchiveReader> reader;
  uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(pool_->lock);
    generation = pool_->generation;
    if (!pool_->idle.empty()) {
      reader = std::move(pool_->idle.back());
      pool_->idle.pop_back();
    }
  }
  if (!reader) reader.reset(new ArchiveReader(*this, generation));
  return reader;
}

void ArchiveReader::ReleaseReader(std::unique_ptr<ArchiveReader> reader) {
  if (!reader) return;
  {
    std::lock_guard<std::mutex> lock(pool_->lock);
    if (pool_->idle.size() < kMaxIdleReaders && reader->generation_ == pool_->generation) {
      pool_->idle.push_back(std::move(reader));
    }
  }
  // A reader that was not kept is destroyed here, outside the lock.
}

size_t ArchiveReader::IdleReaderCount() const {
  std::lock_guard<std::mutex> lock(pool_->lock);
  return pool_->idle.size();
}

namespace {

// Gives a reader back to its pool on every way out of a read.
class PooledReader {
 public:
  explicit PooledReader(ArchiveReader& archive)
      : archive_(archive), reader_(archive.AcquireReader()) {}
  ~PooledReader() { archive_.ReleaseReader(std::move(reader_)); }
  PooledReader(const PooledReader&) = delete;
  PooledReader& operator=(const PooledReader&) = delete;
  ArchiveReader* operator->() { return reader_.get(); }

 private:
  ArchiveReader& archive_;
  std::unique_ptr<ArchiveReader> reader_;
};

}  // namespace

void ArchiveReader::ReadFile(std::string_view name, const std::string& key, MemoryStream& stream) {
  PooledReader reader(*this);
  reader->ReaderReadFile(name, key, stream);
}

void ArchiveReader::ReadFile(std::string_view name, MemoryStream& stream) {
  ReadFile(name, std::string(), stream);
}

void ArchiveReader::ReadBlock(uint32_t offset, uint32_t size, const std::string& key,
                            MemoryStream& stream) {
  PooledReader reader(*this);
  reader->ReaderReadBlock(offset, size, key, stream);
}

void ArchiveReader::ReaderReadFile(std::string_view name, const std::string& key,
                                 MemoryStream& stream) {
  if (!reader_mode_) throw ArchiveError("You can't call ReadFile out of reader mode.");
  stream.Clear();
  const DirectoryEntry* entry = Find(name);
  if (!entry || entry->Rec.Size == 0) return;
  ReadWithRetry(entry->Rec.Offset, entry->Rec.Size, key.empty() ? header_.content_key : key,
                stream,
                "Cannot read " + entry->Name + " from " + file_name_ +
                    ": the file is damaged or truncated.");
}

void ArchiveReader::ReaderReadBlock(uint32_t offset, uint32_t size, const std::string& key,
                                  MemoryStream& stream) {
  if (!reader_mode_) throw ArchiveError("You must not call this if not in reader mode.");
  stream.Clear();
  if (size == 0) return;
  ReadWithRetry(uint64_t{header_.data_offset} + offset, size,
                key.empty() ? header_.content_key : key, stream,
                "Cannot read " + std::to_string(size) + " bytes at data offset " +
                    std::to_string(offset) + " from " + file_name_ +
                    ": the file is damaged or truncated.");
}

void ArchiveReader::ReadWithRetry(uint64_t file_offset, uint32_t size, std::string_view key,
                                MemoryStream& stream, const std::string& failure_message) {
  while (!TryRead(file_offset, size, key, stream)) {
    // The next attempt opens the file afresh: the medium may have been replaced.
    CloseFile();
    stream.Clear();
    if (!CurrentPlatform().AskRetry(std::string(kRetryPrompt))) {
      throw StreamError(failure_message);
    }
  }
}

bool ArchiveReader::TryRead(uint64_t file_offset, uint32_t size, std::string_view key,
                          MemoryStream& stream) {
  try {
    if (fd_ < 0) fd_ = OpenReadOnly(file_name_);
    if (fd_ < 0) return false;
    const uint64_t stored = archive::RoundUp8(size);
    uint64_t file_size = 0;
    // A file shorter than the stretch is truncated: fail before allocating.
    if (!FileSize(fd_, file_size) || file_offset + stored > file_size) return false;
    stream.Clear();
    stream.SetSize(stored);
    if (!ReadAt(fd_, file_offset, stream.Data(), stored)) return false;
    Decipher(stream.Data(), stream.Data(), key, stored);
    stream.SetSize(size);
    stream.SetPosition(0);
    return true;
  } catch (const std::exception&) {
    return false;  // e.g. no memory for the stream: counts as a failed attempt
  }
}

void ArchiveReader::Decipher(const void* src, void* dst, std::string_view key, size_t length) {
  cipher_.SetKey(key);
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dst);
  const size_t whole = length / Blowfish::kBlockSize;
  cipher_.DecipherBlocks(in, out, whole);
  const size_t tail = length % Blowfish::kBlockSize;
  if (tail == 0) return;
  const size_t done = whole * Blowfish::kBlockSize;
  uint8_t block[Blowfish::kBlockSize] = {};
  std::memcpy(block, in + done, tail);
  cipher_.DecipherBlocks(block, block, 1);
  std::memcpy(out + done, block, tail);
}

}  // namespace qil
