// Test support: VXL images put together record by record, for the loader's and
// vxltool's tests. Not part of any program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "mapfile/vxl_format.h"

using vxl_bytes = std::vector<std::uint8_t>;

/// One span: the four header bytes, then the given colour words least significant
/// byte first.
inline vxl_bytes vxl_span(std::uint8_t span_length, std::uint8_t top_start, std::uint8_t top_end,
                          std::uint8_t air_start, std::initializer_list<std::uint32_t> colours = {}) {
    vxl_bytes out = {span_length, top_start, top_end, air_start};
    for (std::uint32_t c : colours)
        for (int shift = 0; shift < 32; shift += 8) out.push_back(std::uint8_t(c >> shift));
    return out;
}

/// Spans joined into one column record.
inline vxl_bytes vxl_record(std::initializer_list<vxl_bytes> spans) {
    vxl_bytes out;
    for (const vxl_bytes& s : spans) out.insert(out.end(), s.begin(), s.end());
    return out;
}

/// A whole image: record k is the given one where listed (by record number,
/// column (k % 512, k / 512)), the all-air record everywhere else.
inline vxl_bytes vxl_image(std::initializer_list<std::pair<std::size_t, vxl_bytes>> records = {}) {
    vxl_bytes out;
    out.reserve(VXL_AIR_MAP_BYTES + 4096);
    for (std::size_t k = 0; k < VXL_RECORD_COUNT; ++k) {
        const vxl_bytes* given = nullptr;
        for (const auto& r : records)
            if (r.first == k) given = &r.second;
        if (given)
            out.insert(out.end(), given->begin(), given->end());
        else
            out.insert(out.end(), VXL_AIR_COLUMN, VXL_AIR_COLUMN + VXL_SPAN_HEADER_BYTES);
    }
    return out;
}

/// A whole image whose record k is record_of(k).
inline vxl_bytes vxl_image_from(const std::function<vxl_bytes(std::size_t k)>& record_of) {
    vxl_bytes out;
    for (std::size_t k = 0; k < VXL_RECORD_COUNT; ++k) {
        const vxl_bytes record = record_of(k);
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}
