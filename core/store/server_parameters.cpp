#include "server_parameters.h"

#include "engine.h"

namespace tamsel::engine {
namespace {

// SQLite's highest parameter number.
constexpr std::size_t kMaxNumber = 32766;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNameCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return IsDigit(c) || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || c == '_' || u >= 0x80;
}

// The end of what starts at sql[k] and must be copied as it stands: a literal, a quoted
// name, a comment or a cast; k when nothing of that kind starts there.
std::size_t EndOfVerbatim(std::string_view sql, std::size_t k) {
    const char c = sql[k];
    const char next = k + 1 < sql.size() ? sql[k + 1] : '\0';
    std::size_t end = std::string_view::npos;
    // A doubled quote inside ends one stretch and starts the next, which is copied alike.
    if (c == '\'' || c == '"') {
        end = sql.find(c, k + 1);
        if (end != std::string_view::npos) ++end;
    } else if (c == '-' && next == '-') {
        end = sql.find('\n', k);
    } else if (c == '/' && next == '*') {
        end = sql.find("*/", k + 2);
        if (end != std::string_view::npos) end += 2;
    } else if (c == ':' && next == ':') {
        return k + 2;
    } else {
        return k;
    }
    return end == std::string_view::npos ? sql.size() : end;
}

}  // namespace

NumberedSql NumberParameters(std::string_view sql) {
    NumberedSql out;
    std::vector<std::string>& names = out.names;
    std::size_t k = 0;
    while (k < sql.size()) {
        if (const std::size_t end = EndOfVerbatim(sql, k); end != k) {
            out.text.append(sql.substr(k, end - k));
            k = end;
            continue;
        }
        const char c = sql[k];
        std::size_t stop = k + 1;
        std::size_t number = 0;
        if (c == '?') {
            while (stop < sql.size() && IsDigit(sql[stop])) ++stop;
            const std::string digits(sql.substr(k + 1, stop - k - 1));
            number = digits.empty() ? names.size() + 1 : std::stoul(digits);
            if (number == 0 || number > kMaxNumber) {
                throw DatabaseError("parameter number ?" + digits + " is out of range");
            }
            if (names.size() < number) names.resize(number);
            if (!digits.empty()) names[number - 1] = digits;
        } else if ((c == ':' || c == '@' || c == '$') && stop < sql.size() &&
                   IsNameCharacter(sql[stop])) {
            while (stop < sql.size() && IsNameCharacter(sql[stop])) ++stop;
            std::string name(sql.substr(k + 1, stop - k - 1));
            for (char& letter : name) letter = FoldCase(letter);
            std::size_t known = 0;
            while (known < names.size() && names[known] != name) ++known;
            if (known == names.size()) names.push_back(std::move(name));
            number = known + 1;
        } else {
            out.text += c;
            ++k;
            continue;
        }
        out.text += '$' + std::to_string(number);
        k = stop;
    }
    return out;
}

}  // namespace tamsel::engine
