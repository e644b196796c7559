#include "protocol/PlatformURL.h"

#include <glib.h>

#include <memory>

namespace qil {

namespace {

// GLib strings and objects, freed on every way out.
struct GFreeDeleter {
  void operator()(gchar* text) const { g_free(text); }
};
using GString_ = std::unique_ptr<gchar, GFreeDeleter>;

struct GUriDeleter {
  void operator()(GUri* uri) const { g_uri_unref(uri); }
};

struct GBytesDeleter {
  void operator()(GBytes* bytes) const { g_bytes_unref(bytes); }
};

struct GErrorDeleter {
  void operator()(GError* error) const { g_error_free(error); }
};

// Escapes are kept as written, user:password is split, and odd characters are tolerated.
constexpr GUriFlags kParseFlags =
    static_cast<GUriFlags>(G_URI_FLAGS_ENCODED | G_URI_FLAGS_PARSE_RELAXED | G_URI_FLAGS_HAS_PASSWORD);

// GLib reads C strings: the address up to its first NUL byte.
std::string CString(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

std::string Take(gchar* text) {
  GString_ owned(text);
  return owned ? std::string(owned.get()) : std::string();
}

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Appends the decoded form of a stretch that holds only well-formed escapes.
void AppendUnescaped(std::string_view stretch, std::string& out) {
  if (stretch.find('%') == std::string_view::npos) {
    out.append(stretch);
    return;
  }
  GError* raw_error = nullptr;
  std::unique_ptr<GBytes, GBytesDeleter> bytes(g_uri_unescape_bytes(
      stretch.data(), static_cast<gssize>(stretch.size()), nullptr, &raw_error));
  std::unique_ptr<GError, GErrorDeleter> error(raw_error);
  if (!bytes) {  // cannot happen for well-formed escapes; keep the text as written
    out.append(stretch);
    return;
  }
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes.get(), &size));
  out.append(data, size);
}

// The parts of a parsed address. Built back with UrlCreate, never with
// g_uri_to_string: a relaxed parse can yield parts that GLib refuses to join.
UrlParts PartsOf(GUri* uri) {
  auto text = [](const char* part) { return part ? std::string(part) : std::string(); };
  UrlParts parts;
  parts.scheme = text(g_uri_get_scheme(uri));
  parts.user = text(g_uri_get_user(uri));
  parts.password = text(g_uri_get_password(uri));
  parts.host = text(g_uri_get_host(uri));
  parts.port = g_uri_get_port(uri);
  parts.path = text(g_uri_get_path(uri));
  if (const char* query = g_uri_get_query(uri)) parts.extra += "?" + std::string(query);
  if (const char* fragment = g_uri_get_fragment(uri)) parts.extra += "#" + std::string(fragment);
  return parts;
}

}  // namespace

std::optional<UrlParts> UrlCrack(std::string_view url) {
  UrlParts parts;
  const std::string text = CString(url);
  gchar *scheme = nullptr, *user = nullptr, *password = nullptr, *host = nullptr;
  gchar *path = nullptr, *query = nullptr, *fragment = nullptr;
  gint port = -1;
  const gboolean ok = g_uri_split_with_user(text.c_str(), kParseFlags, &scheme, &user, &password,
                                            nullptr, &host, &port, &path, &query, &fragment, nullptr);
  parts.scheme = Take(scheme);
  parts.user = Take(user);
  parts.password = Take(password);
  parts.host = Take(host);
  parts.port = port;
  parts.path = Take(path);
  const bool has_query = query != nullptr;
  const bool has_fragment = fragment != nullptr;
  const std::string query_text = Take(query);
  const std::string fragment_text = Take(fragment);
  if (has_query) parts.extra += "?" + query_text;
  if (has_fragment) parts.extra += "#" + fragment_text;
  if (!ok || parts.scheme.empty()) return std::nullopt;
  return parts;
}

std::string UrlCanonicalize(std::string_view url) {
  // Unreserved characters, the reserved ones and "%" stay; everything else is escaped.
  const std::string escaped =
      Take(g_uri_escape_string(CString(url).c_str(), ":/?#[]@!$&'()*+,;=%", FALSE));
  std::unique_ptr<GUri, GUriDeleter> uri(g_uri_parse(escaped.c_str(), kParseFlags, nullptr));
  if (!uri) return escaped;
  return UrlCreate(PartsOf(uri.get()));
}

std::string UrlDecode(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  size_t stretch_start = 0;
  size_t i = 0;
  while ((i = url.find('%', i)) != std::string_view::npos) {
    if (i + 2 < url.size() && IsHexDigit(url[i + 1]) && IsHexDigit(url[i + 2])) {
      i += 3;
      continue;
    }
    // A malformed escape: decode what lies before it, keep the "%" itself.
    AppendUnescaped(url.substr(stretch_start, i - stretch_start), out);
    out += '%';
    stretch_start = ++i;
  }
  AppendUnescaped(url.substr(stretch_start), out);
  return out;
}

std::optional<std::string> UrlCombine(std::string_view base, std::string_view relative) {
  std::unique_ptr<GUri, GUriDeleter> base_uri(g_uri_parse(CString(base).c_str(), kParseFlags, nullptr));
  if (!base_uri) return std::nullopt;
  std::unique_ptr<GUri, GUriDeleter> combined(
      g_uri_parse_relative(base_uri.get(), CString(relative).c_str(), kParseFlags, nullptr));
  if (!combined) return std::nullopt;
  return UrlCreate(PartsOf(combined.get()));
}

std::string UrlCreate(const UrlParts& parts) {
  std::string query;
  std::string fragment;
  bool has_query = false;
  bool has_fragment = false;
  if (!parts.extra.empty()) {
    const size_t hash = parts.extra.find('#');
    if (parts.extra[0] == '?') {
      has_query = true;
      query = parts.extra.substr(1, hash == std::string::npos ? std::string::npos : hash - 1);
    }
    if (hash != std::string::npos) {
      has_fragment = true;
      fragment = parts.extra.substr(hash + 1);
    }
  }
  // GLib refuses a path that does not fit the authority: with a host the path
  // is empty or starts with "/"; without one it must not start with "//"
  // (that is written behind an empty authority instead).
  std::string path = parts.path;
  const bool has_host = !parts.host.empty();
  if (has_host && !path.empty() && path[0] != '/') path.insert(0, "/");
  const bool empty_authority = !has_host && path.starts_with("//");
  const char* host = has_host ? parts.host.c_str() : (empty_authority ? "" : nullptr);
  return Take(g_uri_join_with_user(
      kParseFlags, OrNull(parts.scheme), has_host ? OrNull(parts.user) : nullptr,
      has_host ? OrNull(parts.password) : nullptr, nullptr, host, has_host ? parts.port : -1,
      path.c_str(), has_query ? query.c_str() : nullptr, has_fragment ? fragment.c_str() : nullptr));
}

}  // namespace qil
