#include "sim/login_page.h"

#include <httplib.h>

#include <cstdint>

#include "sim/simulator.h"

namespace velkor::sim {

std::string login_page(bool auto_login, bool mark_sign_in) {
    std::string page = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>QQ登录</title>
<style>
body{margin:0;font-family:"WenQuanYi Micro Hei",sans-serif;background:#f3f6fa;}
.box{width:360px;margin:40px auto;background:#fff;border:1px solid #d8e0ea;border-radius:6px;padding:22px 26px;}
h1{font-size:18px;margin:0 0 16px;color:#1c2b3a;}
input{width:100%;box-sizing:border-box;margin:6px 0;padding:8px;border:1px solid #c4ced9;border-radius:4px;font-size:14px;}
button{width:100%;margin-top:10px;padding:9px;border:0;border-radius:4px;background:#1a7ee6;color:#fff;font-size:15px;cursor:pointer;}
#state{margin-top:10px;font-size:13px;color:#5a6b7c;min-height:18px;}
</style></head>
<body><div class="box">
<h1>账号密码登录</h1>
<form id="login" onsubmit="signIn();return false;">
<input id="account" placeholder="QQ号码" value="">
<input id="password" type="password" placeholder="密码" value="">
<button id="go" type="submit">登 录</button>
</form>
<div id="state"></div>
</div>
<script>
function signIn() {
  var account = document.getElementById('account').value.replace(/\D/g, '') || ')";
    page += kSimAccount;
    page += R"(';
)";
    if (mark_sign_in) {
        page += "  document.cookie = 'velkor_signed_in_ms=' + Date.now() + '; path=/';\n";
    }
    page += R"(  document.cookie = 'pt2gguin=o0' + account + '; path=/';
  document.cookie = 'uin=o0' + account + '; path=/';
  document.cookie = 'skey=)";
    page += kSimSessionKey;
    page += R"(; path=/';
  document.getElementById('state').textContent = '登录成功，正在跳转…';
}
)";
    if (auto_login) {
        page += "setTimeout(signIn, 600);\n";
    }
    page += "</script></body></html>\n";
    return page;
}

std::string avatar_picture(const std::string& account) {
    constexpr int kSize = 100;
    constexpr int kRow = kSize * 3;  // 300 bytes: already a multiple of 4
    const uint32_t data_size = kRow * kSize;
    const uint32_t file_size = 54 + data_size;
    std::string bmp(file_size, '\0');
    auto put16 = [&](size_t at, uint16_t v) {
        bmp[at] = static_cast<char>(v & 0xFF);
        bmp[at + 1] = static_cast<char>(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bmp[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, file_size);
    put32(10, 54);
    put32(14, 40);
    put32(18, kSize);
    put32(22, kSize);
    put16(26, 1);
    put16(28, 24);
    put32(34, data_size);
    // A disc on a soft background, its colour taken from the account number.
    uint32_t seed = 2166136261u;
    for (char c : account) {
        seed = (seed ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    const int r = 60 + seed % 150;
    const int g = 60 + (seed >> 8) % 150;
    const int b = 60 + (seed >> 16) % 150;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const int dx = x - 50;
            const int dy = y - 50;
            const bool head = dx * dx + (dy - 12) * (dy - 12) < 18 * 18;
            const bool body = dy < -8 && dx * dx + (dy + 45) * (dy + 45) < 36 * 36;
            const size_t at = 54 + static_cast<size_t>(y) * kRow + static_cast<size_t>(x) * 3;
            int pr = 232, pg = 238, pb = 245;
            if (head || body) {
                pr = r;
                pg = g;
                pb = b;
            }
            bmp[at] = static_cast<char>(pb);
            bmp[at + 1] = static_cast<char>(pg);
            bmp[at + 2] = static_cast<char>(pr);
        }
    }
    return bmp;
}

void install_login_endpoints(Simulator& sim) {
    const std::string page = login_page(sim.options().auto_login, sim.options().mark_sign_in);
    sim.handle("login_host", "GET", "/cgi-bin/xlogin",
               [page](const httplib::Request&, httplib::Response& res) {
                   res.set_content(page, "text/html; charset=utf-8");
               });
    sim.handle("avatar_host", "GET", "/headimg_dl",
               [](const httplib::Request& req, httplib::Response& res) {
                   res.set_content(avatar_picture(req.get_param_value("dst_uin")), "image/bmp");
               });
}

}  // namespace velkor::sim
