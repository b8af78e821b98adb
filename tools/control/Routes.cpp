// The control API's route table: every endpoint, its method and its line of help, in one place.
#include "tools/control/Controller.h"

namespace mimicbox::control {

std::vector<Route> Controller::Table()
{
    const auto change = [this](const char* what) {
        return [this, what](const Call& call, Reply reply) { Change(call.name, what, call.request.body, std::move(reply)); };
    };
    return {
        {"GET", "/devices", "every device's state and last report",
         [this](const Call&, Reply reply) { List(std::move(reply)); }},
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
        {"GET", "/events", "the run's events as Server-Sent Events, from now or ?since=SEQ",
         [this](const Call& call, Reply reply) { Events(call.request, std::move(reply)); }},
        {"GET", "/metrics", "the Prometheus text exposition of the run's counters",
         [this](const Call&, Reply reply) {
             reply({200, access_.metrics.Text(plant_.HeldCount(), plant_.ConnectedCount()), "text/plain; version=0.0.4"});
         }},
        {"POST", "/stop", "end the run as SIGTERM does",
         [this](const Call&, Reply reply) {
             stop_();
             reply(JsonAnswer({{"stopping", true}}));
         }},
    };
}

}  // namespace mimicbox::control
