#include <gtest/gtest.h>

#include <stdexcept>

#include "TestArchive.h"
#include "base/Convert.h"
#include "base/Exceptions.h"
#include "framework/ModuleManager.h"

namespace qil {
namespace {

int g_live_modules = 0;

// Writes what it received: template name, items, session counter.
class EchoPage : public PageModule {
 public:
  EchoPage(ModuleManager& manager, MemoryStream& stream) : PageModule(manager, stream) {
    ++g_live_modules;
  }
  ~EchoPage() override { --g_live_modules; }
  void Execute() override {
    const int visits = StrToIntDef(ClientSession->GetVar("visits").ToString(), 0) + 1;
    ClientSession->SetVar("visits", visits);
    TemplateSection& body = Template->SectionByName("body");
    body.SetVar("name", Template->Name());
    body.SetVar("a", Param("A"));
    body.SetVar("visits", visits);
    body.WriteToStream(*OutStream);
    WriteString("|" + URL + "|" + IntToStr(Params.Count()) + "|" + Params[0]);
  }
};

// Writes part of its page, then raises.
class FailingPage : public PageModule {
 public:
  FailingPage(ModuleManager& manager, MemoryStream& stream) : PageModule(manager, stream) {
    ++g_live_modules;
  }
  ~FailingPage() override { --g_live_modules; }
  void Execute() override {
    ContentType = "image/png";
    WriteString("partial");
    OutStream->SetPosition(0);  // even with the position moved back, the error page goes behind
    if (Param("kind") == "std") throw std::runtime_error("plain failure");
    if (Param("kind") == "other") throw 42;
    throw Exception("Wrong Math DB version.");
  }
};

class BinaryPage : public PageModule {
 public:
  using PageModule::PageModule;
  void Execute() override {
    ContentType = "application/octet-stream";
    OutStream->Write(std::string("\x00\x01", 2));
  }
};

class SilentPage : public PageModule {
 public:
  using PageModule::PageModule;
  void Execute() override { ContentType = "text/plain"; }
};

// Redirects elsewhere.
class GotoTestPage : public PageModule {
 public:
  using PageModule::PageModule;
  void Execute() override {
    ContentType = "text/plain";
    Redirect("gotoerror_h.html");
  }
};

const char kPage[] = "<%%template%%><%section name=body%><%=name%>:<%=a%>:<%=visits%><%/section%>";

class ModuleManagerTest : public ::testing::Test {
 protected:
  ModuleManagerTest()
      : archive_({{"echo.stmp", kPage},
                  {"dir/echo.stmp", kPage},
                  {"ECHO2.STMP", kPage},
                  {"fail.stmp", kPage},
                  {"binary.stmp", kPage},
                  {"silent.stmp", kPage},
                  {"goto.stmp", kPage},
                  {"nomodule.stmp", kPage},
                  {"broken.stmp", "<%%template%%><%section name=x%><% %><%/section%>"},
                  {"plain.stmp", "<html>not a template</html>"}}),
        manager_(&archive_.Archive(), true) {
    manager_.RegisterModule<EchoPage>("echo");
    manager_.RegisterModule<FailingPage>("fail");
    manager_.RegisterModule<BinaryPage>("binary");
    manager_.RegisterModule<SilentPage>("silent");
    manager_.RegisterModule<GotoTestPage>("goto");
    manager_.RegisterModule<FailingPage>("ECHO");  // second registration of a name: ignored
  }

  std::string Serve(const std::string& url, std::string* type = nullptr) {
    MemoryStream out;
    std::string content_type = "unset";
    manager_.ServeRequest(url, out, content_type);
    if (type) *type = content_type;
    return out.Bytes();
  }

  test::TestArchive archive_;
  ModuleManager manager_;
};

TEST_F(ModuleManagerTest, RunsTheModuleWithTemplateItemsAndSession) {
  std::string type;
  EXPECT_EQ(Serve("/echo.stmp?x=1&a=first&A=second#frag", &type),
            "echo:first:1|/echo.stmp?x=1&a=first&A=second#frag|5|/echo.stmp");
  EXPECT_EQ(type, "text/html");
  // The session outlives the request; the directory part does not name the module.
  EXPECT_EQ(Serve("/dir/echo.stmp"), "echo::2|/dir/echo.stmp|1|/dir/echo.stmp");
  EXPECT_EQ(manager_.DefaultSession()->Name(), "default");
  EXPECT_EQ(g_live_modules, 0);
}

TEST_F(ModuleManagerTest, ModuleErrorIsAppendedToPartialOutput) {
  std::string type;
  EXPECT_EQ(Serve("/fail.stmp?kind=qil", &type),
            "partial<pre>Error executing template script: \"/fail.stmp?kind=qil\"\r\n"
            "Wrong Math DB version.</pre>");
  EXPECT_EQ(type, "text/html");
  EXPECT_EQ(Serve("/fail.stmp?kind=std"),
            "partial<pre>Error executing template script: \"/fail.stmp?kind=std\"\r\n"
            "plain failure</pre>");
  EXPECT_EQ(Serve("/fail.stmp?kind=other", &type),
            "partial<pre>Error executing template script: \"/fail.stmp?kind=other\"\r\n"
            "Unknown error</pre>");
  EXPECT_EQ(type, "text/html");
  EXPECT_EQ(g_live_modules, 0);  // released after every failure
}

TEST_F(ModuleManagerTest, TemplateErrorsGiveTheErrorPage) {
  std::string type;
  EXPECT_EQ(Serve("/missing.stmp?a=1", &type),
            "<pre>Error executing template script: \"/missing.stmp?a=1\"\r\n"
            "Trying to parse non-template: /missing.stmp\r\n</pre>");
  EXPECT_EQ(type, "text/html");
  EXPECT_EQ(Serve("/plain.stmp"),
            "<pre>Error executing template script: \"/plain.stmp\"\r\n"
            "Trying to parse non-template: /plain.stmp\r\n</pre>");
  EXPECT_EQ(Serve("/broken.stmp"),
            "<pre>Error executing template script: \"/broken.stmp\"\r\n"
            "Error parsing template \"/broken.stmp\"\r\nList index out of bounds (0)</pre>");
}

TEST_F(ModuleManagerTest, UnregisteredNameGivesTheNotFoundPage) {
  std::string type;
  EXPECT_EQ(Serve("/nomodule.stmp?q=1", &type),
            "<pre>Template script not found for template: \"/nomodule.stmp?q=1\"\r\n</pre>");
  EXPECT_EQ(type, "text/html");
  // The extension in capitals passes IsTemplate but gives the empty template name.
  EXPECT_EQ(Serve("/ECHO2.STMP"),
            "<pre>Template script not found for template: \"/ECHO2.STMP\"\r\n</pre>");
}

TEST_F(ModuleManagerTest, ContentTypeComesFromTheModule) {
  std::string type;
  EXPECT_EQ(Serve("/binary.stmp", &type), std::string("\x00\x01", 2));
  EXPECT_EQ(type, "application/octet-stream");
  EXPECT_EQ(Serve("/silent.stmp", &type), "");
  EXPECT_EQ(type, "text/plain");
}

TEST_F(ModuleManagerTest, RedirectPageIsExactAndKeepsTheContentType) {
  std::string type;
  EXPECT_EQ(Serve("/goto.stmp", &type),
            "<html><head>\r\n<meta http-equiv=\"Refresh\" content=\"0;url=gotoerror_h.html\">\r\n"
            "</head><body></body></html>\r\n");
  EXPECT_EQ(type, "text/plain");
}

TEST_F(ModuleManagerTest, FirstModuleRegistrationWins) {
  EXPECT_EQ(Serve("/echo.stmp").substr(0, 5), "echo:");
  EXPECT_TRUE(manager_.HasModule("ECHO"));
  EXPECT_FALSE(manager_.HasModule("echo2"));
}

TEST(ModuleManagerRegistry, SharedObjectsAreNotOwnedAndIgnoreCase) {
  ModuleManager manager(nullptr, true);
  auto product = std::make_unique<ScriptConstant>(Variant("Orvella"));
  ScriptConstant other(Variant("Other"));
  manager.RegisterObject("PRODUCTNAME", product.get());
  manager.RegisterObject("productname", &other);  // ignored: first wins
  EXPECT_EQ(manager.GetObject("ProductName"), product.get());
  EXPECT_EQ(manager.GetObjectAs<ScriptConstant>("PRODUCTNAME")->Value.ToString(), "Orvella");
  EXPECT_EQ(manager.GetObjectAs<SessionVariable>("PRODUCTNAME"), nullptr);
  EXPECT_EQ(manager.GetObject("MathDBManager"), nullptr);
  manager.UnregisterObject("productName");
  EXPECT_EQ(manager.GetObject("PRODUCTNAME"), nullptr);
  manager.RegisterObject("PRODUCTNAME", product.get());
  // Destroying the manager leaves the object alone (checked by the sanitizer build).
}

TEST(ModuleManagerRegistry, IsTemplateLooksAtThePathOnly) {
  ModuleManager manager(nullptr, true);
  EXPECT_TRUE(manager.IsTemplate("/mathlist.stmp?main=A"));
  EXPECT_TRUE(manager.IsTemplate("/MATHLIST.STMP"));
  EXPECT_FALSE(manager.IsTemplate("/index.htm"));
  EXPECT_FALSE(manager.IsTemplate("/index.htm?x=a.stmp"));
  EXPECT_FALSE(manager.IsTemplate("/a.stmp\\b"));
  EXPECT_FALSE(manager.IsTemplate(""));
}

TEST(ModuleManagerRegistry, WithoutArchiveEveryTemplateIsMissing) {
  ModuleManager manager(nullptr, false);
  EXPECT_EQ(manager.DefaultSession(), nullptr);
  MemoryStream out;
  std::string type;
  manager.ServeRequest("/a.stmp", out, type);
  EXPECT_EQ(out.Bytes(),
            "<pre>Error executing template script: \"/a.stmp\"\r\n"
            "Trying to parse non-template: /a.stmp\r\n</pre>");
}

TEST(ModuleManagerRegistry, ThousandsOfQueryItemsReachTheModule) {
  test::TestArchive archive({{"count.stmp", "<%%template%%>"}});
  ModuleManager manager(&archive.Archive(), true);
  int seen = 0;
  std::string last;
  manager.RegisterModule("count", [&](ModuleManager& m, MemoryStream& s) {
    struct Counter : PageModule {
      Counter(ModuleManager& m, MemoryStream& s, int& seen, std::string& last)
          : PageModule(m, s), seen_(seen), last_(last) {}
      void Execute() override {
        seen_ = Params.Count();
        last_ = Param("k4999");
      }
      int& seen_;
      std::string& last_;
    };
    return std::unique_ptr<PageModule>(new Counter(m, s, seen, last));
  });
  std::string url = "/count.stmp?";
  for (int i = 0; i < 5000; ++i) url += "k" + std::to_string(i) + "=" + std::to_string(i) + "&";
  MemoryStream out;
  std::string type;
  manager.ServeRequest(url, out, type);
  EXPECT_EQ(seen, 5001);  // the path, then 5000 items (the trailing "&" adds none)
  EXPECT_EQ(last, "4999");
}

}  // namespace
}  // namespace qil
