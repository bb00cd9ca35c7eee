// The C API of <mapgen/mapgen.h> over the library's maps in memory: argument checks, the
// buffer the caller releases with mapgen_free, and every exception turned into
// an errno value before it could reach C code.
#include <mapgen/mapgen.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "library/vxl_map.h"

namespace {

constexpr unsigned KNOWN_FLAGS = MAPGEN_START_REGIONS;

}  // namespace

int mapgen_generate(std::int32_t seed, unsigned flags, unsigned char** data, std::size_t* size) {
    if (!data || !size || (flags & ~KNOWN_FLAGS) != 0) return EINVAL;
    try {
        // The file is encoded in the call's idle workspace and copied once, into
        // the caller's buffer.
        const std::unique_ptr<vxl_map_work> work = heap_vxl_map_work();
        prepare_vxl_map(seed, (flags & MAPGEN_START_REGIONS) != 0, *work);
        file_buffer spare;
        const std::span<const std::uint8_t> file = encode_vxl_map_in_work(*work, spare);
        // malloc, not new[]: mapgen_free is free, so the buffer may cross into code
        // built by another compiler or language runtime (a ctypes caller) and back.
        auto* buffer = static_cast<unsigned char*>(std::malloc(file.empty() ? 1 : file.size()));
        if (!buffer) return ENOMEM;
        if (!file.empty()) std::memcpy(buffer, file.data(), file.size());
        *data = buffer;
        *size = file.size();
        return 0;
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (...) {
        // Making a map throws nothing but std::bad_alloc; should that change, the
        // caller still gets a failure with nothing allocated, never an exception.
        return ENOMEM;
    }
}

void mapgen_free(unsigned char* data) { std::free(data); }

const char* mapgen_version(void) { return MAPGEN_VERSION_STRING; }
