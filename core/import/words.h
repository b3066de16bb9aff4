// Telling words written by people and programs in any case.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <iterator>
#include <string_view>

namespace tamsel {

// Whether text, in any case, is one of the lower-case words.
template <std::size_t N>
bool IsOneOf(std::string_view text, const std::string_view (&words)[N]) {
    return std::any_of(std::begin(words), std::end(words), [text](std::string_view word) {
        return text.size() == word.size() &&
               std::equal(text.begin(), text.end(), word.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) == b;
               });
    });
}

}  // namespace tamsel
