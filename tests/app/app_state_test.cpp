#include "app/app_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace velkor {
namespace {

TEST(AppState, StartsEmptyAndReleaseRestoresTheStart) {
    AppState s;
    auto expect_initial = [](const AppState& st) {
        EXPECT_FALSE(st.logged_in());
        for (const Text& t : {st.role_name(), st.cookie_text(), st.uin(), st.csrf_token(),
                              st.role_md5str(), st.skey()}) {
            EXPECT_TRUE(t.empty());
        }
        for (const TextList& l : {st.vip_activity_ids(), st.club_flow_ids(), st.area_codes(),
                                  st.diamond_flow_ids(), st.activity_names(), st.page_flow_ids(),
                                  st.activity_urls(), st.activity_ids(), st.region_table()}) {
            EXPECT_TRUE(l.empty());
        }
        EXPECT_TRUE(st.skin_data().empty());
        EXPECT_EQ(st.skin_adjust(), (std::array<std::int32_t, 3>{0, 0, 0}));
        EXPECT_FALSE(st.skin_loader().holds_library());
    };
    expect_initial(s);

    s.set_logged_in(true);
    s.set_role_name("r");
    s.set_cookie_text("a=1");
    s.set_uin("10001");
    s.set_csrf_token("123");
    s.set_skey("@k");
    s.set_role_md5str("m");
    s.set_vip_activity_ids({"1"});
    s.set_club_flow_ids({"2"});
    s.set_diamond_flow_ids({"3"});
    s.set_area_codes({"318"});
    s.set_region_table({"x81"});
    s.set_activities({"n"}, {"u"});
    s.append_activity_id("9");
    s.append_page_flow_id("8");
    s.set_skin_data(std::string("\0sk", 3));
    s.set_skin_adjust({1, 2, 3});
    s.set_skin_loader({":/skin"});
    EXPECT_EQ(s.skin_data().size(), 3u);  // zero bytes are kept

    s.release();
    expect_initial(s);
}

TEST(AppState, ListsAreReplacedEmptiedOrExtendedAtTheEnd) {
    AppState s;
    s.append_activity_id("a");
    s.append_activity_id("b");
    EXPECT_EQ(s.activity_ids(), (TextList{"a", "b"}));
    s.clear_activity_ids();
    EXPECT_TRUE(s.activity_ids().empty());
    s.set_page_flow_ids({"1", "2"});
    s.append_page_flow_id("3");
    EXPECT_EQ(s.page_flow_ids(), (TextList{"1", "2", "3"}));
    s.clear_page_flow_ids();
    EXPECT_TRUE(s.page_flow_ids().empty());
}

TEST(AppState, ActivityNamesAndUrlsKeepTheirPairing) {
    AppState s;
    s.set_activities({"a", "b", "c"}, {"ua"});
    auto both = s.activities();
    EXPECT_EQ(both.names, (TextList{"a", "b", "c"}));
    EXPECT_EQ(both.urls, (TextList{"ua", "", ""}));  // a name without address gets an empty one
    s.set_activities({"a"}, {"ua", "ub"});
    EXPECT_EQ(s.activity_urls(), (TextList{"ua"}));
    s.clear_activities();
    EXPECT_TRUE(s.activities().names.empty());
    EXPECT_TRUE(s.activities().urls.empty());
}

// A value that shows whether it was read whole: n copies of one letter.
Text stamp(int n) {
    return Text(static_cast<size_t>(200 + n % 300), static_cast<char>('a' + n % 26));
}

bool whole(const Text& t) {
    if (t.empty())
        return true;
    if (t.size() < 200)
        return false;
    for (char c : t)
        if (c != t[0])
            return false;
    return true;
}

TEST(AppState, ConcurrentReadersAlwaysSeeWholeValues) {
    AppState s;
    std::atomic<bool> stop{false};
    std::atomic<int> broken{0};
    std::vector<std::thread> threads;

    // Writers: texts, paired lists, appends, replacements, cookie merges.
    for (int w = 0; w < 3; ++w) {
        threads.emplace_back([&, w] {
            for (int i = 0; !stop; ++i) {
                const int n = i * 3 + w;
                s.set_role_name(stamp(n));
                s.set_cookie_text(stamp(n + 1));
                s.set_csrf_token(stamp(n + 2));
                const int count = n % 7;
                TextList names, urls;
                for (int k = 0; k < count; ++k) {
                    names.push_back(std::to_string(n) + "-" + std::to_string(k));
                    urls.push_back("http://x/" + std::to_string(n) + "-" + std::to_string(k));
                }
                s.set_activities(std::move(names), std::move(urls));
                if (n % 5 == 0)
                    s.clear_page_flow_ids();
                s.append_page_flow_id(stamp(n));
                s.set_vip_activity_ids(TextList(static_cast<size_t>(count), stamp(n)));
                Text answer = "k" + std::to_string(w) + "=v; ";
                s.merge_answer_cookies(answer);
            }
        });
    }
    // Readers.
    for (int r = 0; r < 4; ++r) {
        threads.emplace_back([&] {
            while (!stop) {
                if (!whole(s.role_name()) || !whole(s.csrf_token()))
                    ++broken;
                const auto both = s.activities();
                if (both.names.size() != both.urls.size())
                    ++broken;
                for (size_t k = 0; k < both.names.size(); ++k) {
                    if (both.urls[k] != "http://x/" + both.names[k])
                        ++broken;
                }
                const auto vip = s.vip_activity_ids();
                for (const auto& v : vip)
                    if (!whole(v) || v != vip.front())
                        ++broken;
                for (const auto& f : s.page_flow_ids())
                    if (!whole(f))
                        ++broken;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    stop = true;
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(broken.load(), 0);
}

TEST(AppState, ConcurrentAppendsLoseNothing) {
    AppState s;
    constexpr int threads_n = 8, per_thread = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < threads_n; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < per_thread; ++i) {
                s.append_activity_id(std::to_string(t) + ":" + std::to_string(i));
            }
        });
    }
    for (auto& t : threads)
        t.join();
    const auto ids = s.activity_ids();
    ASSERT_EQ(ids.size(), static_cast<size_t>(threads_n * per_thread));
    // Each thread's entries keep the order it appended them in.
    std::vector<int> next(threads_n, 0);
    for (const auto& id : ids) {
        const int t = std::stoi(id.substr(0, id.find(':')));
        EXPECT_EQ(std::stoi(id.substr(id.find(':') + 1)), next[t]++);
    }
}

}  // namespace
}  // namespace velkor
