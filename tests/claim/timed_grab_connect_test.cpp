// The timed grab's waiter connects to the claim's host a second ahead and sends
// the claim over that connection at the second, nothing before.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "app/threads.h"
#include "claim/timed_grab.h"
#include "tests/support/fake_ui.h"
#include "tests/support/raw_server.h"
#include "web/endpoints.h"

namespace velkor {
namespace {

using platform::LocalTime;

// A test clock that also keeps the target of every sleep_until.
class RecordingClock final : public platform::Clock {
  public:
    explicit RecordingClock(const LocalTime& start) : clock_(start) {}

    LocalTime now() const override { return clock_.now(); }
    bool sleep_until(const LocalTime& target, std::stop_token stop) override {
        {
            std::lock_guard lock(mutex_);
            targets_.push_back(platform::local_ms(target));
            added_.notify_all();
        }
        return clock_.sleep_until(target, std::move(stop));
    }
    bool sleep_for(std::chrono::milliseconds duration, std::stop_token stop) override {
        return clock_.sleep_for(duration, std::move(stop));
    }
    void set(const LocalTime& time) { clock_.set(time); }

    // Waits until `count` sleeps have begun and the last of them sleeps now.
    std::vector<long long> wait_for_sleeps(size_t count) {
        std::unique_lock lock(mutex_);
        added_.wait_for(lock, std::chrono::seconds(10), [&] { return targets_.size() >= count; });
        const auto targets = targets_;
        lock.unlock();
        clock_.wait_for_sleepers(1, std::chrono::seconds(10));
        return targets;
    }

  private:
    platform::TestClock clock_;
    std::mutex mutex_;
    std::condition_variable added_;
    std::vector<long long> targets_;
};

class Listener {
  public:
    Listener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(::listen(fd_, 4), 0);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~Listener() { ::close(fd_); }
    int port() const { return port_; }
    int accept_within(int ms) {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, ms) == 1 ? ::accept(fd_, nullptr, nullptr) : -1;
    }

  private:
    int fd_ = -1;
    int port_ = 0;
};

bool readable_within(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) == 1;
}

// One request with its whole body (as its Content-Length says).
std::string read_request(int fd) {
    std::string raw;
    char buf[4096];
    size_t wanted = std::string::npos;
    while (raw.size() < wanted && readable_within(fd, 10000)) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            break;
        }
        raw.append(buf, static_cast<size_t>(n));
        const size_t head = raw.find("\r\n\r\n");
        if (wanted == std::string::npos && head != std::string::npos) {
            wanted = head + 4;
            for (const std::string& line : test::request_lines(raw)) {
                if (line.rfind("Content-Length: ", 0) == 0) {
                    wanted += std::stoul(line.substr(16));
                }
            }
        }
    }
    return raw;
}

TEST(TimedGrabConnection, MadeASecondAheadAndCarriesTheClaimAtTheSecond) {
    Listener host;
    endpoints::set("game_ams_host", "127.0.0.1:" + std::to_string(host.port()));
    auto clock = std::make_shared<RecordingClock>(LocalTime{2016, 7, 15, 20, 0, 3, 0});
    auto ui = std::make_shared<testing::FakeUi>();
    auto state = std::make_shared<AppState>();
    state->set_csrf_token("12345");
    Context context{state, ui, clock};
    ui->set_edit_text(EditBox::hour, "20");
    ui->set_edit_text(EditBox::minute, "0");
    ui->set_edit_text(EditBox::second, "5");
    ui->set_edit_text(EditBox::threads, "1");
    ui->set_edit_text(EditBox::activity_id, "123");
    ui->set_edit_text(EditBox::flow_id, "456");
    Commands commands;
    plug_timed_grab(commands);
    commands.press(Command::timed_grab, context);

    const long long second = platform::local_ms({2016, 7, 15, 20, 0, 5, 0});
    EXPECT_EQ(clock->wait_for_sleeps(1), std::vector<long long>{second - 1000});
    EXPECT_EQ(host.accept_within(50), -1);  // not yet

    clock->set({2016, 7, 15, 20, 0, 4, 0});
    EXPECT_EQ(clock->wait_for_sleeps(2), (std::vector<long long>{second - 1000, second}));
    const int connection = host.accept_within(10000);
    ASSERT_GE(connection, 0);
    EXPECT_FALSE(readable_within(connection, 50));  // a handshake, no request

    clock->set({2016, 7, 15, 20, 0, 5, 0});
    const std::string request = read_request(connection);
    EXPECT_EQ(
        request.rfind("POST /ams/ame/ame.php?ameVersion=0.3&sServiceType=cf&iActivityId=123&", 0),
        0u)
        << request;
    EXPECT_NE(request.find("&iFlowId=456&g_tk=12345&"), std::string::npos);
    const std::string answer =
        test::http_answer("HTTP/1.1 200 OK", {}, "{\"ret\":\"0\",\"msg\":\"ok\",\"sMsg\":\"got\"}");
    ::send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
    ::close(connection);
    ASSERT_TRUE(wait_idle(20000));

    EXPECT_EQ(ui->outputs(),
              (std::vector<Text>{gbk("[抢领结果：]ok\r\n"), gbk("[抢领结果：]got\r\n")}));
    EXPECT_EQ(host.accept_within(0), -1);  // the claim made no connection of its own
    endpoints::reset_to_defaults();
}

}  // namespace
}  // namespace velkor
