#pragma once
// The program-wide record: login values, the constant tables and the lists the
// operations build. Workers and the window thread use it at the same time, so
// every field sits behind one lock: a getter hands out a whole copy, a setter
// replaces a whole value, and a list is replaced, emptied or extended at its end
// in one step. No reader ever sees a half-written text or list.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "web/cookie_store.h"
#include "web/text.h"

namespace velkor {

// What the skin step loaded. The window skin is a Qt style sheet carried in the
// program's resources; `source` names the resource it came from, empty while
// nothing has been loaded.
struct SkinLoader {
    std::string source;
    bool holds_library() const { return !source.empty(); }
};

// Names and page addresses of the collected activities; entry i of one belongs
// to entry i of the other, and both always have the same length.
struct Activities {
    TextList names;
    TextList urls;
};

class AppState final : public CookieStore {
  public:
    AppState() = default;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // --- login --------------------------------------------------------------------
    bool logged_in() const;
    void set_logged_in(bool value);

    Text role_name() const;
    void set_role_name(Text value);

    Text cookie_text() const override;
    void set_cookie_text(Text value);
    // cookie_text = merge_cookies(cookie_text, answer_cookies) as one step, so
    // that requests finishing at the same time lose none of each other's cookies.
    Text merge_answer_cookies(Text& answer_cookies) override;

    Text uin() const;
    void set_uin(Text value);
    Text csrf_token() const;
    void set_csrf_token(Text value);
    Text skey() const;
    void set_skey(Text value);
    Text role_md5str() const;
    void set_role_md5str(Text value);

    // --- id lists of the one-click claim ------------------------------------------
    TextList vip_activity_ids() const;
    void set_vip_activity_ids(TextList value);
    TextList club_flow_ids() const;
    void set_club_flow_ids(TextList value);
    TextList diamond_flow_ids() const;
    void set_diamond_flow_ids(TextList value);

    // --- constant tables ------------------------------------------------------------
    TextList area_codes() const;
    void set_area_codes(TextList value);
    TextList region_table() const;
    void set_region_table(TextList value);

    // --- collected activities -----------------------------------------------------
    // Names and addresses change only together; urls is cut or padded with empty
    // texts to the length of names so the pairing can never drift.
    void set_activities(TextList names, TextList urls);
    void clear_activities();
    Activities activities() const;
    TextList activity_names() const;
    TextList activity_urls() const;

    TextList activity_ids() const;
    void set_activity_ids(TextList value);
    void clear_activity_ids();
    void append_activity_id(Text value);

    TextList page_flow_ids() const;
    void set_page_flow_ids(TextList value);
    void clear_page_flow_ids();
    void append_page_flow_id(Text value);

    // --- skin -----------------------------------------------------------------------
    std::string skin_data() const;
    void set_skin_data(std::string bytes);
    std::array<std::int32_t, 3> skin_adjust() const;
    void set_skin_adjust(std::array<std::int32_t, 3> value);
    SkinLoader skin_loader() const;
    void set_skin_loader(SkinLoader value);

    // Gives every field back its initial value and frees what it held; run once
    // after the window loop has ended.
    void release();

  private:
    mutable std::mutex mutex_;
    // In the order of the record's declaration.
    struct Fields {
        bool logged_in = false;
        Text role_name;
        Text cookie_text;
        TextList vip_activity_ids;
        TextList club_flow_ids;
        TextList area_codes;
        Text uin;
        Text csrf_token;
        TextList diamond_flow_ids;
        TextList activity_names;
        TextList page_flow_ids;
        TextList activity_urls;
        TextList activity_ids;
        TextList region_table;
        std::string skin_data;
        std::array<std::int32_t, 3> skin_adjust{0, 0, 0};
        SkinLoader skin_loader;
        Text role_md5str;
        Text skey;
    };
    Fields f_;
};

}  // namespace velkor
