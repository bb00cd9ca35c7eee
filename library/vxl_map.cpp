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

std::unique_ptr<vxl_map_work> heap_vxl_map_work() { return std::unique_ptr<vxl_map_work>(new vxl_map_work); }

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
    return {work.file_room, sizeof(work.file_room)};
}

// Encoding into the workspace first spares a pass over the columns to measure the
// file, and a pass over the caller's memory to clear it before the file is copied
// there.
std::span<const std::uint8_t> encode_vxl_map_in_work(vxl_map_work& work, file_buffer& spare) {
    const std::span<std::uint8_t> idle = idle_workspace(work);
    const std::size_t size = encode_prepared_vxl_map(work, idle);
    if (size != 0) return idle.first(size);
    const std::size_t needed = prepared_vxl_map_size(work);
    spare = reserve_file_buffer(needed);
    if (!spare) throw std::bad_alloc();
    ready_file_buffer(spare.get(), needed);
    return {spare.get(), encode_prepared_vxl_map(work, {spare.get(), needed})};
}

void make_vxl_map(std::int32_t seed, bool start_regions, vxl_map_work& work, std::vector<std::uint8_t>& out) {
    prepare_vxl_map(seed, start_regions, work);
    file_buffer spare;
    const std::span<const std::uint8_t> file = encode_vxl_map_in_work(work, spare);
    out.assign(file.begin(), file.end());
}

std::vector<std::uint8_t> make_vxl_map(std::int32_t seed, bool start_regions) {
    const std::unique_ptr<vxl_map_work> work = heap_vxl_map_work();  // 4 MiB: too much for a thread's stack
    prepare_vxl_map(seed, start_regions, *work);
    file_buffer spare;
    const std::span<const std::uint8_t> file = encode_vxl_map_in_work(*work, spare);
    return {file.begin(), file.end()};
}
