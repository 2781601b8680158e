#pragma once
#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>
#include <plist/plist.h>

namespace Platform::PropertyList {

// Property lists (XML or binary) as QVariant: dict → QVariantMap, array →
// QVariantList, string → QString, integer → qint64 (quint64 above its range),
// real → double, boolean → bool, date → QDateTime, data → QByteArray.
// Anything unreadable gives a null QVariant.
QVariant fromData(const QByteArray &data);
// The same for a property list already parsed or built with libplist.
QVariant fromNode(plist_t node);
QVariant readFile(const QString &path);
// dictionaryWithContentsOfFile: a file that is missing, empty, not a property
// list or not a dictionary gives nothing.
std::optional<QVariantMap> readDictionary(const QString &path);

QByteArray toXml(const QVariant &value);
// Writes XML; atomically = through a temporary file in the same folder.
bool writeFile(const QString &path, const QVariant &value, bool atomically = true);

} // namespace Platform::PropertyList
