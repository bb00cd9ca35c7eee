#include "library/vxl_map.h"

#include <new>

#include "mapfile/column_encoder.h"

// Every generated column is solid from its lowest voxel up to its height and one
// colour throughout, so its record follows from the heights and colours alone.

fresh_vxl_map_work::fresh_vxl_map_work() : memory_(reserve_file_buffer(sizeof(vxl_map_work))) {
    if (!memory_) throw std::bad_alloc();
    ready_file_buffer(memory_.get(), sizeof(vxl_map_work));
    work_ = new (memory_.get()) vxl_map_work;  // left as it comes: every stage writes what it reads
}

void prepare_vxl_map(std::int32_t seed, bool start_regions, vxl_map_work& work) {
    generate_map_columns(seed, start_regions, work.columns, work.workspace);
}

std::size_t prepared_vxl_map_size(const vxl_map_work& work) {
    return vxl_columns_size(column_heights(work.columns.heights));
}

std::size_t encode_prepared_vxl_map(const vxl_map_work& work, std::span<std::uint8_t> out) {
    return encode_vxl_columns(column_heights(work.columns.heights), column_colours(work.columns.colours), out);
}

std::span<std::uint8_t> idle_workspace(vxl_map_work& work) {
    return {reinterpret_cast<std::uint8_t*>(&work.workspace), sizeof(work.workspace)};
}

void make_vxl_map(std::int32_t seed, bool start_regions, vxl_map_work& work, std::vector<std::uint8_t>& out) {
    prepare_vxl_map(seed, start_regions, work);
    out.resize(prepared_vxl_map_size(work));  // every byte is written below: what stood there does not matter
    encode_prepared_vxl_map(work, out);
}

std::vector<std::uint8_t> make_vxl_map(std::int32_t seed, bool start_regions) {
    const fresh_vxl_map_work work;  // 5 MiB: too much for the stack of every thread that may call this
    std::vector<std::uint8_t> bytes;
    make_vxl_map(seed, start_regions, *work, bytes);
    return bytes;
}
