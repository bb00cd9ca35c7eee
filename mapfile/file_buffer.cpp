#include "mapfile/file_buffer.h"

#include <sys/mman.h>

#include "platform/huge_page.h"

void file_buffer_release::operator()(std::uint8_t* data) const {
    if (mapping_bytes != 0) munmap(data - lead_bytes, mapping_bytes);
}

file_buffer reserve_file_buffer(std::size_t capacity) {
    if (capacity > SIZE_MAX - HUGE_PAGE) return file_buffer(nullptr, {0, 0});
    const std::size_t mapping_bytes = capacity + HUGE_PAGE;
    void* p = mmap(nullptr, mapping_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return file_buffer(nullptr, {0, 0});
    auto* start = static_cast<std::uint8_t*>(p);
    const std::size_t lead_bytes = (HUGE_PAGE - reinterpret_cast<std::uintptr_t>(start) % HUGE_PAGE) % HUGE_PAGE;
    return file_buffer(start + lead_bytes, {mapping_bytes, lead_bytes});
}

void ready_file_buffer(std::uint8_t* data, std::size_t size) {
    // Only whole huge pages: a partly used one would count in full against the
    // memory the run takes.
    const std::size_t huge_bytes = size / HUGE_PAGE * HUGE_PAGE;
    if (huge_bytes > 0) madvise(data, huge_bytes, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    if (size > 0) madvise(data, size, MADV_POPULATE_WRITE);  // Linux 5.14 on; the length is rounded up to pages
#endif
}
