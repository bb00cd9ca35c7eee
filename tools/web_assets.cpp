#include "tools/web_assets.h"

std::string_view web_asset(std::string_view name) {
    for (std::size_t i = 0; i < WEB_ASSET_COUNT; ++i)
        if (name == WEB_ASSETS[i].name) return {WEB_ASSETS[i].data, WEB_ASSETS[i].size};
    return {};
}
