// Endpoints of the simulator's own, on every host: enough to exercise a client
// without any publisher endpoint.
#include <httplib.h>

#include "sim/simulator.h"

namespace velkor::sim {

void install_diagnostic_endpoints(Simulator& sim) {
    // The request as the server understood it: method, target, then the body.
    sim.handle("*", "*", "/__sim/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.method + ' ' + req.target + "\n" + req.body, "text/plain");
    });
    // Every query parameter becomes a cookie (in the order of the names).
    sim.handle("*", "*", "/__sim/set_cookie",
               [](const httplib::Request& req, httplib::Response& res) {
                   for (const auto& [name, value] : req.params) {
                       res.set_header("Set-Cookie", name + '=' + value + "; Path=/");
                   }
                   res.set_content("cookies set\n", "text/plain");
               });
    // A 302 to ?to= (default the echo), setting a cookie of its own on the way.
    sim.handle(
        "*", "*", "/__sim/redirect", [](const httplib::Request& req, httplib::Response& res) {
            const std::string to = req.has_param("to") ? req.get_param_value("to") : "/__sim/echo";
            res.set_header("Set-Cookie", "redirect_hop=1; Path=/");
            res.set_redirect(to, 302);
            res.set_content("redirecting\n", "text/plain");
        });
}

}  // namespace velkor::sim
