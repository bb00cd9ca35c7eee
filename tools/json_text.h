// Writing JSON by hand for vxltool's --json output: the one piece that needs
// care is a string, whose quotes, backslashes and control characters must be
// escaped for any reader to take it back exactly.
#pragma once

#include <string>

/// text as a JSON string literal, quotes included: '"' and '\' escaped, control
/// characters as \n, \t, ... or \u00XX. Other bytes, UTF-8 included, pass as they are.
std::string json_string(const std::string& text);
