// The web views and the borderless windows of the program.
//
// NewWebView makes a view over the program's web context with the settings
// of a viewer: scripts on, no developer tools, no context menu, no new
// windows (shift-click, target="_blank", window.open), no text selection
// tricks beyond the defaults. NavigationAddress reads the address a policy
// decision is about, for the frame navigations of every frame as well as
// for the main frame; "" for decisions about responses. Main thread only.
#pragma once

#include <webkit2/webkit2.h>

#include <string>

namespace qil::gtk {

// A borderless window above all others, centred on the screen, of a fixed
// size: the readme and about windows. The caller owns the reference.
GtkWidget* NewBorderlessWindow(const char* role, GdkWindowTypeHint hint);

// A new web context for the program: nothing is kept on disk.
WebKitWebContext* NewWebContext();

// related (may be nullptr): a view whose renderer process the new view
// shares, so that it need not wait for one of its own to start.
GtkWidget* NewWebView(WebKitWebContext* context, WebKitWebView* related = nullptr);

std::string NavigationAddress(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type);

// Decides a navigation to address by where it belongs: the disc's own
// addresses load, web and mail addresses go to the user's default programs
// (from window), anything else is refused. New-window requests never load.
void DecideByTarget(GtkWindow* window, WebKitPolicyDecision* decision,
                    WebKitPolicyDecisionType type, const std::string& address);

}  // namespace qil::gtk
