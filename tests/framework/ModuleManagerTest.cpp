#include "framework/ModuleManager.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "TestArchive.h"
#include "base/Convert.h"
#include "common/Qilcd.h"
#include "framework/Session.h"

namespace qil {
namespace {

int g_live_modules = 0;

// Writes what it received (template name, an item, a session counter, the
// address and its items); or, as its items ask, fails after writing part of
// its page, writes bytes of its own type, or redirects.
class ProbePage : public PageModule {
 public:
  ProbePage(ModuleManager& manager, MemoryStream& stream) : PageModule(manager, stream) { ++g_live_modules; }
  ~ProbePage() override { --g_live_modules; }
  void Execute() override {
    if (const std::string fail = Param("fail"); !fail.empty()) {
      ContentType = "image/png";
      WriteString("partial");
      OutStream->SetPosition(0);  // the error page still goes behind
      if (fail == "std") throw std::runtime_error("plain failure");
      if (fail == "other") throw 42;
      throw Exception(fail == "qil" ? "Wrong Math DB version." : "<" + fail + ">");
    }
    if (Param("type") == "binary") {
      ContentType = "application/octet-stream";
      OutStream->Write(std::string("\x00\x01", 2));
    } else if (Param("type") == "redirect") {
      ContentType = "text/plain";
      Redirect("gotoerror_h.html");
    } else {
      const int visits = StrToIntDef(ClientSession->GetVar("visits").ToString(), 0) + 1;
      ClientSession->SetVar("visits", visits);
      TemplateSection& body = Template->SectionByName("body");
      body.SetVar("name", Template->Name());
      body.SetVar("a", Param("A"));
      body.SetVar("visits", visits);
      body.WriteToStream(*OutStream);
      WriteString("|" + URL + "|" + IntToStr(Params.Count()) + "|" + Params[0]);
    }
  }
};

// The manager's pages for a failed request and for one without a module.
std::string ErrorPage(const std::string& url, const std::string& message) {
  return std::string(test::kErrorPageOpenings[0]) + url + "\"\r\n" + message + "</pre>";
}
std::string NotFoundPage(const std::string& url) { return std::string(test::kErrorPageOpenings[1]) + url + "\"\r\n</pre>"; }

TEST(ModuleManager, ServesTheFirstRegisteredModuleOrTheErrorPage) {
  const char page[] = "<%%template%%><%section name=body%><%=name%>:<%=a%>:<%=visits%><%/section%>";
  test::TestArchive archive({{"echo.stmp", page}, {"dir/echo.stmp", page}, {"ECHO2.STMP", page}, {"nomodule.stmp", page},
                             {"broken.stmp", "<%%template%%><%section name=x%><% %><%/section%>"},
                             {"plain.stmp", "<html>not a template</html>"}});
  ModuleManager manager(&archive.Archive(), true);
  manager.RegisterModule<ProbePage>("echo");
  manager.RegisterModule("ECHO", ModuleFactory());  // a name taken already: ignored
  const std::pair<std::string, std::string> cases[] = {
      {"/echo.stmp?x=1&a=first&A=second#frag", "text/html echo:first:1|/echo.stmp?x=1&a=first&A=second#frag|5|/echo.stmp"},
      // The session outlives the request; the folder does not name the module.
      {"/dir/echo.stmp", "text/html echo::2|/dir/echo.stmp|1|/dir/echo.stmp"},
      {"/echo.stmp?type=binary", std::string("application/octet-stream \x00\x01", 27)},
      {"/echo.stmp?type=redirect", "text/plain <html><head>\r\n<meta http-equiv=\"Refresh\" "
                                   "content=\"0;url=gotoerror_h.html\">\r\n</head><body></body></html>\r\n"},
      {"/echo.stmp?fail=qil", "text/html partial" + ErrorPage("/echo.stmp?fail=qil", "Wrong Math DB version.")},
      {"/echo.stmp?fail=std", "text/html partial" + ErrorPage("/echo.stmp?fail=std", "plain failure")},
      {"/echo.stmp?fail=other", "text/html partial" + ErrorPage("/echo.stmp?fail=other", "Unknown error")},
      // The address and the message show as text.
      {"/echo.stmp?fail=<b>\"'&copy",
       "text/html partial" + ErrorPage("/echo.stmp?fail=&lt;b&gt;\"'&amp;copy", "&lt;&lt;b&gt;\"'&gt;")},
      {"/missing.stmp?a=1", "text/html " + ErrorPage("/missing.stmp?a=1", "Trying to parse non-template: /missing.stmp\r\n")},
      {"/plain.stmp", "text/html " + ErrorPage("/plain.stmp", "Trying to parse non-template: /plain.stmp\r\n")},
      {"/broken.stmp",
       "text/html " + ErrorPage("/broken.stmp", "Error parsing template \"/broken.stmp\"\r\nList index out of bounds (0)")},
      {"/nomodule.stmp?q=1", "text/html " + NotFoundPage("/nomodule.stmp?q=1")},
      {"/ECHO2.STMP", "text/html " + NotFoundPage("/ECHO2.STMP")}};  // passes IsTemplate, but its name is ""
  for (const auto& [url, answer] : cases) {
    MemoryStream out;
    std::string type = "unset";
    manager.ServeRequest(url, out, type);
    EXPECT_EQ(type + " " + out.Bytes(), answer) << url;
  }
  EXPECT_EQ(g_live_modules, 0);  // released after every request, failed or not
  EXPECT_EQ(manager.DefaultSession()->Name(), "default");
  EXPECT_TRUE(manager.HasModule("Echo"));
  EXPECT_FALSE(manager.HasModule("echo2"));

  ModuleManager without_archive(nullptr, false);
  EXPECT_EQ(without_archive.DefaultSession(), nullptr);
  MemoryStream out;
  std::string type;
  without_archive.ServeRequest("/a.stmp", out, type);
  EXPECT_EQ(out.Bytes(), ErrorPage("/a.stmp", "Trying to parse non-template: /a.stmp\r\n"));
}

TEST(ModuleManager, RegistryOfSharedObjectsAndTemplateAddresses) {
  ScriptConstant product(Variant("Orvella")), other(Variant("Other"));
  ModuleManager manager(nullptr, true);  // goes first, and leaves the objects alone
  manager.RegisterObject("PRODUCTNAME", &product);
  manager.RegisterObject("productname", &other);  // first wins, letter case ignored
  EXPECT_EQ(manager.GetObjectAs<ScriptConstant>("ProductName"), &product);
  EXPECT_EQ(manager.GetObjectAs<SessionVariable>("PRODUCTNAME"), nullptr);
  EXPECT_EQ(manager.GetObject("MathDBManager"), nullptr);
  manager.UnregisterObject("productName");
  EXPECT_EQ(manager.GetObject("PRODUCTNAME"), nullptr);
  manager.RegisterObject("PRODUCTNAME", &product);

  for (const char* url : {"/mathlist.stmp?main=A", "/MATHLIST.STMP"}) EXPECT_TRUE(manager.IsTemplate(url)) << url;
  for (const char* url : {"/index.htm", "/index.htm?x=a.stmp", "/a.stmp\\b", ""}) EXPECT_FALSE(manager.IsTemplate(url)) << url;
}

TEST(Session, VariablesAreMadeByReadingAndNamesIgnoreCase) {
  Session session("default");
  session.SetVar("rnd", 5);  // only an existing variable changes
  EXPECT_FALSE(session.HasVar("rnd"));
  const Variant value = session.GetVar("rnd");
  EXPECT_TRUE(value.IsString() && value.ToString().empty() && session.HasVar("RND"));
  session.SetVar("Rnd", "1,2,3");
  Variant copy = session.GetVar("rnD");
  copy = Variant("changed");
  EXPECT_EQ(session.GetVar("rnd").ToString() + " " + session.Name(), "1,2,3 default");
}

}  // namespace
}  // namespace qil
