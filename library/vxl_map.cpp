#include "library/vxl_map.h"

#include <new>

#include "mapfile/column_encoder.h"

// Every generated column is solid from its lowest voxel up to its height and one
// colour throughout, so its record follows from the heights and colours alone.

fresh_map_columns::fresh_map_columns() : memory_(reserve_file_buffer(sizeof(map_columns))) {
    if (!memory_) throw std::bad_alloc();
    ready_file_buffer(memory_.get(), sizeof(map_columns));
    columns_ = new (memory_.get()) map_columns;  // left as it comes: the generator writes every column
}

std::size_t prepare_vxl_map(std::int32_t seed, bool start_regions, map_columns& work) {
    generate_map_columns(seed, start_regions, work);
    return vxl_columns_size(column_heights(work.heights));
}

std::size_t encode_prepared_vxl_map(const map_columns& work, std::span<std::uint8_t> out) {
    return encode_vxl_columns(column_heights(work.heights), column_colours(work.colours), out);
}

void make_vxl_map(std::int32_t seed, bool start_regions, map_columns& work, std::vector<std::uint8_t>& out) {
    const std::size_t size = prepare_vxl_map(seed, start_regions, work);
    out.resize(size);  // every byte is written below: what stood there does not matter
    encode_prepared_vxl_map(work, out);
}

std::vector<std::uint8_t> make_vxl_map(std::int32_t seed, bool start_regions) {
    const fresh_map_columns work;  // 2 MiB: too much for the stack of every thread that may call this
    std::vector<std::uint8_t> bytes;
    make_vxl_map(seed, start_regions, *work, bytes);
    return bytes;
}
