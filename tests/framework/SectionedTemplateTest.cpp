#include "framework/SectionedTemplate.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "base/MemoryStream.h"

namespace qil {
namespace {

std::vector<std::string> Words(std::string_view tag) {
  const StringList list = SplitTag(tag);
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list[i]);
  return out;
}

using V = std::vector<std::string>;

std::unique_ptr<SectionedTemplate> Parse(std::string text, std::string path = "/t.stmp") {
  return SectionedTemplate::CreateFromText(path, std::move(text));
}

std::string ErrorOf(const std::string& text, const std::string& path = "/t.stmp") {
  try {
    Parse(text, path);
  } catch (const Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

TEST(SplitTag, QuotesVanishBlanksSeparateAndPercentIsAWord) {
  EXPECT_EQ(Words("<%section name=body%>"), (V{"section", "name=body"}));
  EXPECT_EQ(Words("<%section name=\"my body\"%>"), (V{"section", "name=my", "body"}));
  EXPECT_EQ(Words("<%%template%%>"), (V{"%", "template", "%"}));
  EXPECT_EQ(Words("<%\tfoo\r\nbar  baz%>"), (V{"foo\r\nbar", "baz"}));
  EXPECT_EQ(Words("<%a%b%>"), (V{"a", "%", "b"}));
  EXPECT_EQ(Words("<%   %>"), V{});
  EXPECT_EQ(Words("<%>"), V{});
  EXPECT_EQ(Words("<%'%>"), V{});
}

TEST(FindNextTag, FindsTagsAndLeavesUnterminatedOpeningsAlone) {
  std::string_view text = "ab<%x%>cd<%>e<%y";
  size_t position = 0;
  TagMatch tag = FindNextTag(text, position);
  ASSERT_TRUE(tag.found);
  EXPECT_EQ(tag.tag, "<%x%>");
  EXPECT_EQ(tag.start, 2u);
  EXPECT_EQ(position, 7u);

  tag = FindNextTag(text, position);  // "<%>" is already a whole tag
  ASSERT_TRUE(tag.found);
  EXPECT_EQ(tag.tag, "<%>");
  EXPECT_EQ(position, 12u);

  tag = FindNextTag(text, position);
  EXPECT_FALSE(tag.found);
  EXPECT_EQ(position, 13u);  // left at the unterminated "<"
}

TEST(SectionedTemplate, ParsesSectionsSlotsAndDropsOtherTags) {
  auto t = Parse(
      "<%%template%%>ignored<%section name=head%>Title: <%=title%>!<%/section%>"
      "between<%SECTION name=\"body\"%>row <%=n extra words%> of <%=N%><%comment here%>.\r\n"
      "<%/Section%>");
  ASSERT_EQ(t->SectionCount(), 2);
  EXPECT_EQ(t->Name(), "t");
  EXPECT_EQ(t->Section(1).Name(), "body");
  EXPECT_EQ(t->Section(1).Text(), "row  of .\r\n");

  TemplateSection& body = t->SectionByName("BODY");
  body.SetVar("n", 7);  // both slots named n, letter case ignored
  body.SetVar("unknown", "ignored");
  EXPECT_EQ(body.Generate(), "row 7 of 7.\r\n");
  t->SectionByName("head").SetVar("title", "Hi");
  EXPECT_EQ(t->Generate(), "Title: Hi!row 7 of 7.\r\n");

  MemoryStream out;
  out.Write("x");
  body.SetVar("n", "z");  // values stay set; only the changed one is set again
  body.WriteToStream(out);
  body.WriteToStream(out);
  EXPECT_EQ(out.View(), "xrow z of z.\r\nrow z of z.\r\n");
}

TEST(SectionedTemplate, SlotWithBlankAfterEqualsSignHasEmptyName) {
  auto t = Parse("<%%template%%><%section name=s%>[<%= title%>]<%/section%>");
  TemplateSection& s = t->SectionByName("s");
  ASSERT_EQ(s.Vars().size(), 1u);
  EXPECT_EQ(s.Vars()[0].first, "");
  s.SetVar("", "v");
  EXPECT_EQ(s.Generate(), "[v]");
}

TEST(SectionedTemplate, HiddenSectionsAndTemplatesGenerateNothing) {
  auto t = Parse("<%%template%%><%section name=a%>A<%/section%><%section name=b%>B<%/section%>");
  t->SectionByName("a").SetVisible(false);
  EXPECT_EQ(t->Generate(), "B");
  MemoryStream out;
  t->SectionByName("a").WriteToStream(out);
  EXPECT_EQ(out.Size(), 0u);
  t->SetVisible(false);
  EXPECT_EQ(t->Generate(), "");
}

TEST(SectionedTemplate, DuplicateNamesFirstWinsButBothAreWritten) {
  auto t = Parse("<%%template%%><%section name=a%>1<%/section%><%section name=A%>2<%/section%>");
  EXPECT_EQ(t->SectionByName("a").Generate(), "1");
  EXPECT_EQ(t->Generate(), "12");
}

TEST(SectionedTemplate, EmptySectionBodyDoesNotEndTheScan) {
  auto t = Parse(
      "<%%template%%><%section name=a%>A<%/section%><%section name=empty%><%/section%>"
      "<%section name=c%>C<%/section%>");
  ASSERT_EQ(t->SectionCount(), 3);
  EXPECT_EQ(t->SectionByName("empty").Generate(), "");
  EXPECT_EQ(t->SectionByName("c").Generate(), "C");
  EXPECT_EQ(t->Generate(), "AC");
}

TEST(SectionedTemplate, SectionsDoNotNestAndUnclosedSectionIsDropped) {
  auto t = Parse(
      "<%%template%%><%section name=a%>x<%section name=inner%>y<%/section%>z<%/section%>"
      "<%section name=open%>never closed");
  ASSERT_EQ(t->SectionCount(), 1);
  EXPECT_EQ(t->Section(0).Generate(), "xy");
}

TEST(SectionedTemplate, OnlyMarkerGivesNoSections) {
  auto t = Parse("<%%template%%>");
  EXPECT_EQ(t->SectionCount(), 0);
  EXPECT_EQ(t->Generate(), "");
}

TEST(SectionedTemplate, UnterminatedTagIsLiteralText) {
  auto t = Parse("<%%template%%><%section name=a%>a<%=v%>b <%oops<%/section%> tail");
  // The "<%" before "oops" pairs with the "%>" of the would-be closing tag, so
  // the section never closes and there are no sections.
  EXPECT_EQ(t->SectionCount(), 0);

  TemplateSection s(nullptr, "a<%=v%>b <% never closed", "s");
  s.SetVar("v", "-");
  EXPECT_EQ(s.Generate(), "a-b <% never closed");
}

TEST(SectionedTemplate, BodyWithoutTagsKeepsLineBreaks) {
  auto t = Parse("<%%template%%><%section name=a%>\r\nline1\nline2\r\n<%/section%>");
  EXPECT_EQ(t->SectionByName("a").Generate(), "\r\nline1\nline2\r\n");
}

TEST(SectionedTemplate, NameComesFromFileNameCutAtLowerCaseExtension) {
  EXPECT_EQ(Parse("<%%template%%>", "/dir/sub/mathlist.stmp")->Name(), "mathlist");
  EXPECT_EQ(Parse("<%%template%%>", "mathlist.stmp")->Name(), "mathlist");
  EXPECT_EQ(Parse("<%%template%%>", "/MathList.STMP")->Name(), "");
  EXPECT_EQ(Parse("<%%template%%>", "/dir/x.stmp")->FileName(), "/dir/x.stmp");
}

TEST(SectionedTemplate, ErrorMessagesAreExact) {
  EXPECT_EQ(ErrorOf("<html>", "/a.stmp"), "Trying to parse non-template: /a.stmp\r\n");
  EXPECT_EQ(ErrorOf("", "/a.stmp"), "Trying to parse non-template: /a.stmp\r\n");
  EXPECT_EQ(ErrorOf("<%%TEMPLATE%%>", "/a.stmp"), "Trying to parse non-template: /a.stmp\r\n");
  // A tag without words, outside or inside a section.
  EXPECT_EQ(ErrorOf("<%%template%%><%  %>", "/a.stmp"),
            "Error parsing template \"/a.stmp\"\r\nList index out of bounds (0)");
  EXPECT_EQ(ErrorOf("<%%template%%><%section name=a%>x<%\t%>y<%/section%>", "/b.stmp"),
            "Error parsing template \"/b.stmp\"\r\nList index out of bounds (0)");

  auto t = Parse("<%%template%%>");
  try {
    t->SectionByName("body");
    FAIL() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Trying to reference non-existing section \"body\"");
  }
}

TEST(SectionedTemplate, CreateFromStreamReadsFromThePosition) {
  MemoryStream stream(std::string("junk<%%template%%><%section name=a%>A<%/section%>"));
  stream.SetPosition(4);
  auto t = SectionedTemplate::CreateFromStream("/s.stmp", stream);
  EXPECT_EQ(t->Generate(), "A");
}

TEST(SectionedTemplate, TenMegabyteTemplateParsesWhole) {
  // 20,000 sections of about 500 bytes, each with two slots and a dropped tag.
  std::string text = "<%%template%%>";
  const std::string filler(480, 'x');
  const int kSections = 20000;
  for (int i = 0; i < kSections; ++i) {
    text += "<%section name=s" + std::to_string(i) + "%>" + filler + "<%=a%>-<%drop%><%=b%><%/section%>";
  }
  ASSERT_GT(text.size(), 10u * 1000 * 1000);
  auto t = Parse(text);
  ASSERT_EQ(t->SectionCount(), kSections);
  TemplateSection& last = t->SectionByName("s19999");
  last.SetVar("a", 1);
  last.SetVar("b", 2);
  EXPECT_EQ(last.Generate(), filler + "1-2");
  EXPECT_EQ(t->Generate().size(), static_cast<size_t>(kSections) * 481 + 2);

  // One section holding a quarter of a million slots.
  std::string big = "<%%template%%><%section name=big%>";
  for (int i = 0; i < 250000; ++i) big += "ab<%=v%>";
  big += "<%/section%>";
  auto b = Parse(big);
  TemplateSection& section = b->SectionByName("big");
  EXPECT_EQ(section.Vars().size(), 250000u);
  section.SetVar("v", "c");
  const std::string out = section.Generate();
  EXPECT_EQ(out.size(), 750000u);
  EXPECT_EQ(out.substr(0, 6), "abcabc");
}

}  // namespace
}  // namespace qil
