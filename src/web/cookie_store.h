#pragma once
// Where a request's cookie text lives. A request sent with the merge flag reads
// the text once and then folds the answer's cookies into the *current* text as
// one atomic step, so that overlapping requests lose no cookie.
#include <mutex>

#include "web/text.h"

namespace velkor {

class CookieStore {
  public:
    virtual ~CookieStore() = default;
    // A whole copy of the current cookie text.
    virtual Text cookie_text() const = 0;
    // current = merge_cookies(current, answer_cookies), atomically; returns the new text.
    // answer_cookies is rewritten with its blanks removed.
    virtual Text merge_answer_cookies(Text& answer_cookies) = 0;
};

// A cookie text owned by the caller, guarded by its own lock.
class LocalCookies final : public CookieStore {
  public:
    LocalCookies() = default;
    explicit LocalCookies(Text initial) : text_(std::move(initial)) {}
    Text cookie_text() const override;
    Text merge_answer_cookies(Text& answer_cookies) override;
    void set(Text text);

  private:
    mutable std::mutex mutex_;
    Text text_;
};

}  // namespace velkor
