#include "modules/ClipboardPage.h"

#include "base/Convert.h"
#include "base/Exceptions.h"
#include "mathdb/MathDatabase.h"
#include "modules/BrowsePages.h"
#include "picture/PictureToRTF.h"
#include "platform/Platform.h"
#include "richtext/RichTextEditor.h"

namespace qil {

namespace {

constexpr const char* kWorksheetVar = "ws";

// The copy type of the URL item "type": the problem part when it is empty.
std::string CopyType(std::string item) { return item.empty() ? std::string("p") : item; }

// The section of a single-problem type, or nullptr for a worksheet type.
const char* SingleSectionName(const std::string& type) {
  if (type == "p") return "copy_pr";
  if (type == "s") return "copy_sol";
  if (type == "b") return "copy_pr_sol";
  return nullptr;
}

// Which pictures of each worksheet entry a worksheet type converts.
bool ConvertsProblemPictures(const std::string& type) {
  return type == "cl_pr" || type == "cl_pr_num" || type == "cl_w_sol";
}
bool ConvertsSolutionPictures(const std::string& type) {
  return type == "cl_sol" || type == "cl_w_sol";
}

}  // namespace

void CopyRTFToClipboard(Platform& platform, std::string_view text) {
  const std::string_view document = text.substr(0, text.find('\0'));
  if (!platform.SetClipboardRTF(std::string(document))) {
    throw PageError("Cannot open clipboard");
  }
}

void ClipboardPage::Execute() {
  MathDatabase& db = Context.Database;
  const std::string id = Param("id");
  const std::string type = CopyType(Param("type"));

  if (const char* single = SingleSectionName(type)) {
    TemplateSection& section = Template->SectionByName(single);
    TemplateSection& resp = Template->SectionByName("resp");
    CopyProblem(db, section, id);
    resp.WriteToStream(*OutStream);
  } else {
    CopyWorksheet(db, type);
  }
}

void ClipboardPage::SetProblemSlots(MathDatabase& db, TemplateSection& section, const std::string& id) {
  const int32_t position = StrToInt(id);
  section.SetVar("num", Variant(FormatThousands(int64_t{position} + 1)));
  section.SetVar("level", Variant(db.GetLevel(position).value_or("")));
  section.SetVar("endpname", Variant(db.GetEndpointName(db.GetCode(position).value_or("").substr(0, 3))));
}

void ClipboardPage::ConvertPictures(MathDatabase& db, const std::string& id,
                                      bool problem_part, bool solution_part) {
  problem_pictures_.Clear();
  solution_pictures_.Clear();
  names_.Clear();
  db.ListPageGraphics(id, names_);
  for (int i = 0; i < names_.Count(); ++i) {
    const std::string& line = names_[i];
    StringList* target = nullptr;
    if (problem_part && line.starts_with('p')) {
      target = &problem_pictures_;
    } else if (solution_part && line.starts_with('s')) {
      target = &solution_pictures_;
    }
    if (target == nullptr) continue;
    const std::string name = line.size() > 2 ? line.substr(2) : std::string();
    graphic_.Clear();
    db.GetGraphic(id, name, graphic_);
    graphic_.SetPosition(0);
    PictureToRTF(graphic_, *target, name);
  }
}

void ClipboardPage::CopyProblem(MathDatabase& db, TemplateSection& section, const std::string& id) {
  section.SetVar("productname", Variant(Context.ProductName));
  SetProblemSlots(db, section, id);
  ConvertPictures(db, id, true, true);
  section.SetVar("problem", Variant(problem_pictures_.Text()));
  section.SetVar("solution", Variant(solution_pictures_.Text()));
  CopyRTFToClipboard(Context.Host, section.Generate());
}

void ClipboardPage::AppendFragment(RichTextEditor& editor, std::string_view text) {
  fragment_.Clear();
  fragment_.Write(text);
  fragment_.SetPosition(0);
  editor.InsertRTFFromStream(fragment_);
}

void ClipboardPage::CopyWorksheet(MathDatabase& db, const std::string& type) {
  TemplateSection& head = Template->SectionByName(type + "_head");
  TemplateSection& body = Template->SectionByName(type + "_body");
  TemplateSection& closing = Template->SectionByName("copyright");
  TemplateSection& resp = Template->SectionByName("resp");
  RichTextEditor& editor = Context.Editor;

  StringList worksheet;
  if (ClientSession != nullptr) worksheet.SetCommaText(ClientSession->GetVar(kWorksheetVar).ToString());

  // Whatever an earlier copy left behind (a failed one stops half-way) is
  // not part of this document.
  editor.Clear();
  head.SetVar("productname", Variant(Context.ProductName));
  AppendFragment(editor, head.Generate());
  for (int k = 0; k < worksheet.Count(); ++k) {
    const std::string& entry = worksheet[k];
    SetProblemSlots(db, body, entry);
    body.SetVar("wnum", Variant(k + 1));
    ConvertPictures(db, entry, ConvertsProblemPictures(type), ConvertsSolutionPictures(type));
    body.SetVar("problem", Variant(problem_pictures_.Text()));
    body.SetVar("solution", Variant(solution_pictures_.Text()));
    AppendFragment(editor, body.Generate());
  }
  problem_pictures_.Clear();
  solution_pictures_.Clear();
  AppendFragment(editor, closing.Generate());

  fragment_.Clear();
  editor.SaveRTFToStream(fragment_);
  editor.Clear();
  CopyRTFToClipboard(Context.Host, fragment_.View());
  fragment_.Clear();
  resp.WriteToStream(*OutStream);
}

}  // namespace qil
