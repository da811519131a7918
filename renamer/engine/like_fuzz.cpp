// Splits the input at its first NUL into a pattern and a text, and matches them. Any input must
// finish quickly; a malformed pattern matches nothing; a pattern without special characters
// matches itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "renamer/engine/like.h"

using namespace vantel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\0');
    std::string_view pattern = input.substr(0, split);
    std::string_view text = split == std::string_view::npos ? input : input.substr(split + 1);
    LikePattern compiled(pattern);
    bool matched = compiled.matches(text);
    if (matched != likeMatch(text, pattern)) std::abort();
    if (matched && !compiled.valid()) std::abort();
    bool plain = pattern.find_first_of("*?#[") == std::string_view::npos;
    if (plain && !compiled.matches(pattern)) std::abort();
    return 0;
}
