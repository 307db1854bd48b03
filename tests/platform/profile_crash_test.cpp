// Writers killed at random moments: each profile file is always one complete state, the old
// one or a newer one, and other accounts' entries survive.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "platform/profile.h"
#include "tests/support/temp_data_dir.h"
#include "writer/profile_rounds.h"

extern char** environ;

namespace velkor::platform {
namespace {

namespace fs = std::filesystem;
using namespace velkor::test;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::size_t temp_files(const fs::path& dir) {
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        n += e.path().filename().string().find(".tmp-") != std::string::npos;
    }
    return n;
}

// The writer process, its standard output on a pipe.
class Writer {
  public:
    explicit Writer(const std::string& account) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        std::string program = VELKOR_PROFILE_WRITER;
        std::string arg = account;
        char* argv[] = {program.data(), arg.data(), nullptr};
        if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Writer() {
        if (pid_ > 0) {
            kill_and_wait();
        }
        if (out_ >= 0) {
            ::close(out_);
        }
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    bool started() const { return pid_ > 0; }
    // The next byte the writer sends ("r" running, "w" round done); 0 when it has ended.
    char next() {
        char c = 0;
        while (::read(out_, &c, 1) < 0 && errno == EINTR) {
        }
        return c;
    }
    // The wait status.
    int kill_and_wait() {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

TEST(ProfileCrash, KilledWritersLeaveWholeFilesAndOtherAccounts) {
    TempDataDir home("profile-crash");
    const fs::path dir = data_dir();
    const std::string data = data_file("data.txt");
    const std::string cache = data_file("tolvex.txt");

    // Accounts the writers never touch, and a cache section no collection adds.
    const std::vector<std::pair<std::string, std::string>> others = {
        {"10001", utf8_to_gbk("广东电信一区")},
        {"10002", utf8_to_gbk("移动专区")},
        {"10003", utf8_to_gbk("浙江电信一区")},
        {"10004", utf8_to_gbk("网通一区")},
        {"10005", utf8_to_gbk("教育网专区")}};
    for (const auto& [account, area] : others) {
        ASSERT_TRUE(write_profile(data, "user", account, area));
    }
    ASSERT_TRUE(write_profile(cache, "keep", "note", utf8_to_gbk("不动")));

    std::string data_now = slurp(data);
    profile_document cache_model(slurp(cache));  // the state after `collections` collections
    std::size_t collections = 0;

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delay_us(0, 4000);

    constexpr int kKills = 200;
    int torn_writes = 0;  // kills that left a temporary file: they hit a write in flight
    for (int kill = 0; kill < kKills; ++kill) {
        // Two accounts take turns, so each writer must also keep the other one's entry.
        const std::string account = kill % 2 ? "20002" : "20001";
        Writer writer(account);
        ASSERT_TRUE(writer.started());
        ASSERT_EQ(writer.next(), 'r');
        // Every tenth writer first completes a round, so that the files do move on.
        const bool after_round = kill % 10 == 0;
        if (after_round) {
            ASSERT_EQ(writer.next(), 'w');
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
        const int status = writer.kill_and_wait();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the writer ended by itself, status " << status << ", at kill " << kill;

        // data.txt: as before, or with the writer's account set to one of its areas.
        const std::string data_after = slurp(data);
        std::vector<std::string> states = {data_now};
        for (unsigned round = 0; round < 2; ++round) {
            profile_document doc(data_now);
            doc.set("user", account, round_area(round));
            states.push_back(doc.bytes());
        }
        const bool whole = std::find(states.begin(), states.end(), data_after) != states.end();
        ASSERT_TRUE(whole) << "data.txt after kill " << kill << ":\n" << data_after;
        data_now = data_after;

        // tolvex.txt: exactly the state after some whole number of collections, no fewer
        // than before.
        const std::string cache_after = slurp(cache);
        const std::size_t listed = cached_activities(profile_document(cache_after));
        ASSERT_EQ(listed % activities_per_collection, 0U) << "a collection written in part";
        ASSERT_GE(listed / activities_per_collection, collections);
        while (collections < listed / activities_per_collection) {
            add_collection(cache_model);
            ++collections;
        }
        ASSERT_EQ(cache_after, cache_model.bytes()) << "tolvex.txt after kill " << kill;

        // A writer that completed a round has removed what earlier writers left; its own
        // write in flight may remain.
        const std::size_t left = temp_files(dir);
        torn_writes += left > 0;
        if (after_round) {
            ASSERT_LE(left, 1U) << "temporary files pile up, kill " << kill;
        }
    }
    RecordProperty("torn_writes", torn_writes);
    EXPECT_GE(collections, static_cast<std::size_t>(kKills / 10));

    for (const auto& [account, area] : others) {
        EXPECT_EQ(read_profile(data, "user", account), area) << account;
    }
    EXPECT_EQ(read_profile(cache, "keep", "note"), utf8_to_gbk("不动"));
    for (std::size_t n = 0; n < collections * activities_per_collection; ++n) {
        EXPECT_EQ(read_profile(cache, activity_name(n), "url"), activity_url(n));
    }
    EXPECT_EQ(fs::status(data).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);

    // The next write of each file removes whatever the last writer left.
    ASSERT_TRUE(write_profile(data, "user", "20001", round_area(0)));
    ASSERT_TRUE(write_profile(cache, "keep", "note", "x"));
    EXPECT_EQ(temp_files(dir), 0U);
}

}  // namespace
}  // namespace velkor::platform
