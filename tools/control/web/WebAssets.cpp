#include "tools/control/web/WebAssets.h"

namespace mimicbox::control::web {

const WebAsset* FindWebAsset(std::string_view name)
{
    for (const WebAsset& asset : WebAssets()) {
        if (asset.name == name)
            return &asset;
    }
    return nullptr;
}

}  // namespace mimicbox::control::web
