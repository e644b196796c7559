#include "framework/Session.h"

#include <gtest/gtest.h>

namespace qil {
namespace {

TEST(Session, GetVarCreatesUnknownNamesWithEmptyString) {
  Session session("default");
  EXPECT_EQ(session.Name(), "default");
  EXPECT_FALSE(session.HasVar("ws"));
  const Variant value = session.GetVar("ws");
  EXPECT_TRUE(value.IsString());
  EXPECT_EQ(value.ToString(), "");
  EXPECT_TRUE(session.HasVar("ws"));
}

TEST(Session, SetVarOnlyChangesExistingVariables) {
  Session session("default");
  session.SetVar("rnd", 5);
  EXPECT_FALSE(session.HasVar("rnd"));
  EXPECT_EQ(session.GetVar("rnd").ToString(), "");

  session.SetVar("rnd", 5);
  EXPECT_EQ(session.GetVar("rnd"), Variant(5));
}

TEST(Session, NamesIgnoreLetterCaseAndValuesAreCopies) {
  Session session("default");
  session.GetVar("ws");
  session.SetVar("WS", "1,2,3");
  Variant copy = session.GetVar("Ws");
  EXPECT_EQ(copy.ToString(), "1,2,3");
  copy = Variant("changed");
  EXPECT_EQ(session.GetVar("ws").ToString(), "1,2,3");
}

TEST(ScriptVarObj, HoldsACopyOfItsValue) {
  Variant name("Orvella");
  ScriptConstant product(name);
  name = Variant(1);
  EXPECT_EQ(product.Value.ToString(), "Orvella");
}

}  // namespace
}  // namespace qil
