// Making a folder of fonts visible to this process and to the web view's
// renderer processes.
//
// The renderers are separate processes that read fontconfig's configuration
// when they start, so registering the folder in this process alone is not
// enough. AddFolder writes a small configuration file into the folder that
// includes the configuration in force and adds the folder, and points
// FONTCONFIG_FILE at it: every renderer started afterwards sees the fonts.
// RemoveFolder deletes that file and restores the variable.
//
// Call AddFolder before the first web view loads a page. Main thread only.
#pragma once

#include <string>

namespace qil::gtk {

class FontConfig {
 public:
  static constexpr const char* kConfigName = "orvella-fonts.conf";

  ~FontConfig() { RemoveFolder(); }

  // False when the configuration file could not be written.
  bool AddFolder(const std::string& folder);
  void RemoveFolder();

 private:
  std::string config_file_;
  std::string previous_;  // FONTCONFIG_FILE before AddFolder
  bool had_previous_ = false;
};

}  // namespace qil::gtk
