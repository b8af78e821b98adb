// The live control without HTTP: requests on a plant on simulated time and the fake network.
#include "tools/control/Controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/report/FanOut.h"
#include "tools/testing/FakeNetwork.h"
#include "tools/testing/ManualScheduler.h"

using namespace mimicbox;
using namespace mimicbox::control;
using namespace std::chrono_literals;
using ::testing::HasSubstr;

namespace {

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest()
    {
        config_.devices = {{TYPE_THERMO, 3}, {TYPE_RELAY, 1005}};
        config_.seed = 5;
        summary_ = std::make_unique<sim::Summary>(config_.devices);
        plant_ = std::make_unique<sim::Plant>(config_, scheduler_, network_, sinks_);
        controller_ = std::make_unique<Controller>(*plant_, *summary_, metrics_, [this] { stopped_ = true; });
        sinks_.Add(*summary_);
        sinks_.Add(metrics_);
        sinks_.Add(*controller_);
        plant_->Start({});
        scheduler_.Advance(1ms);
    }
    Response Call(const std::string& method, const std::string& path, const std::string& body = "")
    {
        Response response = controller_->Handle({method, path, body});
        Render(response);
        return response;
    }
    nlohmann::json Json(const std::string& method, const std::string& path, const std::string& body = "")
    {
        const Response response = Call(method, path, body);
        EXPECT_EQ(response.status, 200) << path << ": " << response.body;
        return nlohmann::json::parse(response.body, nullptr, false);
    }

    sim::PlantConfig config_;
    mimicbox::testing::ManualScheduler scheduler_;
    mimicbox::testing::FakeNetwork network_{scheduler_};
    report::FanOut sinks_;
    Metrics metrics_;
    std::unique_ptr<sim::Summary> summary_;
    std::unique_ptr<sim::Plant> plant_;
    std::unique_ptr<Controller> controller_;
    bool stopped_ = false;
};

}  // namespace

TEST_F(ControllerTest, DevicesShowTheirStateAndLastReport)
{
    scheduler_.Advance(2s);
    const nlohmann::json devices = Json("GET", "/devices");
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]["name"], "thermo:3");
    EXPECT_EQ(devices[0]["model"], "thermo");
    EXPECT_EQ(devices[0]["connected"], true);
    EXPECT_EQ(devices[0]["profile"], "steps");
    EXPECT_EQ(devices[0]["period"], 1.5);
    EXPECT_EQ(devices[1]["switch"], "off");
    EXPECT_EQ(devices[1]["reports_sent"], 4);
    EXPECT_THAT(devices[1]["last_record"].get<std::string>(), HasSubstr("TolvarkControl: 8, 1005,"));
    // The dialog's numbering reaches the same device.
    EXPECT_EQ(Json("GET", "/devices/relay:5")["name"], "relay:1005");
}

TEST_F(ControllerTest, AListIsWrittenLaterFromASnapshotOfTheMomentAsked)
{
    // The HTTP thread writes the list while the loop runs on, so it must not read the plant then.
    Response list = controller_->Handle({"GET", "/devices", ""});
    EXPECT_TRUE(list.body.empty());
    Json("PUT", "/devices/thermo:3/temperature", R"({"value": 42.5})");
    Json("DELETE", "/devices/relay:1005");
    Render(list);
    const nlohmann::json devices = nlohmann::json::parse(list.body, nullptr, false);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]["temperature"], 0);
    EXPECT_EQ(devices[1]["name"], "relay:1005");
}

TEST_F(ControllerTest, ChangesTakeEffectInTheNextReport)
{
    EXPECT_EQ(Json("PUT", "/devices/thermo:3/temperature", R"({"value": 42.5})")["temperature"], 42.5);
    Json("PUT", "/devices/relay:1005/switch", R"({"state": "on"})");
    scheduler_.Advance(1500ms);
    EXPECT_THAT(Json("GET", "/devices/thermo:3")["last_record"].get<std::string>(), ::testing::EndsWith(", 42.500000;"));
    EXPECT_THAT(Json("GET", "/devices/relay:1005")["last_record"].get<std::string>(), ::testing::EndsWith(", 1, 0;"));

    Json("PUT", "/devices/thermo:3/profile", R"({"kind": "ramp", "rate": 1, "to": 43.5})");
    EXPECT_EQ(Json("GET", "/devices/thermo:3")["profile"], "ramp");
    Json("POST", "/devices/thermo:3/fault", R"({"kind": "out-of-range", "value": 999})");
    scheduler_.Advance(1500ms);
    EXPECT_THAT(Json("GET", "/devices/thermo:3")["last_record"].get<std::string>(), ::testing::EndsWith(", 999.000000;"));
    scheduler_.Advance(1500ms);
    EXPECT_THAT(Json("GET", "/devices/thermo:3")["last_record"].get<std::string>(), ::testing::EndsWith(", 43.500000;"));
    EXPECT_THAT(metrics_.Text(2, 2), HasSubstr("mimicbox_faults_injected_total{kind=\"out-of-range\"} 1\n"));
}

TEST_F(ControllerTest, ConnectionActionsReachTheNetwork)
{
    Json("POST", "/devices/relay:1005/reset");
    EXPECT_EQ(network_.ClosedBy(1), "reset");
    EXPECT_EQ(Json("GET", "/devices/relay:1005")["connected"], false);
    Json("POST", "/devices/relay:1005/reconnect");
    scheduler_.Advance(1ms);
    EXPECT_EQ(Json("GET", "/devices/relay:1005")["connected"], true);
    Json("POST", "/devices/thermo:3/silence", R"({"duration": 3})");
    Json("POST", "/devices/thermo:3/disconnect");
    EXPECT_EQ(network_.ClosedBy(0), "close");
    Call("POST", "/stop");
    EXPECT_TRUE(stopped_);
}

TEST_F(ControllerTest, BadRequestsChangeNothingAndSayWhy)
{
    struct Row {
        const char* method;
        const char* path;
        const char* body;
        int status;
        const char* error;
    };
    const Row rows[] = {
        {"GET", "/nothing", "", 404, "no such resource: /nothing"},
        {"GET", "/devices/thermo:99", "", 404, "no such device: thermo:99"},
        {"GET", "/devices/pump:1", "", 404, "no such device: 'pump:1'"},
        {"GET", "/devices/thermo:1-4", "", 404, "no such device"},
        {"DELETE", "/metrics", "", 405, "DELETE is not allowed on /metrics"},
        {"POST", "/devices/thermo:3/temperature", "{\"value\": 1}", 405, "use PUT"},
        {"PUT", "/devices/thermo:3/temperature", "{\"value\": ", 400, "the body is no JSON object"},
        {"PUT", "/devices/thermo:3/temperature", "[1]", 400, "the body is no JSON object"},
        {"PUT", "/devices/thermo:3/temperature", "{\"value\": 151}", 400, "value: must lie from -30 to 150"},
        {"PUT", "/devices/thermo:3/temperature", "{\"value\": \"hot\"}", 400, "value: a number"},
        {"PUT", "/devices/thermo:3/temperature", "{\"value\": 20, \"unit\": \"C\"}", 400, "unknown field 'unit'"},
        {"PUT", "/devices/relay:1005/temperature", "{\"value\": 20}", 400, "a Relay-Box has no temperature"},
        {"PUT", "/devices/thermo:3/switch", "{\"state\": \"on\"}", 400, "a Thermo-Box has no switch"},
        {"PUT", "/devices/relay:1005/switch", "{\"state\": \"up\"}", 400, "state: must be"},
        {"PUT", "/devices/thermo:3/profile", "{\"kind\": \"sine\", \"perod\": 3}", 400, "profile.perod: unknown key"},
        {"PUT", "/devices/thermo:3/profile", "{\"kind\": \"sine\", \"period\": null}", 400, "null is no value here"},
        {"POST", "/devices/thermo:3/fault", "{\"kind\": \"split\", \"every\": 3}", 400, "give no trigger"},
        {"POST", "/devices/relay:1005/fault", "{\"kind\": \"out-of-range\"}", 400, "out-of-range needs a Thermo-Box"},
        {"POST", "/devices/thermo:3/silence", "{}", 400, "duration: seconds above 0"},
        {"POST", "/devices/thermo:3/reset", "{\"now\": true}", 400, "unknown field 'now'"},
        {"DELETE", "/devices/thermo:99", "", 404, "no such device: thermo:99"},
        {"DELETE", "/devices", "", 405, "DELETE is not allowed on /devices"},
        {"PUT", "/devices/thermo:3", "", 405, "PUT is not allowed on a device"},
        {"POST", "/devices", R"({"model": "thermo", "serial": 3})", 409, "thermo:3 is in the plant already"},
        // All or none: thermo:9 is not added either.
        {"POST", "/devices", R"([{"model": "thermo", "serial": 9}, {"model": "relay", "serials": "1004-1006"}])", 409,
         "relay:1005 is in the plant already"},
        {"POST", "/devices", R"([{"model": "thermo", "serial": 7}, {"model": "thermo", "serials": "6-8"}])", 400,
         "thermo:7"},
        {"POST", "/devices", "[]", 400, "no [[device]] table"},
        {"POST", "/devices", R"([{"model": "thermo", "serial": 9}, 3])", 400, "[1] is no JSON object"},
        {"POST", "/devices", R"({"model": "pump", "serial": 3})", 400, "device.model: must be"},
        {"POST", "/devices", R"({"model": "relay", "serial": 1009, "temperature": 3})", 400, "a Relay-Box has no temperature"},
        {"POST", "/devices", R"({"model": "thermo", "serial": 9, "expect": {"connection": "kept"}})", 400,
         "expectations are given when the run starts"},
        {"POST", "/devices", R"({"model": "thermo", "serials": "1-2147483647"})", 400, "this process holds at most 1000000"},
    };
    const std::string before = Call("GET", "/devices").body;
    for (const Row& row : rows) {
        const Response response = Call(row.method, row.path, row.body);
        EXPECT_EQ(response.status, row.status) << row.path << " " << row.body;
        const nlohmann::json body = nlohmann::json::parse(response.body, nullptr, false);
        ASSERT_TRUE(body.contains("error")) << response.body;
        EXPECT_THAT(body["error"].get<std::string>(), HasSubstr(row.error)) << row.path << " " << row.body;
    }
    EXPECT_EQ(Call("GET", "/devices").body, before);
    EXPECT_TRUE(network_.IsConnected(0));
}

TEST_F(ControllerTest, DevicesAddedLiveReportAndRemovedOnesAreGone)
{
    scheduler_.Advance(400ms);
    const Response added = Call("POST", "/devices", R"({"model": "thermo", "serials": "5-6", "temperature": 30})");
    EXPECT_EQ(added.status, 201) << added.body;
    const nlohmann::json devices = nlohmann::json::parse(added.body, nullptr, false);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[1]["name"], "thermo:6");
    EXPECT_EQ(devices[1]["temperature"], 30);
    EXPECT_EQ(Call("POST", "/devices", R"([{"model": "relay", "serial": 1007, "toggle_every": 1}])").status, 201);
    scheduler_.Advance(1501ms);
    EXPECT_EQ(Json("GET", "/devices").size(), 5u);
    EXPECT_THAT(Json("GET", "/devices/thermo:5")["last_record"].get<std::string>(), ::testing::EndsWith(", 30.000000;"));
    EXPECT_EQ(Json("GET", "/devices/relay:1007")["switch"], "on");

    EXPECT_EQ(Json("DELETE", "/devices/thermo:5")["removed"], "thermo:5");
    EXPECT_EQ(Call("GET", "/devices/thermo:5").status, 404);
    EXPECT_EQ(Json("GET", "/devices").size(), 4u);
    EXPECT_EQ(network_.ClosedBy(2), "close");
    // Added again, it keeps its counts in the summary.
    EXPECT_EQ(Call("POST", "/devices", R"({"model": "thermo", "serial": 5})").status, 201);
    EXPECT_EQ(Json("GET", "/devices/thermo:5")["reports_sent"], 1);
    EXPECT_THAT(Call("GET", "/metrics").body, HasSubstr("mimicbox_devices 5\n"));
}

TEST_F(ControllerTest, MetricsCountReportsCommandsAndLateness)
{
    network_.ServerWrite(1, std::string("TolvarkControl: 8, 1005, 4, 0, 0, 1, 11;") + '\0');
    scheduler_.Advance(3s);
    const Response response = Call("GET", "/metrics");
    EXPECT_EQ(response.contentType, "text/plain; version=0.0.4");
    EXPECT_THAT(response.body, HasSubstr("mimicbox_reports_sent_total{model=\"thermo\"} 2\n"));
    EXPECT_THAT(response.body, HasSubstr("mimicbox_reports_sent_total{model=\"relay\"} 6\n"));
    EXPECT_THAT(response.body, HasSubstr("mimicbox_connected_devices 2\n"));
    EXPECT_THAT(response.body, HasSubstr("mimicbox_report_lateness_seconds_bucket{le=\"0.0001\"} 8\n"));
    EXPECT_THAT(response.body, HasSubstr("mimicbox_report_lateness_seconds_count 8\n"));
    EXPECT_THAT(response.body, HasSubstr("# TYPE mimicbox_report_lateness_seconds histogram\n"));
}
