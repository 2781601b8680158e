#pragma once
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

// The settings file "PrivateData.plist": a read-only copy among the bundle's
// resources and a per-user copy at
//   /Users/<console user>/Library/Application Support/<company>/PrivateData.plist
// (a path of the original platform, resolved under the system root).
//
// The per-user copy is made and written by the root process inside a folder
// the user owns, so every folder below the system root on the way there is
// checked as it is opened (a real folder, not a link, owned by root or the
// user), the file is never opened through a link, and modes are set with
// chmod(2) on the checked objects (Platform::SecureFolder). When a check
// fails the program goes on without a per-user copy.

// The company folder name from the resource copy ("CompanyName"), or
// "KESTROVAClone" when it is missing, empty or unreadable.
QString GetCompanyName();
// The console user's name, else this process's user; the first answer is
// kept for the life of the process.
QString DMGetCurrentUserName();
// The per-user path, resolved under the system root.
QString DMGetInfoPlistPath();
// Creates the per-user copy, or replaces it when the resource copy has both
// a higher "VersionCheck" and a different "CopyInfoVersion"; then makes the
// file and its folder world-writable (mode 777). Errors are ignored.
void DMCopyInfoPlistPath();

// A settings value read as an integer ("VersionCheck" of the resource copy,
// the per-user copy and the update list): an integer as it is, a real cut to
// its whole part, a text by its leading number ("999" and " 999 builds" give
// 999, "abc" 0), a boolean 0 or 1; anything else, a missing key included, 0.
// Values beyond the range stop at its ends.
qint64 DMIntegerValue(const QVariant &value);

// The per-user copy as a dictionary (nothing when missing, unreadable or
// reached only through something unsafe).
std::optional<QVariantMap> DMReadUserInfoPlist();
// Reads the whole per-user copy, sets one key and writes it back atomically.
// Changes nothing (and returns false) when there is no readable copy.
bool DMSetUserInfoPlistValue(const QString &key, const QVariant &value);

// Tests: forget the cached user name.
void DMResetCurrentUserNameForTesting();
