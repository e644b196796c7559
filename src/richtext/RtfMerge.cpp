#include "richtext/RtfMerge.h"

#include <algorithm>
#include <array>
#include <deque>
#include <map>

#include "base/Convert.h"
#include "richtext/RtfTokenizer.h"

namespace qil {

// ---------------------------------------------------------------------------
// RtfTables

RtfTables::RtfTables(Font default_font) : default_font_(std::move(default_font)) { Reset(); }

void RtfTables::Reset() {
  fonts_.assign(1, default_font_);
  colors_.assign(1, Color{});
}

int RtfTables::AddFont(const Font& font) {
  for (size_t i = 0; i < fonts_.size(); ++i) {
    const Font& f = fonts_[i];
    if (f.name == font.name && f.charset == font.charset && f.family == font.family) return static_cast<int>(i);
  }
  fonts_.push_back(font);
  return static_cast<int>(fonts_.size() - 1);
}

int RtfTables::AddColor(const Color& color) {
  if (color.automatic) return 0;
  for (size_t i = 1; i < colors_.size(); ++i) {
    const Color& c = colors_[i];
    if (c.red == color.red && c.green == color.green && c.blue == color.blue) return static_cast<int>(i);
  }
  colors_.push_back(color);
  return static_cast<int>(colors_.size() - 1);
}

std::string RtfTables::FontTableRtf() const {
  std::string out = "{\\fonttbl";
  for (size_t i = 0; i < fonts_.size(); ++i) {
    const Font& f = fonts_[i];
    out += "{\\f" + IntToStr(static_cast<int64_t>(i)) + "\\" + f.family;
    if (f.charset >= 0) out += "\\fcharset" + IntToStr(f.charset);
    if (f.pitch >= 0) out += "\\fprq" + IntToStr(f.pitch);
    out += " " + f.name + ";}";
  }
  return out + "}";
}

std::string RtfTables::ColorTableRtf() const {
  std::string out = "{\\colortbl;";
  for (size_t i = 1; i < colors_.size(); ++i) {
    const Color& c = colors_[i];
    out += "\\red" + IntToStr(c.red) + "\\green" + IntToStr(c.green) + "\\blue" + IntToStr(c.blue) + ";";
  }
  return out + "}";
}

// ---------------------------------------------------------------------------
// MergeRtfFragment

namespace {

template <size_t N>
bool IsOneOf(std::string_view word, const std::array<std::string_view, N>& words) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

// Words that refer to an entry of the font table or of the colour table.
constexpr std::array<std::string_view, 2> kFontWords = {"f", "af"};
constexpr std::array<std::string_view, 19> kColorWords = {
    "cf",      "cb",          "highlight",   "chcbpat",    "chcfpat", "cbpat",   "cfpat",
    "clcbpat", "clcfpat",     "clcbpatraw",  "clcfpatraw", "trcbpat", "trcfpat", "brdrcf",
    "ulc",     "tscellcbpat", "tscellcfpat", "tsbrdrcf",   "pncf"};
// Document-level words of a fragment that the merged document states itself.
constexpr std::array<std::string_view, 16> kDocumentWords = {
    "rtf",     "ansi",      "mac",      "pc",        "pca",       "ansicpg",   "deff",    "adeff",
    "deflang", "deflangfe", "adeflang", "stshfdbch", "stshfloch", "stshfhich", "stshfbi", "fromhtml"};
// Document-level groups of a fragment that are dropped.
constexpr std::array<std::string_view, 22> kDroppedGroups = {
    "stylesheet", "info",         "generator", "listtable",          "listoverridetable", "revtbl",   "rsidtbl",
    "filetbl",    "latentstyles", "themedata", "colorschememapping", "datastore",         "xmlnstbl", "mmathPr",
    "pgdsctbl",   "defchp",       "defpap",    "userprops",          "wgrffmtfilter",     "fchars",   "lchars",
    "operator"};
constexpr std::array<std::string_view, 8> kFontFamilies = {"fnil",    "froman", "fswiss", "fmodern",
                                                           "fscript", "fdecor", "ftech",  "fbidi"};

std::string WithoutNul(std::string_view text) {
  std::string out(text);
  out.erase(std::remove(out.begin(), out.end(), '\0'), out.end());
  return out;
}

bool OnlyLineBreaks(std::string_view text) { return text.find_first_not_of("\r\n") == std::string_view::npos; }

class FragmentMerger {
 public:
  FragmentMerger(std::string_view fragment, RtfTables& tables, std::string& out)
      : tokens_(fragment), tables_(tables), out_(out) {}

  // Merges the whole fragment; answers its code page.
  int32_t Run();

 private:
  // Reads tokens up to the end of the fragment's document (or of its text).
  void MergeTokens();
  // Closes what the fragment left open, and the fragment's own group.
  void Finish();

  RtfToken Next();
  const RtfToken& Peek(size_t ahead);

  void ReadFontTable();
  void ReadColorTable();
  void SkipGroup();

  bool AtDocumentLevel() const { return is_document_ && depth_ == 1; }
  // Appends bytes to the body. A control word written without its delimiter
  // (bare_word) gets a space first when the next bytes would otherwise run
  // into it: a letter, a digit, "-" or a space. That happens when what stood
  // between them in the fragment was dropped.
  void Emit(std::string_view bytes, bool bare_word = false);
  void OpenGroup();
  void CloseGroup();
  void OpenBody();
  void EmitWord(const RtfToken& token);
  void EmitRenumbered(const RtfToken& token, int number);
  void EmitDefaultFont();
  int MapFont(int32_t local) const;
  int MapColor(int32_t local) const;

  RtfTokenizer tokens_;
  std::deque<RtfToken> peeked_;
  RtfTables& tables_;
  std::string& out_;

  bool is_document_ = false;
  int depth_ = 0;           // groups of the fragment open now, its document group included
  int picture_depth_ = 0;   // depth of the open picture group; 0 outside pictures
  bool body_open_ = false;  // the fragment's group has been written
  bool after_bare_word_ = false;
  int32_t codepage_ = 0;
  int32_t default_font_ = 0;
  std::map<int32_t, int> fonts_;  // fragment's font number -> merged index
  std::vector<int> colors_;       // fragment's colour index -> merged index
};

RtfToken FragmentMerger::Next() {
  if (peeked_.empty()) return tokens_.Next();
  RtfToken token = peeked_.front();
  peeked_.pop_front();
  return token;
}

const RtfToken& FragmentMerger::Peek(size_t ahead) {
  while (peeked_.size() <= ahead) peeked_.push_back(tokens_.Next());
  return peeked_[ahead];
}

int FragmentMerger::MapFont(int32_t local) const {
  const auto it = fonts_.find(local);
  return it == fonts_.end() ? 0 : it->second;
}

int FragmentMerger::MapColor(int32_t local) const {
  return local >= 0 && static_cast<size_t>(local) < colors_.size() ? colors_[local] : 0;
}

// Skips the rest of a group whose "{" was read.
void FragmentMerger::SkipGroup() {
  int open = 1;
  for (RtfToken t = Next(); t.kind != RtfToken::End; t = Next()) {
    if (t.kind == RtfToken::GroupOpen) ++open;
    if (t.kind == RtfToken::GroupClose && --open == 0) return;
  }
}

// Reads the entries after "{\fonttbl" up to the table's "}": either one group
// per font or the entries one after the other, each ended by ";".
void FragmentMerger::ReadFontTable() {
  RtfTables::Font font;
  int32_t number = -1;
  const auto commit = [&] {
    if (number >= 0) {
      const size_t first = font.name.find_first_not_of(' ');
      font.name =
          first == std::string::npos ? "" : font.name.substr(first, font.name.find_last_not_of(' ') + 1 - first);
      fonts_.emplace(number, tables_.AddFont(font));
    }
    font = RtfTables::Font{};
    number = -1;
  };
  int open = 1;
  for (RtfToken t = Next(); t.kind != RtfToken::End; t = Next()) {
    switch (t.kind) {
      case RtfToken::GroupOpen:
        if (open == 1 && !(Peek(0).kind == RtfToken::ControlSymbol && Peek(0).name == "*")) {
          ++open;  // one font's group
        } else {
          SkipGroup();  // alternative names, panose numbers and the like
        }
        break;
      case RtfToken::GroupClose:
        commit();
        if (--open == 0) return;
        break;
      case RtfToken::ControlWord:
        if (t.name == "f" && t.has_parameter) {
          commit();
          number = t.parameter;
        } else if (IsOneOf(t.name, kFontFamilies)) {
          font.family = std::string(t.name);
        } else if (t.name == "fcharset" && t.has_parameter) {
          font.charset = t.parameter;
        } else if (t.name == "fprq" && t.has_parameter) {
          font.pitch = t.parameter;
        }
        break;
      case RtfToken::ControlSymbol:
        if (t.name == "'") font.name += t.raw;
        break;
      case RtfToken::Text:
        for (char c : t.raw) {
          if (c == ';') {
            commit();
          } else if (c != '\r' && c != '\n' && c != '\0') {
            font.name += c;
          }
        }
        break;
      default:
        break;
    }
  }
  commit();
}

// Reads the entries after "{\colortbl" up to the table's "}"; an entry without
// colour words is the automatic colour.
void FragmentMerger::ReadColorTable() {
  RtfTables::Color color;
  for (RtfToken t = Next(); t.kind != RtfToken::End; t = Next()) {
    if (t.kind == RtfToken::GroupOpen) {
      SkipGroup();
    } else if (t.kind == RtfToken::GroupClose) {
      return;
    } else if (t.kind == RtfToken::ControlWord && t.has_parameter &&
               (t.name == "red" || t.name == "green" || t.name == "blue")) {
      const int32_t value = std::clamp(t.parameter, 0, 255);
      (t.name == "red" ? color.red : t.name == "green" ? color.green : color.blue) = value;
      color.automatic = false;
    } else if (t.kind == RtfToken::Text) {
      for (char c : t.raw) {
        if (c != ';') continue;
        colors_.push_back(tables_.AddColor(color));
        color = RtfTables::Color{};
      }
    }
  }
}

void FragmentMerger::Emit(std::string_view bytes, bool bare_word) {
  if (bytes.empty()) return;
  const char c = bytes.front();
  if (after_bare_word_ &&
      ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == ' ')) {
    out_ += ' ';
  }
  out_ += bytes;
  after_bare_word_ = bare_word;
}

void FragmentMerger::EmitDefaultFont() {
  const int merged = MapFont(default_font_);
  if (merged != 0) Emit("\\f" + IntToStr(merged) + " ");
}

void FragmentMerger::OpenBody() {
  if (body_open_) return;
  body_open_ = true;
  Emit("{");
  EmitDefaultFont();
}

void FragmentMerger::OpenGroup() {
  OpenBody();
  Emit("{");
  ++depth_;
  const RtfToken& first = Peek(0);
  if (picture_depth_ == 0 && first.IsWord("pict")) picture_depth_ = depth_;
}

void FragmentMerger::CloseGroup() {
  if (depth_ == picture_depth_) picture_depth_ = 0;
  Emit("}");
  --depth_;
}

void FragmentMerger::EmitRenumbered(const RtfToken& token, int number) {
  Emit("\\" + std::string(token.name) + IntToStr(number) + (token.space_ended ? " " : ""), !token.space_ended);
}

void FragmentMerger::EmitWord(const RtfToken& token) {
  if (token.name == "bin") {
    // Written again with the length of the data that is really there.
    if (Peek(0).kind == RtfToken::Binary) {
      const RtfToken data = Next();
      Emit("\\bin" + IntToStr(static_cast<int64_t>(data.raw.size())) + " ");
      Emit(data.raw);
    }
  } else if (picture_depth_ > 0 || !token.has_parameter) {
    Emit(token.raw, !token.space_ended);
    if (token.name == "plain" && picture_depth_ == 0) EmitDefaultFont();
  } else if (IsOneOf(token.name, kFontWords)) {
    EmitRenumbered(token, MapFont(token.parameter));
  } else if (IsOneOf(token.name, kColorWords)) {
    EmitRenumbered(token, MapColor(token.parameter));
  } else {
    Emit(token.raw, !token.space_ended);
  }
}

int32_t FragmentMerger::Run() {
  // A fragment that is a document starts with "{\rtf"; anything else is bare body text.
  size_t lead = 0;
  while (Peek(lead).kind == RtfToken::Text && Peek(lead).raw.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    ++lead;
  }
  if (Peek(lead).kind == RtfToken::GroupOpen && Peek(lead + 1).IsWord("rtf")) {
    for (size_t i = 0; i <= lead + 1; ++i) Next();
    is_document_ = true;
    depth_ = 1;
  }
  MergeTokens();
  Finish();
  return codepage_;
}

void FragmentMerger::MergeTokens() {
  for (RtfToken t = Next(); t.kind != RtfToken::End; t = Next()) {
    switch (t.kind) {
      case RtfToken::GroupOpen: {
        if (AtDocumentLevel()) {
          const bool starred = Peek(0).kind == RtfToken::ControlSymbol && Peek(0).name == "*";
          const RtfToken& first = Peek(starred ? 1 : 0);
          if (first.IsWord("fonttbl")) {
            Next();
            ReadFontTable();
            break;
          }
          if (first.IsWord("colortbl")) {
            Next();
            ReadColorTable();
            break;
          }
          if (first.kind == RtfToken::ControlWord && IsOneOf(first.name, kDroppedGroups)) {
            SkipGroup();
            break;
          }
        }
        OpenGroup();
        break;
      }
      case RtfToken::GroupClose:
        if (is_document_ && depth_ == 1) return;  // the end of the fragment's document
        if (depth_ > 0) CloseGroup();             // else a closer without opener
        break;
      case RtfToken::ControlWord:
        if (AtDocumentLevel() && IsOneOf(t.name, kDocumentWords)) {
          if (t.name == "ansicpg" && t.has_parameter) codepage_ = t.parameter;
          if (t.name == "deff" && t.has_parameter) default_font_ = t.parameter;
          break;
        }
        OpenBody();
        EmitWord(t);
        break;
      case RtfToken::ControlSymbol:
        OpenBody();
        Emit(t.raw);
        break;
      case RtfToken::Text:
        if (!body_open_ && OnlyLineBreaks(t.raw)) break;
        OpenBody();
        if (t.raw.find('\0') == std::string_view::npos) {
          Emit(t.raw);
        } else {
          Emit(WithoutNul(t.raw));
        }
        break;
      default:  // broken escapes, and binary data without its \bin word
        break;
    }
  }
}

void FragmentMerger::Finish() {
  const int document_level = is_document_ ? 1 : 0;
  while (depth_ > document_level) CloseGroup();
  if (body_open_) Emit("}\r\n");
}

}  // namespace

int32_t MergeRtfFragment(std::string_view fragment, RtfTables& tables, std::string& body) {
  return FragmentMerger(fragment, tables, body).Run();
}

}  // namespace qil
