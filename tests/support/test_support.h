// Helpers shared by the test programs: tolerance comparisons, temporary files and
// databases, a recording message sink and a cancelling progress sink.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "tamsel/records/progress.h"
#include "tamsel/support/messages.h"

namespace tamsel::test {

// |actual - expected| <= absTol + relTol * |expected|. Every floating-point assertion
// states its tolerance through this one helper.
::testing::AssertionResult IsClose(double actual, double expected, double relTol,
                                   double absTol = 0.0);

#define EXPECT_CLOSE(actual, expected, relTol) \
    EXPECT_TRUE(::tamsel::test::IsClose((actual), (expected), (relTol)))
#define EXPECT_CLOSE_ABS(actual, expected, absTol) \
    EXPECT_TRUE(::tamsel::test::IsClose((actual), (expected), 0.0, (absTol)))

// Vectors written as calls, so that table rows holding them stay compact.
template <typename... T>
std::vector<double> Doubles(T... values) {
    return {static_cast<double>(values)...};
}
template <typename... T>
std::vector<std::string> Strings(T... texts) {
    return {std::string(texts)...};
}

// A directory of its own, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    // Path of a file named name inside the directory (not created).
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    // Writes content to a file named name and returns its path.
    std::string WriteFile(const std::string& name, const std::string& content) const;
    // Where a new project called name goes: File(name), or, when the tests run on a server
    // (TAMSEL_TEST_SERVER holds its URI), a schema of that server no other project uses. The
    // schema does not exist yet; creating the project makes it.
    std::string ProjectLocation(const std::string& name) const;

  private:
    std::filesystem::path m_path;
};

// True when the tests' fresh projects are made on a server (TAMSEL_TEST_SERVER is set).
bool OnTestServer();

// Path of a shipped dataset in data/ (e.g. "sys1.txt").
std::string DataFile(const std::string& name);
// The values of a shipped dataset, one per line.
std::vector<double> ReadDataValues(const std::string& name);
// The whole content of a file, byte for byte ("" when it cannot be read).
std::string ReadBytes(const std::string& path);

// Records every message and answers questions from a queue (Yes when it runs dry,
// unless told otherwise). Installs itself for its lifetime.
class RecordingSink : public MessageSink {
  public:
    struct Entry {
        std::string text;
        MessageButtons buttons;
        MessageIcon icon;
    };

    RecordingSink();
    ~RecordingSink() override;

    MessageAnswer Show(const std::string& text, MessageButtons buttons, MessageIcon icon) override;

    void QueueAnswer(MessageAnswer answer);
    void SetDefaultAnswer(MessageAnswer answer);
    std::vector<Entry> Entries() const;
    std::vector<std::string> Texts() const;
    std::size_t Count() const;
    void Clear();

  private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
    std::deque<MessageAnswer> m_answers;
    MessageAnswer m_default = MessageAnswer::Yes;
    MessageSink* m_previous;
};

// Records progress and requests a cancel when the step reaches cancelAt (never when 0).
class CancellingProgress : public ProgressSink {
  public:
    explicit CancellingProgress(int cancelAt = 0) : m_cancelAt(cancelAt) {}
    void OnStart(int minimum, int maximum) override;
    void OnStep(int value) override;
    void OnEnd() override;

    RunControl Control() { return RunControl(this, &m_cancel); }
    std::atomic<bool>& Flag() { return m_cancel; }
    std::vector<int> Steps() const;
    int Starts() const { return m_starts; }
    int Ends() const { return m_ends; }
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }

  private:
    mutable std::mutex m_mutex;
    int m_cancelAt;
    std::atomic<bool> m_cancel{false};
    std::vector<int> m_steps;
    int m_starts = 0;
    int m_ends = 0;
    int m_minimum = 0;
    int m_maximum = 0;
};

}  // namespace tamsel::test
