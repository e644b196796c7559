// Fuzzes the template parser and generator over arbitrary bytes: the input is
// parsed as it is and once more behind the template marker, so the section
// scanner sees every input. Errors must be qil::Exception; anything else
// (crash, other exception, sanitizer report) is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Exceptions.h"
#include "base/MemoryStream.h"
#include "framework/SectionedTemplate.h"

namespace {

void Exercise(std::string text) {
  std::unique_ptr<qil::SectionedTemplate> page;
  try {
    page = qil::SectionedTemplate::CreateFromText("/dir/fuzz.stmp", std::move(text));
  } catch (const qil::Exception&) {
    return;
  }
  qil::MemoryStream out;
  size_t expected = 0;
  for (int i = 0; i < page->SectionCount(); ++i) {
    qil::TemplateSection& section = page->Section(i);
    for (const auto& [name, slot] : section.Vars()) section.SetVar(name, name + "!");
    if (i % 3 == 2) section.SetVisible(false);
    const std::string generated = section.Generate();
    expected += generated.size();
    section.WriteToStream(out);
    if (!section.Name().empty()) page->SectionByName(section.Name());
  }
  if (page->Generate().size() != expected || out.Size() != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  Exercise(input);
  Exercise("<%%template%%>" + input);
  return 0;
}
