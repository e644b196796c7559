#include "classroom/ClassroomSite.h"

#include <openssl/sha.h>

#include <cstdio>
#include <ctime>

#include "base/Convert.h"
#include "base/Escape.h"
#include "base/StringList.h"
#include "base/Text.h"
#include "base/UrlText.h"
#include "classroom/AccessLog.h"
#include "classroom/ClassroomPlatform.h"
#include "classroom/Compression.h"
#include "framework/Session.h"
#include "protocol/ProtocolHandler.h"
#include "server/ContentServer.h"

namespace qil {

namespace {

constexpr const char* kStartPage = "/index.html";
constexpr const char* kSchemeRoot = "qilproto://qilproto_local";
constexpr size_t kSmallestCompressed = 256;
constexpr int kStoredLevel = 9;
constexpr int kGeneratedLevel = 1;

std::string QuotedDigest(std::string_view bytes) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
  std::string tag = "\"";
  char hex[3];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(hex, sizeof hex, "%02x", digest[i]);
    tag += hex;
  }
  return tag + "\"";
}

// Whether an If-None-Match value names etag ("*" names every entity).
bool MatchesEtag(std::string_view condition, const std::string& etag) {
  StringList tags;
  tags.SetCommaText(std::string(condition));
  for (int i = 0; i < tags.Count(); ++i) {
    std::string_view tag = tags[i];
    if (tag.starts_with("W/")) tag.remove_prefix(2);
    if (tag == "*" || tag == etag || "\"" + std::string(tag) + "\"" == etag) return true;
  }
  return false;
}

bool WantsGzip(const HttpRequest& request) {
  const std::optional<std::string> accepted = request.header("Accept-Encoding");
  return accepted && AcceptsGzip(*accepted);
}

// Sets body, compressed when the client accepts gzip and it pays.
void SetBody(HttpResponse& response, const HttpRequest& request, const std::string& mimeType,
             std::shared_ptr<const std::string> body, std::shared_ptr<const std::string> gzipped) {
  response.AddHeader("Content-Type", mimeType);
  if (IsCompressibleType(mimeType)) response.AddHeader("Vary", "Accept-Encoding");
  if (gzipped && WantsGzip(request)) {
    response.AddHeader("Content-Encoding", "gzip");
    response.body = std::move(gzipped);
  } else {
    response.body = std::move(body);
  }
}

// The gzip form of body when it is text and compressing it saves bytes.
std::shared_ptr<const std::string> GzipFormOf(const std::string& mimeType, const std::string& body, int level) {
  if (!IsCompressibleType(mimeType) || body.size() < kSmallestCompressed) return nullptr;
  std::string gzipped = GzipCompress(body, level);
  if (gzipped.size() >= body.size()) return nullptr;
  return std::make_shared<const std::string>(std::move(gzipped));
}

HttpResponse NotFound() {
  return HtmlPage(404, "Not on this disc",
                  "<p>There is no page at this address. Go back, or begin again at the "
                  "<a href=\"/index.html\" target=\"_top\">start page</a>.</p>");
}

HttpResponse Unreadable() {
  return HtmlPage(500, "This part of the disc cannot be read",
                  "<p>The disc may be damaged here. Everything else still works: go back and "
                  "choose another page.</p>");
}

void LogFailure(const std::string& target, const std::string& message) { LogProblem(target + ": " + message); }

// The file name a copy is saved under: the problem's number for one problem,
// "worksheet.rtf" for the worksheet.
std::string CopyName(const StringList& items) {
  const std::string type = items.Value("type");
  if (type.empty() || type == "p" || type == "s" || type == "b") {
    const std::optional<int32_t> position = TryStrToInt(items.Value("id"));
    if (position && *position >= 0) return "problem-" + std::to_string(int64_t{*position} + 1) + ".rtf";
    return "problem.rtf";
  }
  return "worksheet.rtf";
}

// A document the page copied or saved: the notice page that sends the
// browser on to the same address with "download=1", which answers the
// document as an attachment.
HttpResponse DownloadAnswer(const HttpRequest& request, const StringList& items, const CapturedDocument& document) {
  const std::string name = document.name.empty() ? CopyName(items) : document.name;
  if (items.Value("download") == "1") {
    HttpResponse response;
    response.AddHeader("Content-Type", document.mimeType);
    response.AddHeader("Content-Disposition", "attachment; filename=\"" + name + "\"");
    response.AddHeader("Cache-Control", "no-store");
    response.body = std::make_shared<const std::string>(document.bytes);
    return response;
  }
  const std::string link =
      request.target + (request.target.find('?') == std::string::npos ? "?" : "&") + "download=1";
  HttpResponse response = HtmlPage(
      200, "Your copy is downloading",
      "<p>Your browser is saving it as <strong>" + EscapeHtmlText(name) + "</strong>. " +
          (document.mimeType == "application/rtf" ? "Open it in a word processor to print it or to change it."
                                                  : "Open it to print it.") +
          "</p>\n"
          "<p>If no download starts, <a href=\"" + EscapeHtmlAttribute(link) + "\" download=\"" +
          EscapeHtmlAttribute(name) + "\">save it here</a>.</p>\n"
          "<p class=\"tools\"><button type=\"button\" onclick=\"history.back();\">Back</button></p>");
  response.AddHeader("Refresh", "0; url=" + link);
  return response;
}

}  // namespace

ClassroomSite::ClassroomSite(ContentServer& server, SessionSealer sealer, size_t storeLimit)
    : server_(server), sealer_(std::move(sealer)), store_limit_(storeLimit) {}

HttpResponse ClassroomSite::Handle(const HttpRequest& request) {
  if (request.method != "GET" && request.method != "HEAD") {
    HttpResponse response =
        HtmlPage(405, "Not a request for a page", "<p>This server only hands out pages (GET and HEAD).</p>");
    response.AddHeader("Allow", "GET, HEAD");
    return response;
  }
  if (request.target.empty() || request.target.front() != '/') return NotFound();
  if (StripQuery(request.target) == "/") {
    HttpResponse response = HtmlPage(302, "The start page", "<p><a href=\"/index.html\">Start</a></p>");
    response.AddHeader("Location", kStartPage);
    return response;
  }
  const std::optional<std::string> address = DecodeRequestUrl(kSchemeRoot + request.target);
  if (!address) return NotFound();
  if (server_.Manager().IsTemplate(ParseURL(*address).path)) return AnswerGenerated(request, *address);
  return AnswerStored(request, *address);
}

std::shared_ptr<const StoredAnswer> ClassroomSite::LoadStored(const std::string& address) {
  const std::string key = LowerCase(StripQuery(address));
  {
    std::shared_lock<std::shared_mutex> hold(store_lock_);
    auto found = store_.find(key);
    if (found != store_.end()) return found->second;
  }
  std::optional<ContentAnswer> answer;
  {
    std::lock_guard<std::mutex> engine(engine_lock_);
    answer = server_.Answer(address);
  }
  if (!answer) return nullptr;
  auto stored = std::make_shared<StoredAnswer>();
  stored->mimeType = answer->mimeType;
  stored->body = std::make_shared<const std::string>(answer->body->View());
  stored->etag = QuotedDigest(*stored->body);
  stored->gzipped = GzipFormOf(stored->mimeType, *stored->body, kStoredLevel);

  const size_t size = stored->body->size() + (stored->gzipped ? stored->gzipped->size() : 0);
  std::unique_lock<std::shared_mutex> hold(store_lock_);
  auto [place, added] = store_.try_emplace(key, nullptr);
  if (!added) return place->second;
  if (stored_bytes_ + size > store_limit_) {
    store_.erase(place);
    return stored;
  }
  stored_bytes_ += size;
  place->second = stored;
  return stored;
}

HttpResponse ClassroomSite::AnswerStored(const HttpRequest& request, const std::string& address) {
  std::shared_ptr<const StoredAnswer> stored;
  try {
    stored = LoadStored(address);
  } catch (const std::exception& error) {
    LogFailure(request.target, error.what());
    return Unreadable();
  }
  if (!stored) return NotFound();

  HttpResponse response;
  response.AddHeader("ETag", stored->etag);
  response.AddHeader("Cache-Control", "no-cache");
  const std::optional<std::string> condition = request.header("If-None-Match");
  if (condition && MatchesEtag(*condition, stored->etag)) {
    response.status = 304;
    return response;
  }
  SetBody(response, request, stored->mimeType, stored->body, stored->gzipped);
  return response;
}

HttpResponse ClassroomSite::AnswerGenerated(const HttpRequest& request, const std::string& address) {
  const int64_t now = std::time(nullptr);
  std::lock_guard<std::mutex> engine(engine_lock_);

  SessionSealer::Opened client = sealer_.Open(request.cookie, now);
  const auto before = client.session->Variables();
  std::optional<ContentAnswer> answer;
  DocumentCapture capture;
  try {
    answer = server_.Answer(address, client.session.get());
  } catch (const std::exception& error) {
    LogFailure(request.target, error.what());
    return Unreadable();
  }
  if (!answer) return NotFound();

  StringList items;
  SplitQuery(ParseURL(address).path, items);
  HttpResponse response;
  if (capture.Document()) {
    response = DownloadAnswer(request, items, *capture.Document());
  } else {
    if (answer->failed) {
      response.status = 500;
      LogFailure(request.target, "the page answered with its error page");
    }
    // The picture page answers untyped bytes; browsers get its picture's type.
    if (answer->mimeType == "application/octet-stream") {
      const std::string picture = items.Value("gfx");
      if (!picture.empty()) answer->mimeType = server_.MIMETypes().GetMIMEType(picture);
    }
    auto body = std::make_shared<const std::string>(answer->body->View());
    auto gzipped = WantsGzip(request) ? GzipFormOf(answer->mimeType, *body, kGeneratedLevel) : nullptr;
    response.AddHeader("Cache-Control", "no-store");
    SetBody(response, request, answer->mimeType, std::move(body), std::move(gzipped));
  }

  // The cookie goes out when the page changed the session, or when it has
  // used up half its life; other answers leave the client's cookie alone, so
  // a slow page cannot put back a session that a quicker one changed.
  const bool renew = client.expires != 0 && client.expires - now < sealer_.Lifetime() / 2;
  if (client.session->Variables() != before || renew) {
    try {
      for (std::string& cookie : sealer_.Seal(*client.session, now)) {
        response.AddHeader("Set-Cookie", std::move(cookie));
      }
    } catch (const SessionTooLarge& error) {
      LogFailure(request.target, error.Message());
    }
  }
  return response;
}

}  // namespace qil
