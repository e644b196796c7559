#include "sheetpdf/PartMarkup.h"

#include <glib.h>
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

namespace qil {
namespace {

// Collects paragraphs and pictures in page order.
class BlockWriter {
 public:
  // Appends text, its runs of white space collapsed to one space; no space
  // opens or closes a paragraph.
  void Text(std::string_view utf8) {
    for (char c : utf8) {
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
        pending_space_ = has_text_;
        continue;
      }
      if (pending_space_) markup_ += ' ';
      pending_space_ = false;
      has_text_ = true;
      switch (c) {
        case '&': markup_ += "&amp;"; break;
        case '<': markup_ += "&lt;"; break;
        case '>': markup_ += "&gt;"; break;
        default: markup_ += c;
      }
    }
  }

  // A space before the tag stays outside the style.
  void OpenStyle(const char* tag) {
    if (pending_space_) markup_ += ' ';
    pending_space_ = false;
    open_.push_back(tag);
    markup_ += '<';
    markup_ += tag;
    markup_ += '>';
  }

  void CloseStyle() {
    markup_ += "</";
    markup_ += open_.back();
    markup_ += '>';
    open_.pop_back();
  }

  // Ends the paragraph; the styles still open carry on into the next one.
  void Break() {
    if (has_text_) {
      for (auto tag = open_.rbegin(); tag != open_.rend(); ++tag) markup_ += std::string("</") + *tag + ">";
      PartBlock block;
      block.markup = std::move(markup_);
      blocks_.push_back(std::move(block));
    }
    markup_.clear();
    for (const char* tag : open_) markup_ += std::string("<") + tag + ">";
    has_text_ = false;
    pending_space_ = false;
  }

  void Picture(PartBlock picture) {
    Break();
    blocks_.push_back(std::move(picture));
  }

  std::vector<PartBlock> Finish() {
    while (!open_.empty()) CloseStyle();
    Break();
    return std::move(blocks_);
  }

 private:
  std::vector<const char*> open_;
  std::string markup_;
  bool has_text_ = false;
  bool pending_space_ = false;
  std::vector<PartBlock> blocks_;
};

bool NameIs(const xmlNode* node, const char* name) {
  return xmlStrcasecmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

bool NameIsOneOf(const xmlNode* node, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [node](const char* name) { return NameIs(node, name); });
}

// The pango tag of a style element, or nullptr.
const char* StyleTag(const xmlNode* node) {
  if (NameIsOneOf(node, {"b", "strong"})) return "b";
  if (NameIsOneOf(node, {"i", "em"})) return "i";
  if (NameIs(node, "u")) return "u";
  if (NameIs(node, "sup")) return "sup";
  if (NameIs(node, "sub")) return "sub";
  return nullptr;
}

bool IsBlockElement(const xmlNode* node) {
  return NameIsOneOf(node, {"p", "div", "li", "ul", "ol", "tr", "table", "h1", "h2", "h3", "h4", "h5", "h6",
                            "center", "blockquote", "pre", "hr", "dl", "dt", "dd", "caption", "body"});
}

std::string Attribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return std::string();
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

// A size attribute: digits, optionally followed by "px" (and blanks around).
// 0 for anything else; at most kMaxPictureAttribute.
int SizeAttribute(const xmlNode* node, const char* name) {
  const std::string text = Attribute(node, name);
  size_t at = text.find_first_not_of(' ');
  if (at == std::string::npos) return 0;
  int64_t value = 0;
  bool digits = false;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = std::min<int64_t>(value * 10 + (text[at] - '0'), kMaxPictureAttribute);
    digits = true;
  }
  std::string_view rest = std::string_view(text).substr(at);
  if (rest.starts_with("px")) rest.remove_prefix(2);
  if (!digits || rest.find_first_not_of(' ') != std::string_view::npos) return 0;
  return static_cast<int>(value);
}

PartBlock PictureBlock(const xmlNode* node) {
  PartBlock block;
  block.kind = PartBlock::Kind::kPicture;
  block.source = Attribute(node, "src");
  block.width = SizeAttribute(node, "width");
  block.height = SizeAttribute(node, "height");
  return block;
}

void Walk(const xmlNode* node, int depth, BlockWriter& out);

void WalkElement(const xmlNode* node, int depth, BlockWriter& out) {
  if (NameIsOneOf(node, {"script", "style", "head", "title", "noscript"})) return;
  if (NameIs(node, "img")) return out.Picture(PictureBlock(node));
  if (NameIs(node, "br")) return out.Break();
  if (NameIsOneOf(node, {"td", "th"})) out.Text(" ");
  const bool block = IsBlockElement(node);
  const char* style = StyleTag(node);
  if (block) out.Break();
  if (style) out.OpenStyle(style);
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) Walk(child, depth + 1, out);
  if (style) out.CloseStyle();
  if (block) out.Break();
  if (NameIsOneOf(node, {"td", "th"})) out.Text(" ");
}

void Walk(const xmlNode* node, int depth, BlockWriter& out) {
  if (depth > kMaxPartDepth) return;
  if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
    if (node->content != nullptr) out.Text(reinterpret_cast<const char*>(node->content));
  } else if (node->type == XML_ELEMENT_NODE) {
    WalkElement(node, depth, out);
  }
}

}  // namespace

std::vector<PartBlock> ReadPart(std::string_view html) {
  static std::once_flag init;
  std::call_once(init, [] { xmlInitParser(); });
  html = html.substr(0, std::min(html.size(), kMaxPartBytes));
  if (html.empty()) return {};
  const char* encoding = g_utf8_validate(html.data(), static_cast<gssize>(html.size()), nullptr) ? "UTF-8"
                                                                                                  : "windows-1252";
  htmlDocPtr doc = htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, encoding,
                                  HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
  if (doc == nullptr) return {};
  BlockWriter out;
  for (const xmlNode* node = doc->children; node != nullptr; node = node->next) Walk(node, 0, out);
  xmlFreeDoc(doc);
  return out.Finish();
}

}  // namespace qil
