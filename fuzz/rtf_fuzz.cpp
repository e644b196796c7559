// The rich-text editor over arbitrary fragments: the input is split at bytes
// 0x01 into fragments, each is inserted, and the saved document must be one
// balanced RTF group with nothing after it.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "richtext/RichTextEditor.h"
#include "richtext/RtfTokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  qil::RichTextEditor editor;
  size_t start = 0;
  while (start <= input.size()) {
    const size_t end = std::min(input.find('\x01', start), input.size());
    editor.InsertRTF(input.substr(start, end - start));
    start = end + 1;
  }
  const std::string saved = editor.SaveRTF();

  if (!qil::IsOneBalancedGroup(saved)) std::abort();
  // No broken escape and no NUL byte in text reaches the document.
  qil::RtfTokenizer tokens(saved);
  for (qil::RtfToken t = tokens.Next(); t.kind != qil::RtfToken::End; t = tokens.Next()) {
    if (t.kind == qil::RtfToken::Broken) std::abort();
    if (t.kind == qil::RtfToken::Text && t.raw.find('\0') != std::string_view::npos) std::abort();
  }
  return 0;
}
