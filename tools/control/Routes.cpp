// The control API's route table: every endpoint, its method and its line of help, in one place.
#include "tools/control/Controller.h"

#include "tools/control/web/WebAssets.h"

namespace mimicbox::control {

namespace {

// A file of the dashboard, copied into the answer off the loop.
Response Asset(const std::string& name)
{
    const web::WebAsset* asset = web::FindWebAsset(name);
    if (!asset)
        return JsonError(404, "no such file: " + name);
    Response response(200, "", std::string(asset->contentType));
    response.headers.emplace_back("Cache-Control", "no-cache");
    response.render = [bytes = asset->bytes] { return std::string(bytes); };
    return response;
}

}  // namespace

std::vector<Route> Controller::Table()
{
    const auto change = [this](const char* what) {
        return [this, what](const Call& call, Reply reply) { Change(call.name, what, call.request.body, std::move(reply)); };
    };
    return {
        {"GET", "/devices", "every device's state and last report; ?names=thermo:1,relay:1001 for those alone",
         [this](const Call& call, Reply reply) { List(call.request.query, std::move(reply)); }},
        {"POST", "/devices", "add devices: a [[device]] table of the scenario schema, or an array of them",
         [this](const Call& call, Reply reply) { Add(call.request.body, std::move(reply)); }},
        {"GET", "/devices/{name}", "one device's state and last report",
         [this](const Call& call, Reply reply) {
             std::size_t index = 0;
             if (Find(call.name, index, reply))
                 reply(One(index));
         }},
        {"DELETE", "/devices/{name}", "close the device's connection and take it out of the plant",
         [this](const Call& call, Reply reply) { Remove(call.name, std::move(reply)); }},
        {"PUT", "/devices/{name}/temperature", "a Thermo-Box's temperature: {\"value\": 42.5}", change("temperature")},
        {"PUT", "/devices/{name}/profile", "a Thermo-Box's profile: a profile table of the scenario schema",
         [this](const Call& call, Reply reply) { SetProfile(call.name, call.request.body, std::move(reply)); }},
        {"PUT", "/devices/{name}/switch", "a Relay-Box's switch: {\"state\": \"on\" | \"off\" | \"toggle\"}",
         change("switch")},
        {"POST", "/devices/{name}/disconnect", "close the connection (FIN) and stay away", change("disconnect")},
        {"POST", "/devices/{name}/reset", "reset the connection (RST) and stay away", change("reset")},
        {"POST", "/devices/{name}/reconnect", "connect again, closing first if connected", change("reconnect")},
        {"POST", "/devices/{name}/silence", "send no report for a while: {\"duration\": 5}", change("silence")},
        {"POST", "/devices/{name}/fault", "break the next report: a fault table without trigger; answered once it fired",
         [this](const Call& call, Reply reply) { InjectFault(call.name, call.request.body, std::move(reply)); }},
        {"GET", "/devices/{name}/history", "the device's recent reports: values, and the last 20 records as sent",
         [this](const Call& call, Reply reply) { Reports(call.name, std::move(reply)); }},
        {"GET", "/run", "the run at a glance: time, seed, devices, totals and expectations so far",
         [this](const Call&, Reply reply) { Glance(std::move(reply)); }},
        {"GET", "/history", "the plant's series over the whole run, a point a second for the last hour; ?from=SECOND",
         [this](const Call& call, Reply reply) { Series(call.request, std::move(reply)); }},
        {"GET", "/events", "the run's events as Server-Sent Events, from now or ?since=SEQ; ?reports=0, ?device=NAME",
         [this](const Call& call, Reply reply) { Events(call.request, std::move(reply)); }},
        {"GET", "/metrics", "the Prometheus text exposition of the run's counters",
         [this](const Call&, Reply reply) {
             reply({200, access_.metrics.Text(plant_.HeldCount(), plant_.ConnectedCount()), "text/plain; version=0.0.4"});
         }},
        {"GET", "/", "the dashboard: a page that shows the run live and drives its devices",
         [](const Call&, Reply reply) { reply(Asset("/")); }},
        {"GET", "/assets/{name}", "the dashboard's scripts, styles and chart library",
         [](const Call& call, Reply reply) { reply(Asset("/assets/" + call.name)); }},
        {"POST", "/stop", "end the run as SIGTERM does",
         [this](const Call&, Reply reply) {
             stop_();
             reply(JsonAnswer({{"stopping", true}}));
         }},
    };
}

}  // namespace mimicbox::control
