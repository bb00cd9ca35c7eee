// Writing JSON by hand for vxltool's --json output: the one piece that needs
// care is a string, whose quotes, backslashes and control characters must be
// escaped for any reader to take it back exactly, and which must be UTF-8 even
// when the text (a file name) is not.
#pragma once

#include <string>

/// text as a JSON string literal, quotes included: '"' and '\' escaped, control
/// characters as \n, \t, ... or \u00XX, U+2028 and U+2029 as \u2028 and \u2029
/// (JavaScript takes them for line ends). Valid UTF-8 passes as it is; each byte
/// that is not part of valid UTF-8 becomes \uFFFD, the replacement character.
std::string json_string(const std::string& text);
