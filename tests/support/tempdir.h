#pragma once
// A fresh, empty directory of the running test's own under the system's temporary
// directory (named for the process and the test), removed again with its contents.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

class TestDirectory {
public:
  explicit TestDirectory(const std::string& prefix)
      : path_(std::filesystem::temp_directory_path() /
              (prefix + "-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TestDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TestDirectory(const TestDirectory&) = delete;
  TestDirectory& operator=(const TestDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

private:
  std::filesystem::path path_;
};
