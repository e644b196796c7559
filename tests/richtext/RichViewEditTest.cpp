// The rich-text editor: merging fragments into one document whose font and
// colour references still name the fonts and colours the fragments meant.
#include <gtest/gtest.h>

#include "base/MemoryStream.h"
#include "richtext/RichTextEditor.h"
#include "richtext/RtfTokenizer.h"

namespace qil {
namespace {

const std::string kEmptyHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}{\\colortbl;}\r\n";

// The body of a saved document holding one fragment: after the header, without the final "}".
std::string BodyOf(const std::string& fragment) {
  RichTextEditor editor;
  editor.InsertRTF(fragment);
  const std::string saved = editor.SaveRTF();
  EXPECT_TRUE(IsOneBalancedGroup(saved)) << saved;
  EXPECT_EQ(saved.substr(0, kEmptyHeader.size()), kEmptyHeader);
  return saved.substr(kEmptyHeader.size(), saved.size() - kEmptyHeader.size() - 1);
}

TEST(RichViewEdit, MergesFontAndColourTablesAndRenumbersReferences) {
  const std::string first =
      "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}"
      "{\\f1\\fswiss\\fcharset0{\\*\\panose 020b0604020202020204}Arial;}}\r\n"
      "{\\colortbl;\\red255\\green0\\blue0;}\r\n"
      "{\\stylesheet{\\s0\\f1 Normal;}}{\\*\\generator Writer 1.0;}{\\info{\\title T}}"
      "\\pard\\f1\\cf1 Red Arial\\par\r\n}";
  const std::string second =
      "{\\rtf1\\ansi\\deff1{\\fonttbl\\f0\\fswiss\\fcharset0 Arial;\\f1\\fmodern\\fcharset0\\fprq1 Courier New;}"
      "{\\colortbl;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}"
      "\\f0\\cf2 red \\cf1 blue\\highlight2 hi\\plain plain\\par}";
  RichTextEditor editor;
  MemoryStream stream;
  stream.Write(first);
  stream.SetPosition(0);
  EXPECT_TRUE(editor.InsertRTFFromStream(stream));
  EXPECT_EQ(stream.Position(), first.size());
  editor.InsertRTF(second);
  EXPECT_EQ(editor.FragmentCount(), 2);

  EXPECT_EQ(editor.SaveRTF(),
            "{\\rtf1\\ansi\\ansicpg1250\\deff0"
            "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman\\fcharset0 Times New Roman;}"
            "{\\f2\\fmodern\\fcharset0\\fprq1 Courier New;}}"
            "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
            // The first fragment's default font is Times New Roman; its Arial is the shared font 0.
            "{\\f1 \\pard\\f0\\cf1 Red Arial\\par\r\n}\r\n"
            // The second one's default is Courier New, also after \plain; its red and blue swap places.
            "{\\f2 \\f0\\cf1 red \\cf2 blue\\highlight1 hi\\plain \\f2 plain\\par}\r\n"
            "}");
}

TEST(RichViewEdit, SavesAtTheStreamPositionAndClearEmptiesEverything) {
  RichTextEditor editor;
  editor.InsertRTF("{\\rtf1{\\fonttbl{\\f0\\fnil Symbol;}}{\\colortbl;\\red1\\green2\\blue3;}\\cf1 x}");
  editor.Clear();
  EXPECT_EQ(editor.FragmentCount(), 0);
  MemoryStream stream;
  stream.Write("ab");
  EXPECT_TRUE(editor.SaveRTFToStream(stream));
  EXPECT_EQ(stream.Bytes(), "ab" + kEmptyHeader + "}");
}

TEST(RichViewEdit, DefaultFontComesFromTheStyleSheet) {
  auto style = std::make_shared<RichTextStyle>();
  style->TextStyles[0].font_name = "Verdana";
  RichTextEditor editor(style);
  EXPECT_EQ(editor.Style(), style);
  EXPECT_NE(editor.SaveRTF().find("{\\fonttbl{\\f0\\fswiss\\fcharset0 Verdana;}}"), std::string::npos);
}

TEST(RichViewEdit, RepairsUnbalancedFragments) {
  EXPECT_EQ(BodyOf("{\\rtf1 {\\b bold"), "{{\\b bold}}\r\n");
  EXPECT_EQ(BodyOf("{\\rtf1 text}}} more {"), "{text}\r\n");
  EXPECT_EQ(BodyOf("}}abc{\\i x"), "{abc{\\i x}}\r\n");
  EXPECT_EQ(BodyOf("{\\rtf1 x\\'"), "{x}\r\n");
  EXPECT_EQ(BodyOf("{\\rtf1 x\\'4}"), "{x4}\r\n");
  EXPECT_EQ(BodyOf(std::string("{\\rtf1 a\0b}", 11)), "{ab}\r\n");
  EXPECT_EQ(BodyOf(""), "");
  EXPECT_EQ(BodyOf("{\\rtf1 \\f7\\cf3 unknown}"), "{\\f0\\cf0 unknown}\r\n");
}

TEST(RichViewEdit, DroppedBytesNeverJoinAWordToTheTextAfterIt) {
  EXPECT_EQ(BodyOf(std::string("\\b\0in2", 7)), "{\\b in2}\r\n");  // not \bin2
  EXPECT_EQ(BodyOf("{\\rtf1\\b{\\stylesheet{\\s1 a;}}in2}"), "{\\b in2}\r\n");
  EXPECT_EQ(BodyOf("{\\rtf1\\b\\ansi -1}"), "{\\b -1}\r\n");
  EXPECT_EQ(BodyOf("\\i\\'zx"), "{\\i zx}\r\n");
  EXPECT_EQ(BodyOf("\\i,x"), "{\\i,x}\r\n") << "nothing added where nothing was dropped";
}

TEST(RichViewEdit, KeepsPictureGroupsAndBinaryDataIntact) {
  const std::string picture = "{\\pict\\wmetafile8\\picw2646\\pich1323\r\n0100090000\r\nabcdef\r\n}";
  EXPECT_EQ(BodyOf("{\\rtf1\\ansi\r\n\\par" + picture + "\r\n}"), "{\\par" + picture + "\r\n}\r\n");
  EXPECT_EQ(BodyOf("{\\rtf1{\\pict\\bin3 }{x}}"), "{{\\pict\\bin3 }{x}}\r\n");
  // Data cut short is written again with the length that is there.
  EXPECT_EQ(BodyOf("{\\rtf1{\\pict\\bin10 ab"), "{{\\pict\\bin2 ab}}\r\n");
}

TEST(RichViewEdit, FragmentTablesAfterAnUnclosedFontTableStillApply) {
  RichTextEditor alone;
  alone.InsertRTF("{\\rtf1{\\fonttbl{\\f0 Courier");
  EXPECT_EQ(alone.SaveRTF(),
            "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fnil Courier;}}"
            "{\\colortbl;}\r\n}");

  RichTextEditor editor;
  editor.InsertRTF("{\\rtf1{\\fonttbl{\\f0\\froman Tms Rmn;}");
  editor.InsertRTF("{\\rtf1{\\fonttbl{\\f3\\froman Tms Rmn;}}\\f3 x}");
  const std::string saved = editor.SaveRTF();
  EXPECT_NE(saved.find("{\\f1\\froman Tms Rmn;}}"), std::string::npos) << saved;
  EXPECT_NE(saved.find("{\\f1 x}"), std::string::npos) << saved;
}

}  // namespace
}  // namespace qil
