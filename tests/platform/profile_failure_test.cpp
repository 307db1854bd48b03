// Writes that cannot succeed and files that are not what they should be: a failed write says
// why on standard error and leaves everything as it was; reads never hang or crash.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>

#include "platform/codepage.h"
#include "platform/profile.h"

namespace velkor::platform {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void put(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

bool has_temp_files(const fs::path& dir) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename().string().find(".tmp-") != std::string::npos) {
            return true;
        }
    }
    return false;
}

class ProfileFailure : public ::testing::Test {
  public:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "velkor-failure-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        root_ = tmpl;
        ::chmod(root_.c_str(), 0755);  // open to the unprivileged owner a case may act as
    }
    void TearDown() override {
        for (const fs::path& m : mounts_) {
            ::umount2(m.c_str(), MNT_DETACH);
        }
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    // A small tmpfs at root_/name, or nullopt where this process may not mount.
    std::optional<fs::path> mount_tmpfs(const std::string& name, const char* options) {
        const fs::path at = root_ / name;
        fs::create_directory(at);
        if (::mount("tmpfs", at.c_str(), "tmpfs", 0, options) != 0) {
            return std::nullopt;
        }
        mounts_.push_back(at);
        return at;
    }

  protected:
    fs::path root_;
    std::vector<fs::path> mounts_;
};

// What one failing write is aimed at, and what stays in force while it runs.
struct Situation {
    std::string file;
    std::string value = "new";
    std::shared_ptr<void> in_force;  // released after the write
    std::string skip;                // why the situation cannot be made here
};

Situation aimed_at(const fs::path& file, std::string value = "new") {
    Situation s;
    s.file = file.string();
    s.value = std::move(value);
    return s;
}

Situation cannot(std::string why) {
    Situation s;
    s.skip = std::move(why);
    return s;
}

struct FailureCase {
    const char* name;
    const char* reason;  // the text after the file name on standard error
    std::function<Situation(ProfileFailure&, const fs::path& root)> make;
};

constexpr uid_t kNobody = 65534;

// Seeds `file` with one entry so that there is an old file to keep.
void seed(const fs::path& file) {
    ASSERT_TRUE(write_profile(file.string(), "user", "10001", utf8_to_gbk("移动专区")));
}

std::string big_value() {
    return std::string(200 * 1024, 'v');
}

const FailureCase kFailures[] = {
    {"read-only folder", "Permission denied",
     [](ProfileFailure&, const fs::path& root) {
         const fs::path folder = root / "ro";
         fs::create_directory(folder);
         seed(folder / "data.txt");
         Situation s = aimed_at(folder / "data.txt");
         if (::geteuid() == 0) {
             // Root writes anywhere; the check is made as an ordinary owner of the folder.
             for (const fs::path& p : {root, folder, folder / "data.txt"}) {
                 if (::chown(p.c_str(), kNobody, kNobody) != 0) {
                     return cannot("cannot chown");
                 }
             }
         }
         ::chmod(folder.c_str(), 0555);
         const bool as_nobody = ::geteuid() == 0;
         if (as_nobody) {
             ::setfsuid(kNobody);
         }
         // Writable again afterwards, so that the folder can be removed.
         s.in_force = std::shared_ptr<void>(nullptr, [folder, as_nobody](void*) {
             if (as_nobody) {
                 ::setfsuid(0);
             }
             ::chmod(folder.c_str(), 0755);
         });
         return s;
     }},
    {"read-only file system", "Read-only file system",
     [](ProfileFailure& t, const fs::path&) {
         auto at = t.mount_tmpfs("rofs", "size=64k,mode=0700");
         if (!at) {
             return cannot("cannot mount a tmpfs");
         }
         seed(*at / "data.txt");
         if (::mount("tmpfs", at->c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
             return cannot("cannot remount read-only");
         }
         return aimed_at(*at / "data.txt");
     }},
    {"full disk", "No space left on device",
     [](ProfileFailure& t, const fs::path&) {
         auto at = t.mount_tmpfs("full", "size=64k,mode=0700");
         if (!at) {
             return cannot("cannot mount a tmpfs");
         }
         seed(*at / "data.txt");
         return aimed_at(*at / "data.txt", big_value());
     }},
    {"full disk, new file", "No space left on device",
     [](ProfileFailure& t, const fs::path&) {
         auto at = t.mount_tmpfs("full-new", "size=64k,mode=0700");
         if (!at) {
             return cannot("cannot mount a tmpfs");
         }
         return aimed_at(*at / "velkor" / "data.txt", big_value());
     }},
    {"file size limit", "File too large",
     [](ProfileFailure&, const fs::path& root) {
         seed(root / "data.txt");
         struct rlimit old {};
         ::getrlimit(RLIMIT_FSIZE, &old);
         struct rlimit small = old;
         small.rlim_cur = 16 * 1024;
         // Without the signal ignored, the write past the limit would kill the test.
         const sighandler_t old_handler = ::signal(SIGXFSZ, SIG_IGN);
         ::setrlimit(RLIMIT_FSIZE, &small);
         Situation s = aimed_at(root / "data.txt", big_value());
         s.in_force = std::shared_ptr<void>(nullptr, [old, old_handler](void*) {
             ::setrlimit(RLIMIT_FSIZE, &old);
             ::signal(SIGXFSZ, old_handler);
         });
         return s;
     }},
    {"data file is a folder", "Is a directory",
     [](ProfileFailure&, const fs::path& root) {
         fs::create_directories(root / "data.txt");
         put(root / "data.txt" / "inside", "kept");
         return aimed_at(root / "data.txt");
     }},
    {"data folder is a file", "Not a directory",
     [](ProfileFailure&, const fs::path& root) {
         put(root / "velkor", "kept");
         return aimed_at(root / "velkor" / "data.txt");
     }},
};

TEST_F(ProfileFailure, FailedWritesSayWhyAndLeaveTheOldFile) {
    for (const FailureCase& c : kFailures) {
        SCOPED_TRACE(c.name);
        const fs::path case_root = root_ / (std::string("case-") + std::to_string(&c - kFailures));
        fs::create_directory(case_root);
        Situation s = c.make(*this, case_root);
        if (!s.skip.empty()) {
            std::cout << "  not tried here: " << c.name << " (" << s.skip << ")\n";
            continue;
        }
        const fs::path target(s.file);
        const fs::path beside = target.parent_path();
        // What is at the target path and beside it before the write.
        const bool was_file = fs::is_regular_file(target);
        const bool was_folder = fs::is_directory(target);
        const std::string old = was_file ? slurp(target) : "";
        const fs::path parent_file = beside;  // a plain file standing where the folder goes
        const std::string parent_old =
            fs::is_regular_file(parent_file) ? slurp(parent_file) : std::string();

        ::testing::internal::CaptureStderr();
        const bool written = write_profile(s.file, "user", "20001", s.value);
        s.in_force.reset();
        const std::string said = ::testing::internal::GetCapturedStderr();

        EXPECT_FALSE(written);
        EXPECT_EQ(said, "velkor: could not write " + s.file + ": " + c.reason + "\n");
        if (was_file) {
            EXPECT_EQ(slurp(target), old);
            EXPECT_EQ(read_profile(s.file, "user", "10001"), utf8_to_gbk("移动专区"));
        } else if (was_folder) {
            EXPECT_TRUE(fs::is_directory(target));
            EXPECT_EQ(slurp(target / "inside"), "kept");
        } else {
            EXPECT_FALSE(fs::exists(target));
        }
        if (fs::is_regular_file(parent_file)) {
            EXPECT_EQ(slurp(parent_file), parent_old);
        } else {
            EXPECT_FALSE(has_temp_files(beside));
        }
    }
}

TEST_F(ProfileFailure, FailedHideSaysWhy) {
    const std::string missing = (root_ / "none" / "data.txt").string();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(set_hidden(missing));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "velkor: could not make " + missing + " private: No such file or directory\n");
}

// Files that no write of ours produced: each reads as empty values, quickly, and a write
// either keeps their lines or (for what is not a file) refuses with a reason.
struct ReadCase {
    const char* name;
    std::function<void(const fs::path& file)> make;
    const char* value;          // read_profile(file, "user", "12345"), in UTF-8
    const char* write_failure;  // nullptr: the write succeeds and keeps the old lines
};

std::string garbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out) {
        c = static_cast<char>(random() & 0xFF);
    }
    return out;
}

const ReadCase kReads[] = {
    {"missing", [](const fs::path&) {}, "", nullptr},
    {"empty", [](const fs::path& f) { put(f, ""); }, "", nullptr},
    {"binary garbage", [](const fs::path& f) { put(f, garbage(1 << 20, 7)); }, "", nullptr},
    {"garbage without line breaks",
     [](const fs::path& f) {
         std::string g = garbage(1 << 20, 8);
         std::replace(g.begin(), g.end(), '\n', '[');
         put(f, g);
     },
     "", nullptr},
    {"20 MB of lines, the key last",
     [](const fs::path& f) {
         std::string big;
         big.reserve(21 << 20);
         for (int n = 0; big.size() < (20u << 20); ++n) {
             big += "[s" + std::to_string(n) + "]\r\nkey=" + std::string(40, 'x') + "\r\n";
         }
         put(f, big + "[user]\r\n12345=" + utf8_to_gbk("移动专区") + "\r\n");
     },
     "移动专区", nullptr},
    {"one 20 MB line", [](const fs::path& f) { put(f, std::string(20 << 20, '[')); }, "", nullptr},
    {"a FIFO", [](const fs::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); }, "",
     "not a regular file"},
    {"a link to an endless device", [](const fs::path& f) { fs::create_symlink("/dev/zero", f); },
     "", "not a regular file"},
};

TEST_F(ProfileFailure, OddFilesReadAsEmptyValues) {
    for (const ReadCase& c : kReads) {
        SCOPED_TRACE(c.name);
        const fs::path file = root_ / (std::string("read-") + std::to_string(&c - kReads));
        c.make(file);
        const std::string value = utf8_to_gbk(c.value);
        EXPECT_EQ(read_profile(file.string(), "user", "12345"), value);
        EXPECT_EQ(read_profile(file.string(), "user", "none"), "");
        const fs::file_type type = fs::symlink_status(file).type();
        const std::string before = type == fs::file_type::regular ? slurp(file) : "";

        ::testing::internal::CaptureStderr();
        const bool written = write_profile(file.string(), "other", "k", "v");
        const std::string said = ::testing::internal::GetCapturedStderr();
        if (c.write_failure) {
            EXPECT_FALSE(written);
            EXPECT_EQ(said,
                      "velkor: could not write " + file.string() + ": " + c.write_failure + "\n");
            EXPECT_EQ(fs::symlink_status(file).type(), type);
            continue;
        }
        EXPECT_TRUE(written);
        EXPECT_EQ(said, "");
        EXPECT_EQ(read_profile(file.string(), "other", "k"), "v");
        EXPECT_EQ(read_profile(file.string(), "user", "12345"), value);
        // Every old line is still there, ahead of the new section.
        const std::string after = slurp(file);
        const std::string kept = profile_document(before).bytes();
        EXPECT_EQ(after.compare(0, kept.size(), kept), 0);
        EXPECT_EQ(after.substr(kept.size()), "[other]\r\nk=v\r\n");
    }
}

}  // namespace
}  // namespace velkor::platform
