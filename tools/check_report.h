// What `vxltool check` says about one file, as a line of text for people or as a
// line of JSON for scripts (JSON Lines: one object per file per line). Names are
// quoted or escaped (see output_text.h), so no name can forge a line.
#pragma once

#include <string>

#include "mapfile/vxl_loader.h"

/// "NAME: ok, N bytes, N spans, N colour records[, N trailing bytes]" or
/// "NAME: invalid: REASON", without the line end. Not for a file that could not be read.
std::string check_text_line(const std::string& name, const vxl_load_result& result);

/// One JSON object, without the line end:
///   {"name": ..., "valid": true, "bytes": N, "record_bytes": N, "trailing_bytes": N,
///    "spans": N, "solid_voxels": N, "color_records": N}
///   {"name": ..., "valid": false, "reason": ..., "offset": N or null, "column": [x, y] or null}
/// For a file that could not be read, "readable": false follows "valid". "reason"
/// holds the fault without its place, which "offset" (the byte) and "column" give;
/// both are null when the fault has no place in the file (it cannot be read, or it
/// is over the size limit). A name that is not UTF-8 is given with U+FFFD for each
/// byte that is not, and "name_hex" follows with its bytes.
std::string check_json_line(const std::string& name, const vxl_load_result& result);

/// The fault of a result that is not ok, as JSON members: "reason": ...,
/// "offset": N or null, "column": [x, y] or null.
std::string vxl_fault_json(const vxl_load_result& result);
