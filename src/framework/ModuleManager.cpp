#include "framework/ModuleManager.h"

#include "archive/ArchiveReader.h"
#include "base/Escape.h"
#include "base/Exceptions.h"
#include "base/FileNames.h"
#include "base/Text.h"
#include "base/UrlText.h"

namespace qil {

namespace {

// A registered module class, carried by its line of the module registry.
class ModuleClass : public ListObject {
 public:
  explicit ModuleClass(ModuleFactory factory) : Factory(std::move(factory)) {}
  ModuleFactory Factory;
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
// PageModule

PageModule::PageModule(ModuleManager& manager, MemoryStream& stream)
    : Manager(&manager), OutStream(&stream) {}

void PageModule::Redirect(std::string_view url) { Manager->Redirect(*this, url); }

void PageModule::WriteString(std::string_view text) {
  ContentType = "text/html";
  OutStream->Write(text);
}

// ---------------------------------------------------------------------------
// ModuleManager

ModuleManager::ModuleManager(ArchiveReader* archive, bool singleSession)
    : archive_(archive), single_session_(singleSession) {
  modules_.SetSorted(true);
  objects_.SetSorted(true);
  if (single_session_) default_session_ = std::make_unique<Session>("default");
}

ModuleManager::~ModuleManager() {
  // Shared objects belong to others: only the registry entries go, last first.
  while (!objects_.Empty()) objects_.Delete(objects_.Count() - 1);
}

void ModuleManager::RegisterModule(std::string_view name, ModuleFactory factory) {
  int index = 0;
  if (modules_.Find(name, index)) return;
  modules_.Add(std::string(name), std::make_shared<ModuleClass>(std::move(factory)));
}

bool ModuleManager::HasModule(std::string_view name) const { return modules_.IndexOf(name) >= 0; }

void ModuleManager::RegisterObject(std::string_view name, ListObject* object) {
  int index = 0;
  if (objects_.Find(name, index)) return;
  // The registry does not own the object: its holder deletes nothing.
  objects_.Add(std::string(name), std::shared_ptr<ListObject>(object, [](ListObject*) {}));
}

ListObject* ModuleManager::GetObject(std::string_view name) const {
  int index = 0;
  if (!objects_.Find(name, index)) return nullptr;
  return objects_.Object(index).get();
}

void ModuleManager::UnregisterObject(std::string_view name) {
  int index = 0;
  if (objects_.Find(name, index)) objects_.Delete(index);
}

void ModuleManager::WriteString(MemoryStream& stream, std::string_view text) { stream.Write(text); }

void ModuleManager::WriteToModule(PageModule& module, std::string_view text) {
  WriteString(*module.OutStream, text);
}

void ModuleManager::Redirect(PageModule& module, std::string_view url) {
  WriteToModule(module, "<html><head>\r\n<meta http-equiv=\"Refresh\" content=\"0;url=" +
                            EscapeHtmlAttribute(url) + "\">\r\n</head><body></body></html>\r\n");
}

bool ModuleManager::IsTemplate(std::string_view url) const {
  return SameText(ExtractFileExt(StripQuery(url)), SectionedTemplate::TemplateExtension());
}

bool ModuleManager::ServeRequest(const std::string& url, MemoryStream& stream,
                                 std::string& contentType, Session* session) {
  try {
    std::unique_ptr<SectionedTemplate> page;
    try {
      const std::string path = StripQuery(url);
      MemoryStream source;
      if (archive_ != nullptr) archive_->ReadFile(path, source);
      page = SectionedTemplate::CreateFromStream(path, source);
    } catch (...) {
      contentType = "text/html";
      WriteString(stream, ExecutionErrorPage(url, MessageOf(std::current_exception())));
      return false;
    }
    return RunModule(url, *page, stream, contentType,
                     session != nullptr ? session : default_session_.get());
  } catch (...) {
    // Only the error page itself failed (out of memory): the answer stays as it is.
    contentType = "text/html";
    return false;
  }
}

bool ModuleManager::RunModule(const std::string& url, SectionedTemplate& page,
                              MemoryStream& stream, std::string& contentType, Session* session) {
  int index = 0;
  if (!modules_.Find(page.Name(), index)) {
    contentType = "text/html";
    WriteString(stream, "<pre>Template script not found for template: \"" + EscapeHtmlText(url) +
                            "\"\r\n</pre>");
    return false;
  }
  const auto& module_class = static_cast<const ModuleClass&>(*modules_.Object(index));
  try {
    std::unique_ptr<PageModule> module = module_class.Factory(*this, stream);
    module->ClientSession = session;
    module->Template = &page;
    SplitQuery(url, module->Params);
    module->URL = url;
    module->ContentType = "text/html";
    module->Execute();
    contentType = module->ContentType;
    return true;
  } catch (...) {
    contentType = "text/html";
    stream.SetPosition(stream.Size());  // behind whatever the module wrote
    WriteString(stream, ExecutionErrorPage(url, MessageOf(std::current_exception())));
    return false;
  }
}

}  // namespace qil
