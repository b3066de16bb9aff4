#include "shell/recent_databases.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "shell/qt_text.h"
#include "tamsel/workbench/project.h"

namespace tamsel {
namespace {

constexpr int kRecentCount = 8;
const QString kRecentKey = QStringLiteral("recentDatabases");
const QString kAskingKey = QStringLiteral("recentDatabasesAskingPassword");

QSettings UserSettings() { return QSettings(QStringLiteral("Tamsel"), QStringLiteral("Tamsel")); }

}  // namespace

QStringList RecentDatabases() { return UserSettings().value(kRecentKey).toStringList(); }

void RememberDatabase(const std::string& location) {
    const bool server = IsServerLocation(location);
    const QString entry = server ? ToQString(DisplayLocation(location))
                                 : QFileInfo(ToQString(location)).absoluteFilePath();
    QSettings settings = UserSettings();
    QStringList recent = settings.value(kRecentKey).toStringList();
    recent.removeAll(entry);
    recent.prepend(entry);
    while (recent.size() > kRecentCount) recent.removeLast();
    QStringList asking = settings.value(kAskingKey).toStringList();
    asking.removeIf([&](const QString& kept) { return kept == entry || !recent.contains(kept); });
    // Whatever DisplayLocation took away was a password.
    if (server && entry != ToQString(location)) asking.append(entry);
    settings.setValue(kRecentKey, recent);
    settings.setValue(kAskingKey, asking);
}

bool RecentAsksPassword(const QString& entry) {
    return UserSettings().value(kAskingKey).toStringList().contains(entry);
}

QString ShownLocation(const QString& entry) {
    return IsServerLocation(ToStdString(entry)) ? entry : QDir::toNativeSeparators(entry);
}

}  // namespace tamsel
