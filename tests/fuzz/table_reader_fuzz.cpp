// Feeds arbitrary bytes and reading options (taken from the first three bytes) to the table
// reader and checks that reading in chunks of any size gives what reading at once gives, and
// that a result is either a refusal with a reason or finite values.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tamsel/import/table_reader.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

tamsel::TableOptions OptionsFrom(std::uint8_t a, std::uint8_t b) {
    tamsel::TableOptions options;
    options.delimiter = static_cast<tamsel::Delimiter>(a % 5);
    options.header = static_cast<tamsel::HeaderChoice>((a / 5) % 3);
    options.decimalComma = (a / 15) % 2 == 1;
    if (b % 4 != 0) options.column = std::string(1, static_cast<char>('0' + b % 4));
    if ((b / 4) % 4 == 1) {
        options.timestamps = tamsel::TimestampOptions{"2024-03-31 00:00", "Europe/Berlin",
                                                      tamsel::TimeUnit::Minutes};
    }
    options.maxItems = (b / 16) % 2 == 1 ? 5 : tamsel::kMaxDataItems;
    return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const tamsel::TableOptions options = OptionsFrom(data[0], data[1]);
    const std::size_t chunk = data[2] % 7 + 1;
    std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

    tamsel::TableResult whole = tamsel::ReadTableText(text, options);
    std::string_view rest = text;
    tamsel::TableResult chunked = tamsel::ReadTable(
        [&rest, chunk](char* buffer, std::size_t room) {
            std::size_t count = std::min({chunk, room, rest.size()});
            std::copy_n(rest.data(), count, buffer);
            rest.remove_prefix(count);
            return count;
        },
        options);

    Check(whole.refusal.has_value() == chunked.refusal.has_value());
    Check(whole.values == chunked.values);
    Check(whole.summary.notes == chunked.summary.notes);
    if (whole.refusal) {
        Check(whole.values.empty());
        Check(whole.refusal->detail == chunked.refusal->detail);
        return 0;
    }
    Check(!whole.values.empty() && whole.values.size() <= options.maxItems);
    for (double value : whole.values) {
        Check(std::isfinite(value) && value >= 0.0);
    }
    Check(whole.summary.chosenColumn.has_value() || whole.summary.columns.empty());
    return 0;
}
