#include "terrain/vector_path.h"

bool vector_path_supported(vector_path path) {
    switch (path) {
        case vector_path::baseline: return true;
#if defined(__x86_64__) || defined(__i386__)
        // Also checks that the system saves the 512-bit registers.
        case vector_path::avx512: return __builtin_cpu_supports("avx512f");
#else
        default: return false;
#endif
    }
    return false;
}

vector_path best_vector_path() {
    static const vector_path best =
        vector_path_supported(vector_path::avx512) ? vector_path::avx512 : vector_path::baseline;
    return best;
}
