#pragma once
// The request forms of the activity services and the readers of their answers.
// Every builder is a pure function of its arguments (host values aside, which are
// configuration read at build time); the caller reads the session values once and
// takes a fresh time stamp for every request.
#include <string_view>

#include "web/http.h"
#include "web/text.h"

namespace velkor {

// The session values a form names, read from the program state at one moment.
struct ClaimSession {
    Text csrf_token;
    Text uin;
    Text area_code;
    Text area_name;  // display name of the selected area
    Text role_name;
};

// UTF-8 bytes, every one as %XX, then every "%" as "%25": the services decode
// these values twice.
Text twice_encoded(std::string_view gbk_text);

// The service an activity-management body names.
enum class AmsService { cf, qqgame, tgclub };

// The page each activity-management form claims to come from; each names its
// own event code, page address and referrer.
enum class AmsTail { flow_claim, listed_claim, signup, diamond, club };

// The tail piece after the CSRF token, host values inserted; ends in "xhrPostKey=xhr_".
Text ams_tail(AmsTail tail);

// The body of every activity-management POST but the sign-up.
Text ams_body(AmsService service, std::string_view activity_id, std::string_view flow_id,
              std::string_view csrf_token, AmsTail tail, std::string_view stamp);

// --- activity-management forms (POST, session cookies) ----------------------------

// A flow of one chosen activity (the timed grab).
HttpArgs cf_flow_claim(std::string_view activity_id, std::string_view flow_id,
                       std::string_view csrf_token, std::string_view stamp);
// A flow of a collected activity; the URL names the same fixed activity for all.
HttpArgs cf_listed_claim(std::string_view activity_id, std::string_view flow_id,
                         std::string_view csrf_token, std::string_view stamp);
// Binds the session's area to an activity.
HttpArgs cf_signup(std::string_view activity_id, std::string_view flow_id,
                   const ClaimSession& session, std::string_view role_md5str,
                   std::string_view stamp);
HttpArgs diamond_claim(std::string_view flow_id, std::string_view csrf_token,
                       std::string_view stamp);
// Goes to the diamond form's URL while its body names the premium club.
HttpArgs club_claim(std::string_view flow_id, std::string_view csrf_token, std::string_view stamp);

// --- membership forms (GET, session cookies) ----------------------------------------

// The data script that carries the vipid.
HttpArgs vip_act_data();
HttpArgs vip_page_claim(std::string_view activity_id, const ClaimSession& session,
                        std::string_view vipid, std::string_view stamp);
HttpArgs vip_final_claim(std::string_view csrf_token, std::string_view vipid,
                         std::string_view stamp);

// An activity's own page: no cookies, nothing merged.
HttpArgs activity_page(std::string_view url);

// --- answers ----------------------------------------------------------------------------

struct AmsMessages {
    Text msg;
    Text s_msg;
};

// Both messages of an activity-management answer, escapes resolved first.
AmsMessages ams_messages(std::string_view answer_bytes);
// The msg of a membership answer, taken as it stands.
Text vip_message(std::string_view answer_bytes);
// The vipid in the membership data script; empty when it lacks one.
Text vip_id_of(std::string_view script);
// The ids of an activity page's amsInit call.
Text activity_id_of(std::string_view page);
Text init_flow_id_of(std::string_view page, std::string_view activity_id);
// Whether a sign-up answer reports success.
bool signup_succeeded(std::string_view answer_bytes);

// --- fixed partner ids of the one-click claim, "\r\n" between entries --------------------

const Text& vip_activity_ids_text();
const Text& club_flow_ids_text();

}  // namespace velkor
