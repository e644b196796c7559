// Sectioned HTML templates: the page skeletons that page modules fill in.
//
// A template file starts with "<%%template%%>" and holds named sections,
// each opened by a tag such as <%section name=body%> and closed by
// <%/section%>. Inside a section a tag whose first word starts with "=" is a
// variable slot (<%=title%>); every other tag is dropped. A module looks a
// section up, sets its variables, hides sections, and writes single sections
// or the whole template into the response stream.
//
// Guarantees:
//  - Parsing is one forward scan; its cost is linear in the size of the file.
//  - An unterminated "<%" is literal text, never an error.
//  - A section with an empty body is kept (it generates nothing) and the scan
//    goes on behind it, so later sections are still read.
//  - Errors raise qil::Exception with the product's own messages:
//      "Trying to parse non-template: PATH\r\n"
//      "Error parsing template \"PATH\"\r\nINNER MESSAGE"
//      "Trying to reference non-existing section \"NAME\""
//  - SetVar with a name that has no slot does nothing.
// A template owns its sections, a section its slots. Not thread-safe: one
// template belongs to one request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "base/StringList.h"
#include "base/Variant.h"

namespace qil {

// A template that cannot be parsed, or a section it does not have.
class TemplateError : public Exception {
 public:
  using Exception::Exception;
};

class MemoryStream;
class SectionedTemplate;

// A tag found by FindNextTag: the text from "<%" through "%>" and where it starts.
struct TagMatch {
  bool found = false;
  size_t start = 0;  // offset of the "<" in the scanned text
  std::string_view tag;
};

// Finds the next tag at or behind position. On success position moves just
// behind the "%>"; when there is no complete tag, found is false and position
// is left at the last "<%" seen (or unchanged when there is none).
TagMatch FindNextTag(std::string_view text, size_t& position);

// The words of a tag: quotes removed, "<%" and "%>" dropped, blanks and tabs
// separate words, and every "%" is a word of its own.
StringList SplitTag(std::string_view tag);

// One variable slot: the value inserted at Position of the section's Text.
struct TemplateVariable {
  Variant Value = Variant(std::string());
  size_t Position = 0;
};

class TemplateSection {
 public:
  // Builds a section from its body text and parses it. Raises on a tag without words.
  TemplateSection(SectionedTemplate* owner, std::string source, std::string name);
  virtual ~TemplateSection() = default;

  TemplateSection(const TemplateSection&) = delete;
  TemplateSection& operator=(const TemplateSection&) = delete;

  const std::string& Name() const { return name_; }
  SectionedTemplate* Owner() const { return owner_; }
  const std::string& Source() const { return source_; }
  // The body with every tag removed.
  const std::string& Text() const { return text_; }
  // The slots in the order they occur; names may repeat.
  const std::vector<std::pair<std::string, TemplateVariable>>& Vars() const { return vars_; }

  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }

  // Sets every slot of that name (letter case ignored); unknown names are ignored.
  void SetVar(std::string_view name, const Variant& value);

  // The section's output; empty when hidden.
  virtual std::string Generate() const;

  // Appends Generate() at the stream's position.
  void WriteToStream(MemoryStream& stream) const;

 protected:
  // For a template: no parsing here, the template parses itself.
  struct NoParse {};
  TemplateSection(SectionedTemplate* owner, std::string source, std::string name, NoParse);

  void SetName(std::string name) { name_ = std::move(name); }

 private:
  void Parse();

  std::string name_;
  SectionedTemplate* owner_ = nullptr;
  bool visible_ = true;
  std::vector<std::pair<std::string, TemplateVariable>> vars_;
  std::string source_;
  std::string text_;
};

class SectionedTemplate : public TemplateSection {
 public:
  // Builds a template from the stream's bytes from its position on. path gives
  // FileName and the template's Name: the file name without its directory, cut
  // at the first ".stmp" (empty when the name holds no ".stmp" in lower case).
  static std::unique_ptr<SectionedTemplate> CreateFromStream(const std::string& path,
                                                              MemoryStream& stream);
  // The same over text already in memory.
  static std::unique_ptr<SectionedTemplate> CreateFromText(const std::string& path,
                                                            std::string source);

  // ".stmp": the extension that marks template files.
  static const char* TemplateExtension() { return ".stmp"; }

  const std::string& FileName() const { return file_name_; }
  int SectionCount() const { return static_cast<int>(sections_.size()); }
  TemplateSection& Section(int index) const { return *sections_.at(static_cast<size_t>(index)); }

  // The first section of that name (letter case ignored); raises when there is none.
  TemplateSection& SectionByName(std::string_view name) const;

  // The concatenation of the visible sections in file order; empty when hidden.
  std::string Generate() const override;

 private:
  SectionedTemplate(std::string path, std::string source);
  void Parse();

  std::string file_name_;
  std::vector<std::unique_ptr<TemplateSection>> sections_;
};

}  // namespace qil
