#include "server/ContentServer.h"

#include <gtest/gtest.h>

#include <fstream>

#include "framework/TestArchive.h"
#include "protocol/ProtocolHandler.h"
#include "base/FileNames.h"

namespace qil {
namespace {

struct Answer {
  bool found = false;
  std::string mime;
  int32_t size = -7;
  std::string body;
  size_t position = 0;
};

class HelloPage : public PageModule {
 public:
  using PageModule::PageModule;
  void Execute() override {
    Template->SectionByName("body").SetVar("who", Param("who"));
    Template->WriteToStream(*OutStream);
  }
};

class ContentServerTest : public ::testing::Test {
 protected:
  ContentServerTest()
      : archive_({{"images/a.gif", "GIF89a"},
                  {"a.htm", "<p>a</p>"},
                  {"a b.htm", "spaced"},
                  {"empty.txt", ""},
                  {"README", "no extension"},
                  {"v1.2/readme", "dotted folder"},
                  {"hello.stmp", "<%%template%%><%section name=body%>Hello <%=who%><%/section%>"},
                  {"MathList.STMP", "<%%template%%><%section name=body%>x<%/section%>"}}),
        server_(archive_.Archive(), "/nonexistent/mime.types") {
    server_.Manager().RegisterModule<HelloPage>("hello");
  }

  Answer Get(const std::string& url) {
    Answer answer;
    std::unique_ptr<MemoryStream> stream;
    answer.mime = "untouched";
    server_.GetContent(url, answer.mime, answer.size, stream);
    if (stream) {
      answer.found = true;
      answer.position = stream->Position();
      answer.body = stream->Bytes();
    }
    return answer;
  }

  test::TestArchive archive_;
  ContentServer server_;
};

TEST_F(ContentServerTest, PlainEntriesComeWithTheirMimeType) {
  Answer a = Get("qilproto://qilproto_local/images/a.gif");
  ASSERT_TRUE(a.found);
  EXPECT_EQ(a.mime, "image/gif");
  EXPECT_EQ(a.body, "GIF89a");
  EXPECT_EQ(a.size, 6);
  EXPECT_EQ(a.position, 0u);

  Answer backslash = Get("qilproto://qilproto_local/images\\a.gif");
  EXPECT_EQ(backslash.body, "GIF89a");
  EXPECT_EQ(backslash.mime, "image/gif");

  Answer query = Get("qilproto://qilproto_local/A.HTM?x=1");
  EXPECT_EQ(query.body, "<p>a</p>");
  EXPECT_EQ(query.mime, "text/html");

  EXPECT_EQ(Get("qilproto://qilproto_local/a b.htm").body, "spaced");
  EXPECT_EQ(Get("qilproto://qilproto_local/README").mime, "application/octet-stream");
  EXPECT_EQ(Get("qilproto://qilproto_local/v1.2/readme").mime, "application/octet-stream");

  Answer empty = Get("qilproto://qilproto_local/empty.txt");
  EXPECT_TRUE(empty.found);
  EXPECT_EQ(empty.size, 0);
  EXPECT_EQ(empty.mime, "text/plain");
}

TEST_F(ContentServerTest, UnknownNamesGetNoAnswerAndTouchNothing) {
  for (const char* url : {"qilproto://qilproto_local/", "qilproto://qilproto_local",
                          "qilproto://qilproto_local/nothing.htm",
                          "qilproto://qilproto_local/nothing.stmp?x=1",
                          ""}) {
    Answer a = Get(url);
    EXPECT_FALSE(a.found) << url;
    EXPECT_EQ(a.mime, "untouched") << url;
    EXPECT_EQ(a.size, -7) << url;
  }
}

TEST_F(ContentServerTest, TemplatesRunThroughTheManager) {
  Answer a = Get("qilproto://qilproto_local/hello.stmp?who=you");
  EXPECT_EQ(a.body, "Hello you");
  EXPECT_EQ(a.mime, "text/html");
  EXPECT_EQ(a.size, 9);

  Answer capitals = Get("qilproto://qilproto_local/MathList.STMP?start=5");
  EXPECT_EQ(capitals.mime, "text/html");
  EXPECT_EQ(capitals.body,
            "<pre>Template script not found for template: \"/MathList.STMP?start=5\"\r\n</pre>");
}

TEST_F(ContentServerTest, RegistrationSetsAndClearsTheProcessWideHandler) {
  std::vector<std::string> hook_calls;
  SetSchemeHooks({[&](const std::string& s) { hook_calls.push_back("+" + s); },
                  [&](const std::string& s) { hook_calls.push_back("-" + s); }});
  EXPECT_FALSE(RequestHandler);
  server_.RegisterNamespace("qilproto");
  server_.RegisterNamespace("other");  // already registered: nothing happens
  EXPECT_TRUE(server_.Registered());
  EXPECT_EQ(SchemeName, "qilproto");

  ProtocolHandler handler;
  struct NullSink : ProtocolSink {
    void ReportProgress(uint32_t, const std::string&) override {}
    void ReportData(uint32_t, uint32_t, uint32_t) override {}
    void ReportResult(ProtocolResult, uint32_t, const std::string&) override {}
  };
  EXPECT_EQ(handler.Start("qilproto://qilproto_local/a%20b.htm", std::make_shared<NullSink>()), S_OK);
  EXPECT_EQ(handler.MimeType(), "text/html");

  server_.UnregisterNamespace();
  server_.UnregisterNamespace();
  EXPECT_FALSE(RequestHandler);
  ProtocolHandler after;
  EXPECT_EQ(after.Start("qilproto://qilproto_local/a.htm", std::make_shared<NullSink>()), S_FALSE);
  EXPECT_EQ(hook_calls, (std::vector<std::string>{"+qilproto", "-qilproto"}));
  SetSchemeHooks({});
}

TEST(ContentServerLifetime, DestructorUnregisters) {
  test::TestArchive archive({{"a.htm", "a"}});
  {
    ContentServer server(archive.Archive());
    server.RegisterNamespace("qilproto");
    EXPECT_TRUE(RequestHandler);
  }
  EXPECT_FALSE(RequestHandler);
}

TEST(MIMETypes, BuiltInTableStandsInForAMissingFile) {
  MimeTypes types("/nonexistent/mime.types");
  EXPECT_FALSE(types.LoadedFromFile());
  EXPECT_EQ(types.GetMIMEType("a.HTM"), "text/html");
  EXPECT_EQ(types.GetMIMEType("dir/x.jpeg"), "image/jpeg");
  EXPECT_EQ(types.GetMIMEType("f.ttf"), "font/ttf");
  EXPECT_EQ(types.GetMIMEType("a.stmp"), "application/octet-stream");
  EXPECT_EQ(types.GetMIMEType("noext"), "application/octet-stream");
  EXPECT_EQ(types.GetMIMEType("a.gif\\b"), "application/octet-stream");
  EXPECT_EQ(types.GetMIMEType(""), "application/octet-stream");
}

TEST(MIMETypes, FileIsReadWithCommentsAndRepeats) {
  const std::string path = test::TempPath("mime") + ".types";
  {
    std::ofstream file(path);
    file << "# comment line\n"
            "text/html htm HTML\n"
            "application/x-thing\n"
            "image/x-one one # trailing comment two\n"
            "image/x-two one\n";
  }
  MimeTypes types(path);
  std::remove(path.c_str());
  EXPECT_TRUE(types.LoadedFromFile());
  EXPECT_EQ(types.GetMIMEType("x.html"), "text/html");
  EXPECT_EQ(types.GetMIMEType("x.one"), "image/x-two");
  EXPECT_EQ(types.GetMIMEType("x.two"), "application/octet-stream");
  EXPECT_EQ(types.GetMIMEType("x.gif"), "application/octet-stream");  // no built-ins beside a file
}

TEST(MIMETypes, SystemTableKnowsTheWebTypes) {
  MimeTypes types;
  if (!types.LoadedFromFile()) GTEST_SKIP() << "no /etc/mime.types";
  EXPECT_EQ(types.GetMIMEType("a.png"), "image/png");
  EXPECT_EQ(types.GetMIMEType("a.CSS"), "text/css");
}

TEST(FileNames, ExtensionRules) {
  EXPECT_EQ(ExtractFileExt("a.htm"), ".htm");
  EXPECT_EQ(ExtractFileExt("v1.2/readme"), ".2/readme");
  EXPECT_EQ(ExtractFileExt("a.b\\c"), "");
  EXPECT_EQ(ExtractFileExt("c:a"), "");
  EXPECT_EQ(ExtractFileExt("x.y:z.w"), ".w");
  EXPECT_EQ(ExtractFileExt("none"), "");
  EXPECT_EQ(ExtractFileExt("trail."), ".");
}

}  // namespace
}  // namespace qil
