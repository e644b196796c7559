#include "protocol/ProtocolHandler.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "protocol/PlatformURL.h"

namespace qil {
namespace {

// Records every report of the handler.
struct RecordingSink : ProtocolSink {
  void ReportProgress(uint32_t code, const std::string& text) override {
    events.push_back("progress " + std::to_string(code) + " " + text);
  }
  void ReportData(uint32_t flags, uint32_t progress, uint32_t max) override {
    events.push_back("data " + std::to_string(flags) + " " + std::to_string(progress) + "/" +
                     std::to_string(max));
  }
  void ReportResult(ProtocolResult result, uint32_t error, const std::string&) override {
    events.push_back("result " + std::to_string(result) + " " + std::to_string(error));
  }
  std::vector<std::string> events;
};

using V = std::vector<std::string>;

// Installs a request handler for one test and removes it afterwards.
class Handler : public ::testing::Test {
 protected:
  void SetUp() override {
    RequestHandler = [this](const std::string& url, std::string& mime, int32_t& size,
                            std::unique_ptr<MemoryStream>& stream) {
      requests.push_back(url);
      if (url.find("raise") != std::string::npos) throw std::runtime_error("archive failure");
      if (url.find("missing") != std::string::npos) return;
      stream = std::make_unique<MemoryStream>(answer);
      stream->SetPosition(stream->Size());  // the handler rewinds it itself
      mime = "image/gif";
      size = static_cast<int32_t>(answer.size());
    };
    SchemeName = "qilproto";
  }
  void TearDown() override {
    RequestHandler = nullptr;
    SchemeName.clear();
  }

  std::string answer = "0123456789";
  std::vector<std::string> requests;
  std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
  ProtocolHandler handler;
};

TEST_F(Handler, StartReportsOnceAndReadHandsOutChunks) {
  ASSERT_EQ(handler.Start("qilproto://qilproto_local/a%20b.gif", sink), S_OK);
  EXPECT_EQ(requests, V{"qilproto://qilproto_local/a b.gif"});
  EXPECT_EQ(sink->events, (V{"progress 22 image/gif", "data 12 10/10"}));

  char buffer[4];
  uint32_t n = 99;
  std::string got;
  EXPECT_EQ(handler.Read(buffer, 4, n), S_OK);
  EXPECT_EQ(n, 4u);
  got.append(buffer, n);
  EXPECT_EQ(handler.Read(buffer, 4, n), S_OK);
  got.append(buffer, n);
  EXPECT_EQ(handler.Read(buffer, 4, n), S_OK);
  EXPECT_EQ(n, 2u);
  got.append(buffer, n);
  EXPECT_EQ(got, answer);
  EXPECT_EQ(handler.Read(buffer, 4, n), S_FALSE);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(sink->events.back(), "result 0 0");
  EXPECT_FALSE(handler.HasData());
  // After the end nothing more is reported.
  EXPECT_EQ(handler.Read(buffer, 4, n), S_FALSE);
  EXPECT_EQ(sink->events.size(), 3u);
}

TEST_F(Handler, EmptyAnswerIsReportedAndEndsAtFirstRead) {
  answer.clear();
  ASSERT_EQ(handler.Start("qilproto://qilproto_local/empty", sink), S_OK);
  EXPECT_EQ(sink->events, (V{"progress 22 image/gif", "data 12 0/0"}));
  char buffer[8];
  uint32_t n = 1;
  EXPECT_EQ(handler.Read(buffer, sizeof buffer, n), S_FALSE);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(sink->events.back(), "result 0 0");
}

TEST_F(Handler, NoAnswerAndErrorsAreReportedAsTheyShouldBe) {
  EXPECT_EQ(handler.Start("qilproto://qilproto_local/missing", sink), S_FALSE);
  EXPECT_EQ(sink->events, V{"result 1 1"});
  EXPECT_FALSE(handler.HasData());

  auto quiet = std::make_shared<RecordingSink>();
  ProtocolHandler second;
  EXPECT_EQ(second.Start("qilproto://qilproto_local/raise", quiet), S_FALSE);
  EXPECT_TRUE(quiet->events.empty());  // an error while fetching reports nothing

  RequestHandler = nullptr;  // no server registered
  auto unregistered = std::make_shared<RecordingSink>();
  ProtocolHandler third;
  EXPECT_EQ(third.Start("qilproto://qilproto_local/a.gif", unregistered), S_FALSE);
  EXPECT_EQ(unregistered->events, V{"result 1 1"});
  uint32_t n = 5;
  char buffer[4];
  EXPECT_EQ(third.Read(buffer, 4, n), S_FALSE);
  EXPECT_EQ(n, 0u);
}

TEST_F(Handler, FailingSinkDoesNotEscape) {
  struct ThrowingSink : ProtocolSink {
    void ReportProgress(uint32_t, const std::string&) override { throw std::runtime_error("x"); }
    void ReportData(uint32_t, uint32_t, uint32_t) override {}
    void ReportResult(ProtocolResult, uint32_t, const std::string&) override { throw 1; }
  };
  auto bad = std::make_shared<ThrowingSink>();
  EXPECT_EQ(handler.Start("qilproto://qilproto_local/a.gif", bad), S_FALSE);
  EXPECT_FALSE(handler.HasData());
  ProtocolHandler second;
  EXPECT_EQ(second.Start("qilproto://qilproto_local/missing", bad), S_FALSE);
}

TEST_F(Handler, TerminateReleasesTheAnswer) {
  ASSERT_EQ(handler.Start("qilproto://qilproto_local/a.gif", sink), S_OK);
  EXPECT_EQ(handler.Terminate(0), S_OK);
  char buffer[4];
  uint32_t n = 3;
  EXPECT_EQ(handler.Read(buffer, 4, n), S_FALSE);
  EXPECT_EQ(n, 0u);
}

TEST_F(Handler, OverlongAndMalformedAddresses) {
  // 100 KB address: refused as not found without reaching the server.
  const std::string huge = "qilproto://qilproto_local/" + std::string(100 * 1024, 'a');
  EXPECT_EQ(handler.Start(huge, sink), S_FALSE);
  EXPECT_TRUE(requests.empty());
  EXPECT_EQ(sink->events, V{"result 1 1"});

  // Just fits once decoded: "%41" turns three characters into one.
  std::string fits = "qilproto://qilproto_local/";
  while (fits.size() < 2047) fits += "b";
  ProtocolHandler at_limit;
  EXPECT_EQ(at_limit.Start(fits, sink), S_OK);
  ProtocolHandler over_limit;
  EXPECT_EQ(over_limit.Start(fits + "c", sink), S_FALSE);
  std::string escaped = fits.substr(0, 2040);
  for (int i = 0; i < 7; ++i) escaped += "%41";
  ProtocolHandler escaped_fits;
  EXPECT_EQ(escaped_fits.Start(escaped, sink), S_OK);

  requests.clear();
  for (const char* tail : {"%", "%4", "%zz", "%%41", "%4g%41"}) {
    ProtocolHandler h;
    h.Start(std::string("qilproto://qilproto_local/x") + tail, sink);
  }
  EXPECT_EQ(requests, (V{"qilproto://qilproto_local/x%", "qilproto://qilproto_local/x%4",
                         "qilproto://qilproto_local/x%zz", "qilproto://qilproto_local/x%A",
                         "qilproto://qilproto_local/x%4gA"}));
}

TEST_F(Handler, UnsupportedMethodsAnswerTheirFixedCodes) {
  uint64_t position = 0;
  EXPECT_EQ(handler.Continue(), INET_E_INVALID_REQUEST);
  EXPECT_EQ(handler.Abort(E_FAIL, 0), INET_E_INVALID_REQUEST);
  EXPECT_EQ(handler.Suspend(), INET_E_INVALID_REQUEST);
  EXPECT_EQ(handler.Resume(), INET_E_INVALID_REQUEST);
  EXPECT_EQ(handler.Seek(0, 0, position), E_FAIL);
  EXPECT_EQ(handler.LockRequest(0), S_OK);
  EXPECT_EQ(handler.UnlockRequest(), S_OK);
}

// ParseUrl into a roomy buffer; "(code)" when the result is not S_OK.
std::string Parse(ProtocolHandler& h, const std::string& url, uint32_t action) {
  char buffer[512];
  std::memset(buffer, '#', sizeof buffer);
  uint32_t length = 777;
  const ProtocolResult result = h.ParseUrl(url, action, 0, buffer, sizeof buffer, length);
  if (result != S_OK) return "(" + std::to_string(result) + ")";
  if (length == 777) return "(untouched)";
  EXPECT_EQ(buffer[length], '\0');
  return std::string(buffer, length);
}

TEST_F(Handler, ParseUrlAnswersEveryHandledAction) {
  const std::string url = "qilproto://user:pw@qilproto_local:81/dir/a%20b.htm?x=1#top";
  EXPECT_EQ(Parse(handler, url, PARSE_FRIENDLY), url);
  EXPECT_EQ(Parse(handler, url, PARSE_SECURITY_URL), url);
  EXPECT_EQ(Parse(handler, url, PARSE_DOMAIN), url);
  EXPECT_EQ(Parse(handler, url, PARSE_ROOTDOCUMENT), "qilproto://qilproto_local:81");
  EXPECT_EQ(Parse(handler, url, PARSE_DOCUMENT), url.substr(0, url.find('#')));
  EXPECT_EQ(Parse(handler, url, PARSE_ANCHOR), "#top");
  EXPECT_EQ(Parse(handler, url, PARSE_DECODE),
            "qilproto://user:pw@qilproto_local:81/dir/a b.htm?x=1#top");
  EXPECT_EQ(Parse(handler, url, PARSE_PATH_FROM_URL), "qilproto:/dir/a%20b.htm?x=1#top");
  EXPECT_EQ(Parse(handler, url, PARSE_MIME), "text/html");
  EXPECT_EQ(Parse(handler, url, PARSE_SERVER), "qilproto_local");
  EXPECT_EQ(Parse(handler, url, PARSE_SITE), "qilproto_local");
  EXPECT_EQ(Parse(handler, url, PARSE_SCHEMA), "qilproto:");
  EXPECT_EQ(Parse(handler, url, PARSE_SECURITY_DOMAIN), "file:c|\\");
  EXPECT_EQ(Parse(handler, "qilproto://h/a/../b c.htm", PARSE_CANONICALIZE),
            "qilproto://h/b%20c.htm");
  EXPECT_EQ(Parse(handler, "qilproto://h/a/../b c.htm", PARSE_ENCODE), "qilproto://h/b%20c.htm");
  EXPECT_EQ(Parse(handler, url, PARSE_URL_FROM_PATH), "(" + std::to_string(INET_E_DEFAULT_ACTION) + ")");
  EXPECT_EQ(Parse(handler, url, 99), "(" + std::to_string(INET_E_DEFAULT_ACTION) + ")");
}

TEST_F(Handler, ParseUrlEdgeCases) {
  // No "#": S_OK, buffer and length untouched.
  EXPECT_EQ(Parse(handler, "qilproto://qilproto_local/a.htm", PARSE_DOCUMENT), "(untouched)");
  EXPECT_EQ(Parse(handler, "qilproto://qilproto_local/a.htm", PARSE_ANCHOR), "(untouched)");
  // The MIME type is the one the last Start received.
  ASSERT_EQ(handler.Start("qilproto://qilproto_local/a.gif", sink), S_OK);
  EXPECT_EQ(Parse(handler, "x", PARSE_MIME), "image/gif");
  // Not an address: the actions that need its parts fail, the others answer.
  EXPECT_EQ(Parse(handler, "no scheme here", PARSE_SERVER), "(1)");
  EXPECT_EQ(Parse(handler, "no scheme here", PARSE_ROOTDOCUMENT), "(1)");
  EXPECT_EQ(Parse(handler, "no scheme here", PARSE_FRIENDLY), "no scheme here");
  // Escapes at the very end, malformed ones kept.
  EXPECT_EQ(Parse(handler, "qilproto://h/x%", PARSE_DECODE), "qilproto://h/x%");
  EXPECT_EQ(Parse(handler, "qilproto://h/x%4", PARSE_DECODE), "qilproto://h/x%4");
  EXPECT_EQ(Parse(handler, "qilproto://h/x%zz%41", PARSE_DECODE), "qilproto://h/x%zzA");
  // A very long address: answers do not fit the 512-byte buffer and nothing is written.
  const std::string huge = "qilproto://qilproto_local/" + std::string(100 * 1024, 'x');
  for (uint32_t action : {1u, 2u, 8u, 9u}) {
    EXPECT_EQ(Parse(handler, huge, action), "(" + std::to_string(E_NOT_SUFFICIENT_BUFFER) + ")")
        << action;
  }
}

TEST_F(Handler, ResultBuffersAreNeverOverrun) {
  const std::string url = "qilproto://qilproto_local/abc";
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  uint32_t length = 0;
  // "qilproto:" needs 10 bytes with its NUL.
  EXPECT_EQ(handler.ParseUrl(url, PARSE_SCHEMA, 0, buffer, 9, length), E_NOT_SUFFICIENT_BUFFER);
  EXPECT_EQ(length, 10u);
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(handler.ParseUrl(url, PARSE_SCHEMA, 0, buffer, 10, length), S_OK);
  EXPECT_EQ(std::string(buffer), "qilproto:");
  EXPECT_EQ(buffer[10], '#');
  EXPECT_EQ(handler.ParseUrl(url, PARSE_SCHEMA, 0, nullptr, 0, length), E_NOT_SUFFICIENT_BUFFER);

  uint32_t value = 7;
  EXPECT_EQ(handler.QueryInfo(url, QUERY_CAN_NAVIGATE, 0, &value, 3, length),
            E_NOT_SUFFICIENT_BUFFER);
  EXPECT_EQ(value, 7u);
}

TEST_F(Handler, QueryInfoAnswersByOption) {
  uint32_t value = 99;
  uint32_t length = 0;
  EXPECT_EQ(handler.QueryInfo("u", QUERY_CAN_NAVIGATE, 0, &value, 4, length), S_OK);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(handler.QueryInfo("u", QUERY_IS_SAFE, 0, &value, 4, length), S_OK);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(handler.QueryInfo("u", QUERY_USES_NETWORK, 0, &value, 4, length), S_OK);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(handler.QueryInfo("u", QUERY_IS_SECURE, 0, &value, 4, length), S_OK);
  EXPECT_EQ(value, 0u);
  for (uint32_t option : {1u, 6u, 9u, 12u}) {
    EXPECT_EQ(handler.QueryInfo("u", option, 0, &value, 4, length), INET_E_DEFAULT_ACTION);
  }
  for (uint32_t option : {0u, 15u, 1000u}) {
    EXPECT_EQ(handler.QueryInfo("u", option, 0, &value, 4, length), INET_E_QUERYOPTION_UNKNOWN);
  }
}

TEST_F(Handler, CombineAndCompare) {
  char buffer[128];
  uint32_t length = 0;
  EXPECT_EQ(handler.CombineUrl("qilproto://qilproto_local/dir/a.htm", "../b.htm?q=1", 0, buffer,
                               sizeof buffer, length),
            S_OK);
  EXPECT_EQ(std::string(buffer, length), "qilproto://qilproto_local/b.htm?q=1");
  // A base that is no address: S_OK with an empty result.
  EXPECT_EQ(handler.CombineUrl("not an address", "b.htm", 0, buffer, sizeof buffer, length), S_OK);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(handler.CombineUrl("qilproto://qilproto_local/dir/a.htm", "b.htm", 0, buffer, 8, length),
            E_NOT_SUFFICIENT_BUFFER);

  EXPECT_EQ(handler.CompareUrl("QILPROTO://Qilproto_Local/A.htm", "qilproto://qilproto_local/a.HTM", 0),
            S_OK);
  EXPECT_EQ(handler.CompareUrl("qilproto://h/a", "qilproto://h/b", 0), S_FALSE);
  EXPECT_EQ(handler.CompareUrl("\xC4", "\xE4", 0), S_FALSE);  // only A to Z fold
}

TEST(PlatformURL, CrackSplitsEveryPart) {
  UrlParts parts;
  ASSERT_TRUE(UrlCrack("qilproto://u:p@host:8080/a/b.htm?x=1&y#frag", parts));
  EXPECT_EQ(parts.scheme, "qilproto");
  EXPECT_EQ(parts.user, "u");
  EXPECT_EQ(parts.password, "p");
  EXPECT_EQ(parts.host, "host");
  EXPECT_EQ(parts.port, 8080);
  EXPECT_EQ(parts.path, "/a/b.htm");
  EXPECT_EQ(parts.extra, "?x=1&y#frag");
  EXPECT_EQ(UrlCreate(parts), "qilproto://u:p@host:8080/a/b.htm?x=1&y#frag");
  EXPECT_FALSE(UrlCrack("", parts));
  EXPECT_FALSE(UrlCrack("relative/path", parts));
  EXPECT_EQ(parts.host, "");
}

// Addresses the fuzzer found: a relaxed parse splits them into parts that
// GLib refuses to join again (it logs a critical warning and answers nothing).
TEST(PlatformURL, OddAddressesNeverTripGLibPreconditions) {
  static int criticals = 0;
  const guint handler = g_log_set_handler(
      "GLib", G_LOG_LEVEL_CRITICAL, [](const gchar*, GLogLevelFlags, const gchar*, gpointer) { ++criticals; },
      nullptr);
  for (const char* url : {"o://qp;", "qi:////.", "qilptO://u:p@;q?b/#%", "x://h", "x:", "x:a/b"}) {
    UrlCanonicalize(url);
    UrlParts parts;
    if (UrlCrack(url, parts)) UrlCreate(parts);
    std::string combined;
    UrlCombine(url, "b/../c", combined);
    UrlCombine("qilproto://h/a", url, combined);
  }
  g_log_remove_handler("GLib", handler);
  EXPECT_EQ(criticals, 0);
  EXPECT_EQ(UrlCanonicalize("o://qp;"), "o://qp/;");
  UrlParts parts;
  parts.scheme = "s";
  parts.path = "//x";
  EXPECT_EQ(UrlCreate(parts), "s:////x");
}

TEST(PlatformURL, DecodeKeepsMalformedEscapesAndAllBytes) {
  EXPECT_EQ(UrlDecode(""), "");
  EXPECT_EQ(UrlDecode("%"), "%");
  EXPECT_EQ(UrlDecode("a%2"), "a%2");
  EXPECT_EQ(UrlDecode("%zz%20%"), "%zz %");
  EXPECT_EQ(UrlDecode("%41%42c%2f"), "ABc/");
  EXPECT_EQ(UrlDecode("%00x"), std::string("\0x", 2));
  EXPECT_EQ(UrlDecode("%E4"), "\xE4");
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "%41%";
  EXPECT_EQ(UrlDecode(many).size(), 40000u);
}

}  // namespace
}  // namespace qil
