#include "shell/WindowRules.h"

#include "base/Text.h"

namespace qil {

namespace {

bool Contains(std::string_view address, std::string_view marker) {
  return address.find(marker) != std::string_view::npos;
}

// The scheme of an absolute address, without its ":"; "" when it has none.
std::string_view SchemeOf(std::string_view address) {
  const size_t colon = address.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  for (size_t i = 0; i < colon; ++i) {
    const char c = address[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && !(i > 0 && other)) return {};
  }
  return address.substr(0, colon);
}

}  // namespace

ReadmeAnswer ReadmeMarker(std::string_view address) {
  if (Contains(address, "#YES#")) return ReadmeAnswer::kAccept;
  if (Contains(address, "#NO#")) return ReadmeAnswer::kDecline;
  return ReadmeAnswer::kNone;
}

bool HasCloseMarker(std::string_view address) { return Contains(address, "#CLOSE_BROWSER#"); }

NavigationTarget ClassifyNavigation(std::string_view address) {
  const std::string_view scheme = SchemeOf(address);
  if (SameText(scheme, "qilproto")) return NavigationTarget::kInside;
  // Frames that a page creates empty, or fills from its own script.
  if (SameText(address, "about:blank") || SameText(address, "about:srcdoc")) {
    return NavigationTarget::kInside;
  }
  if (SameText(scheme, "http") || SameText(scheme, "https") || SameText(scheme, "mailto")) {
    return NavigationTarget::kExternal;
  }
  return NavigationTarget::kRefused;
}

}  // namespace qil
