// The rules by which the program's windows read the addresses their web
// views are about to load.
//
// Pages talk to the windows through markers anywhere in an address: in the
// main window "#CLOSE_BROWSER#" asks to quit; in the readme window "#YES#"
// accepts and "#NO#" declines ("#YES#" wins when both are there). A marker
// counts in any frame's navigation and also inside a query. The navigation
// itself is never cancelled because of a marker.
//
// Beyond the markers, the main window is the disc's viewer and not a web
// browser: addresses of the program's own scheme (and the empty frames the
// engine's pages create) load in the window, web and mail addresses are
// handed to the user's own programs, and everything else is refused.
//
// Pure functions, safe from any thread.
#pragma once

#include <string_view>

namespace qil {

enum class ReadmeAnswer { kNone, kAccept, kDecline };

// What an address means to the readme window.
ReadmeAnswer ReadmeMarker(std::string_view address);

// Whether an address asks the main window to close.
bool HasCloseMarker(std::string_view address);

enum class NavigationTarget {
  kInside,    // load it in the window
  kExternal,  // open it with the user's default browser or mail program
  kRefused,   // load nothing
};

// Where an address the user navigates to belongs.
NavigationTarget ClassifyNavigation(std::string_view address);

}  // namespace qil
