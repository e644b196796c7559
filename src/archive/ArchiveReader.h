// The reader of the enciphered content archive (math.dat).
//
// Open checks the header and loads the directory of named entries; after that
// the archive answers entry sizes (GetFileSize), entry bytes (ReadFile) and
// stretches of the data region (ReadBlock), each deciphered into a stream the
// caller supplies. Format: archive/ArchiveFormat.h.
//
// Guarantees:
//  - Names are looked up after removing one leading "/", ignoring the case of
//    ASCII letters. An empty or unknown name answers false / an empty stream,
//    never an error.
//  - Reads may overlap, from several threads or re-entrantly from one. Each
//    read runs on a reader of its own (its own file descriptor and cipher),
//    taken from a pool of idle readers (at most kMaxIdleReaders kept, last in
//    first out). The pool lock is held only to push or pop a reader. The
//    directory is read-only after Open. Open and Close must not overlap reads.
//  - Untrusted input: every offset, length and count read from the file is
//    checked against the file's size before anything is allocated for it.
//  - A read that fails (file gone, fewer bytes than needed) asks the current
//    platform whether to retry (Platform::AskRetry with kRetryPrompt); it tries
//    again, reopening the file, as long as the answer is yes, and otherwise
//    raises StreamError naming the entry and leaves the stream empty. An entry
//    of size 0 never touches the file and never prompts.
//  - The archive must outlive the reads running on it.
#pragma once

#include <optional>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ArchiveFormat.h"
#include "archive/Blowfish.h"
#include "base/Exceptions.h"
#include "base/MemoryStream.h"

namespace qil {

// Where one entry's enciphered bytes lie and how long its plain text is.
struct EntryLocation {
  uint32_t Offset = 0;  // absolute file offset
  uint32_t Size = 0;    // plain size; RoundUp8(Size) bytes are stored
};

// A read operation called on the archive object instead of on a reader.
class ArchiveError : public Exception {
 public:
  using Exception::Exception;
};

// One line of the directory.
struct DirectoryEntry {
  std::string Name;
  EntryLocation Rec;
};

class ArchiveReader {
 public:
  static constexpr size_t kMaxIdleReaders = 8;
  static constexpr std::string_view kRetryPrompt =
      "Error while trying to read from the CD-ROM.\n\n"
      "Please make sure the CD-ROM is inserted,\n"
      "then press Retry.\n";

  ArchiveReader();
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Opens file_name, checks magic, version and (unless skip_product_check) the
  // product ID, and loads the directory. Raises FileOpenError ("Cannot open file
  // NAME") when the file cannot be opened; Exception with "Bad archive
  // header.", "Bad archive version." or "Bad product ID." otherwise. The file
  // is closed again before Open returns. On failure the archive is left empty.
  void Open(const std::string& file_name, const std::string& product_id, bool skip_product_check);

  // The entry's plain size; nullopt when the directory does not hold name.
  std::optional<uint32_t> GetFileSize(std::string_view name) const;

  // The entry's plain bytes into stream (size = entry size, position 0), or an
  // empty stream when the name is empty or unknown. An empty key means the
  // archive's content key. Runs on a pooled reader.
  void ReadFile(std::string_view name, const std::string& key, MemoryStream& stream);
  void ReadFile(std::string_view name, MemoryStream& stream);

  // size plain bytes of the data region at DataOffset() + offset. The region
  // is enciphered as one ECB stretch, so offset must be a multiple of 8 for the
  // bytes to come out right. Runs on a pooled reader.
  void ReadBlock(uint32_t offset, uint32_t size, const std::string& key, MemoryStream& stream);

  // Empties the directory, destroys the idle readers and closes the file.
  void Close();

  // The pool. AcquireReader pops the most recently released reader, or makes
  // a new one (it opens its file on first use). ReleaseReader keeps at most
  // kMaxIdleReaders idle readers and destroys any further one.
  std::unique_ptr<ArchiveReader> AcquireReader();
  void ReleaseReader(std::unique_ptr<ArchiveReader> reader);
  size_t IdleReaderCount() const;

  // The reads proper, valid on a reader only: on the archive object itself
  // they raise ArchiveError ("You can't call ReadFile out of reader
  // mode.", "You must not call this if not in reader mode.").
  void ReaderReadFile(std::string_view name, const std::string& key, MemoryStream& stream);
  void ReaderReadBlock(uint32_t offset, uint32_t size, const std::string& key,
                       MemoryStream& stream);

  // Deciphers length bytes from src to dst with key (the cipher's key rule
  // applies). src and dst may be the same buffer. A final partial block is
  // completed with zero bytes before deciphering and only its first bytes are
  // kept; the result equals deciphering block by block. Uses this object's
  // cipher, so one object must not run it from two threads at once.
  void Decipher(const void* src, void* dst, std::string_view key, size_t length);

  bool ReaderMode() const { return reader_mode_; }
  const std::string& FileName() const { return file_name_; }
  // The directory, sorted by name ignoring case; empty before Open.
  const std::vector<DirectoryEntry>& Entries() const { return *directory_; }
  size_t EntryCount() const { return directory_->size(); }
  uint32_t DataOffset() const { return header_.data_offset; }
  // Bytes from DataOffset() to the end of the file as Open found it; 0 when
  // the data offset lies at or past the end (the archive has no data region).
  uint64_t DataRegionSize() const {
    return file_size_ > header_.data_offset ? file_size_ - header_.data_offset : 0;
  }
  const std::string& ContentKey() const { return header_.content_key; }
  const std::string& ProductID() const { return header_.product_id; }

 private:
  struct ReaderPool {
    std::mutex lock;
    std::vector<std::unique_ptr<ArchiveReader>> idle;
    uint64_t generation = 0;  // bumped by Open and Close; older readers are not kept
  };
  using Directory = std::vector<DirectoryEntry>;

  // A reader of archive: same file, header, directory and pool.
  ArchiveReader(const ArchiveReader& archive, uint64_t generation);

  const DirectoryEntry* Find(std::string_view name) const;
  void DropIdleReaders();
  void CloseFile();
  // One attempt to read and decipher size bytes at file_offset; false on failure.
  bool TryRead(uint64_t file_offset, uint32_t size, std::string_view key, MemoryStream& stream);
  // TryRead, asking the platform to retry on failure; raises failure_message when it declines.
  void ReadWithRetry(uint64_t file_offset, uint32_t size, std::string_view key,
                     MemoryStream& stream, const std::string& failure_message);

  std::string file_name_;
  int fd_ = -1;
  std::shared_ptr<const Directory> directory_;
  Blowfish cipher_;
  archive::ArchiveHeader header_;
  uint64_t file_size_ = 0;  // as Open found it
  bool reader_mode_ = false;
  uint64_t generation_ = 0;
  std::unique_ptr<ReaderPool> own_pool_;  // only on the archive object
  ReaderPool* pool_;                      // the archive's pool, also on readers
};

}  // namespace qil
