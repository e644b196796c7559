// The helper of bigdisc.sh, the benchmark of a disc of about 1 GB.
//
//   bigdisc generate DIR PROBLEMS OTHERS
//       Writes the generated part of a disc's source folder into DIR: the
//       database lists, a title page per topic, PROBLEMS problems (two pages
//       and two PNG pictures each, about 4.5 KB) spread evenly over 25 topics
//       and 4 levels, and OTHERS further files of 12 to 44 KB of random bytes
//       under others/. The pages and templates of the demo disc are copied in
//       by the script. The same arguments always give the same bytes.
//   bigdisc rawindex ARCHIVE
//       The least any start-up must do: open the archive (header and
//       directory) and read the database's header and index raw, with no
//       parsing beyond the two numbers that locate the index.
//   bigdisc measure RUNS PROGRAM ARGS...
//       Runs the program RUNS times with stdin from /dev/null and prints the
//       median wall time in ms and the largest maximum resident set (KB) of
//       the runs: "wall_ms=... maxrss_kb=...".
//   bigdisc drive QILCD ARCHIVE CLIPBOARD ADDRESS...
//       Starts `QILCD session --archive ARCHIVE --clipboard CLIPBOARD`, sends
//       the addresses one at a time and prints one line per answer: the ms
//       from sending the address to the end of its answer, the ms since the
//       session was started, the status, the body size and the address. Then
//       closes the session and prints its maximum resident set.
#include <fcntl.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "base/LittleEndian.h"
#include "base/MemoryStream.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "bigdisc: %s\n", message.c_str());
  std::exit(1);
}

// A small fast generator, so that the same arguments give the same disc.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

 private:
  uint64_t state_;
};

void WriteFile(const fs::path& path, const void* data, size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Fail("cannot create " + path.string());
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n <= 0) Fail("cannot write " + path.string());
    p += n;
    size -= static_cast<size_t>(n);
  }
  ::close(fd);
}

void WriteFile(const fs::path& path, const std::string& text) { WriteFile(path, text.data(), text.size()); }

// A picture like the disc's: a grey page of dark text-like strokes on white,
// encoded as an 8-bit grey PNG.
struct Picture {
  int width = 0;
  int height = 0;
  std::string png;
};

Picture MakePicture(Random& random) {
  Picture picture;
  picture.width = 400 + static_cast<int>(random.Below(240));
  picture.height = 40 + static_cast<int>(random.Below(90));
  std::vector<uint8_t> pixels(static_cast<size_t>(picture.width) * picture.height, 255);
  for (int band = 8; band + 14 < picture.height; band += 22) {
    for (int x = 10; x < picture.width - 10;) {
      const int word = 8 + static_cast<int>(random.Below(40));
      // A word: columns of vertical strokes and of dots at the top and bottom line.
      for (int i = 0; i < word && x < picture.width - 10; ++i, ++x) {
        const auto ink = [&](int y) { pixels[static_cast<size_t>(y) * picture.width + x] = 40; };
        if (random.Below(3) == 0) {
          for (int y = band + static_cast<int>(random.Below(5)), end = band + 10 + static_cast<int>(random.Below(4));
               y < end; ++y) {
            ink(y);
          }
        } else if (random.Below(2) == 0) {
          ink(band + 4);
          ink(band + 12);
        }
      }
      x += 6 + static_cast<int>(random.Below(8));
    }
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  image.format = PNG_FORMAT_GRAY;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) Fail("png size");
  picture.png.resize(size);
  if (!png_image_write_to_memory(&image, picture.png.data(), &size, 0, pixels.data(), 0, nullptr)) {
    Fail("png encoding");
  }
  picture.png.resize(size);
  return picture;
}

std::string Digits(int64_t value, int width) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*" PRId64, width, value);
  return text;
}

std::string PageText(const char* kind, const std::string& picture, const Picture& p, Random& random) {
  std::string alt = "Work out the value of the expression and show each step:";
  for (int i = 0; i < 6; ++i) alt.append(" ").append(std::to_string(random.Below(90) + 10)).append(i % 2 ? " *" : " +");
  std::string page = "<div class=\"";
  page.append(kind).append("\">\n<img src=\"").append(picture);
  page.append("\" width=\"").append(std::to_string(p.width));
  page.append("\" height=\"").append(std::to_string(p.height));
  page.append("\" alt=\"").append(alt).append(" 1\">\n</div>\n");
  return page;
}

int Generate(const fs::path& dir, int64_t problems, int64_t others) {
  const auto start = Clock::now();
  constexpr int kTopics = 25;
  constexpr int kLevels = 4;
  const char groups[] = {'A', 'B', 'G', 'P', 'S'};
  Random random(20240601);

  std::vector<Picture> pool;
  for (int i = 0; i < 64; ++i) pool.push_back(MakePicture(random));

  fs::create_directories(dir / "db");
  fs::create_directories(dir / "topics");
  std::string endpoints;
  std::string menu;
  uint64_t bytes = 0;
  int64_t written = 0;
  for (int t = 0; t < kTopics; ++t) {
    const std::string code = std::string(1, groups[t / 5]) + Digits(t % 5 + 1, 2);
    endpoints += code + "=Topic " + code + "\r\n";
    menu += "s" + code + "=topics/" + code + ".htm\r\n";
    WriteFile(dir / "topics" / (code + ".htm"),
              "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + code +
                  "</title></head><body><h1>Topic " + code + "</h1><p><a href=\"../mathlist.stmp?main=" +
                  code.substr(0, 1) + "&sub=" + code.substr(1) + "\">Problems</a></p></body></html>\n");
    for (int level = 1; level <= kLevels; ++level) {
      // The problems spread evenly; the first groups take what does not divide.
      const int64_t group = t * kLevels + level - 1;
      const int64_t count = problems / (kTopics * kLevels) + (group < problems % (kTopics * kLevels) ? 1 : 0);
      const fs::path code_dir = dir / "problems" / (code + std::to_string(level));
      for (int64_t n = 1; n <= count; ++n) {
        const fs::path folder = code_dir / Digits(n, 4);
        fs::create_directories(folder);
        const Picture& first = pool[random.Below(static_cast<uint32_t>(pool.size()))];
        const Picture& second = pool[random.Below(static_cast<uint32_t>(pool.size()))];
        const std::string p = PageText("problem", "M_image1.png", first, random);
        const std::string s = PageText("solution", "M_image2.png", second, random);
        WriteFile(folder / "P.htm", p);
        WriteFile(folder / "S.htm", s);
        WriteFile(folder / "M_image1.png", first.png);
        WriteFile(folder / "M_image2.png", second.png);
        bytes += p.size() + s.size() + first.png.size() + second.png.size();
        ++written;
      }
    }
  }
  WriteFile(dir / "db" / "endpoints.txt", endpoints);
  WriteFile(dir / "db" / "menuid.txt", menu);

  // The other entries: random bytes (as incompressible as pictures and
  // fonts), 100 files to a folder.
  std::vector<uint64_t> block(44 * 1024 / 8);
  for (int64_t i = 0; i < others; ++i) {
    const fs::path folder = dir / "others" / ("set" + Digits(i / 100, 4));
    if (i % 100 == 0) fs::create_directories(folder);
    const size_t size = 12 * 1024 + random.Below(32 * 1024 + 1);
    for (size_t w = 0; w < (size + 7) / 8; ++w) block[w] = random.Next();
    WriteFile(folder / ("entry-" + Digits(i, 6) + ".bin"), block.data(), size);
    bytes += size;
  }
  std::printf("problems=%" PRId64 " others=%" PRId64 " bytes=%" PRIu64 " seconds=%.1f\n", written, others, bytes,
              MsSince(start) / 1000);
  return 0;
}

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

int RawIndex(const std::string& archive_path) {
  const auto start = Clock::now();
  const double cpu_start = ThreadCpuMs();
  qil::ArchiveReader archive;
  archive.Open(archive_path, std::string(), true);
  const double open_ms = MsSince(start);
  qil::MemoryStream header;
  archive.ReadBlock(0, 32, std::string(), header);
  if (header.Size() < 32) Fail("no database header");
  const uint32_t index_offset = qil::LoadU32LE(header.Data() + 8);
  const uint32_t records = qil::LoadU32LE(header.Data() + 12);
  qil::MemoryStream index;
  archive.ReadBlock(index_offset, records * 12, std::string(), index);
  if (index.Size() != records * 12u) Fail("short index");
  std::printf("entries=%zu records=%u open_ms=%.2f total_ms=%.2f cpu_ms=%.2f\n", archive.EntryCount(), records,
              open_ms, MsSince(start), ThreadCpuMs() - cpu_start);
  return 0;
}

pid_t Spawn(const std::vector<std::string>& args, int stdin_fd, int stdout_fd) {
  const pid_t pid = fork();
  if (pid < 0) Fail("fork");
  if (pid == 0) {
    dup2(stdin_fd, 0);
    if (stdout_fd >= 0) dup2(stdout_fd, 1);
    for (int fd = 3; fd < 64; ++fd) close(fd);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// Waits for the child; its maximum resident set in KB. Fails on a bad exit.
long WaitForExit(pid_t pid) {
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) Fail("wait");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail("a measured program failed");
  return usage.ru_maxrss;
}

int Measure(int runs, const std::vector<std::string>& command) {
  std::vector<double> walls;
  long maxrss = 0;
  const int null_in = ::open("/dev/null", O_RDONLY);
  const int null_out = ::open("/dev/null", O_WRONLY);
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    const pid_t pid = Spawn(command, null_in, null_out);
    maxrss = std::max(maxrss, WaitForExit(pid));
    walls.push_back(MsSince(start));
  }
  std::sort(walls.begin(), walls.end());
  const size_t n = walls.size();
  const double median = n % 2 ? walls[n / 2] : (walls[n / 2 - 1] + walls[n / 2]) / 2;
  std::printf("wall_ms=%.2f maxrss_kb=%ld runs=%d\n", median, maxrss, runs);
  return 0;
}

// Reads exactly size bytes from fd into out; false at the end of the input.
bool ReadExactly(int fd, std::string& out, size_t size) {
  out.resize(size);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, out.data() + done, size - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ReadLine(int fd, std::string& line) {
  line.clear();
  char c = 0;
  while (true) {
    const ssize_t n = ::read(fd, &c, 1);
    if (n <= 0) return false;
    if (c == '\n') return true;
    line += c;
  }
}

int Drive(const std::string& qilcd, const std::string& archive, const std::string& clipboard,
          const std::vector<std::string>& addresses) {
  int to_child[2];
  int from_child[2];
  if (pipe(to_child) != 0 || pipe(from_child) != 0) Fail("pipe");
  const auto started = Clock::now();
  const pid_t pid =
      Spawn({qilcd, "session", "--archive", archive, "--clipboard", clipboard}, to_child[0], from_child[1]);
  close(to_child[0]);
  close(from_child[1]);
  std::string header;
  std::string body;
  for (const std::string& address : addresses) {
    const std::string line = address + "\n";
    const auto sent = Clock::now();
    if (::write(to_child[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) Fail("write");
    int status = 0;
    size_t size = 0;
    char mime[256] = "";
    if (!ReadLine(from_child[0], header) || std::sscanf(header.c_str(), "%d %255s %zu", &status, mime, &size) != 3) {
      Fail("no answer to " + address);
    }
    if (!ReadExactly(from_child[0], body, size + 1)) Fail("short answer to " + address);
    std::printf("%10.2f %10.2f %3d %9zu %s\n", MsSince(sent), MsSince(started), status, size, address.c_str());
    std::fflush(stdout);
  }
  close(to_child[1]);
  std::string rest;
  while (ReadLine(from_child[0], rest)) {
  }
  std::printf("maxrss_kb=%ld\n", WaitForExit(pid));
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: bigdisc generate DIR PROBLEMS OTHERS\n"
               "       bigdisc rawindex ARCHIVE\n"
               "       bigdisc measure RUNS PROGRAM ARGS...\n"
               "       bigdisc drive QILCD ARCHIVE CLIPBOARD ADDRESS...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  try {
    if (args[0] == "generate" && args.size() == 4) {
      return Generate(args[1], std::stoll(args[2]), std::stoll(args[3]));
    }
    if (args[0] == "rawindex" && args.size() == 2) return RawIndex(args[1]);
    if (args[0] == "measure" && args.size() >= 3) {
      return Measure(std::stoi(args[1]), std::vector<std::string>(args.begin() + 2, args.end()));
    }
    if (args[0] == "drive" && args.size() >= 4) {
      return Drive(args[1], args[2], args[3], std::vector<std::string>(args.begin() + 4, args.end()));
    }
  } catch (const std::exception& error) {
    Fail(error.what());
  }
  return Usage();
}
