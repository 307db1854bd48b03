#include "claim/session.h"

namespace velkor {

ClaimSession claim_session(const Context& context) {
    return claim_session(context, context.ui->selected_area_index());
}

ClaimSession claim_session(const Context& context, int area_index) {
    const AppState& state = *context.state;
    const TextList codes = state.area_codes();
    const TextList items = context.ui->area_items();
    const bool listed = area_index >= 0 && static_cast<size_t>(area_index) < items.size();
    ClaimSession s;
    s.csrf_token = state.csrf_token();
    s.uin = state.uin();
    s.area_code = area_index >= 0 && static_cast<size_t>(area_index) < codes.size()
                      ? codes[area_index]
                      : Text();
    s.area_name = listed ? items[area_index] : Text();
    s.role_name = state.role_name();
    return s;
}

Text request_stamp(const Context& context) {
    return timestamp_text(context.clock->now());
}

}  // namespace velkor
