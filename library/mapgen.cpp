// The C API of <mapgen/mapgen.h> over make_vxl_map: argument checks, the
// buffer the caller releases with mapgen_free, and every exception turned into
// an errno value before it could reach C code.
#include <mapgen/mapgen.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "library/vxl_map.h"

namespace {

constexpr unsigned KNOWN_FLAGS = MAPGEN_START_REGIONS;

}  // namespace

int mapgen_generate(std::int32_t seed, unsigned flags, unsigned char** data, std::size_t* size) {
    if (!data || !size || (flags & ~KNOWN_FLAGS) != 0) return EINVAL;
    try {
        const std::vector<std::uint8_t> bytes = make_vxl_map(seed, (flags & MAPGEN_START_REGIONS) != 0);
        // malloc, not new[]: mapgen_free is free, so the buffer may cross into code
        // built by another compiler or language runtime (a ctypes caller) and back.
        auto* buffer = static_cast<unsigned char*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
        if (!buffer) return ENOMEM;
        if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
        *data = buffer;
        *size = bytes.size();
        return 0;
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (...) {
        // make_vxl_map throws nothing but std::bad_alloc; should that change, the
        // caller still gets a failure with nothing allocated, never an exception.
        return ENOMEM;
    }
}

void mapgen_free(unsigned char* data) { std::free(data); }

const char* mapgen_version(void) { return MAPGEN_VERSION_STRING; }
