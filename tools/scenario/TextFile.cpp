#include "tools/scenario/TextFile.h"

#include <fstream>
#include <sstream>

namespace mimicbox::scenario {

bool ReadTextFile(const std::string& path, std::string& text)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream contents;
    contents << file.rdbuf();
    text = contents.str();
    return true;
}

}  // namespace mimicbox::scenario
