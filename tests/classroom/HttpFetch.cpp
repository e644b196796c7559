#include "classroom/HttpFetch.h"

#include <curl/curl.h>

#include <cctype>

namespace qil::test {

namespace {

size_t TakeBody(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

size_t TakeHeader(char* data, size_t size, size_t count, void* out) {
  auto& fetched = *static_cast<Fetched*>(out);
  std::string line(data, size * count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return size * count;
  std::string name = line.substr(0, colon);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string value = line.substr(line.find_first_not_of(' ', colon + 1) == std::string::npos
                                            ? line.size()
                                            : line.find_first_not_of(' ', colon + 1));
  if (name == "set-cookie") fetched.cookies.push_back(value);
  fetched.headers[name] = value;
  return size * count;
}

}  // namespace

Fetched Fetch(int port, const std::string& target, const std::vector<std::string>& headers,
              const std::string& method) {
  Fetched fetched;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return fetched;
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + target;
  curl_slist* list = nullptr;
  for (const std::string& header : headers) list = curl_slist_append(list, header.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &TakeBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &fetched.body);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &TakeHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &fetched);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
  curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  if (method == "HEAD") {
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  } else if (method != "GET") {
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
  if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &fetched.status);
  curl_slist_free_all(list);
  curl_easy_cleanup(curl);
  return fetched;
}

Fetched Browser::Get(const std::string& target) {
  std::string jar;
  for (const auto& [name, value] : cookies_) jar += (jar.empty() ? "" : "; ") + name + "=" + value;
  Fetched fetched = Fetch(port_, target, jar.empty() ? std::vector<std::string>{} : std::vector{"Cookie: " + jar});
  for (const std::string& cookie : fetched.cookies) {
    const size_t equals = cookie.find('=');
    const size_t end = cookie.find(';');
    if (equals != std::string::npos) cookies_[cookie.substr(0, equals)] = cookie.substr(equals + 1, end - equals - 1);
  }
  return fetched;
}

}  // namespace qil::test
