#pragma once
// A fresh data folder (XDG_DATA_HOME) for one test, removed afterwards, so that
// tests never read or write the user's own data.txt or activity cache.
#include <filesystem>
#include <string>

namespace velkor::test {

class TempDataDir {
  public:
    explicit TempDataDir(const std::string& tag);
    ~TempDataDir();
    TempDataDir(const TempDataDir&) = delete;
    TempDataDir& operator=(const TempDataDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace velkor::test
