// Text the project stores is UTF-8: what a server accepts, and what the windows show.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tamsel {

// Where text first stops being well-formed UTF-8 (a stray byte, an overlong or cut-off
// sequence, a surrogate), or nothing when all of it is.
std::optional<std::size_t> FirstNonUtf8Byte(std::string_view text);

// text with each byte that is no part of a UTF-8 character replaced by U+FFFD, the
// replacement character.
std::string AsUtf8(std::string_view text);

// How a message names the stray byte of text at: "its byte 0xDF after "Ma" is no part of a
// UTF-8 character".
std::string StrayByteText(std::string_view text, std::size_t at);

}  // namespace tamsel
