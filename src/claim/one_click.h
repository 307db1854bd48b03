#pragma once
// The one-click claim: every collected activity's flows by a worker, and the fixed
// partner rewards (membership, blue diamond, premium club) beside it.
#include "app/commands.h"

namespace velkor {

// Press of 按钮_一键领取 (its guard has passed). Off the window thread, in this
// order: the role lookup for the area selected at the press into role_name, the
// claim worker started, the fixed id lists set, then the partner steps.
void one_click_press(Context& context);

// Per collected activity: its page, its flows, one claim per flow. Activities that
// have no activity id yet (no binding since they were collected) are skipped and
// counted in one line.
void claim_worker(Context context);

// The membership, blue-diamond and premium-club steps, each request after the
// previous answer.
void partner_steps(Context context);

void plug_one_click(Commands& commands);

}  // namespace velkor
