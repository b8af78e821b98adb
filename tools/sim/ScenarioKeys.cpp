#include "tools/sim/Scenario.h"

namespace mimicbox::sim {

const std::vector<std::string>& ScenarioKeys::Top()
{
    static const std::vector<std::string> keys = {"seed", "duration", "reports", "ramp_up", "server", "device", "fault",
                                                  "event", "expect", "replay"};
    return keys;
}

const std::vector<std::string>& ScenarioKeys::Server()
{
    static const std::vector<std::string> keys = {"host", "port"};
    return keys;
}

const std::vector<std::string>& ScenarioKeys::Device()
{
    static const std::vector<std::string> keys = {"model", "serial", "serials", "temperature", "profile", "toggle_every",
                                                  "expect"};
    return keys;
}

const std::vector<std::string>& ScenarioKeys::Profile()
{
    static const std::vector<std::string> keys = {"kind",  "mode",  "rate", "to",  "mean", "amplitude",     "period", "phase",
                                                  "sigma", "min",   "max",  "file", "csv", "interpolation", "rows",   "loop"};
    return keys;
}

const std::vector<std::string>& ScenarioKeys::Expect()
{
    static const std::vector<std::string> keys = {"connection", "within", "toggles", "no_unreadable_commands",
                                                  "same_commands_as_recording"};
    return keys;
}

const std::vector<std::string>& ScenarioKeys::Toggles()
{
    static const std::vector<std::string> keys = {"min", "max"};
    return keys;
}

const std::vector<std::string>& ScenarioKeys::Fault()
{
    static const std::vector<std::string> keys = {"devices", "kind", "at", "every", "probability", "delay", "bytes",
                                                  "seconds", "value"};
    return keys;
}

const std::vector<std::string>& ScenarioKeys::Event()
{
    static const std::vector<std::string> keys = {"at", "every", "devices", "action", "duration", "value", "profile",
                                                  "state", "period"};
    return keys;
}

const std::vector<std::string>& ScenarioKeys::Replay()
{
    static const std::vector<std::string> keys = {"capture", "mode", "speed", "loop", "from", "to", "rewrite_clock",
                                                  "copies", "serials"};
    return keys;
}

}  // namespace mimicbox::sim
