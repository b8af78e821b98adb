// What a request must show before the control API takes it, now that a page in a browser uses the
// API and other pages in the same browser could try to: a Host that is no stranger's name (DNS
// rebinding), JSON on every change (a plain cross-site form cannot send it), and the token, from the
// Authorization header or from the cookie that opening the page with ?token= once sets.
#pragma once

#include <string>
#include <vector>

#include "tools/control/http/HttpMessage.h"

namespace mimicbox::control {

struct AccessRules {
    std::string token;               // empty: every request is let in by it
    std::vector<std::string> hosts;  // names the Host header may carry besides localhost
};

struct GuardAnswer {
    int status = 0;         // 0: let in; else 401, 403 or 415
    std::string message;
    std::string setCookie;  // when let in with ?token=: the cookie to hand the browser
    std::string redirect;   // the page opened with ?token=: where to send the browser instead, without it
};

GuardAnswer CheckRequest(const http::HttpRequest& request, const AccessRules& rules);

// Whether the Host header's value names this server: an IP address written out, which no rebinding
// can take over, "localhost", or one of the names given, compared without regard to case; then at most
// ':' and a port of digits. Anything else ("localhost:1@evil.example") is no name of this server.
bool KnownHost(const std::string& host, const std::vector<std::string>& names);

// The headers every answer carries: no page of another site may frame the dashboard (a click in a
// hidden frame would drive the plant), and the page loads nothing but its own server's scripts.
const std::vector<std::pair<std::string, std::string>>& SafetyHeaders();

}  // namespace mimicbox::control
