#include "claim/forms.h"

#include "web/endpoints.h"

namespace velkor {
namespace {

// A POST or GET of the session: its cookies go along and the answer's come back.
HttpArgs session_request(Text url, HttpMethod method, Text body = {}) {
    HttpArgs args;
    args.url = std::move(url);
    args.method = method;
    args.body_text = std::move(body);
    args.merge = true;
    return args;
}

Text host_url(std::string_view host_name, std::string_view path_and_query) {
    return "http://" + endpoints::get(host_name) + Text(path_and_query);
}

Text game_ams_url(std::string_view activity_id) {
    return host_url("game_ams_host",
                    "/ams/ame/ame.php?ameVersion=0.3&sServiceType=cf&iActivityId=" +
                        Text(activity_id) + "&sServiceDepartment=group_f&isXhrPost=true");
}

// The diamond and the club forms both go here.
Text partner_ams_url() {
    return host_url("game_apps_host",
                    "/ams/ame/ame.php?ameVersion=0.3&sServiceType=qqgame&iActivityId=43890&"
                    "sServiceDepartment=group_h&set_info=group_h&isXhrPost=true");
}

const char* service_name(AmsService service) {
    switch (service) {
        case AmsService::qqgame:
            return "qqgame";
        case AmsService::tgclub:
            return "tgclub";
        case AmsService::cf:
            break;
    }
    return "cf";
}

// md5 of the CSRF token's decimal text, as the membership service checks it.
Text membership_token(std::string_view csrf_token) {
    return md5_hex(csrf_token);
}

}  // namespace

Text twice_encoded(std::string_view gbk_text) {
    return replace(url_encode(gbk_text, false, true), "%", "%25");
}

Text ams_tail(AmsTail tail) {
    // The page addresses inside the values are already encoded twice; only the
    // host values stand as they are.
    const std::string_view colon_slashes = "http%253A%252F%252F";
    switch (tail) {
        case AmsTail::flow_claim:
            return "&e_code=242216&g_code=0&eas_url=" + Text(colon_slashes) +
                   endpoints::get("game_site_host") +
                   "%252Fcp%252Fa20160615fsxb%252F&eas_refer=&xhr=1&sServiceDepartment=group_f"
                   "&xhrPostKey=xhr_";
        case AmsTail::listed_claim: {
            const Text site = endpoints::get("game_site_host");
            return "&e_code=244858&g_code=0&eas_url=" + Text(colon_slashes) + site +
                   "%252Fcp%252Fa20160615summer%252F&eas_refer=%2520" + Text(colon_slashes) + site +
                   "%252Fweb201105%252Factions.shtml&xhr=1&sServiceDepartment=group_f"
                   "&xhrPostKey=xhr_";
        }
        case AmsTail::signup:
            return "&e_code=242360&g_code=0&eas_url=" + Text(colon_slashes) +
                   endpoints::get("game_site_host") +
                   "%252Fcp%252Fa20160622yj%252F&eas_refer=&xhr=1&sServiceDepartment=group_f"
                   "&sServiceType=cf&xhrPostKey=xhr_";
        case AmsTail::diamond:
            return "&e_code=0&g_code=0&eas_url=" + Text(colon_slashes) +
                   endpoints::get("gamevip_host") +
                   "%252Ffulishe%252Fcf-v2.html&eas_refer=&xhr=1&sServiceDepartment=group_h"
                   "&xhrPostKey=xhr_";
        case AmsTail::club: {
            const Text club = endpoints::get("premium_club_host");
            return "&e_code=0&g_code=0&eas_url=" + Text(colon_slashes) + club +
                   "%252Fact%252Fpc%252Fa20160414cfyxj%252F&eas_refer=" + Text(colon_slashes) +
                   club +
                   "%252Fact%252Fpc%252Fa20160414cfyxj%252Fpage1.shtml&xhr=1"
                   "&sServiceDepartment=xinyue&xhrPostKey=xhr_";
        }
    }
    return {};
}

Text ams_body(AmsService service, std::string_view activity_id, std::string_view flow_id,
              std::string_view csrf_token, AmsTail tail, std::string_view stamp) {
    return Text("gameId=&sArea=&iSex=&sRoleId=&iGender=&sServiceType=") + service_name(service) +
           "&objCustomMsg=&areaname=&roleid=&rolelevel=&rolename=&areaid=&iActivityId=" +
           Text(activity_id) + "&iFlowId=" + Text(flow_id) + "&g_tk=" + Text(csrf_token) +
           ams_tail(tail) + Text(stamp);
}

HttpArgs cf_flow_claim(std::string_view activity_id, std::string_view flow_id,
                       std::string_view csrf_token, std::string_view stamp) {
    return session_request(
        game_ams_url(activity_id), HttpMethod::post,
        ams_body(AmsService::cf, activity_id, flow_id, csrf_token, AmsTail::flow_claim, stamp));
}

HttpArgs cf_listed_claim(std::string_view activity_id, std::string_view flow_id,
                         std::string_view csrf_token, std::string_view stamp) {
    return session_request(
        game_ams_url("53309"), HttpMethod::post,
        ams_body(AmsService::cf, activity_id, flow_id, csrf_token, AmsTail::listed_claim, stamp));
}

HttpArgs cf_signup(std::string_view activity_id, std::string_view flow_id,
                   const ClaimSession& session, std::string_view role_md5str,
                   std::string_view stamp) {
    const Text& uin = session.uin;
    const Text& area = session.area_code;
    Text body = "sign_version=1.0&action_id=19147&user_area=" + area + "&user_roleId=" + uin +
                "&user_roleName=" + session.role_name +
                "&user_areaName=" + twice_encoded(session.area_name) +
                "&user_roleLevel=33&user_checkparam=cf%257Cyes%257C" + uin + "%257C" + area +
                "%257C" + uin + "*&user_md5str=" + Text(role_md5str) +
                "&user_sex=&iActivityId=" + Text(activity_id) + "&iFlowId=" + Text(flow_id) +
                "&g_tk=" + session.csrf_token + ams_tail(AmsTail::signup) + Text(stamp);
    return session_request(game_ams_url("53353"), HttpMethod::post, std::move(body));
}

HttpArgs diamond_claim(std::string_view flow_id, std::string_view csrf_token,
                       std::string_view stamp) {
    return session_request(
        partner_ams_url(), HttpMethod::post,
        ams_body(AmsService::qqgame, "43890", flow_id, csrf_token, AmsTail::diamond, stamp));
}

HttpArgs club_claim(std::string_view flow_id, std::string_view csrf_token, std::string_view stamp) {
    return session_request(
        partner_ams_url(), HttpMethod::post,
        ams_body(AmsService::tgclub, "47415", flow_id, csrf_token, AmsTail::club, stamp));
}

HttpArgs vip_act_data() {
    return session_request(host_url("static_cdn_host", "/ACT/vip_act/act_data/67135.json.js"),
                           HttpMethod::get);
}

HttpArgs vip_page_claim(std::string_view activity_id, const ClaimSession& session,
                        std::string_view vipid, std::string_view stamp) {
    const Text area_field = left(session.area_name, 8) + "-" + session.area_name;
    return session_request(
        host_url("vip_act_host", "/ams3.0.php?_c=page&actid=" + Text(activity_id) +
                                     "&roleid=" + session.uin + "&area=" + session.area_code +
                                     "&area_name=" + twice_encoded(area_field) +
                                     "&role_name=" + twice_encoded(session.role_name) +
                                     "&g_tk=" + membership_token(session.csrf_token) +
                                     "&pvsrc=undefined&ozid=&vipid=" + Text(vipid) +
                                     "&callback=json14688978830866&_=" + Text(stamp)),
        HttpMethod::get);
}

HttpArgs vip_final_claim(std::string_view csrf_token, std::string_view vipid,
                         std::string_view stamp) {
    return session_request(
        host_url("vip_act_host",
                 "/ams3.0.php?_c=page&actid=95334&g_tk=" + membership_token(csrf_token) +
                     "&pvsrc=undefined&ozid=&vipid=" + Text(vipid) +
                     "&callback=json14689012720925&_=" + Text(stamp)),
        HttpMethod::get);
}

HttpArgs activity_page(std::string_view url) {
    HttpArgs args;
    args.url = Text(url);
    args.method = HttpMethod::get;
    args.merge = false;
    return args;
}

AmsMessages ams_messages(std::string_view answer_bytes) {
    const Text text = unicode_unescape(answer_bytes);
    return {text_between(text, "\"msg\":\"", "\""), text_between(text, "\"sMsg\":\"", "\"")};
}

Text vip_message(std::string_view answer_bytes) {
    return text_between(answer_bytes, "\"msg\":\"", "\"");
}

Text vip_id_of(std::string_view script) {
    return text_between(script, "oid:\"", "\",");
}

Text activity_id_of(std::string_view page) {
    return text_between(page, "javascript:amsInit(", ", ");
}

Text init_flow_id_of(std::string_view page, std::string_view activity_id) {
    return text_between(page, "javascript:amsInit(" + Text(activity_id) + ", ", ");");
}

bool signup_succeeded(std::string_view answer_bytes) {
    static const Text success = gbk("报名成功");
    return find(unicode_unescape(answer_bytes), success) != -1;
}

const Text& vip_activity_ids_text() {
    static const Text ids = "112435\r\n112440\r\n112441\r\n112443\r\n69430\r\n69429\r\n95335";
    return ids;
}

const Text& club_flow_ids_text() {
    static const Text ids =
        "248313\r\n249159\r\n248629\r\n248633\r\n248634\r\n248635\r\n248637\r\n248638\r\n"
        "248608\r\n248626\r\n248627\r\n248569";
    return ids;
}

}  // namespace velkor
