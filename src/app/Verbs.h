// The verbs of the qilcd command line. Each takes the arguments after the verb
// and returns the process exit code; errors are one line on stderr.
#pragma once

#include <string>
#include <vector>

namespace qil::app {

using Args = std::vector<std::string>;

}  // namespace qil::app
