#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/codepage.h"

namespace velkor::platform {
namespace {

namespace fs = std::filesystem;

std::string g(std::string_view utf8) {
    return utf8_to_gbk(utf8);
}

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

class Profile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "velkor-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        file_ = (dir_ / "data.txt").string();
    }
    void TearDown() override {
        set_profile_commit_hook({});
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::vector<fs::path> leftovers() const {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(dir_)) {
            if (e.path().filename().string().find(".tmp-") != std::string::npos) {
                out.push_back(e.path());
            }
        }
        return out;
    }
    fs::path dir_;
    std::string file_;
};

TEST_F(Profile, RoundTripWritesCrlfLinesAndReplacesValues) {
    ASSERT_TRUE(write_profile(file_, "user", "12345", g("广东电信一区")));
    ASSERT_TRUE(write_profile(file_, "user", "777", g("移动专区")));
    ASSERT_TRUE(write_profile(file_, g("夏日狂欢"), "url", "http://a/1"));
    ASSERT_TRUE(write_profile(file_, "USER", "12345", g("浙江电信一区")));  // same key
    EXPECT_EQ(slurp(file_), "[user]\r\n12345=" + g("浙江电信一区") + "\r\n777=" + g("移动专区") +
                                "\r\n[" + g("夏日狂欢") + "]\r\nurl=http://a/1\r\n");
    EXPECT_EQ(read_profile(file_, "user", "12345"), g("浙江电信一区"));
    EXPECT_EQ(read_profile(file_, " User ", "777"), g("移动专区"));
    EXPECT_EQ(read_profile(file_, g("夏日狂欢"), "URL"), "http://a/1");
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Profile, MissingFileSectionOrKeyGivesEmptyText) {
    EXPECT_EQ(read_profile(file_, "user", "1"), "");
    ASSERT_TRUE(write_profile(file_, "user", "1", "x"));
    EXPECT_EQ(read_profile(file_, "other", "1"), "");
    EXPECT_EQ(read_profile(file_, "user", "2"), "");
    EXPECT_EQ(read_profile((dir_ / "none" / "x.txt").string(), "user", "1"), "");
}

TEST_F(Profile, DoubleByteNamesAreComparedExactly) {
    // 丄 is 81 41 and 乤 is 81 61: their second bytes look like 'A' and 'a'.
    ASSERT_TRUE(write_profile(file_, g("丄"), "k", "upper"));
    ASSERT_TRUE(write_profile(file_, g("乤"), "k", "lower"));
    EXPECT_EQ(read_profile(file_, g("丄"), "k"), "upper");
    EXPECT_EQ(read_profile(file_, g("乤"), "k"), "lower");
    // A section name holding "]" (as the second byte of 乚, 81 5D, or as itself).
    ASSERT_TRUE(write_profile(file_, g("乚") + "]x", "url", "u"));
    EXPECT_EQ(read_profile(file_, g("乚") + "]x", "url"), "u");
    // A name ending in a lead byte without its second byte: the written "]" still closes.
    ASSERT_TRUE(write_profile(file_, "a\x80\x81", "url", "v"));
    ASSERT_TRUE(write_profile(file_, "a\x80\x81", "url", "w"));
    EXPECT_EQ(read_profile(file_, "a\x80\x81", "url"), "w");
    EXPECT_EQ(read_profile(file_, g("乚") + "]x", "url"), "u");
}

TEST_F(Profile, ReadsForeignFilesAndKeepsTheirOtherLines) {
    put(file_, "; note\n  [ User ]  \n  12345 =  " + g("移动专区") + " \nbare\n\n[other]\nk=v\n");
    EXPECT_EQ(read_profile(file_, "user", "12345"), g("移动专区"));
    EXPECT_EQ(read_profile(file_, "user", "bare"), "");
    EXPECT_EQ(read_profile(file_, "OTHER", "K"), "v");
    ASSERT_TRUE(write_profile(file_, "user", "9", "new"));
    // Untouched lines stay as they were; only the line ends become CRLF.
    EXPECT_EQ(slurp(file_), "; note\r\n  [ User ]  \r\n  12345 =  " + g("移动专区") +
                                " \r\nbare\r\n9=new\r\n\r\n[other]\r\nk=v\r\n");
    ASSERT_TRUE(write_profile(file_, "user", "12345", "x"));
    EXPECT_EQ(read_profile(file_, "user", "12345"), "x");
    EXPECT_EQ(read_profile(file_, "other", "k"), "v");
}

TEST_F(Profile, LongValuesAreReadWhole) {
    std::string value;
    int n = 0;
    while (value.size() < 30000) {
        value += g("活动") + std::to_string(n++) + g("丨");
    }
    ASSERT_TRUE(write_profile(file_, g("活动名"), g("活动"), value));
    EXPECT_EQ(read_profile(file_, g("活动名"), g("活动")), value);
}

TEST_F(Profile, LineBreaksCannotAddLines) {
    ASSERT_TRUE(write_profile(file_, "s", "k", "a\r\n[evil]\nx=1"));
    EXPECT_EQ(read_profile(file_, "s", "k"), "a  [evil] x=1");
    EXPECT_EQ(read_profile(file_, "evil", "x"), "");
    ASSERT_TRUE(write_profile(file_, "two\nlines", "k", "v"));
    EXPECT_EQ(read_profile(file_, "two lines", "k"), "v");
}

TEST_F(Profile, CrashBeforeRenameLeavesTheOldFile) {
    ASSERT_TRUE(write_profile(file_, "user", "1", "old"));
    const std::string before = slurp(file_);
    std::string temp;
    set_profile_commit_hook([&](const std::string& path) {
        temp = path;
        return false;
    });
    EXPECT_FALSE(write_profile(file_, "user", "1", "new"));
    EXPECT_FALSE(append_profile_value(file_, "user", "1", "more"));
    EXPECT_EQ(slurp(file_), before);
    EXPECT_EQ(read_profile(file_, "user", "1"), "old");
    // What a crash leaves beside it is complete, under another name.
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(fs::path(temp).parent_path(), dir_);
    EXPECT_EQ(slurp(temp), "[user]\r\n1=oldmore\r\n");

    set_profile_commit_hook({});
    ASSERT_TRUE(write_profile(file_, "user", "1", "new"));
    EXPECT_EQ(read_profile(file_, "user", "1"), "new");
}

TEST_F(Profile, NextWriteRemovesWhatEndedWritersLeft) {
    ASSERT_TRUE(write_profile(file_, "user", "1", "old"));
    const std::string ended = "99999999";  // above any pid_max: no such process
    const std::string ours = std::to_string(::getpid());
    const std::string running = std::to_string(::getppid());
    const std::vector<std::string> stale = {"data.txt.tmp-" + ended + "-0",
                                            "data.txt.tmp-" + ours + "-7"};
    const std::vector<std::string> kept = {
        "data.txt.tmp-" + running + "-3",  // another process may still rename it
        "other.txt.tmp-" + ended + "-0",   // another file's
        "data.txt.tmp-" + ended,           // not a name of ours
        "data.txt.tmp-" + ended + "-1x",
        "data.txt.tmp-x-1",
        "data.txt.tmp--5-1",
        "data.txt.tmp-0-1"};
    for (const auto& names : {stale, kept}) {
        for (const std::string& name : names) {
            put(dir_ / name, "[user]\r\n1=leftover\r\n");
        }
    }
    EXPECT_EQ(read_profile(file_, "user", "1"), "old");  // never read in the file's place

    ASSERT_TRUE(write_profile(file_, "user", "1", "new"));
    for (const std::string& name : stale) {
        EXPECT_FALSE(fs::exists(dir_ / name)) << name;
    }
    for (const std::string& name : kept) {
        EXPECT_TRUE(fs::exists(dir_ / name)) << name;
    }
    EXPECT_EQ(read_profile(file_, "user", "1"), "new");
}

TEST_F(Profile, FailuresLeaveFilesAlone) {
    const fs::path folder = dir_ / "folder";
    fs::create_directory(folder);
    EXPECT_FALSE(write_profile(folder.string(), "s", "k", "v"));  // the path is a folder
    EXPECT_TRUE(fs::is_directory(folder));
    put(dir_ / "plain", "x");
    EXPECT_FALSE(write_profile((dir_ / "plain" / "data.txt").string(), "s", "k", "v"));
    EXPECT_EQ(slurp(dir_ / "plain"), "x");
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Profile, ConcurrentAppendsLoseNothing) {
    constexpr int kThreads = 8;
    constexpr int kEach = 25;
    const std::string bar = g("丨");
    // Two spellings of one file share its lock.
    const std::string other_spelling = (dir_ / "." / "data.txt").string();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::string& path = t % 2 ? file_ : other_spelling;
            for (int k = 0; k < kEach; ++k) {
                const std::string name = "t" + std::to_string(t) + "-" + std::to_string(k);
                EXPECT_TRUE(append_profile_value(path, g("活动名"), g("活动"), name + bar));
                EXPECT_TRUE(write_profile(path, name, "url", "http://x/" + name));
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    const std::string all = read_profile(file_, g("活动名"), g("活动"));
    std::multiset<std::string> names;
    std::size_t pos = 0;
    while (pos < all.size()) {
        const std::size_t at = all.find(bar, pos);
        ASSERT_NE(at, std::string::npos);
        names.insert(all.substr(pos, at - pos));
        pos = at + bar.size();
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kThreads * kEach));
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kEach; ++k) {
            const std::string name = "t" + std::to_string(t) + "-" + std::to_string(k);
            EXPECT_EQ(names.count(name), 1U) << name;
            EXPECT_EQ(read_profile(file_, name, "url"), "http://x/" + name);
        }
    }
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Profile, DeleteAndHide) {
    EXPECT_TRUE(delete_file(file_));  // missing: no error
    ASSERT_TRUE(write_profile(file_, "user", "1", "a"));
    ::chmod(file_.c_str(), 0644);
    ASSERT_TRUE(set_hidden(file_));
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(write_profile(file_, "user", "1", "b"));  // a rewrite keeps the mode
    EXPECT_EQ(fs::status(file_).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(delete_file(file_));
    EXPECT_FALSE(fs::exists(file_));
    EXPECT_FALSE(set_hidden(file_));
}

TEST_F(Profile, DataFolderFollowsXdgAndIsCreatedPrivate) {
    const char* old_xdg = std::getenv("XDG_DATA_HOME");
    const std::string saved = old_xdg ? old_xdg : "";
    ::setenv("XDG_DATA_HOME", dir_.c_str(), 1);
    EXPECT_EQ(data_dir(), dir_.string() + "/velkor/");
    EXPECT_EQ(data_file("tolvex.txt"), dir_.string() + "/velkor/tolvex.txt");
    EXPECT_FALSE(fs::exists(dir_ / "velkor"));
    EXPECT_TRUE(write_profile(data_file("data.txt"), "user", "1", "x"));
    EXPECT_EQ(fs::status(dir_ / "velkor").permissions() & fs::perms::mask, fs::perms::owner_all);
    EXPECT_EQ(read_profile(data_file("data.txt"), "user", "1"), "x");

    ::setenv("XDG_DATA_HOME", "relative/path", 1);  // not absolute: ignored
    const char* home = std::getenv("HOME");
    if (home && home[0]) {
        EXPECT_EQ(data_dir(), std::string(home) + "/.local/share/velkor/");
    }
    if (old_xdg) {
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

}  // namespace
}  // namespace velkor::platform
