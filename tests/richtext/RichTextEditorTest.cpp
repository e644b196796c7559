// The rich-text editor: fragments merged into one document whose font and
// colour references still name the fonts and colours the fragments meant.
#include "richtext/RichTextEditor.h"

#include <gtest/gtest.h>

#include "base/MemoryStream.h"
#include "richtext/RtfTokenizer.h"

namespace qil {
namespace {

const std::string kEmptyHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}{\\colortbl;}\r\n";

TEST(RichTextEditor, MergesFontAndColourTablesAndRenumbersReferences) {
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

  // Clear empties the tables too; saving writes at the stream's position.
  editor.Clear();
  EXPECT_EQ(editor.FragmentCount(), 0);
  MemoryStream out;
  out.Write("ab");
  EXPECT_TRUE(editor.SaveRTFToStream(out));
  EXPECT_EQ(out.Bytes(), "ab" + kEmptyHeader + "}");
}

TEST(RichTextEditor, EveryFragmentBecomesOneBalancedGroup) {
  const std::pair<std::string, std::string> cases[] = {
      {"{\\rtf1 {\\b bold", "{{\\b bold}}"},  // groups left open are closed
      {"{\\rtf1 text}}} more {", "{text}"},   // text after the document is ignored
      {"}}abc{\\i x", "{abc{\\i x}}"},       // closers without an opener are dropped
      {"{\\rtf1 x\\'4}", "{x4}"},
      {std::string("{\\rtf1 a\0b}", 11), "{ab}"},
      {"", ""},
      {"{\\rtf1 \\f7\\cf3 unknown}", "{\\f0\\cf0 unknown}"},
      // Dropped bytes never join a word to the text after it; nothing is added where nothing was dropped.
      {std::string("\\b\0in2", 7), "{\\b in2}"},
      {"{\\rtf1\\b{\\stylesheet{\\s1 a;}}in2}", "{\\b in2}"},
      {"{\\rtf1\\b\\ansi -1}", "{\\b -1}"},
      {"\\i\\'zx", "{\\i zx}"},
      {"\\i,x", "{\\i,x}"},
      // Pictures and binary data are copied as they are; data cut short gets the length that is there.
      {"{\\rtf1\\ansi\r\n\\par{\\pict\\wmetafile8\\picw2646\\pich1323\r\n0100090000\r\nabcdef\r\n}\r\n}",
       "{\\par{\\pict\\wmetafile8\\picw2646\\pich1323\r\n0100090000\r\nabcdef\r\n}\r\n}"},
      {"{\\rtf1{\\pict\\bin3 }{x}}", "{{\\pict\\bin3 }{x}}"},
      {"{\\rtf1{\\pict\\bin10 ab", "{{\\pict\\bin2 ab}}"},
  };
  for (const auto& [fragment, body] : cases) {
    RichTextEditor editor;
    editor.InsertRTF(fragment);
    const std::string saved = editor.SaveRTF();
    EXPECT_TRUE(IsOneBalancedGroup(saved)) << saved;
    EXPECT_EQ(saved, kEmptyHeader + body + (body.empty() ? "" : "\r\n") + "}") << fragment;
  }
}

TEST(RichTextEditor, TablesOfUnclosedFontTablesAndTheStyleSheetsDefaultFont) {
  RichTextEditor editor;
  editor.InsertRTF("{\\rtf1{\\fonttbl{\\f0 Courier");
  editor.InsertRTF("{\\rtf1{\\fonttbl{\\f0\\froman Tms Rmn;}");
  editor.InsertRTF("{\\rtf1{\\fonttbl{\\f3\\froman Tms Rmn;}}\\f3 x}");
  EXPECT_EQ(editor.SaveRTF(),
            "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fnil Courier;}"
            "{\\f2\\froman Tms Rmn;}}{\\colortbl;}\r\n{\\f2 x}\r\n}");
  auto style = std::make_shared<RichTextStyle>();
  style->TextStyles[0].font_name = "Verdana";
  EXPECT_NE(RichTextEditor(style).SaveRTF().find("{\\fonttbl{\\f0\\fswiss\\fcharset0 Verdana;}}"), std::string::npos);
}

}  // namespace
}  // namespace qil
