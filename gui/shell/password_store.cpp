#include "shell/password_store.h"

#include <qt6keychain/keychain.h>
#include <QEventLoop>
#include <QTimer>

namespace tamsel {
namespace {

// Long enough for a keyring that asks the user to unlock it, short enough that a hung one
// does not freeze the window for long.
constexpr int kKeyringWaitMs = 5000;
const QString kService = QStringLiteral("Tamsel");
const QString kStopped = QStringLiteral("The system keyring stopped answering.");

struct Answer {
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QString password;
};

// Runs job for key and waits for it, without taking the user's input meanwhile; nullopt when
// the keyring does not answer in time. The job deletes itself once it ends, even late.
std::optional<Answer> Run(QKeychain::Job* job, const QString& key) {
    job->setInsecureFallback(false);
    job->setKey(key);
    std::optional<Answer> answer;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
        answer = Answer{done->error(), done->errorString(), {}};
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done)) {
            answer->password = read->textData();
        }
        loop.quit();
    });
    QTimer::singleShot(kKeyringWaitMs, &loop, &QEventLoop::quit);
    job->start();
    if (!answer) loop.exec(QEventLoop::ExcludeUserInputEvents);
    return answer;
}

}  // namespace

bool SystemPasswordStore::Available(QString* why) {
    if (!m_probed) {
        m_probed = true;
        // A key no one keeps: "not found" is the answer of a working keyring.
        const std::optional<Answer> answer =
            Run(new QKeychain::ReadPasswordJob(kService), QStringLiteral("tamsel-keyring-probe"));
        if (!answer) {
            m_unavailable = QStringLiteral("The system keyring did not answer within %1 seconds.")
                                .arg(kKeyringWaitMs / 1000);
        } else if (answer->error != QKeychain::NoError &&
                   answer->error != QKeychain::EntryNotFound) {
            m_unavailable = QStringLiteral(
                                "No system keyring (Secret Service or KWallet) answers on this "
                                "desktop: %1")
                                .arg(answer->errorText);
        }
    }
    if (why) *why = m_unavailable;
    return m_unavailable.isEmpty();
}

std::optional<QString> SystemPasswordStore::Read(const QString& key) {
    if (!Available(nullptr)) return std::nullopt;
    const std::optional<Answer> answer = Run(new QKeychain::ReadPasswordJob(kService), key);
    if (!answer) {
        m_unavailable = kStopped;
        return std::nullopt;
    }
    if (answer->error != QKeychain::NoError) return std::nullopt;
    return answer->password;
}

QString SystemPasswordStore::Write(const QString& key, const QString& password) {
    QString why;
    if (!Available(&why)) return why;
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setTextData(password);
    const std::optional<Answer> answer = Run(job, key);
    if (!answer) return m_unavailable = kStopped;
    return answer->error == QKeychain::NoError ? QString() : answer->errorText;
}

QString SystemPasswordStore::Remove(const QString& key) {
    QString why;
    if (!Available(&why)) return why;
    const std::optional<Answer> answer = Run(new QKeychain::DeletePasswordJob(kService), key);
    if (!answer) return m_unavailable = kStopped;
    const bool gone =
        answer->error == QKeychain::NoError || answer->error == QKeychain::EntryNotFound;
    return gone ? QString() : answer->errorText;
}

bool MemoryPasswordStore::Available(QString* why) {
    if (why) *why = unavailable;
    return unavailable.isEmpty();
}

std::optional<QString> MemoryPasswordStore::Read(const QString& key) {
    const auto kept = passwords.find(key);
    if (!Available(nullptr) || kept == passwords.end()) return std::nullopt;
    return kept->second;
}

QString MemoryPasswordStore::Write(const QString& key, const QString& password) {
    if (Available(nullptr)) passwords[key] = password;
    return unavailable;
}

QString MemoryPasswordStore::Remove(const QString& key) {
    if (Available(nullptr)) passwords.erase(key);
    return unavailable;
}

}  // namespace tamsel
