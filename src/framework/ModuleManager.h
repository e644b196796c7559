// The module manager and the base class of page modules.
//
// A request for a template page ("mathlist.stmp?main=A") reaches
// ModuleManager::ServeRequest. The manager reads the template from the
// archive, parses it, finds the module class registered under the template's
// name, creates one module object for this request, hands it the template,
// the URL's items, the session and the response stream, and runs its
// Execute. Errors become an HTML error page inside the response; no exception
// leaves ServeRequest. The error page repeats the address and the error's
// message as HTML text escaped by base/Escape.h, so neither puts markup on
// it. The module, the template and every per-request object are released
// when the request ends, also after an error.
//
// Registries (all names ignore letter case; the first registration wins):
//  - module classes: a factory per template name;
//  - shared objects (the math database, the product name, ...): not owned;
//    GetObject answers nullptr for an unknown name.
// Not thread-safe: requests run one at a time, registration happens at start-up.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "framework/SectionedTemplate.h"
#include "framework/Session.h"

namespace qil {

class ArchiveReader;
class ModuleManager;

// The base of every page module. A module derives from it and overrides Execute.
class PageModule {
 public:
  PageModule(ModuleManager& manager, MemoryStream& stream);
  virtual ~PageModule() = default;

  PageModule(const PageModule&) = delete;
  PageModule& operator=(const PageModule&) = delete;

  // Writes a page that sends the browser to url at once (url is escaped as an
  // attribute value; where it leads is the module's choice).
  virtual void Redirect(std::string_view url);
  // Sets ContentType to "text/html" and appends text to OutStream.
  virtual void WriteString(std::string_view text);
  // Builds the response into OutStream.
  virtual void Execute() = 0;

  // The value of the first URL item named name (the part before "=", letter
  // case ignored); "" when there is none.
  std::string Param(std::string_view name) const { return Params.Value(name); }

  ModuleManager* Manager;
  MemoryStream* OutStream;        // the response body, not owned
  Session* ClientSession = nullptr;
  std::string ContentType = "text/html";
  StringList Params;              // SplitQuery of the URL: the path, then each item undecoded
  SectionedTemplate* Template = nullptr;  // owned by the manager for the request
  std::string URL;                 // exactly as ServeRequest received it
};

// Creates one module object for one request.
using ModuleFactory =
    std::function<std::unique_ptr<PageModule>(ModuleManager&, MemoryStream&)>;

class ModuleManager {
 public:
  // archive may be nullptr (every template then reads as missing). With
  // singleSession true the manager creates the session "default" that every
  // module receives; otherwise modules receive no session.
  ModuleManager(ArchiveReader* archive, bool singleSession);
  virtual ~ModuleManager();

  ModuleManager(const ModuleManager&) = delete;
  ModuleManager& operator=(const ModuleManager&) = delete;

  // Adds the class unless the name is already registered.
  void RegisterModule(std::string_view name, ModuleFactory factory);
  template <class Module>
  void RegisterModule(std::string_view name) {
    RegisterModule(name, [](ModuleManager& manager, MemoryStream& stream) {
      return std::unique_ptr<PageModule>(new Module(manager, stream));
    });
  }
  bool HasModule(std::string_view name) const;

  // Shared objects, not owned: they must outlive the manager or be unregistered.
  void RegisterObject(std::string_view name, ListObject* object);
  ListObject* GetObject(std::string_view name) const;
  template <class T>
  T* GetObjectAs(std::string_view name) const {
    return dynamic_cast<T*>(GetObject(name));
  }
  void UnregisterObject(std::string_view name);

  virtual void WriteString(MemoryStream& stream, std::string_view text);
  virtual void Redirect(PageModule& module, std::string_view url);
  virtual void WriteToModule(PageModule& module, std::string_view text);
  // Runs the page of url (leading "/" and query included) into stream and sets
  // contentType. The module works on session, or on the default session when
  // session is nullptr (a front end with a session per client passes its
  // client's). Answers true when the page ran to its end, false when the
  // answer is the error page. Never raises.
  virtual bool ServeRequest(const std::string& url, MemoryStream& stream, std::string& contentType,
                            Session* session = nullptr);
  // True when url, cut at its first "?", has the extension ".stmp" (letter case ignored).
  virtual bool IsTemplate(std::string_view url) const;

  ArchiveReader* Archive() const { return archive_; }
  Session* DefaultSession() const { return default_session_.get(); }

 private:
  bool RunModule(const std::string& url, SectionedTemplate& page, MemoryStream& stream,
                 std::string& contentType, Session* session);

  StringList modules_;  // sorted; each line carries its factory
  ArchiveReader* archive_;
  StringList objects_;  // sorted; each line carries a non-owning holder
  bool single_session_;
  std::unique_ptr<Session> default_session_;
};

}  // namespace qil
