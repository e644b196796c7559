// The program's URL scheme inside the web views.
//
// Register makes the web context send every request of the scheme here. Each
// request is answered off the main thread by a RequestQueue (generated pages
// one at a time in arrival order, archive entries in parallel) and finished
// on the main thread with its MIME type and length; an address the engine
// cannot answer fails with an error, and WebKit shows its own error page.
// The scheme is registered as local, secure and display-isolated: pages of
// other schemes can neither load nor read the disc's pages.
//
// WebKit cannot forget a scheme, so Unregister stops the queue (waiting for
// running requests while it pumps the main loop) and answers every later
// request with an error. Main thread only.
#pragma once

#include <webkit2/webkit2.h>

#include <memory>
#include <string>

#include "shell/RequestQueue.h"

namespace qil::gtk {

class SchemeHandler {
 public:
  explicit SchemeHandler(WebKitWebContext* context) : context_(context) {}
  ~SchemeHandler() { Unregister(); }
  SchemeHandler(const SchemeHandler&) = delete;
  SchemeHandler& operator=(const SchemeHandler&) = delete;

  void Register(const std::string& scheme);
  void Unregister();

 private:
  static void OnRequest(WebKitURISchemeRequest* request, gpointer data);

  WebKitWebContext* context_;
  std::string registered_;  // the scheme told to WebKit, "" before
  std::unique_ptr<RequestQueue> queue_;
};

}  // namespace qil::gtk
