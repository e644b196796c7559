// qilcd: the engine on the command line. Dispatches to one function per verb.
#include <cstring>
#include <iostream>

#include "app/Verbs.h"

namespace {

struct Verb {
  const char* name;
  int (*run)(const qil::app::Args&);
};

const Verb kVerbs[] = {
    {"pack", qil::app::RunPack},       {"ls", qil::app::RunList},
    {"cat", qil::app::RunCat},         {"get", qil::app::RunGet},
    {"session", qil::app::RunSession}, {"db", qil::app::RunDb},
    {"render", qil::app::RunRender},   {"pdf", qil::app::RunPdf},
};

int Usage() {
  std::cerr << "usage:\n"
               "  qilcd pack SRC_DIR OUT_FILE [--product-id ID] [--content-key KEY]\n"
               "  qilcd ls ARCHIVE\n"
               "  qilcd cat ARCHIVE NAME\n"
               "  qilcd get [--archive FILE] [--clipboard FILE] [--save-dir FOLDER] [--display] URL\n"
               "  qilcd session [--archive FILE] [--clipboard FILE] [--save-dir FOLDER] [--display]\n"
               "      get and session take addresses as qilproto://qilproto_local/PATH or just PATH;\n"
               "      session reads one per line and answers 'STATUS MIME SIZE', the body, a LF;\n"
               "      --display answers metafile pictures drawn as SVG, as a viewer gets them;\n"
               "      --save-dir receives the documents pages save (a worksheet's PDF);\n"
               "      QILCD_UTC_TIME_OF_DAY_MS=N (0..86399999) fixes the UTC time of day they see\n"
               "  qilcd db ARCHIVE\n"
               "  qilcd render PICTURE OUT     a metafile picture drawn as SVG, or PNG when OUT ends in .png\n"
               "  qilcd pdf --archive FILE --problems N,N,... [--key] [--paper a4|letter] [--title TEXT] OUT.pdf\n"
               "      a worksheet of those problems (numbers as the disc prints them) as PDF, with its\n"
               "      sheet code; --key adds the answer key; a comma before a group of three digits\n"
               "      that starts with 0 groups thousands (1,020), else it separates numbers (1,200 is 1 and 200)\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  qil::app::Args args(argv + 2, argv + argc);
  for (const Verb& verb : kVerbs) {
    if (std::strcmp(verb.name, argv[1]) == 0) {
      try {
        return verb.run(args);
      } catch (const std::exception& error) {
        std::cerr << "qilcd " << argv[1] << ": " << error.what() << std::endl;
        return 1;
      }
    }
  }
  std::cerr << "qilcd: unknown verb '" << argv[1] << "'" << std::endl;
  return Usage();
}
