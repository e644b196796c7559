// What the disc's page modules work with, handed to each module when the
// module manager makes it: the math database, the rich-text editor that merges
// clipboard documents, the platform (clipboard, time of day) and the product
// name.
//
// Start-up builds one context and registers every page with it
// (RegisterPage); the context and what it refers to must outlive the module
// manager. Modules only read the context itself; the database and the editor
// follow their own thread-safety rules, and the manager runs one page at a
// time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/Exceptions.h"
#include "framework/ModuleManager.h"

namespace qil {

class MathDatabase;
class Platform;
class RichTextEditor;

struct PageContext {
  MathDatabase& Database;
  RichTextEditor& Editor;
  Platform& Host;
  std::string ProductName;
};

// A request a page cannot answer: a bad request value, a number that names no
// problem, a refused clipboard. The module manager shows its message on the
// error page.
class PageError : public Exception {
 public:
  using Exception::Exception;
};

// A page module of the disc: a page module with the context it was made with.
class DiscPage : public PageModule {
 public:
  DiscPage(ModuleManager& manager, MemoryStream& stream, const PageContext& context)
      : PageModule(manager, stream), Context(context) {}

 protected:
  const PageContext& Context;
};

// Registers Page under the template name name; each request's module is made
// with context.
template <class Page>
void RegisterPage(ModuleManager& manager, std::string_view name, const PageContext& context) {
  manager.RegisterModule(name, [&context](ModuleManager& owner, MemoryStream& stream) {
    return std::unique_ptr<PageModule>(new Page(owner, stream, context));
  });
}

}  // namespace qil
