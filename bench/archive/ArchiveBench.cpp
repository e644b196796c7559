// ReadFile of a 16 MiB entry (file read, decipherment, stream handling)
// against the limit: deciphering the same number of bytes already in memory,
// with the same key, through Blowfish and through libcrypto's ECB call.
// The goal is ReadFile at 90 % or more of the plain decipherment's throughput.
#include <benchmark/benchmark.h>

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "archive/ArchiveReader.h"
#include "archive/ArchiveWriter.h"
#include "archive/Blowfish.h"

namespace {

constexpr size_t kEntrySize = 16 << 20;
const std::string kKey = "benchmark content key";

std::string Bytes(size_t size) {
  std::mt19937 random(42);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// One archive with a single large entry, written once per run and removed at exit.
class BenchArchive {
 public:
  BenchArchive() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qil-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    folder_ = pattern;
    qil::ArchiveWriter writer;
    writer.SetContentKey(kKey);
    writer.AddEntry("big.bin", Bytes(kEntrySize));
    writer.WriteToFile(folder_ + "/bench.dat");
    archive_.Open(folder_ + "/bench.dat", "", true);
  }
  ~BenchArchive() {
    archive_.Close();
    std::filesystem::remove_all(folder_);
  }
  qil::ArchiveReader& Archive() { return archive_; }

 private:
  std::string folder_;
  qil::ArchiveReader archive_;
};

BenchArchive& Shared() {
  static BenchArchive archive;
  return archive;
}

void BM_ArchiveReadFile16MiB(benchmark::State& state) {
  qil::ArchiveReader& archive = Shared().Archive();
  qil::MemoryStream stream;
  for (auto _ : state) {
    archive.ReadFile("big.bin", stream);
    benchmark::DoNotOptimize(stream.Data());
  }
  if (stream.Size() != kEntrySize) state.SkipWithError("short read");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kEntrySize));
}

void BM_PlainTBlowFishDecipher16MiB(benchmark::State& state) {
  std::string buffer = Bytes(kEntrySize);
  auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
  qil::Blowfish cipher;
  cipher.SetKey(kKey);
  for (auto _ : state) {
    cipher.DecipherBlocks(bytes, bytes, kEntrySize / 8);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kEntrySize));
}

void BM_PlainLibcryptoEcb16MiB(benchmark::State& state) {
  std::string buffer = Bytes(kEntrySize);
  auto* bytes = reinterpret_cast<unsigned char*>(buffer.data());
  BF_KEY key;
  BF_set_key(&key, static_cast<int>(kKey.size()), reinterpret_cast<const unsigned char*>(kKey.data()));
  for (auto _ : state) {
    for (size_t i = 0; i < kEntrySize; i += 8) BF_ecb_encrypt(bytes + i, bytes + i, &key, BF_DECRYPT);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kEntrySize));
}

void BM_PlainUnkeyedDecipher16MiB(benchmark::State& state) {
  std::string buffer = Bytes(kEntrySize);
  auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
  qil::Blowfish cipher;  // empty key: our own tables and round function
  for (auto _ : state) {
    cipher.DecipherBlocks(bytes, bytes, kEntrySize / 8);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kEntrySize));
}

BENCHMARK(BM_ArchiveReadFile16MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainTBlowFishDecipher16MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLibcryptoEcb16MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainUnkeyedDecipher16MiB)->Unit(benchmark::kMillisecond);

}  // namespace
