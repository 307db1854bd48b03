#include "script/random_text.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace velkor {
namespace {

void expect_fraction_shape(const Text& t) {
    ASSERT_EQ(t.size(), 17U) << t;
    EXPECT_EQ(t.substr(0, 2), "0.") << t;
    for (std::size_t i = 2; i < t.size(); ++i) {
        EXPECT_TRUE(t[i] >= '0' && t[i] <= '9') << t;
    }
}

TEST(ScriptRandomText, ShapeAndSpreadOverManyDraws) {
    std::set<Text> seen;
    std::set<char> first_digits;
    for (int i = 0; i < 5000; ++i) {
        const Text t = script_random_text();
        expect_fraction_shape(t);
        seen.insert(t);
        first_digits.insert(t[2]);
    }
    EXPECT_EQ(seen.size(), 5000U);
    EXPECT_GE(first_digits.size(), 9U);
}

TEST(ScriptRandomText, ThreadsDrawTheirOwnSequences) {
    std::vector<std::vector<Text>> draws(4);
    std::vector<std::thread> threads;
    for (auto& d : draws) {
        threads.emplace_back([&d] {
            for (int i = 0; i < 500; ++i) {
                d.push_back(script_random_text());
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    std::set<Text> all;
    for (const auto& d : draws) {
        for (const Text& t : d) {
            expect_fraction_shape(t);
            all.insert(t);
        }
    }
    EXPECT_EQ(all.size(), 2000U);
}

}  // namespace
}  // namespace velkor
