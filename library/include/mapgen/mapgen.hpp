// mapgen for C++: the C API of <mapgen/mapgen.h> with a vector and exceptions.
// Header only, over the C functions, so it links with the shared or the static
// library alike and asks no C++ ABI of either.
#pragma once

#include <mapgen/mapgen.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

namespace mapgen {

/// The VXL file of seed (flags as mapgen_generate takes them). Throws
/// std::bad_alloc when memory runs out, std::system_error with the errno value
/// for any other failure (EINVAL for unknown flags).
inline std::vector<std::uint8_t> generate(std::int32_t seed, unsigned flags = 0) {
    unsigned char* data = nullptr;
    std::size_t size = 0;
    if (const int error = mapgen_generate(seed, flags, &data, &size)) {
        if (error == ENOMEM) throw std::bad_alloc();
        throw std::system_error(error, std::generic_category(), "mapgen_generate");
    }
    struct release {
        void operator()(unsigned char* p) const { mapgen_free(p); }
    };
    const std::unique_ptr<unsigned char, release> owned(data);
    return std::vector<std::uint8_t>(data, data + size);
}

/// The library's version, e.g. "0.2.0".
inline const char* version() { return mapgen_version(); }

}  // namespace mapgen
