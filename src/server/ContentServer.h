// The content server: answers every address of the program's URL scheme.
//
// GetContent decides per address whether the answer is an archive entry
// (returned with the MIME type of its extension) or a generated page (a
// ".stmp" template run by the module manager). An address that names no
// archive entry gets no answer; a page module is therefore reachable only
// through a template file that exists in the archive.
//
// RegisterNamespace makes the server the process-wide RequestHandler that
// every protocol handler calls; UnregisterNamespace (also run by the
// destructor) withdraws it. A front end whose web view must be told about the
// scheme installs scheme hooks, which both calls run.
//
// Answers for display: a server that serves a viewer (the desktop program's
// web view, a browser) answers metafile pictures (WMF and WMZ, whether an
// archive entry or the answer of a picture page) drawn as SVG, "image/svg+xml"
// (PNG, "image/png", where SVG cannot express them). A metafile that cannot be
// drawn keeps its stored bytes. Without display answers every answer is the
// stored bytes; the clipboard export reads pictures from the database and
// always gets the stored bytes.
//
// The server owns the module manager and the MIME table, not the archive.
// No lock: requests reach it one at a time; errors other than the manager's
// (which become pages) pass out of Answer and GetContent unchanged.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/MemoryStream.h"
#include "framework/ModuleManager.h"
#include "protocol/MimeTypes.h"

namespace qil {

class ArchiveReader;

// What a front end does when the scheme is registered or withdrawn (the
// desktop program tells its web view). Empty hooks do nothing.
struct SchemeHooks {
  std::function<void(const std::string& scheme)> Register;
  std::function<void(const std::string& scheme)> Unregister;
};

// One answer of the server.
struct ContentAnswer {
  std::string mimeType;
  std::unique_ptr<MemoryStream> body;
  bool generated = false;  // a page run by the module manager, not a stored entry
  bool failed = false;     // the page failed and body is the manager's error page
};

// Installs hooks for every server of the process; call before RegisterNamespace.
void SetSchemeHooks(SchemeHooks hooks);

class ContentServer {
 public:
  // archive must outlive the server. mimeTypesPath: the mime.types file to read.
  explicit ContentServer(ArchiveReader& archive,
                      const std::string& mimeTypesPath = MimeTypes::kSystemTable);
  ~ContentServer();

  ContentServer(const ContentServer&) = delete;
  ContentServer& operator=(const ContentServer&) = delete;

  // Whether metafile pictures are answered drawn for display (see above).
  void SetDisplayPictures(bool display) { display_pictures_ = display; }

  // Makes this server answer scheme. Nothing happens when already registered.
  void RegisterNamespace(const std::string& scheme);
  // Withdraws it. Nothing happens when not registered.
  void UnregisterNamespace();

  // Answers url (an address of the scheme, escapes already decoded), nullopt
  // when it names no archive entry. A page runs on session, or on the
  // manager's default session when session is nullptr. Raises when an archive
  // entry cannot be read; a page that fails is answered with the manager's
  // error page and marked failed.
  std::optional<ContentAnswer> Answer(const std::string& url, Session* session = nullptr);

  // Answers url for the protocol handler. On success stream is a new stream
  // (position 0 for plain entries), size its length and mimeType its type;
  // when the address names no archive entry, nothing is touched.
  void GetContent(const std::string& url, std::string& mimeType, int32_t& size,
                  std::unique_ptr<MemoryStream>& stream);

  ModuleManager& Manager() { return manager_; }
  const MimeTypes& MIMETypes() const { return mime_types_; }
  bool Registered() const { return registered_; }
  const std::string& Scheme() const { return scheme_; }

 private:
  bool registered_ = false;
  bool display_pictures_ = false;
  MimeTypes mime_types_;
  std::string scheme_;
  ArchiveReader& archive_;
  ModuleManager manager_;
};

}  // namespace qil
