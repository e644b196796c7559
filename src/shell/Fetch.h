// Fetching one address the way the web view does: through a protocol handler.
//
// FetchAddress creates a ProtocolHandler, calls Start, then Read in
// chunks until the handler reports the end, exactly as the browser drives it.
// The answer is whatever the process-wide request handler (the registered
// content server) gives. Safe to call whenever a server is registered; one
// request at a time.
#pragma once

#include <string>

namespace qil {

struct FetchResult {
  bool Found = false;  // false: the handler reported no answer
  std::string MimeType;
  std::string Body;
};

FetchResult FetchAddress(const std::string& url);

}  // namespace qil
