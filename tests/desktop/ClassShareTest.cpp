// Sharing with the class without a display: which classroom server is
// started with which arguments, and what is read from its start-up lines.
#include "platform/gtk/ClassShare.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "common/TestFiles.h"

namespace qil::gtk {
namespace {

using Strings = std::vector<std::string>;

void MakeProgram(const std::string& path, bool executable = true) {
  test::WriteFile(path, "#!/bin/sh\n");
  chmod(path.c_str(), executable ? 0755 : 0644);
}

class ServeCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    saved_path_ = path ? path : "";
    setenv("PATH", on_path_.Path().c_str(), 1);
  }
  void TearDown() override { setenv("PATH", saved_path_.c_str(), 1); }

  test::TempDir own_, on_path_;
  std::string saved_path_;
};

TEST_F(ServeCommandTest, TheServerNextToTheProgramComesFirstThenTheOneOnPath) {
  EXPECT_EQ(ServeCommand(own_.Path(), "/discs/math.dat", 8080), Strings{})
      << "neither next to the program nor on PATH";

  MakeProgram(on_path_.File("orvella-serve"));
  MakeProgram(own_.File("orvella-serve"), false);  // not executable: passed over
  std::filesystem::create_directory(own_.File("sub"));
  EXPECT_EQ(ServeCommand(own_.Path(), "/discs/math.dat", 8080),
            (Strings{on_path_.File("orvella-serve"), "--archive", "/discs/math.dat", "--port",
                     "8080", "--log", "/dev/null"}));

  MakeProgram(own_.File("orvella-serve"));
  EXPECT_EQ(ServeCommand(own_.Path(), "/discs/math.dat", 0).front(), own_.File("orvella-serve"));
  EXPECT_EQ(ServeCommand("", "/discs/math.dat", 0).front(), on_path_.File("orvella-serve"));
}

TEST_F(ServeCommandTest, TheDiscIsGivenAsAnAbsolutePath) {
  MakeProgram(own_.File("orvella-serve"));
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(on_path_.Path());
  const Strings command = ServeCommand(own_.Path(), "discs/../math.dat", 0);
  std::filesystem::current_path(cwd);
  ASSERT_EQ(command.size(), 7u);
  EXPECT_EQ(command[2], on_path_.File("math.dat"));
  EXPECT_EQ(command[4], "0");
}

TEST(ServeStartupTest, StudentsAddressesAreShownElseTheListeningOne) {
  ServeStartup startup;
  EXPECT_EQ(startup.Addresses(), Strings{});
  startup.Note("Listening on http://0.0.0.0:8080/\r");
  startup.Note("");
  EXPECT_EQ(startup.Addresses(), Strings{"http://0.0.0.0:8080/"});
  EXPECT_EQ(startup.last_line, "Listening on http://0.0.0.0:8080/");

  startup.Note("Students open http://192.168.1.20:8080/");
  startup.Note("a line of something else");
  startup.Note("Students open http://[2001:db8::7]:8080/  ");
  EXPECT_EQ(startup.Addresses(),
            (Strings{"http://192.168.1.20:8080/", "http://[2001:db8::7]:8080/"}));
  EXPECT_EQ(startup.listening, "http://0.0.0.0:8080/");
  EXPECT_EQ(startup.last_line, "Students open http://[2001:db8::7]:8080/");
}

TEST(ServeStartupTest, AFailureLeavesOnlyItsLine) {
  ServeStartup startup;
  startup.Note("orvella-serve: port 8080 is in use\n");
  EXPECT_EQ(startup.Addresses(), Strings{});
  EXPECT_EQ(startup.last_line, "orvella-serve: port 8080 is in use");
}

}  // namespace
}  // namespace qil::gtk
