// The classroom site: answers HTTP requests with the disc, through the same
// content server as the desktop program.
//
// A request's path and query name the scheme address with the same path and
// query (escapes decoded as for the desktop's view); "/" sends the browser to
// the start page. Only GET and HEAD are answered (405 otherwise); an address
// with no answer gets 404.
//  - Stored entries (pictures, style sheets, fixed pages) never change while
//    the server runs. Each is read once, kept in memory (up to a bound) with
//    its ETag and its gzip form, and answered without the engine from then on:
//    "Cache-Control: no-cache", 304 on a matching If-None-Match.
//  - Generated pages run one at a time in the engine, each on the session of
//    its client, opened from the client's cookies and sealed back into them
//    when the page changed it (SessionCookies.h). "Cache-Control: no-store".
//    The requests waiting for the engine are bounded by the front's threads.
//  - A copy the page makes becomes a download: the page answers "Your copy is
//    downloading" and sends the browser on to the same address with the item
//    "download=1", which answers the RTF document as an attachment
//    ("problem-NNN.rtf", "worksheet.rtf").
//  - A page that fails, or an entry that cannot be read, is answered 500 for
//    that request only.
//  - Text answers are gzip-compressed for clients that accept it.
// Thread-safe: Handle may run on many threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>

#include "classroom/HttpServer.h"
#include "classroom/SessionCookies.h"

namespace qil {

class ContentServer;

// A stored entry as the site answers it.
struct StoredAnswer {
  std::string mimeType;
  std::string etag;                               // quoted, as sent
  std::shared_ptr<const std::string> body;
  std::shared_ptr<const std::string> gzipped;     // nullptr when not worth it
};

class ClassroomSite {
 public:
  static constexpr size_t kDefaultStoreLimit = size_t{512} << 20;

  // server must outlive the site; the site is the only one to use it.
  ClassroomSite(ContentServer& server, SessionSealer sealer, size_t storeLimit = kDefaultStoreLimit);

  HttpResponse Handle(const HttpRequest& request);

 private:
  HttpResponse AnswerStored(const HttpRequest& request, const std::string& address);
  HttpResponse AnswerGenerated(const HttpRequest& request, const std::string& address);
  std::shared_ptr<const StoredAnswer> LoadStored(const std::string& address);

  ContentServer& server_;
  const SessionSealer sealer_;
  const size_t store_limit_;

  std::mutex engine_lock_;  // the engine serves one request at a time

  std::shared_mutex store_lock_;
  std::map<std::string, std::shared_ptr<const StoredAnswer>> store_;  // by lower-case address
  size_t stored_bytes_ = 0;
};

}  // namespace qil
