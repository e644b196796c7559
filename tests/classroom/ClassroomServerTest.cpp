// The classroom server in this process, on the demo disc, driven over
// loopback HTTP: every kind of page, the stored entries byte for byte, the
// headers, one worksheet per browser, the RTF download and the limits.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "classroom/ClassroomServer.h"
#include "classroom/HttpFetch.h"
#include "common/Qilcd.h"
#include "common/TestFiles.h"
#include "base/MemoryStream.h"
#include "picture/Gunzip.h"

namespace qil::test {
namespace {

constexpr unsigned kPerIpLimit = 6;
constexpr unsigned kTimeoutSeconds = 2;

class ClassroomServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    keys_ = new TempDir;
    WriteBytes(keys_->File("key"), std::string(32, 'k'));
    ClassroomOptions options;
    options.archive = QIL_DEMO_DISC;
    options.keyFile = keys_->File("key");
    options.logPath = keys_->File("access.log");
    options.http.address = "127.0.0.1";
    options.http.port = 0;
    options.http.perIpLimit = kPerIpLimit;
    options.http.timeoutSeconds = kTimeoutSeconds;
    server_ = new ClassroomServer(options);
  }
  static void TearDownTestSuite() {
    delete server_;
    delete keys_;
  }
  static int Port() { return server_->Port(); }

  static inline TempDir* keys_ = nullptr;
  static inline ClassroomServer* server_ = nullptr;
};

// A connection that sends what it is told and nothing more.
class RawConnection {
 public:
  explicit RawConnection(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawConnection() { close(fd_); }
  bool Connected() const { return connected_; }
  void Send(const std::string& bytes) { ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  // Whether the server closed the connection within limit, reading whatever came.
  bool ClosedWithin(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    char buffer[4096];
    while (std::chrono::steady_clock::now() < end) {
      pollfd wait{fd_, POLLIN, 0};
      if (poll(&wait, 1, 100) == 1 && read(fd_, buffer, sizeof buffer) <= 0) return true;
    }
    return false;
  }

 private:
  int fd_;
  bool connected_ = false;
};

std::string Gunzipped(const std::string& bytes) {
  MemoryStream inflated;
  GunzipToStream(MemoryStream(bytes), inflated);
  return std::string(inflated.View());
}

std::string Header(const Fetched& fetched, const std::string& name) {
  auto found = fetched.headers.find(name);
  return found == fetched.headers.end() ? std::string() : found->second;
}

TEST_F(ClassroomServerTest, EveryKindOfPageIsAnswered) {
  struct Case {
    const char* target;
    long status;
    const char* type;
    const char* content;
  };
  const Case cases[] = {
      {"/index.html", 200, "text/html", "Go to problem number"},
      {"/main.stmp", 200, "text/html", "All topics and numbers"},
      {"/mathlist.stmp?main=A01", 200, "text/html", "<title>Problems</title>"},
      {"/alsonaviga.stmp?main=A01", 200, "text/html", "<title>Pages</title>"},
      {"/problem_lent.stmp?main=A01", 200, "text/html", "<html"},
      {"/solution.stmp?id=5", 200, "text/html", "mathgfx.stmp?ID=5&gfx="},
      {"/mathgfx.stmp?ID=5&gfx=M_image1.png", 200, "image/png", "PNG"},
      {"/mathgoto.stmp?goto=12", 200, "text/html", "Problem 12"},
      {"/worksheet.stmp", 200, "text/html", "Worksheet counter"},
      {"/edit1.stmp", 200, "text/html", "Your worksheet"},
      {"/creator.stmp", 200, "text/html", "Random worksheet"},
      {"/statistic.stmp", 200, "text/html", "Worksheet statistics"},
      {"/wadd.stmp?id=5", 200, "text/html", "Problem added to Worksheet."},
      {"/clipbo.stmp?type=p&id=5", 200, "text/html", "problem-6.rtf"},
      {"/", 302, "text/html", "/index.html"},
      {"/solution.stmp?id=abc", 500, "text/html", "not a valid integer value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const Fetched fetched = Fetch(Port(), c.target);
    EXPECT_EQ(fetched.status, c.status);
    EXPECT_EQ(Header(fetched, "content-type").rfind(c.type, 0), 0u) << Header(fetched, "content-type");
    EXPECT_NE(fetched.body.find(c.content), std::string::npos);
  }
  EXPECT_EQ(Header(Fetch(Port(), "/"), "location"), "/index.html");

  // Metafile pictures reach browsers drawn.
  for (const char* picture : {"/mathgfx.stmp?ID=86&gfx=M_image1.wmf", "/mathgfx.stmp?ID=99&gfx=M_image1.wmz"}) {
    const Fetched drawn = Fetch(Port(), picture);
    EXPECT_EQ(Header(drawn, "content-type"), "image/svg+xml") << picture;
    EXPECT_NE(drawn.body.find("<svg"), std::string::npos) << picture;
  }
}

TEST_F(ClassroomServerTest, StoredEntriesAreTheArchiveBytes) {
  const QilcdRun listing = RunQilcd({"ls", QIL_DEMO_DISC});
  ASSERT_EQ(listing.exit_code, 0);
  std::istringstream lines(listing.out);
  int compared = 0;
  for (std::string line; std::getline(lines, line);) {
    const std::string name = line.substr(line.find('\t') + 1);
    if (name.ends_with(".stmp")) continue;
    SCOPED_TRACE(name);
    const Fetched fetched = Fetch(Port(), "/" + name);
    ASSERT_EQ(fetched.status, 200);
    EXPECT_EQ(fetched.body, RunQilcd({"cat", QIL_DEMO_DISC, name}).out);
    EXPECT_EQ(Header(fetched, "content-length"), std::to_string(fetched.body.size()));
    ++compared;
  }
  EXPECT_GT(compared, 40);
}

TEST_F(ClassroomServerTest, HeadersRevalidateCompressAndProtect) {
  const Fetched css = Fetch(Port(), "/disc.css");
  const std::string etag = Header(css, "etag");
  ASSERT_EQ(etag.size(), 34u);
  EXPECT_EQ(Header(css, "cache-control"), "no-cache");
  EXPECT_EQ(Header(css, "content-type"), "text/css");
  EXPECT_EQ(Fetch(Port(), "/disc.css", {"If-None-Match: " + etag}).status, 304);
  EXPECT_EQ(Fetch(Port(), "/disc.css", {"If-None-Match: \"other\", W/" + etag}).status, 304);
  EXPECT_EQ(Fetch(Port(), "/disc.css", {"If-None-Match: \"other\""}).status, 200);

  const Fetched head = Fetch(Port(), "/disc.css", {}, "HEAD");
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(Header(head, "content-length"), std::to_string(css.body.size()));
  EXPECT_TRUE(head.body.empty());

  for (const char* target : {"/disc.css", "/mathlist.stmp?main=B01"}) {
    SCOPED_TRACE(target);
    const Fetched plain = Fetch(Port(), target);
    const Fetched packed = Fetch(Port(), target, {"Accept-Encoding: br, gzip;q=0.8"});
    EXPECT_EQ(Header(packed, "content-encoding"), "gzip");
    EXPECT_LT(packed.body.size(), plain.body.size() / 2);
    EXPECT_EQ(Gunzipped(packed.body), plain.body);
    EXPECT_EQ(Header(Fetch(Port(), target, {"Accept-Encoding: gzip;q=0"}), "content-encoding"), "");
  }
  EXPECT_EQ(Header(Fetch(Port(), "/edit1.stmp"), "cache-control"), "no-store");

  for (const char* target : {"/disc.css", "/edit1.stmp", "/missing.html"}) {
    const Fetched fetched = Fetch(Port(), target);
    EXPECT_NE(Header(fetched, "content-security-policy").find("default-src 'self'"), std::string::npos);
    EXPECT_EQ(Header(fetched, "x-content-type-options"), "nosniff");
    EXPECT_EQ(Header(fetched, "referrer-policy"), "no-referrer");
  }
}

TEST_F(ClassroomServerTest, UnknownPathsAndOtherMethodsAreRefused) {
  EXPECT_EQ(Fetch(Port(), "/missing.html").status, 404);
  EXPECT_EQ(Fetch(Port(), "/nothing.stmp?id=1").status, 404);
  EXPECT_EQ(Fetch(Port(), "/%2e%2e/math.dat").status, 404);
  for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS"}) {
    const Fetched refused = Fetch(Port(), "/index.html", {}, method);
    EXPECT_EQ(refused.status, 405) << method;
    EXPECT_EQ(Header(refused, "allow"), "GET, HEAD");
  }
}

// The problems on the worksheet page a browser sees, as "id=N" texts.
std::vector<std::string> WorksheetOf(Browser& browser) {
  const std::string page = browser.Get("/edit1.stmp").body;
  std::vector<std::string> ids;
  const std::regex entry("action=remove&amp;id=0*([0-9]+)");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), entry); it != std::sregex_iterator(); ++it) {
    ids.push_back("id=" + (*it)[1].str());
  }
  return ids;
}

TEST_F(ClassroomServerTest, EachBrowserKeepsItsOwnWorksheet) {
  Browser ann(Port());
  Browser ben(Port());
  ann.Get("/wadd.stmp?id=5");
  ben.Get("/wadd.stmp?id=9");
  ann.Get("/wadd.stmp?id=7");
  EXPECT_EQ(WorksheetOf(ann), (std::vector<std::string>{"id=5", "id=7"}));
  EXPECT_EQ(WorksheetOf(ben), (std::vector<std::string>{"id=9"}));
  ann.Get("/edit1.stmp?action=moveup&id=7");
  EXPECT_EQ(WorksheetOf(ann), (std::vector<std::string>{"id=7", "id=5"}));

  // Reading pages sets no cookie: a slow page cannot undo a quicker change.
  EXPECT_TRUE(ann.Get("/mathlist.stmp?main=A01").cookies.empty());

  Browser forger(Port());
  forger.Cookies() = ann.Cookies();
  std::string& value = forger.Cookies()["session"];
  value[value.size() / 2] = value[value.size() / 2] == 'A' ? 'B' : 'A';
  EXPECT_TRUE(WorksheetOf(forger).empty());
  EXPECT_EQ(forger.Get("/edit1.stmp").status, 200);
}

TEST_F(ClassroomServerTest, CopiesArriveAsDownloads) {
  Browser student(Port());
  student.Get("/wadd.stmp?id=5");
  student.Get("/wadd.stmp?id=7");
  const Fetched notice = student.Get("/clipbo.stmp?type=cl_pr");
  EXPECT_NE(notice.body.find("worksheet.rtf"), std::string::npos);
  EXPECT_EQ(Header(notice, "refresh"), "0; url=/clipbo.stmp?type=cl_pr&download=1");

  const Fetched document = student.Get("/clipbo.stmp?type=cl_pr&download=1");
  EXPECT_EQ(Header(document, "content-type"), "application/rtf");
  EXPECT_EQ(Header(document, "content-disposition"), "attachment; filename=\"worksheet.rtf\"");

  // The same document the desktop program puts on the clipboard.
  TempDir dir;
  const QilcdRun run = RunQilcd({"session", "--archive", QIL_DEMO_DISC, "--clipboard", dir.File("copy.rtf")},
                                "wadd.stmp?id=5\nwadd.stmp?id=7\nclipbo.stmp?type=cl_pr\n");
  ASSERT_EQ(run.exit_code, 0);
  EXPECT_EQ(document.body, ReadBytes(dir.File("copy.rtf")));

  const Fetched sheet = student.Get("/sheetpdf.stmp?key=1&download=1");
  EXPECT_EQ(Header(sheet, "content-type"), "application/pdf");
  EXPECT_EQ(Header(sheet, "content-disposition"), "attachment; filename=\"worksheet-with-key.pdf\"");
  EXPECT_EQ(sheet.body.rfind("%PDF-", 0), 0u);

  const Fetched problem = Fetch(Port(), "/clipbo.stmp?type=b&id=5&download=1");
  EXPECT_EQ(Header(problem, "content-disposition"), "attachment; filename=\"problem-6.rtf\"");
  EXPECT_EQ(problem.body.rfind("{\\rtf", 0), 0u);
}

TEST_F(ClassroomServerTest, LimitsAnswerAndTheServerGoesOn) {
  const Fetched oversized = Fetch(Port(), "/index.html", {"X-Padding: " + std::string(100 * 1024, 'x')});
  EXPECT_EQ(oversized.status, 431);
  EXPECT_EQ(Fetch(Port(), "/index.html").status, 200);

  // A client that stops half-way through its request is cut off after the
  // time-out, and blocks nobody meanwhile.
  RawConnection slow(Port());
  ASSERT_TRUE(slow.Connected());
  slow.Send("GET /index.html HTTP/1.1\r\nHost: 127.0.0.1\r\n");
  EXPECT_EQ(Fetch(Port(), "/mathlist.stmp?main=A02").status, 200);
  EXPECT_TRUE(slow.ClosedWithin(std::chrono::seconds(kTimeoutSeconds + 5)));

  {
    std::vector<std::unique_ptr<RawConnection>> crowd;
    for (unsigned i = 0; i < kPerIpLimit; ++i) crowd.push_back(std::make_unique<RawConnection>(Port()));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const Fetched turned_away = Fetch(Port(), "/index.html");
    EXPECT_EQ(turned_away.status, 503);
    EXPECT_EQ(Header(turned_away, "retry-after"), "3");
    EXPECT_NE(turned_away.body.find("try again in a moment"), std::string::npos);
  }
  long status = 0;
  for (int attempt = 0; attempt < 20 && status != 200; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    status = Fetch(Port(), "/index.html").status;
  }
  EXPECT_EQ(status, 200);
}

}  // namespace
}  // namespace qil::test
