#include "server/ContentServer.h"

#include <limits>

#include "archive/ArchiveReader.h"
#include "base/Exceptions.h"
#include "metafile/MetafileRenderer.h"
#include "base/UrlText.h"
#include "protocol/ProtocolHandler.h"

namespace qil {

namespace {
SchemeHooks& Hooks() {
  static SchemeHooks hooks;
  return hooks;
}
}  // namespace

void SetSchemeHooks(SchemeHooks hooks) { Hooks() = std::move(hooks); }

ContentServer::ContentServer(ArchiveReader& archive, const std::string& mimeTypesPath)
    : mime_types_(mimeTypesPath), archive_(archive), manager_(&archive, true) {
  SchemeName.clear();
}

ContentServer::~ContentServer() {
  try {
    UnregisterNamespace();
  } catch (...) {
    // A failing front-end hook must not stop the shutdown.
  }
}

void ContentServer::RegisterNamespace(const std::string& scheme) {
  if (registered_) return;
  scheme_ = scheme;
  SchemeName = scheme;
  RequestHandler = [this](const std::string& url, std::string& mimeType, int32_t& size,
                          std::unique_ptr<MemoryStream>& stream) {
    GetContent(url, mimeType, size, stream);
  };
  registered_ = true;
  if (Hooks().Register) Hooks().Register(scheme_);
}

void ContentServer::UnregisterNamespace() {
  if (!registered_) return;
  RequestHandler = nullptr;
  registered_ = false;
  if (Hooks().Unregister) Hooks().Unregister(scheme_);
}

void ContentServer::GetContent(const std::string& url, std::string& mimeType, int32_t& size,
                            std::unique_ptr<MemoryStream>& stream) {
  std::string address = url;
  for (char& c : address) {
    if (c == '\\') c = '/';
  }
  const std::string path = ParseURL(address).path;
  const std::string entry = path.empty() ? std::string() : StripQuery(path.substr(1));
  if (!archive_.GetFileSize(entry)) return;

  stream = std::make_unique<MemoryStream>();
  if (manager_.IsTemplate(path)) {
    mimeType = "text/html";
    manager_.ServeRequest(path, *stream, mimeType);
  } else {
    mimeType = mime_types_.GetMIMEType(entry);
    archive_.ReadFile(entry, std::string(), *stream);
    stream->SetPosition(0);
  }
  if (display_pictures_ && mimeType != "text/html") {
    if (std::optional<RenderedPicture> drawn = RenderMetafile(stream->View())) {  // nullopt: not a metafile
      stream = std::make_unique<MemoryStream>(std::move(drawn->bytes));
      mimeType = drawn->mime;
    }
  }
  if (stream->Size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw StreamError("The answer to " + url + " is too large");
  }
  size = static_cast<int32_t>(stream->Size());
}

}  // namespace qil
