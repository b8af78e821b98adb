#include "tools/scenario/CsvTable.h"

#include "tools/scenario/TextFile.h"
#include "tools/sim/CsvTable.h"

namespace mimicbox::scenario {

bool ReadCsvTable(const std::string& path, std::vector<sim::TablePoint>& points, std::string& error)
{
    std::string text;
    std::string why;
    if (!ReadTextFile(path, text, why)) {
        error = "cannot read " + path + ": " + why;
        return false;
    }
    if (!sim::ParseCsvTable(text, points, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace mimicbox::scenario
