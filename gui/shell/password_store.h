// The system keyring, where a user may let Tamsel keep a shared project's password. Tamsel
// never writes a password anywhere else: it asks, leaves it to libpq's own means, or keeps it
// here when the user chooses. The windows use this interface so that tests never reach the
// user's keyring.
#pragma once

#include <QString>
#include <map>
#include <optional>

namespace tamsel {

class PasswordStore {
  public:
    virtual ~PasswordStore() = default;
    // Whether a keyring answers; when none does, why goes into *why, for the user.
    virtual bool Available(QString* why) = 0;
    // The password kept for key, or nullopt when none is kept or it cannot be read.
    virtual std::optional<QString> Read(const QString& key) = 0;
    // Write and Remove return what went wrong, empty when nothing did.
    virtual QString Write(const QString& key, const QString& password) = 0;
    virtual QString Remove(const QString& key) = 0;
};

// The desktop's keyring (Secret Service or KWallet) under the service "Tamsel", never
// QtKeychain's plaintext fallback. Each call waits for the keyring a few seconds at most; one
// that does not answer in time is not asked again in this session.
class SystemPasswordStore : public PasswordStore {
  public:
    bool Available(QString* why) override;
    std::optional<QString> Read(const QString& key) override;
    QString Write(const QString& key, const QString& password) override;
    QString Remove(const QString& key) override;

  private:
    // Empty while the keyring answers (or has not been asked yet).
    QString m_unavailable;
    bool m_probed = false;
};

// A keyring in memory, for the screenshots and the tests; unavailable, when set, makes it act
// as a desktop without one.
class MemoryPasswordStore : public PasswordStore {
  public:
    bool Available(QString* why) override;
    std::optional<QString> Read(const QString& key) override;
    QString Write(const QString& key, const QString& password) override;
    QString Remove(const QString& key) override;

    std::map<QString, QString> passwords;
    QString unavailable;
};

}  // namespace tamsel
