#include "tamsel/support/utf8.h"

#include <cstdio>

namespace tamsel {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the UTF-8 character at the start of text, or 0 when no character of RFC 3629
// starts there. (iconv would do, but glibc's takes code points beyond U+10FFFF, which a server
// refuses.)
std::size_t CharacterAt(std::string_view text) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    // The range of the second byte, narrower after some leads: no overlong forms, no
    // surrogates (U+D800 to U+DFFF), nothing beyond U+10FFFF.
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

std::optional<std::size_t> FirstNonUtf8Byte(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = CharacterAt(text.substr(at));
        if (length == 0) return at;
        at += length;
    }
    return std::nullopt;
}

std::string AsUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = CharacterAt(text);
        out += length == 0 ? kReplacement : text.substr(0, length);
        text.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

std::string StrayByteText(std::string_view text, std::size_t at) {
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(text[at]));
    return "its byte " + std::string(byte) +
           (at == 0 ? std::string(" at the start")
                    : " after \"" + std::string(text.substr(0, at)) + "\"") +
           " is no part of a UTF-8 character";
}

}  // namespace tamsel
