// Sessions sealed into cookies and opened again: what comes back whole, and
// every kind of value that must give a fresh session instead.
#include "classroom/SessionCookies.h"

#include <gtest/gtest.h>

#include <map>

#include "common/TestFiles.h"
#include "framework/Session.h"

namespace qil {
namespace {

constexpr int64_t kNow = 1'800'000'000;
constexpr int64_t kLifetime = 3600;

// The cookie values a browser would send back, by name.
std::map<std::string, std::string> Jar(const std::vector<std::string>& setCookies) {
  std::map<std::string, std::string> jar;
  for (const std::string& header : setCookies) {
    const size_t equals = header.find('=');
    jar[header.substr(0, equals)] = header.substr(equals + 1, header.find(';') - equals - 1);
  }
  return jar;
}

CookieLookup From(const std::map<std::string, std::string>& jar) {
  return [jar](const std::string& name) -> std::optional<std::string> {
    auto found = jar.find(name);
    if (found == jar.end()) return std::nullopt;
    return found->second;
  };
}

Session WithWorksheet(const std::string& worksheet) {
  Session session("client");
  session.GetVar("ws");
  session.SetVar("ws", Variant(worksheet));
  session.GetVar("rnd");
  session.SetVar("rnd", Variant(std::string("4711\0x", 6)));
  return session;
}

TEST(SessionCookiesTest, SealedSessionsOpenWhole) {
  const SessionSealer sealer(std::string(32, 'k'), kLifetime);
  std::string whole_bank;
  for (int i = 0; i < 1300; ++i) whole_bank += (i ? "," : "") + std::to_string(i);
  for (const std::string& worksheet : {std::string(), std::string("5,7,1200"), whole_bank}) {
    const std::vector<std::string> headers = sealer.Seal(WithWorksheet(worksheet), kNow);
    ASSERT_FALSE(headers.empty());
    EXPECT_NE(headers[0].find("; Max-Age=3600; HttpOnly; SameSite=Lax"), std::string::npos);
    const SessionSealer::Opened opened = sealer.Open(From(Jar(headers)), kNow + 10);
    EXPECT_EQ(opened.expires, kNow + kLifetime);
    EXPECT_EQ(opened.session->GetVar("ws").ToString(), worksheet);
    EXPECT_EQ(opened.session->GetVar("rnd").ToString(), std::string("4711\0x", 6));
  }
  // A worksheet of every problem of the demo disc still fits one cookie.
  EXPECT_EQ(sealer.Seal(WithWorksheet(whole_bank), kNow).size(), 1u);
}

// Letters that deflate cannot shrink much.
std::string Noise(int length) {
  std::string noise;
  uint32_t state = 1;
  for (int i = 0; i < length; ++i) {
    state = state * 1103515245u + 12345u;
    noise += static_cast<char>('a' + (state >> 16) % 26);
  }
  return noise;
}

TEST(SessionCookiesTest, LongSessionsSpanCookiesAndTooLongOnesAreRefused) {
  const SessionSealer sealer(std::string(40, 'k'), kLifetime);
  const std::string noise = Noise(8000);
  const std::vector<std::string> headers = sealer.Seal(WithWorksheet(noise), kNow);
  ASSERT_GE(headers.size(), 2u);
  std::map<std::string, std::string> jar = Jar(headers);
  EXPECT_EQ(sealer.Open(From(jar), kNow).session->GetVar("ws").ToString(), noise);
  jar.erase("session1");
  EXPECT_EQ(sealer.Open(From(jar), kNow).expires, 0);

  EXPECT_THROW(sealer.Seal(WithWorksheet(Noise(32000)), kNow), SessionTooLarge);
}

TEST(SessionCookiesTest, AnythingButAGoodSealGivesAFreshSession) {
  const SessionSealer sealer(std::string(32, 'k'), kLifetime);
  const SessionSealer other(std::string(32, 'o'), kLifetime);
  const std::string good = Jar(sealer.Seal(WithWorksheet("5,7"), kNow)).at("session");
  const std::string foreign = Jar(other.Seal(WithWorksheet("5,7"), kNow)).at("session");
  std::string tampered = good;
  tampered[tampered.find('.', 4) + 3] ^= 1;
  const size_t mac = good.rfind('.');
  const std::string unsigned_copy = good.substr(0, mac + 1);

  struct Case {
    const char* what;
    std::map<std::string, std::string> jar;
    int64_t now;
  };
  const Case cases[] = {
      {"no cookie", {}, kNow},
      {"expired", {{"session", good}}, kNow + kLifetime},
      {"signed with another key", {{"session", foreign}}, kNow},
      {"changed payload", {{"session", tampered}}, kNow},
      {"no signature", {{"session", unsigned_copy}}, kNow},
      {"garbage", {{"session", "1.1.x.y.z"}}, kNow},
      {"more cookies than allowed", {{"session", "1.9" + good.substr(3)}}, kNow},
      {"other version", {{"session", "2" + good.substr(1)}}, kNow},
  };
  for (const Case& c : cases) {
    const SessionSealer::Opened opened = sealer.Open(From(c.jar), c.now);
    EXPECT_EQ(opened.expires, 0) << c.what;
    EXPECT_EQ(opened.session->GetVar("ws").ToString(), "") << c.what;
  }
}

TEST(SessionCookiesTest, KeysMustBeLongEnough) {
  EXPECT_THROW(SessionSealer(std::string(31, 'k'), kLifetime), Exception);
  test::TempDir dir;
  test::WriteBytes(dir.File("key"), std::string(31, 'k') + "\n");  // random bytes may end so
  EXPECT_EQ(ReadSessionKey(dir.File("key")).size(), 32u);
  EXPECT_EQ(RandomSessionKey().size(), SessionSealer::kMinKeySize);
  EXPECT_NE(RandomSessionKey(), RandomSessionKey());
}

}  // namespace
}  // namespace qil
