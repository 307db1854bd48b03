#include "web/cookie_store.h"

#include "web/cookies.h"

namespace velkor {

Text LocalCookies::cookie_text() const {
    std::lock_guard lock(mutex_);
    return text_;
}

Text LocalCookies::merge_answer_cookies(Text& answer_cookies) {
    std::lock_guard lock(mutex_);
    return merge_cookies(text_, answer_cookies);
}

void LocalCookies::set(Text text) {
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
}

}  // namespace velkor
