#include "tests/support/temp_data_dir.h"

#include <stdlib.h>
#include <unistd.h>

namespace velkor::test {

TempDataDir::TempDataDir(const std::string& tag) {
    namespace fs = std::filesystem;
    path_ = fs::temp_directory_path() / ("velkor-" + tag + "-" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(path_, ec);
    fs::create_directories(path_, ec);
    ::setenv("XDG_DATA_HOME", path_.c_str(), 1);
}

TempDataDir::~TempDataDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace velkor::test
