#include "framework/SectionedTemplate.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/MemoryStream.h"

namespace qil {
namespace {

std::unique_ptr<SectionedTemplate> Parse(std::string text, std::string path = "/t.stmp") {
  return SectionedTemplate::CreateFromText(path, std::move(text));
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

TEST(SectionedTemplate, TagsSplitIntoWordsAndUnterminatedOpeningsStayText) {
  const std::pair<std::string, std::string> tags[] = {
      {"<%section name=body%>", "section|name=body|"}, {"<%section name=\"my body\"%>", "section|name=my|body|"},
      {"<%%template%%>", "%|template|%|"}, {"<%\tfoo\r\nbar  baz%>", "foo\r\nbar|baz|"}, {"<%a%b%>", "a|%|b|"},
      {"<%   %>", ""}, {"<%>", ""}, {"<%'%>", ""}};
  for (const auto& [tag, words] : tags) {
    const StringList list = SplitTag(tag);
    std::string got;
    for (int i = 0; i < list.Count(); ++i) got += list[i] + "|";
    EXPECT_EQ(got, words) << tag;
  }
  std::string_view text = "ab<%x%>cd<%>e<%y";
  size_t position = 0;
  TagMatch tag = FindNextTag(text, position);
  EXPECT_EQ(std::string(tag.tag) + "@" + std::to_string(tag.start) + ">" + std::to_string(position), "<%x%>@2>7");
  tag = FindNextTag(text, position);  // "<%>" is a whole tag
  EXPECT_EQ(std::string(tag.tag) + ">" + std::to_string(position), "<%>>12");
  EXPECT_FALSE(FindNextTag(text, position).found);
  EXPECT_EQ(position, 13u);  // left at the unterminated "<%"
}

TEST(SectionedTemplate, SectionsSlotsHiddenPartsAndDroppedTags) {
  auto t = Parse("<%%template%%>ignored<%section name=head%>Title: <%=title%>!<%/section%>between<%SECTION "
                 "name=\"body\"%>row <%=n extra words%> of <%=N%><%comment here%>.\r\n<%/Section%>");
  ASSERT_EQ(t->SectionCount(), 2);
  EXPECT_EQ(t->Name() + "|" + t->Section(1).Name() + "|" + t->Section(1).Text(), "t|body|row  of .\r\n");
  TemplateSection& body = t->SectionByName("BODY");
  body.SetVar("n", 7);  // both slots named n, letter case ignored
  body.SetVar("unknown", "ignored");
  t->SectionByName("head").SetVar("title", "Hi");
  EXPECT_EQ(t->Generate(), "Title: Hi!row 7 of 7.\r\n");
  MemoryStream out;
  out.Write("x");
  body.SetVar("n", "z");
  body.WriteToStream(out);
  body.WriteToStream(out);
  t->SectionByName("head").SetVisible(false);
  t->SectionByName("head").WriteToStream(out);  // nothing
  EXPECT_EQ(out.View(), "xrow z of z.\r\nrow z of z.\r\n");
  EXPECT_EQ(t->Generate(), "row z of z.\r\n");
  t->SetVisible(false);
  EXPECT_EQ(t->Generate(), "");

  auto blank = Parse("<%%template%%><%section name=s%>[<%= title%>]<%/section%>");  // a slot named ""
  blank->SectionByName("s").SetVar("", "v");
  EXPECT_EQ(blank->Generate(), "[v]");
  TemplateSection loose(nullptr, "a<%=v%>b <% never closed", "s");
  loose.SetVar("v", "-");
  EXPECT_EQ(loose.Generate(), "a-b <% never closed");
  MemoryStream stream(std::string("junk<%%template%%><%section name=a%>A<%/section%>"));
  stream.SetPosition(4);
  EXPECT_EQ(SectionedTemplate::CreateFromStream("/s.stmp", stream)->Generate(), "A");
}

TEST(SectionedTemplate, WhatTheScanKeeps) {
  const std::tuple<std::string, int, std::string> cases[] = {
      {"<%section name=a%>1<%/section%><%section name=A%>2<%/section%>", 2, "12"},  // a name twice: both written
      {"<%section name=a%>A<%/section%><%section name=e%><%/section%><%section name=c%>C<%/section%>", 3, "AC"},
      {"<%section name=a%>x<%section name=inner%>y<%/section%>z<%/section%><%section name=open%>never closed", 1, "xy"},
      {"", 0, ""},
      // The "<%" before "oops" pairs with the closing tag's "%>": the section never closes.
      {"<%section name=a%>a<%=v%>b <%oops<%/section%> tail", 0, ""},
      {"<%section name=a%>\r\nline1\nline2\r\n<%/section%>", 1, "\r\nline1\nline2\r\n"}};
  for (const auto& [body, count, output] : cases) {
    auto t = Parse("<%%template%%>" + body);
    EXPECT_EQ(std::to_string(t->SectionCount()) + " " + t->Generate(), std::to_string(count) + " " + output) << body;
  }
  EXPECT_EQ(Parse("<%%template%%>" + std::get<0>(cases[0]))->SectionByName("A").Generate(), "1");  // but the first is found
}

TEST(SectionedTemplate, NamesAndErrorMessages) {
  const std::pair<std::string, std::string> names[] = {
      {"/dir/sub/mathlist.stmp", "mathlist"}, {"mathlist.stmp", "mathlist"}, {"/MathList.STMP", ""}};
  for (const auto& [path, name] : names) EXPECT_EQ(Parse("<%%template%%>", path)->Name(), name) << path;
  EXPECT_EQ(Parse("<%%template%%>", "/dir/x.stmp")->FileName(), "/dir/x.stmp");
  for (const char* text : {"<html>", "", "<%%TEMPLATE%%>"}) {
    EXPECT_EQ(ErrorOf([&] { Parse(text, "/a.stmp"); }), "Trying to parse non-template: /a.stmp\r\n") << text;
  }
  for (const char* text : {"<%%template%%><%  %>", "<%%template%%><%section name=a%>x<%\t%>y<%/section%>"}) {
    EXPECT_EQ(ErrorOf([&] { Parse(text, "/b.stmp"); }), "Error parsing template \"/b.stmp\"\r\nList index out of bounds (0)");
  }
  EXPECT_EQ(ErrorOf([] { Parse("<%%template%%>")->SectionByName("body"); }), "Trying to reference non-existing section \"body\"");
}

TEST(SectionedTemplate, TenMegabytesParseWhole) {
  // 20,000 sections of about 500 bytes, then a section of a quarter of a million slots.
  std::string text = "<%%template%%>";
  for (int i = 0; i < 20000; ++i) {
    text += "<%section name=s" + std::to_string(i) + "%>" + std::string(480, 'x') + "<%=a%><%drop%><%/section%>";
  }
  text += "<%section name=big%>";
  for (int i = 0; i < 250000; ++i) text += "ab<%=v%>";
  auto t = Parse(text + "<%/section%>");
  ASSERT_EQ(t->SectionCount(), 20001);
  t->SectionByName("s19999").SetVar("a", 1);
  EXPECT_EQ(t->SectionByName("s19999").Generate(), std::string(480, 'x') + "1");
  t->SectionByName("big").SetVar("v", "c");
  EXPECT_EQ(t->SectionByName("big").Vars().size(), 250000u);
  EXPECT_EQ(t->Generate().size(), 20000u * 480 + 1 + 750000);
}

}  // namespace
}  // namespace qil
