#include "framework/CDECGI.h"

#include "archive/CDArch.h"
#include "base/Escape.h"
#include "base/Exceptions.h"
#include "base/Text.h"
#include "protocol/FileNames.h"
#include "protocol/URLUtils.h"

namespace qil {

namespace {

// A registered module class, carried by its line of the module registry.
class TModuleClass : public TObject {
 public:
  explicit TModuleClass(TModuleFactory factory) : Factory(std::move(factory)) {}
  TModuleFactory Factory;
};

// The message of whatever was raised, for the error page.
std::string MessageOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

// The address and the message (which may repeat the address's items) are
// text inside <pre>: escaped, they show as written and open no markup.
std::string ExecutionErrorPage(const std::string& url, const std::string& message) {
  return "<pre>Error executing template script: \"" + EscapeHtmlText(url) + "\"\r\n" +
         EscapeHtmlText(message) + "</pre>";
}

}  // namespace

// ---------------------------------------------------------------------------
// TSimpleCGIModule

TSimpleCGIModule::TSimpleCGIModule(TSimpleCGIManager& manager, TMemoryStream& stream)
    : Manager(&manager), OutStream(&stream) {}

void TSimpleCGIModule::Redirect(std::string_view url) { Manager->Redirect(*this, url); }

void TSimpleCGIModule::WriteString(std::string_view text) {
  ContentType = "text/html";
  OutStream->Write(text);
}

// ---------------------------------------------------------------------------
// TSimpleCGIManager

TSimpleCGIManager::TSimpleCGIManager(TCDArchiver* archive, bool singleSession)
    : archive_(archive), single_session_(singleSession) {
  modules_.SetSorted(true);
  objects_.SetSorted(true);
  if (single_session_) default_session_ = std::make_unique<TSimpleSession>("default");
}

TSimpleCGIManager::~TSimpleCGIManager() {
  // Shared objects belong to others: only the registry entries go, last first.
  while (!objects_.Empty()) objects_.Delete(objects_.Count() - 1);
}

void TSimpleCGIManager::RegisterModule(std::string_view name, TModuleFactory factory) {
  int index = 0;
  if (modules_.Find(name, index)) return;
  modules_.Add(std::string(name), std::make_shared<TModuleClass>(std::move(factory)));
}

bool TSimpleCGIManager::HasModule(std::string_view name) const { return modules_.IndexOf(name) >= 0; }

void TSimpleCGIManager::RegisterObject(std::string_view name, TObject* object) {
  int index = 0;
  if (objects_.Find(name, index)) return;
  // The registry does not own the object: its holder deletes nothing.
  objects_.Add(std::string(name), std::shared_ptr<TObject>(object, [](TObject*) {}));
}

TObject* TSimpleCGIManager::GetObject(std::string_view name) const {
  int index = 0;
  if (!objects_.Find(name, index)) return nullptr;
  return objects_.Object(index).get();
}

void TSimpleCGIManager::UnregisterObject(std::string_view name) {
  int index = 0;
  if (objects_.Find(name, index)) objects_.Delete(index);
}

void TSimpleCGIManager::WriteString(TMemoryStream& stream, std::string_view text) { stream.Write(text); }

void TSimpleCGIManager::WriteToModule(TSimpleCGIModule& module, std::string_view text) {
  WriteString(*module.OutStream, text);
}

void TSimpleCGIManager::Redirect(TSimpleCGIModule& module, std::string_view url) {
  WriteToModule(module, "<html><head>\r\n<meta http-equiv=\"Refresh\" content=\"0;url=" +
                            EscapeHtmlAttribute(url) + "\">\r\n</head><body></body></html>\r\n");
}

bool TSimpleCGIManager::IsTemplate(std::string_view url) const {
  return SameText(ExtractFileExt(StripQuery(url)), TSectionedTemplate::TemplateExtension());
}

void TSimpleCGIManager::ServeRequest(const std::string& url, TMemoryStream& stream,
                                     std::string& contentType) {
  try {
    std::unique_ptr<TSectionedTemplate> page;
    try {
      const std::string path = StripQuery(url);
      TMemoryStream source;
      if (archive_ != nullptr) archive_->ReadFile(path, source);
      page = TSectionedTemplate::CreateFromStream(path, source);
    } catch (...) {
      contentType = "text/html";
      WriteString(stream, ExecutionErrorPage(url, MessageOf(std::current_exception())));
      return;
    }
    RunModule(url, *page, stream, contentType);
  } catch (...) {
    // Only the error page itself failed (out of memory): the answer stays as it is.
    contentType = "text/html";
  }
}

void TSimpleCGIManager::RunModule(const std::string& url, TSectionedTemplate& page,
                                  TMemoryStream& stream, std::string& contentType) {
  int index = 0;
  if (!modules_.Find(page.Name(), index)) {
    contentType = "text/html";
    WriteString(stream, "<pre>Template script not found for template: \"" + EscapeHtmlText(url) +
                            "\"\r\n</pre>");
    return;
  }
  const auto& module_class = static_cast<const TModuleClass&>(*modules_.Object(index));
  try {
    std::unique_ptr<TSimpleCGIModule> module = module_class.Factory(*this, stream);
    module->Session = default_session_.get();
    module->Template = &page;
    SplitQuery(url, module->Params);
    module->URL = url;
    module->ContentType = "text/html";
    module->Execute();
    contentType = module->ContentType;
  } catch (...) {
    contentType = "text/html";
    stream.SetPosition(stream.Size());  // behind whatever the module wrote
    WriteString(stream, ExecutionErrorPage(url, MessageOf(std::current_exception())));
  }
}

}  // namespace qil
