// The verbs of the qilcd command line. Each takes the arguments after the verb
// and returns the process exit code; errors are one line on stderr.
#pragma once

#include <string>
#include <vector>

namespace qil::app {

using Args = std::vector<std::string>;

int RunPack(const Args& args);     // VerbArchive.cpp
int RunList(const Args& args);     // VerbArchive.cpp
int RunCat(const Args& args);      // VerbArchive.cpp
int RunGet(const Args& args);      // VerbEngine.cpp
int RunSession(const Args& args);  // VerbEngine.cpp
int RunDb(const Args& args);       // VerbDb.cpp
int RunRender(const Args& args);   // VerbRender.cpp
int RunPdf(const Args& args);      // VerbPdf.cpp

}  // namespace qil::app
