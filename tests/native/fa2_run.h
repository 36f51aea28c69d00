// The fa2 program run as a user runs it, for the publisher's tests: each test
// gets a fresh folder of its own, removed afterwards.
#ifndef TESTS_NATIVE_FA2_RUN_H
#define TESTS_NATIVE_FA2_RUN_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct Fa2Run {
  int exitCode;  // 128 + signal when the program was killed
  std::string out, err;
};

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteText(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

class Fa2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/fa2_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  // Runs fa2 with the arguments, each quoted for the shell.
  Fa2Run Fa2(const std::vector<std::string>& args) {
    std::string command = "'" FA2_PATH "'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " >'" + dir_ + "/.out' 2>'" + dir_ + "/.err'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            ReadText(dir_ + "/.out"), ReadText(dir_ + "/.err")};
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
};

#endif
