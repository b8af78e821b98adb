#include "tools/scenario/Scenario.h"

#include <filesystem>

#include "tools/scenario/CsvTable.h"
#include "tools/scenario/TextFile.h"
#include "tools/scenario/TomlShield.h"
#include "tools/sim/Validate.h"

namespace mimicbox::scenario {

bool ReadScenarioText(std::string_view text, ScenarioFile& file, std::string& error)
{
    file.scenario = sim::Scenario{};
    file.locations = Locations{};
    std::string shielded;
    TextPosition refused;
    if (!ShieldText(text, shielded, refused)) {
        error = file.name + ":" + std::to_string(refused.line) + ":" + std::to_string(refused.column) +
                ": not taken: a character from U+F0000 to U+FFFFF (private use)";
        return false;
    }
    sim::Problems problems;
    if (!ReadTomlScenario(shielded, file.name, file.scenario, file.locations, problems, error))
        return false;
    if (problems.empty())
        return true;
    error = LocatedProblems(file, problems);
    return false;
}

bool ReadScenarioFile(const std::string& path, ScenarioFile& file, std::string& error)
{
    std::string text;
    std::string why;
    if (!ReadTextFile(path, text, why)) {
        error = "cannot read the scenario " + path + ": " + why;
        return false;
    }
    const std::filesystem::path directory = std::filesystem::path(path).parent_path();
    file.name = path;
    file.directory = directory.empty() ? "." : directory.string();
    file.text = text;
    return ReadScenarioText(text, file, error);
}

std::string LocatedProblems(const ScenarioFile& file, const sim::Problems& problems)
{
    std::string text;
    for (const sim::Problem& problem : problems) {
        const TextPosition at = file.locations.Of(problem.path);
        if (!text.empty())
            text += '\n';
        text.append(file.name).append(":").append(std::to_string(at.line)).append(":").append(std::to_string(at.column));
        text.append(": ").append(UnshieldText(sim::ProblemText(problem)));
    }
    return text;
}

bool PlanScenarioFile(const ScenarioFile& file, sim::ScenarioPlan& plan, std::string& error)
{
    sim::Problems problems = sim::Validate(file.scenario);
    if (problems.empty()) {
        const auto read = [&](const std::string& name, std::vector<sim::TablePoint>& points, std::string& why) {
            return ReadCsvTable((std::filesystem::path(file.directory) / name).string(), points, why);
        };
        problems = sim::PlanScenario(file.scenario, read, plan);
    }
    if (problems.empty())
        return true;
    error = LocatedProblems(file, problems);
    return false;
}

bool ParseScenario(std::string_view text, const std::string& fileName, const std::string& directory,
                   sim::ScenarioPlan& plan, std::string& error)
{
    ScenarioFile file;
    file.name = fileName;
    file.directory = directory;
    return ReadScenarioText(text, file, error) && PlanScenarioFile(file, plan, error);
}

bool LoadScenario(const std::string& path, sim::ScenarioPlan& plan, std::string& error)
{
    ScenarioFile file;
    return ReadScenarioFile(path, file, error) && PlanScenarioFile(file, plan, error);
}

}  // namespace mimicbox::scenario
