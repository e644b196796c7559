#include "framework/Session.h"

#include <gtest/gtest.h>

namespace qil {
namespace {

TEST(Session, GetVarCreatesUnknownNamesWithEmptyString) {
  TSimpleSession session("default");
  EXPECT_EQ(session.Name(), "default");
  EXPECT_FALSE(session.HasVar("ws"));
  const TVariant value = session.GetVar("ws");
  EXPECT_TRUE(value.IsString());
  EXPECT_EQ(value.ToString(), "");
  EXPECT_TRUE(session.HasVar("ws"));
}

TEST(Session, SetVarOnlyChangesExistingVariables) {
  TSimpleSession session("default");
  session.SetVar("rnd", 5);
  EXPECT_FALSE(session.HasVar("rnd"));
  EXPECT_EQ(session.GetVar("rnd").ToString(), "");

  session.SetVar("rnd", 5);
  EXPECT_EQ(session.GetVar("rnd"), TVariant(5));
}

TEST(Session, NamesIgnoreLetterCaseAndValuesAreCopies) {
  TSimpleSession session("default");
  session.GetVar("ws");
  session.SetVar("WS", "1,2,3");
  TVariant copy = session.GetVar("Ws");
  EXPECT_EQ(copy.ToString(), "1,2,3");
  copy = TVariant("changed");
  EXPECT_EQ(session.GetVar("ws").ToString(), "1,2,3");
}

TEST(ScriptVarObj, HoldsACopyOfItsValue) {
  TVariant name("Orvella");
  TScriptVarObj product(name);
  name = TVariant(1);
  EXPECT_EQ(product.Value.ToString(), "Orvella");
}

}  // namespace
}  // namespace qil
