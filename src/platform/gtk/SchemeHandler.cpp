#include "platform/gtk/SchemeHandler.h"

#include <gio/gio.h>

#include "platform/gtk/Log.h"

namespace qil::gtk {

namespace {

void FinishNotFound(WebKitURISchemeRequest* request) {
  GError* error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND,
                              "The disc has nothing at the address %s",
                              webkit_uri_scheme_request_get_uri(request));
  webkit_uri_scheme_request_finish_error(request, error);
  g_error_free(error);
}

// Finishes request on the main thread with result, then drops our reference.
void Finish(WebKitURISchemeRequest* request, FetchResult result) {
  struct Answer {
    WebKitURISchemeRequest* request;
    FetchResult result;
  };
  g_main_context_invoke_full(
      nullptr, G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        auto* answer = static_cast<Answer*>(data);
        WebKitURISchemeRequest* request = answer->request;
        if (!answer->result.Found) {
          LogEvent("not found: %s", webkit_uri_scheme_request_get_uri(request));
          FinishNotFound(request);
          return G_SOURCE_REMOVE;
        }
        auto* body = new std::string(std::move(answer->result.Body));
        const gint64 size = static_cast<gint64>(body->size());
        GBytes* bytes = g_bytes_new_with_free_func(
            body->data(), body->size(), [](gpointer text) { delete static_cast<std::string*>(text); },
            body);
        GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
        WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, size);
        webkit_uri_scheme_response_set_content_type(response, answer->result.MimeType.c_str());
        webkit_uri_scheme_request_finish_with_response(request, response);
        LogEvent("answered %s (%s, %" G_GINT64_FORMAT " bytes)",
                 webkit_uri_scheme_request_get_uri(request), answer->result.MimeType.c_str(), size);
        g_object_unref(response);
        g_object_unref(stream);
        g_bytes_unref(bytes);
        return G_SOURCE_REMOVE;
      },
      new Answer{request, std::move(result)},
      [](gpointer data) {
        auto* answer = static_cast<Answer*>(data);
        g_object_unref(answer->request);
        delete answer;
      });
}

}  // namespace

void SchemeHandler::Register(const std::string& scheme) {
  if (!registered_.empty() && registered_ != scheme) return;  // WebKit keeps the first
  if (registered_.empty()) {
    webkit_web_context_register_uri_scheme(context_, scheme.c_str(), OnRequest, this, nullptr);
    WebKitSecurityManager* security = webkit_web_context_get_security_manager(context_);
    webkit_security_manager_register_uri_scheme_as_local(security, scheme.c_str());
    webkit_security_manager_register_uri_scheme_as_secure(security, scheme.c_str());
    webkit_security_manager_register_uri_scheme_as_display_isolated(security, scheme.c_str());
    registered_ = scheme;
  }
  if (!queue_) queue_ = std::make_unique<RequestQueue>();
}

void SchemeHandler::Unregister() {
  if (!queue_) return;
  queue_->Stop([] { g_main_context_iteration(nullptr, FALSE); });
  queue_.reset();
}

void SchemeHandler::OnRequest(WebKitURISchemeRequest* request, gpointer data) {
  auto* handler = static_cast<SchemeHandler*>(data);
  if (!handler->queue_) {
    FinishNotFound(request);
    return;
  }
  g_object_ref(request);
  handler->queue_->Submit(webkit_uri_scheme_request_get_uri(request),
                          [request](FetchResult result) { Finish(request, std::move(result)); });
}

}  // namespace qil::gtk
