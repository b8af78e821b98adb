// The live control without HTTP: requests on a plant on simulated time and the fake network.
#include "tools/control/Controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "tests/tools/PlantFixture.h"
#include "tools/report/History.h"
#include "tools/testing/FakeNetwork.h"
#include "tools/testing/ManualScheduler.h"

using namespace mimicbox;
using namespace mimicbox::control;
using namespace std::chrono_literals;
using ::testing::HasSubstr;

namespace {

// Files as the test hands them over: answered when the test says, as the worker would, later.
class FakeFiles : public FileSource {
public:
    void Read(const std::string& folder, const std::string& name, Done done) override
    {
        asked.push_back(folder + "/" + name);
        pending.push_back(std::move(done));
    }
    void Answer(bool ok, const std::string& text, const std::string& error = "")
    {
        Done done = std::move(pending.front());
        pending.erase(pending.begin());
        done(ok, text, error);
    }

    std::vector<std::string> asked;
    std::vector<Done> pending;
};

class ControllerTest : public PlantFixture {
protected:
    ControllerTest()
    {
        sim::PlantConfig config;
        config.devices = {{TYPE_THERMO, 3}, {TYPE_RELAY, 1005}};
        config.seed = 5;
        harness_.Build(std::move(config));
        controller_ = std::make_unique<Controller>(
            PlantAccess{*plant_, *summary_, metrics_, scheduler_, files_, &feed_, &history_, nullptr, 5, scheduler_.Now()},
            [this] { stopped_ = true; },
            ControllerOptions{sim::kMaxDevicesPerProcess, "/data", 3});
        harness_.Add(metrics_);
        harness_.Add(history_);
        harness_.Add(*controller_);
        harness_.Add(feed_);
        harness_.Start();
        scheduler_.Advance(1ms);
    }
    // Sends the request; the answer it has got so far (status 0 when none yet).
    std::shared_ptr<Response> Send(const std::string& method, const std::string& target, const std::string& body = "")
    {
        auto answer = std::make_shared<Response>(0, "");
        const std::size_t question = target.find('?');
        const std::string path = target.substr(0, question);
        const std::string query = question == std::string::npos ? "" : target.substr(question + 1);
        controller_->Dispatch({method, path, body, query}, [answer](Response response) {
            Render(response);
            *answer = std::move(response);
        });
        return answer;
    }
    Response Call(const std::string& method, const std::string& path, const std::string& body = "")
    {
        const auto answer = Send(method, path, body);
        EXPECT_NE(answer->status, 0) << method << " " << path << " is not answered";
        return *answer;
    }
    nlohmann::json Json(const std::string& method, const std::string& path, const std::string& body = "")
    {
        const Response response = Call(method, path, body);
        EXPECT_EQ(response.status, 200) << path << ": " << response.body;
        return nlohmann::json::parse(response.body, nullptr, false);
    }

    FakeFiles files_;
    EventFeed feed_{1000, scheduler_.Now()};
    report::History history_{scheduler_.Now()};
    Metrics metrics_;
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

TEST_F(ControllerTest, NamedDevicesComeInTheOrderAskedWithoutThoseThatAreNone)
{
    const nlohmann::json devices = Json("GET", "/devices?names=relay%3A1005%2Cthermo%3A9,nonsense,relay:1,thermo:3");
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]["name"], "relay:1005");
    EXPECT_EQ(devices[1]["name"], "thermo:3");
    EXPECT_EQ(Json("GET", "/devices?names=").size(), 0u);
    // However long the list a client sends, the answer stays a page's worth.
    std::string many = "/devices?names=thermo:3";
    for (int i = 0; i < 2000; ++i)
        many += ",thermo:3";
    EXPECT_EQ(Json("GET", many).size(), 500u);
}

TEST_F(ControllerTest, AListIsWrittenLaterFromASnapshotOfTheMomentAsked)
{
    // The HTTP thread writes the list while the loop runs on, so it must not read the plant then.
    Response list;
    controller_->Dispatch({"GET", "/devices", ""}, [&](Response response) { list = std::move(response); });
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
    const auto fault = Send("POST", "/devices/thermo:3/fault", R"({"kind": "out-of-range", "value": 999})");
    EXPECT_EQ(fault->status, 0);  // answered once it has fired
    scheduler_.Advance(1500ms);
    EXPECT_EQ(fault->status, 200);
    EXPECT_THAT(Json("GET", "/devices/thermo:3")["last_record"].get<std::string>(), ::testing::EndsWith(", 999.000000;"));
    scheduler_.Advance(1500ms);
    EXPECT_THAT(Json("GET", "/devices/thermo:3")["last_record"].get<std::string>(), ::testing::EndsWith(", 43.500000;"));
    EXPECT_THAT(metrics_.Text(2, 2), HasSubstr("mimicbox_faults_injected_total{kind=\"out-of-range\"} 1\n"));
}

TEST_F(ControllerTest, ASetTemperatureReachesTheNextReportWhateverTheProfile)
{
    // Absolute profiles would overwrite the value: the set ends them, and the answer says so.
    const struct {
        const char* profile;
        const char* note;  // "" when the profile goes on from the value
        const char* after;  // the profile the device reports after the set
    } rows[] = {
        {R"({"kind": "sine", "mean": 20, "amplitude": 5, "period": 60})", "the sine profile ended", "steps"},
        {R"({"kind": "csv", "rows": [[0, 20], [100, 30]]})", "the csv profile ended", "steps"},
        {R"({"kind": "ramp", "rate": 0})", "", "ramp"},
        {R"({"kind": "random-walk", "sigma": 0})", "", "random-walk"},
    };
    for (const auto& row : rows) {
        Json("PUT", "/devices/thermo:3/profile", row.profile);
        scheduler_.Advance(1500ms);
        const nlohmann::json set = Json("PUT", "/devices/thermo:3/temperature", R"({"value": 77.7})");
        EXPECT_EQ(set["profile"], row.after) << row.profile;
        EXPECT_THAT(set.value("note", std::string()), HasSubstr(row.note)) << row.profile;
        EXPECT_EQ(set.contains("note"), *row.note != '\0') << row.profile;
        scheduler_.Advance(1500ms);
        EXPECT_THAT(Json("GET", "/devices/thermo:3")["last_record"].get<std::string>(), ::testing::EndsWith(", 77.699997;"))
            << row.profile;
        scheduler_.Advance(1500ms);
        EXPECT_THAT(Json("GET", "/devices/thermo:3")["last_record"].get<std::string>(), ::testing::EndsWith(", 77.699997;"))
            << row.profile << " holds the value";
    }
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
        {"DELETE", "/metrics", "", 405, "DELETE is not allowed on /metrics; use GET"},
        {"POST", "/devices/thermo:3/temperature", "{\"value\": 1}", 405, "use PUT"},
        {"PUT", "/devices/thermo:3/temperature", "{\"value\": ", 400, "the body is no JSON (at byte 11)"},
        {"PUT", "/devices/thermo:3/temperature", "{\"value\": 1e309}", 400, "a number in the body is out of range"},
        {"GET", "/devices/\xff", "", 404, "no such device: '\xef\xbf\xbd'"},
        {"PUT", "/devices/thermo:3/temperature", "[1]", 400, "the body is no JSON object"},
        {"PUT", "/devices/thermo:3/temperature", "{\"value\": 151}", 400, "value: must lie from -30 to 150"},
        {"PUT", "/devices/thermo:3/temperature", "{\"value\": \"hot\"}", 400, "value: a number"},
        {"PUT", "/devices/thermo:3/temperature", "{\"value\": 20, \"unit\": \"C\"}", 400, "unknown field 'unit'"},
        {"PUT", "/devices/relay:1005/temperature", "{\"value\": 20}", 400, "a Relay-Box has no temperature"},
        {"PUT", "/devices/relay:1005/profile", "{\"kind\": \"ramp\", \"rate\": 1}", 400, "a Relay-Box has no temperature"},
        {"PUT", "/devices/thermo:3/switch", "{\"state\": \"on\"}", 400, "a Thermo-Box has no switch"},
        {"PUT", "/devices/relay:1005/switch", "{\"state\": \"up\"}", 400, "state: must be"},
        {"PUT", "/devices/thermo:3/profile", "{\"kind\": \"sine\", \"perod\": 3}", 400, "profile.perod: unknown key"},
        {"PUT", "/devices/thermo:3/profile", "{\"kind\": \"sine\", \"period\": null}", 400, "profile.period: must be a number"},
        {"POST", "/devices/thermo:3/fault", "{\"kind\": \"split\", \"every\": 3}", 400, "give no trigger"},
        {"POST", "/devices/relay:1005/fault", "{\"kind\": \"out-of-range\"}", 400, "out-of-range needs a Thermo-Box"},
        {"POST", "/devices/thermo:3/silence", "{}", 400, "duration: seconds above 0"},
        {"POST", "/devices/thermo:3/reset", "{\"now\": true}", 400, "unknown field 'now'"},
        {"DELETE", "/devices/thermo:99", "", 404, "no such device: thermo:99"},
        {"DELETE", "/devices", "", 405, "DELETE is not allowed on /devices; use GET, POST"},
        {"PUT", "/devices/thermo:3", "", 405, "use GET, DELETE"},
        {"PUT", "/devices/thermo:3/profile", R"({"kind": "csv", "file": "a.csv", "rows": [[0, 1]]})", 400, "give one of"},
        {"PUT", "/devices/thermo:3/profile", R"({"kind": "csv", "rows": [[0, 1], [0, 2]]})", 400,
         "profile.rows[2]: seconds must start from 0 or later and rise"},
        {"PUT", "/devices/thermo:3/profile", R"({"kind": "csv", "rows": [[0]]})", 400, "must be two numbers"},
        {"PUT", "/devices/thermo:3/profile", R"({"kind": "csv", "csv": "0,1\nx"})", 400, "line 2: not two numbers"},
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

TEST_F(ControllerTest, ALiveFaultIsAnsweredWhenItFiresAndTheEventStreamSaysSoToo)
{
    const auto first = Send("POST", "/devices/relay:1005/fault", R"({"kind": "garbage", "bytes": 4})");
    const auto second = Send("POST", "/devices/relay:1005/fault", R"({"kind": "double-nul"})");
    EXPECT_EQ(Json("GET", "/devices/relay:1005")["faults_waiting"], 2);
    scheduler_.Advance(500ms);
    ASSERT_EQ(first->status, 200);
    EXPECT_EQ(second->status, 0);
    const nlohmann::json fired = nlohmann::json::parse(first->body);
    EXPECT_EQ(fired["fired"], true);
    EXPECT_EQ(fired["fault"], "garbage");
    EXPECT_EQ(fired["event"]["event"], "sent");
    EXPECT_EQ(fired["event"]["live_fault"], fired["id"]);
    EXPECT_EQ(fired["event"]["t"], 0.501);
    // The next report takes the second.
    scheduler_.Advance(500ms);
    ASSERT_EQ(second->status, 200);
    EXPECT_EQ(nlohmann::json::parse(second->body)["fault"], "double-nul");
    const auto lines = feed_.Take(0, 100);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const auto& line) { return line.second.find("\"live_fault\"") != std::string::npos; }),
              2);
}

TEST_F(ControllerTest, ALiveFaultThatCannotFireYetIsAnsweredAcceptedAndWaitingOnesAreBounded)
{
    Json("POST", "/devices/thermo:3/silence", R"({"duration": 60})");
    const auto waiting = Send("POST", "/devices/thermo:3/fault", R"({"kind": "split"})");
    Send("POST", "/devices/thermo:3/fault", R"({"kind": "split"})");
    Send("POST", "/devices/thermo:3/fault", R"({"kind": "split"})");
    EXPECT_EQ(Call("POST", "/devices/thermo:3/fault", R"({"kind": "split"})").status, 429);
    scheduler_.Advance(10s);
    ASSERT_EQ(waiting->status, 202);
    EXPECT_EQ(nlohmann::json::parse(waiting->body)["fired"], false);
    // What still waits when the run ends is answered then.
    const auto late = Send("POST", "/devices/relay:1005/fault", R"({"kind": "split"})");
    plant_->Stop();
    controller_->EndRun();
    EXPECT_EQ(late->status, 202);
    EXPECT_THAT(late->body, HasSubstr("the run ended before it fired"));
}

TEST_F(ControllerTest, ACsvTableComesInlineOrFromTheDataFolderAwayFromTheLoop)
{
    Json("PUT", "/devices/thermo:3/profile", R"({"kind": "csv", "rows": [[0, 20.0], [60, 35.5]]})");
    EXPECT_EQ(Json("GET", "/devices/thermo:3")["profile"], "csv");
    Json("PUT", "/devices/thermo:3/profile", R"({"kind": "csv", "csv": "seconds,value\n0,21.5\n"})");
    scheduler_.Advance(1500ms);
    EXPECT_THAT(Json("GET", "/devices/thermo:3")["last_record"].get<std::string>(), ::testing::EndsWith(", 21.500000;"));

    // The file is read by the file source, and the answer waits for it.
    const auto fromFile = Send("PUT", "/devices/thermo:3/profile", R"({"kind": "csv", "file": "kiln.csv"})");
    EXPECT_EQ(fromFile->status, 0);
    ASSERT_EQ(files_.asked, std::vector<std::string>{"/data/kiln.csv"});
    files_.Answer(true, "0,99.5\n");
    ASSERT_EQ(fromFile->status, 200) << fromFile->body;
    scheduler_.Advance(1500ms);
    EXPECT_THAT(Json("GET", "/devices/thermo:3")["last_record"].get<std::string>(), ::testing::EndsWith(", 99.500000;"));

    const auto unreadable = Send("PUT", "/devices/thermo:3/profile", R"({"kind": "csv", "file": "/etc/passwd"})");
    files_.Answer(false, "", "cannot read /etc/passwd: it lies outside the data folder");
    EXPECT_EQ(unreadable->status, 400);
    EXPECT_THAT(unreadable->body, HasSubstr("outside the data folder"));
    const auto malformed = Send("PUT", "/devices/thermo:3/profile", R"({"kind": "csv", "file": "bad.csv"})");
    files_.Answer(true, "0,1\n0,2\n");
    EXPECT_THAT(malformed->body, HasSubstr("bad.csv: line 2"));
    // A device removed while its file was read is not changed.
    const auto gone = Send("PUT", "/devices/thermo:3/profile", R"({"kind": "csv", "file": "kiln.csv"})");
    Json("DELETE", "/devices/thermo:3");
    files_.Answer(true, "0,50\n");
    EXPECT_EQ(gone->status, 404);
}

TEST_F(ControllerTest, RoutesListThemselvesAndAWrongMethodNamesTheAllowedOnes)
{
    const nlohmann::json routes = Json("GET", "/api");
    EXPECT_GE(routes.size(), 15u);
    EXPECT_EQ(routes[0]["method"], "GET");
    EXPECT_EQ(routes[0]["path"], "/devices");
    const Response refused = Call("PATCH", "/devices/thermo:3/switch");
    EXPECT_EQ(refused.status, 405);
    ASSERT_EQ(refused.headers.size(), 1u);
    EXPECT_EQ(refused.headers[0], std::make_pair(std::string("Allow"), std::string("PUT")));
}

TEST_F(ControllerTest, TheApiDocumentNamesEveryRouteAndNoOther)
{
    std::ifstream file(MIMICBOX_SOURCE_DIR "/docs/control-api.md");
    ASSERT_TRUE(file) << "docs/control-api.md";
    // Each heading names its routes in backticks: ### `GET /devices`, `GET /devices/{name}`
    std::set<std::string> documented;
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("###", 0) != 0)
            continue;
        for (std::size_t open = line.find('`'); open != std::string::npos; open = line.find('`', open + 1)) {
            const std::size_t close = line.find('`', open + 1);
            documented.insert(line.substr(open + 1, close - open - 1));
            open = close;
        }
    }
    std::set<std::string> served;
    for (const Route& each : controller_->Routes().Routes())
        served.insert(std::string(each.method) + " " + each.pattern);
    EXPECT_EQ(documented, served);
}

TEST_F(ControllerTest, TheGrafanaDashboardIsJsonAndNamesOnlyExportedMetrics)
{
    std::ifstream file(MIMICBOX_SOURCE_DIR "/docs/grafana-dashboard.json");
    ASSERT_TRUE(file) << "docs/grafana-dashboard.json";
    const nlohmann::json dashboard = nlohmann::json::parse(file, nullptr, false);
    ASSERT_FALSE(dashboard.is_discarded());
    const Response metrics = Call("GET", "/metrics");
    std::size_t named = 0;
    for (const nlohmann::json& panel : dashboard["panels"]) {
        for (const nlohmann::json& target : panel["targets"]) {
            const std::string expr = target["expr"].get<std::string>();
            for (std::size_t at = expr.find("mimicbox_"); at != std::string::npos; at = expr.find("mimicbox_", at + 1)) {
                std::size_t end = at;
                while (end < expr.size() && (std::isalnum(static_cast<unsigned char>(expr[end])) || expr[end] == '_'))
                    ++end;
                std::string name = expr.substr(at, end - at);
                for (const char* suffix : {"_bucket", "_sum", "_count"})
                    if (name.size() > std::strlen(suffix) && name.ends_with(suffix) && name.find("lateness") != std::string::npos)
                        name.resize(name.size() - std::strlen(suffix));
                EXPECT_THAT(metrics.body, HasSubstr("# TYPE " + name + " ")) << panel["title"];
                ++named;
                at = end;
            }
        }
    }
    EXPECT_GE(dashboard["panels"].size(), 6u);
    EXPECT_GE(named, 6u);
}

TEST_F(ControllerTest, TheDashboardReadsTheRunItsSeriesAndADevicesReports)
{
    scheduler_.Advance(5s);
    const nlohmann::json run = Json("GET", "/run");
    EXPECT_EQ(run["seed"], 5);
    EXPECT_EQ(run["devices"], 2);
    EXPECT_EQ(run["connected"], 2);
    EXPECT_EQ(run["reports_sent"], summary_->Reports());
    EXPECT_GT(run["history_bytes"].get<int>(), 0);

    const nlohmann::json series = Json("GET", "/history");
    ASSERT_EQ(series["second"].size(), 5u);
    EXPECT_EQ(series["connected"].back(), 2);
    EXPECT_EQ(Json("GET", "/history?from=3")["second"], nlohmann::json::parse("[3, 4]"));
    EXPECT_EQ(Call("GET", "/history?from=x").status, 400);

    const nlohmann::json reports = Json("GET", "/devices/relay:5/history");
    ASSERT_GE(reports.size(), 9u);
    const std::string bytes = reports.back()["bytes"];
    EXPECT_EQ(bytes.rfind("TolvarkControl: 8, 1005,", 0), 0u) << bytes;
    EXPECT_EQ(bytes.back(), '\0');
    EXPECT_EQ(Call("GET", "/devices/relay:9/history").status, 404);
}

TEST_F(ControllerTest, TheDeviceListSaysWhatEachDeviceIsDoing)
{
    scheduler_.Advance(2s);
    Call("POST", "/devices/thermo:3/silence", R"({"duration": 5})");
    Call("POST", "/devices/relay:1005/disconnect", "{}");
    const nlohmann::json devices = Json("GET", "/devices");
    EXPECT_EQ(devices[0]["state"], "silenced");
    EXPECT_EQ(devices[1]["state"], "closed");
    EXPECT_GE(devices[1]["last_report_age"].get<double>(), 0.0);
    EXPECT_TRUE(devices[1].contains("lateness_p99_ms"));
}
