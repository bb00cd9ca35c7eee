#include "tools/check_report.h"

#include "mapfile/vxl_format.h"
#include "tools/json_text.h"
#include "tools/output_text.h"

std::string check_text_line(const std::string& name, const vxl_load_result& result) {
    const std::string shown = quoted_name(name);
    if (!result.ok) return shown + ": invalid: " + result.reason;
    std::string line = shown + ": ok, " + std::to_string(result.bytes) + " bytes, " + std::to_string(result.spans) +
                       " spans, " + std::to_string(result.coloured_voxels) + " colour records";
    if (result.trailing_bytes) line += ", " + std::to_string(result.trailing_bytes) + " trailing bytes";
    return line;
}

std::string check_json_line(const std::string& name, const vxl_load_result& result) {
    std::string json = "{\"name\": " + json_string(name);
    if (!is_utf8(name)) json += ", \"name_hex\": \"" + hex_bytes(name) + "\"";
    if (result.ok) {
        return json + ", \"valid\": true, \"bytes\": " + std::to_string(result.bytes) +
               ", \"record_bytes\": " + std::to_string(result.record_bytes) +
               ", \"trailing_bytes\": " + std::to_string(result.trailing_bytes) +
               ", \"spans\": " + std::to_string(result.spans) +
               ", \"solid_voxels\": " + std::to_string(result.solid_voxels) +
               ", \"color_records\": " + std::to_string(result.coloured_voxels) + "}";
    }
    json += ", \"valid\": false";
    if (result.read_failed) json += ", \"readable\": false";
    return json + ", " + vxl_fault_json(result) + "}";
}

std::string vxl_fault_json(const vxl_load_result& result) {
    if (!result.placed) return "\"reason\": " + json_string(result.reason) + ", \"offset\": null, \"column\": null";
    const std::size_t x = result.fault.record % VXL_MAP_SIZE, y = result.fault.record / VXL_MAP_SIZE;
    return "\"reason\": " + json_string(result.fault.what) + ", \"offset\": " + std::to_string(result.fault.offset) +
           ", \"column\": [" + std::to_string(x) + ", " + std::to_string(y) + "]";
}
