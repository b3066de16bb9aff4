// Feeds arbitrary bytes to the data file reader and validation and checks what they promise:
// exactly one message on failure and none on success, finite non-negative values, and values
// that read back unchanged when written out again.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "tamsel/import/data_file.h"
#include "tamsel/support/messages.h"

namespace {

class CountingSink : public tamsel::MessageSink {
  public:
    tamsel::MessageAnswer Show(const std::string&, tamsel::MessageButtons,
                               tamsel::MessageIcon) override {
        ++m_count;
        return tamsel::MessageAnswer::Ok;
    }
    int Take() { return std::exchange(m_count, 0); }

  private:
    int m_count = 0;
};

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CountingSink sink;
    static tamsel::ScopedMessageSink installed(&sink);
    std::string_view text(reinterpret_cast<const char*>(data), size);

    auto items = tamsel::ParseDataText(text);
    Check(sink.Take() == (items ? 0 : 1));
    if (!items) return 0;
    Check(!items->empty());

    auto values = tamsel::ValidateData(*items);
    Check(sink.Take() == (values ? 0 : 1));
    if (!values) return 0;
    Check(values->size() == items->size());

    std::string written;
    for (double value : *values) {
        Check(std::isfinite(value) && value >= 0.0);
        char buffer[32];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        written.append(buffer, result.ptr).push_back('\n');
    }
    auto reread = tamsel::ParseDataText(written);
    Check(reread.has_value() && reread->size() == values->size());
    for (std::size_t i = 0; i < values->size(); ++i) Check((*reread)[i] == (*values)[i]);

    tamsel::DataType type = tamsel::DetectDataType(*values);
    bool zerosPass = tamsel::ValidateZeros(*values, type);
    Check(sink.Take() == (zerosPass ? 0 : 1));
    return 0;
}
