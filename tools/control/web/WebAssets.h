// The dashboard's page, scripts and styles, and the chart library, compiled into the program from
// the files of tools/control/web and Debian's package: nothing is fetched when it runs.
#pragma once

#include <string_view>
#include <vector>

namespace mimicbox::control::web {

struct WebAsset {
    std::string_view name;  // "/", "/assets/chart.js", ...
    std::string_view contentType;
    std::string_view bytes;
};

const std::vector<WebAsset>& WebAssets();

// The asset of that name, or null.
const WebAsset* FindWebAsset(std::string_view name);

}  // namespace mimicbox::control::web
