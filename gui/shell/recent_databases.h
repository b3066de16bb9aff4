// The project databases opened lately, kept in the user's settings: files by their paths,
// shared projects by their URIs without any password. Of a URI opened with a password only
// that fact is kept, so that choosing it again asks for the password.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

namespace tamsel {

// The databases opened lately, newest first.
QStringList RecentDatabases();
// Puts location first in the recent databases, keeping a few: a file by its absolute path,
// a server URI as DisplayLocation gives it.
void RememberDatabase(const std::string& location);
// Whether entry of the recent databases was last opened with a password.
bool RecentAsksPassword(const QString& entry);
// entry as a menu or list shows it: a path with the system's separators, a URI as it is.
QString ShownLocation(const QString& entry);

}  // namespace tamsel
