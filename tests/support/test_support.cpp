#include "test_support.h"

#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace tamsel::test {

::testing::AssertionResult IsClose(double actual, double expected, double relTol, double absTol) {
    double allowed = absTol + relTol * std::fabs(expected);
    double diff = std::fabs(actual - expected);
    if (diff <= allowed) return ::testing::AssertionSuccess();
    std::ostringstream out;
    out.precision(17);
    out << actual << " differs from " << expected << " by " << diff << ", more than " << allowed
        << " (rel " << relTol << ", abs " << absTol << ")";
    return ::testing::AssertionFailure() << out.str();
}

TempDir::TempDir() {
    std::random_device device;
    std::mt19937_64 engine(device());
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        m_path = base / ("tamsel-test-" + std::to_string(engine()));
        if (std::filesystem::create_directory(m_path)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Restore write permission so that read-only fixtures can be removed.
    for (auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::WriteFile(const std::string& name, const std::string& content) const {
    std::string path = File(name);
    std::ofstream out(path, std::ios::binary);
    out << content;
    return path;
}

bool OnTestServer() {
    const char* server = std::getenv("TAMSEL_TEST_SERVER");
    return server && server[0] != '\0';
}

std::string TempDir::ProjectLocation(const std::string& name) const {
    if (!OnTestServer()) return File(name);
    // Schema names: lower-case letters, digits and '_', unique across the test programs that
    // share the cluster (the process) and within one (a counter).
    static std::atomic<int> counter{0};
    std::string schema = "t" + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_";
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            schema += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (schema.size() >= 40) break;
    }
    return std::string(std::getenv("TAMSEL_TEST_SERVER")) + "?schema=" + schema;
}

std::string DataFile(const std::string& name) {
    const char* dir = std::getenv("TAMSEL_DATA_DIR");
    return (std::filesystem::path(dir ? dir : "data") / name).string();
}

std::vector<double> ReadDataValues(const std::string& name) {
    std::ifstream in(DataFile(name));
    std::vector<double> values;
    double value;
    while (in >> value) values.push_back(value);
    return values;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

RecordingSink::RecordingSink() : m_previous(InstallMessageSink(this)) {}

RecordingSink::~RecordingSink() { InstallMessageSink(m_previous); }

MessageAnswer RecordingSink::Show(const std::string& text, MessageButtons buttons,
                                  MessageIcon icon) {
    std::lock_guard lock(m_mutex);
    m_entries.push_back({text, buttons, icon});
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (!m_answers.empty()) {
        MessageAnswer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    return m_default;
}

void RecordingSink::QueueAnswer(MessageAnswer answer) {
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

void RecordingSink::SetDefaultAnswer(MessageAnswer answer) {
    std::lock_guard lock(m_mutex);
    m_default = answer;
}

std::vector<RecordingSink::Entry> RecordingSink::Entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

std::vector<std::string> RecordingSink::Texts() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& entry : m_entries) texts.push_back(entry.text);
    return texts;
}

std::size_t RecordingSink::Count() const {
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

void RecordingSink::Clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

void CancellingProgress::OnStart(int minimum, int maximum) {
    std::lock_guard lock(m_mutex);
    ++m_starts;
    m_minimum = minimum;
    m_maximum = maximum;
}

void CancellingProgress::OnStep(int value) {
    std::lock_guard lock(m_mutex);
    m_steps.push_back(value);
    if (m_cancelAt != 0 && value >= m_cancelAt) m_cancel = true;
}

void CancellingProgress::OnEnd() {
    std::lock_guard lock(m_mutex);
    ++m_ends;
}

std::vector<int> CancellingProgress::Steps() const {
    std::lock_guard lock(m_mutex);
    return m_steps;
}

}  // namespace tamsel::test
