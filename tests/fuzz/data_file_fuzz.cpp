// Feeds arbitrary bytes to the import's reading and checks what it promises: a refusal with
// no values or at least one finite, non-negative value; values that read back unchanged when
// written one a line; and exactly one message when the zeros rule refuses them.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "tamsel/import/table_reader.h"
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

    tamsel::TableResult result = tamsel::ReadTableText(text);
    if (result.refusal) {
        Check(result.values.empty());
        return 0;
    }
    Check(!result.values.empty());

    std::string written;
    for (double value : result.values) {
        Check(std::isfinite(value) && value >= 0.0);
        char buffer[32];
        auto end = std::to_chars(buffer, buffer + sizeof buffer, value);
        written.append(buffer, end.ptr).push_back('\n');
    }
    tamsel::TableResult reread = tamsel::ReadTableText(written);
    Check(!reread.refusal && reread.values == result.values);

    tamsel::DataType type = tamsel::DetectAutomaticType(result.values).type;
    bool zerosPass = tamsel::ValidateZeros(result.values, type);
    Check(sink.Take() == (zerosPass ? 0 : 1));
    return 0;
}
