// The C API of <mapgen/mapgen.h> over the library's maps in memory: argument checks, the
// buffer the caller releases with mapgen_free, and every exception turned into
// an errno value before it could reach C code.
#include <mapgen/mapgen.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>

#include "library/vxl_map.h"

namespace {

constexpr unsigned KNOWN_FLAGS = MAPGEN_START_REGIONS;

// The file of the map prepared in work, encoded straight into a buffer from
// malloc (not new[]: mapgen_free is free, so the buffer may cross into code built
// by another compiler or language runtime, a ctypes caller, and back), its size in
// *size. The buffer starts as large as the room the file of every generated map
// known fits, and is then cut to the file: shrinking keeps
// the bytes where they are, so no file is copied. nullptr when memory runs out.
unsigned char* encode_for_caller(const vxl_map_work& work, std::size_t* size) {
    std::size_t room = GENERATED_FILE_ROOM;
    auto* buffer = static_cast<unsigned char*>(std::malloc(room));
    if (!buffer) return nullptr;
    std::size_t used = encode_prepared_vxl_map(work, {buffer, room});
    if (used == 0) {  // larger than that: measured, then encoded again
        std::free(buffer);
        room = prepared_vxl_map_size(work);
        buffer = static_cast<unsigned char*>(std::malloc(room));
        if (!buffer) return nullptr;
        used = encode_prepared_vxl_map(work, {buffer, room});
    }
    if (void* fitted = std::realloc(buffer, used)) buffer = static_cast<unsigned char*>(fitted);
    *size = used;
    return buffer;
}

}  // namespace

int mapgen_generate(std::int32_t seed, unsigned flags, unsigned char** data, std::size_t* size) {
    if (!data || !size || (flags & ~KNOWN_FLAGS) != 0) return EINVAL;
    try {
        const std::unique_ptr<vxl_map_work> work = heap_vxl_map_work();
        prepare_vxl_map(seed, (flags & MAPGEN_START_REGIONS) != 0, *work);
        std::size_t bytes = 0;
        unsigned char* const buffer = encode_for_caller(*work, &bytes);
        if (!buffer) return ENOMEM;
        *data = buffer;
        *size = bytes;
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
