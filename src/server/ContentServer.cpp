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

std::optional<ContentAnswer> ContentServer::Answer(const std::string& url, Session* session) {
  std::string address = url;
  for (char& c : address) {
    if (c == '\\') c = '/';
  }
  const std::string path = ParseURL(address).path;
  const std::string entry = path.empty() ? std::string() : StripQuery(path.substr(1));
  if (!archive_.GetFileSize(entry)) return std::nullopt;

  ContentAnswer answer;
  answer.body = std::make_unique<MemoryStream>();
  if (manager_.IsTemplate(path)) {
    answer.mimeType = "text/html";
    answer.generated = true;
    answer.failed = !manager_.ServeRequest(path, *answer.body, answer.mimeType, session);
  } else {
    answer.mimeType = mime_types_.GetMIMEType(entry);
    archive_.ReadFile(entry, std::string(), *answer.body);
    answer.body->SetPosition(0);
  }
  if (display_pictures_ && answer.mimeType != "text/html") {
    // nullopt: not a metafile
    if (std::optional<RenderedPicture> drawn = RenderMetafile(answer.body->View())) {
      answer.body = std::make_unique<MemoryStream>(std::move(drawn->bytes));
      answer.mimeType = drawn->mime;
    }
  }
  return answer;
}

void ContentServer::GetContent(const std::string& url, std::string& mimeType, int32_t& size,
                               std::unique_ptr<MemoryStream>& stream) {
  std::optional<ContentAnswer> answer = Answer(url);
  if (!answer) return;
  if (answer->body->Size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw StreamError("The answer to " + url + " is too large");
  }
  mimeType = std::move(answer->mimeType);
  size = static_cast<int32_t>(answer->body->Size());
  stream = std::move(answer->body);
}

}  // namespace qil
