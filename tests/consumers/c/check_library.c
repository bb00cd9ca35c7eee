/* An outside C program built against the installed library through pkg-config:
   check_library [SEED OUT]
   Makes the map of seed 1 and checks its size and CRC-32, checks that unknown
   flags are refused and that header and library name the same release; with SEED
   and OUT, also writes the map of SEED with the start regions (-d) to OUT. */
#include <mapgen/mapgen.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* CRC-32 of the ISO 3309 / zlib kind: reflected polynomial 0xEDB88320. */
static uint32_t crc32_of(const unsigned char *bytes, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

static int fail(const char *what) {
    fprintf(stderr, "check_library: %s\n", what);
    return 1;
}

int main(int argc, char **argv) {
    unsigned char *data = NULL;
    size_t size = 0;
    if (strcmp(mapgen_version(), MAPGEN_VERSION_STRING) != 0) return fail("header and library name other releases");
    if (mapgen_generate(1, 2u, &data, &size) != EINVAL || data || size) return fail("flag 2 was not refused");
    if (mapgen_generate(1, 0, &data, &size) != 0) return fail("seed 1 failed");
    const uint32_t crc = crc32_of(data, size);
    mapgen_free(data);
    if (size != 2097536u || crc != 0x6487777Au) {
        fprintf(stderr, "check_library: seed 1: %zu bytes, CRC-32 %08X\n", size, (unsigned)crc);
        return 1;
    }
    if (argc == 3) {
        if (mapgen_generate((int32_t)strtol(argv[1], NULL, 10), MAPGEN_START_REGIONS, &data, &size) != 0)
            return fail("the map of SEED failed");
        FILE *out = fopen(argv[2], "wb");
        const int written = out && fwrite(data, 1, size, out) == size;
        mapgen_free(data);
        if (!out || fclose(out) != 0 || !written) return fail("OUT could not be written");
    }
    printf("check_library: mapgen %s from C: seed 1 is %zu bytes, CRC-32 %08X\n", mapgen_version(), size, (unsigned)crc);
    return 0;
}
