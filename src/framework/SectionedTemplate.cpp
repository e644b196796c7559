#include "framework/SectionedTemplate.h"

#include <algorithm>

#include "base/Exceptions.h"
#include "base/MemoryStream.h"
#include "base/Text.h"

namespace qil {

namespace {

constexpr std::string_view kTemplateMarker = "<%%template%%>";

// Calls visit(word) for every word of a tag, in order, until visit answers
// false. The words follow SplitTag's rules; no copy is made unless the tag
// holds quotes.
template <class Visit>
void VisitTagWords(std::string_view tag, Visit&& visit) {
  std::string unquoted;
  if (tag.find_first_of("\"'") != std::string_view::npos) {
    unquoted.reserve(tag.size());
    for (char c : tag) {
      if (c != '"' && c != '\'') unquoted += c;
    }
    tag = unquoted;
  }
  if (tag.size() <= 4) return;
  const std::string_view inner = tag.substr(2, tag.size() - 4);
  size_t start = 0;
  for (size_t i = 0; i < inner.size(); ++i) {
    const char c = inner[i];
    if (c != ' ' && c != '\t' && c != '%') continue;
    if (i > start && !visit(inner.substr(start, i - start))) return;
    if (c == '%' && !visit(inner.substr(i, 1))) return;
    start = i + 1;
  }
  if (start < inner.size()) visit(inner.substr(start));
}

// The first word of a tag. A tag without words raises the word list's index
// error, which the template turns into its parse error.
std::string FirstWord(std::string_view tag) {
  std::string first;
  bool found = false;
  VisitTagWords(tag, [&](std::string_view word) {
    first = word;
    found = true;
    return false;
  });
  if (!found) {
    const StringList no_words;
    return no_words[0];
  }
  return first;
}

// The value of the first word of the form name=VALUE (key letter case ignored).
std::string SectionNameOf(const StringList& words) {
  for (int i = 0; i < words.Count(); ++i) {
    const std::string& word = words[i];
    const size_t eq = word.find('=');
    if (eq != std::string::npos && SameText(std::string_view(word).substr(0, eq), "name")) {
      return word.substr(eq + 1);
    }
  }
  return std::string();
}

// Scans tags from position on until one whose first word is keyword.
TagMatch FindTagWithFirstWord(std::string_view text, size_t& position, std::string_view keyword) {
  while (true) {
    TagMatch match = FindNextTag(text, position);
    if (!match.found) return match;
    if (SameText(FirstWord(match.tag), keyword)) return match;
  }
}

}  // namespace

TagMatch FindNextTag(std::string_view text, size_t& position) {
  TagMatch match;
  const size_t open = text.find("<%", position);
  if (open == std::string_view::npos) return match;
  // The closing "%>" is searched from the "<" itself, so "<%>" is a whole tag.
  const size_t close = text.find("%>", open + 1);
  if (close == std::string_view::npos) {
    position = open;
    return match;
  }
  match.found = true;
  match.start = open;
  match.tag = text.substr(open, close + 2 - open);
  position = close + 2;
  return match;
}

StringList SplitTag(std::string_view tag) {
  StringList words;
  VisitTagWords(tag, [&](std::string_view word) {
    words.Add(std::string(word));
    return true;
  });
  return words;
}

// ---------------------------------------------------------------------------
// TemplateSection

TemplateSection::TemplateSection(SectionedTemplate* owner, std::string source, std::string name)
    : name_(std::move(name)), owner_(owner), source_(std::move(source)) {
  Parse();
}

TemplateSection::TemplateSection(SectionedTemplate* owner, std::string source, std::string name, NoParse)
    : name_(std::move(name)), owner_(owner), source_(std::move(source)) {}

void TemplateSection::Parse() {
  const std::string_view source = source_;
  text_.clear();
  text_.reserve(source.size());
  size_t position = 0;
  size_t previous_end = 0;
  while (true) {
    const TagMatch match = FindNextTag(source, position);
    if (!match.found) break;
    const std::string first = FirstWord(match.tag);
    text_.append(source.substr(previous_end, match.start - previous_end));
    if (!first.empty() && first[0] == '=') {
      TemplateVariable slot;
      slot.Position = text_.size();
      vars_.emplace_back(first.substr(1), std::move(slot));
    }
    previous_end = position;
  }
  text_.append(source.substr(previous_end));
}

void TemplateSection::SetVar(std::string_view name, const Variant& value) {
  for (auto& [slot_name, slot] : vars_) {
    if (SameText(slot_name, name)) slot.Value = value;
  }
}

std::string TemplateSection::Generate() const {
  if (!visible_) return std::string();
  if (vars_.empty()) return text_;
  std::string out;
  out.reserve(text_.size());
  size_t cursor = 0;
  for (const auto& [slot_name, slot] : vars_) {
    out.append(text_, cursor, slot.Position - cursor);
    out += slot.Value.ToString();
    cursor = slot.Position;
  }
  out.append(text_, cursor);
  return out;
}

void TemplateSection::WriteToStream(MemoryStream& stream) const {
  const std::string out = Generate();
  if (!out.empty()) stream.Write(out);
}

// ---------------------------------------------------------------------------
// SectionedTemplate

SectionedTemplate::SectionedTemplate(std::string path, std::string source)
    : TemplateSection(nullptr, std::move(source), std::string(), NoParse{}), file_name_(std::move(path)) {
  const size_t slash = file_name_.rfind('/');
  const std::string base = slash == std::string::npos ? file_name_ : file_name_.substr(slash + 1);
  // Cut at the extension as written in lower case; a name without it is empty.
  const size_t extension = base.find(TemplateExtension());
  SetName(extension == std::string::npos ? std::string() : base.substr(0, extension));
}

std::unique_ptr<SectionedTemplate> SectionedTemplate::CreateFromStream(const std::string& path,
                                                                         MemoryStream& stream) {
  const size_t position = std::min(stream.Position(), stream.Size());
  return CreateFromText(path, std::string(stream.View().substr(position)));
}

std::unique_ptr<SectionedTemplate> SectionedTemplate::CreateFromText(const std::string& path,
                                                                       std::string source) {
  if (!std::string_view(source).starts_with(kTemplateMarker)) {
    throw TemplateError("Trying to parse non-template: " + path + "\r\n");
  }
  std::unique_ptr<SectionedTemplate> result(new SectionedTemplate(path, std::move(source)));
  try {
    result->Parse();
  } catch (const std::exception& error) {
    throw TemplateError("Error parsing template \"" + path + "\"\r\n" + error.what());
  }
  return result;
}

void SectionedTemplate::Parse() {
  const std::string_view source = Source();
  size_t position = 0;
  while (true) {
    const TagMatch open = FindTagWithFirstWord(source, position, "section");
    if (!open.found) break;
    std::string name = SectionNameOf(SplitTag(open.tag));
    const size_t body_start = position;
    const TagMatch close = FindTagWithFirstWord(source, position, "/section");
    if (!close.found) break;
    // A section whose body is empty is kept and the scan goes on: a template
    // author who leaves one section blank still gets every section after it,
    // and a module that looks the blank one up finds it (it writes nothing).
    sections_.push_back(std::make_unique<TemplateSection>(
        this, std::string(source.substr(body_start, close.start - body_start)), std::move(name)));
  }
}

TemplateSection& SectionedTemplate::SectionByName(std::string_view name) const {
  for (const auto& section : sections_) {
    if (SameText(section->Name(), name)) return *section;
  }
  throw TemplateError("Trying to reference non-existing section \"" + std::string(name) + "\"");
}

std::string SectionedTemplate::Generate() const {
  if (!Visible()) return std::string();
  std::string out;
  for (const auto& section : sections_) out += section->Generate();
  return out;
}

}  // namespace qil
