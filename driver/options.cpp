#include "driver/options.h"

#include <cstdlib>
#include <cstring>

namespace {

// Makes the entry "letter + parameter" on the heap.
char* make_entry(char letter, const char* parameter) {
    const std::size_t length = std::strlen(parameter);
    char* entry = static_cast<char*>(std::malloc(length + 2));
    if (!entry) return nullptr;
    entry[0] = letter;
    std::memcpy(entry + 1, parameter, length + 1);
    return entry;
}

}  // namespace

char** scan_options(int* count, char** words, const char* parameter_letters) {
    // Every entry uses up at least one character of the words, so their total
    // length bounds the list; one allocation, never grown.
    std::size_t capacity = 1;
    for (int i = 1; i < *count; ++i) capacity += std::strlen(words[i]);
    char** options = static_cast<char**>(std::calloc(capacity, sizeof(char*)));
    if (!options) return nullptr;
    std::size_t entries = 0;
    auto append = [&](char* entry) {
        if (!entry) return false;
        options[entries++] = entry;
        return true;
    };

    const int total = *count;
    int keep = 1;
    for (int scan = 1; scan < total; ++scan) {
        char* word = words[scan];
        if (word[0] != '-') {
            words[keep++] = word;
            continue;
        }
        if (word[1] == '\0') {
            // A lone "-": everything after it is kept as it stands.
            while (++scan < total) words[keep++] = words[scan];
            break;
        }
        for (const char* letter = word + 1; *letter; ++letter) {
            if (!std::strchr(parameter_letters, *letter)) {
                if (!append(make_entry(*letter, ""))) {
                    free_options(options);
                    return nullptr;
                }
                continue;
            }
            const char* parameter = letter + 1;
            if (*parameter == '\0') {
                if (scan + 1 >= total) {
                    free_options(options);
                    *count = 0;
                    return nullptr;
                }
                parameter = words[++scan];  // consumed: neither an option nor kept
            }
            if (!append(make_entry(*letter, parameter))) {
                free_options(options);
                return nullptr;
            }
            break;  // a parameter letter takes the rest of its word
        }
    }
    *count = keep;
    return options;
}

void free_options(char** options) {
    if (!options) return;
    for (char** entry = options; *entry; ++entry) std::free(*entry);
    std::free(options);
}
