#include "DiskInfo.h"
#include "DiskReport.h"
#include "PropertyList.h"

#include <QTextStream>
#include <algorithm>

namespace Platform::DiskWorld::DiskInfo {
namespace {

std::optional<Core::Ref> toCore(const std::optional<Ref> &r)
{
    if (!r)
        return std::nullopt;
    return Core::Ref{r->disk.toStdString(), r->node.toStdString()};
}

// A property list the core built, as a dictionary (freed here).
QVariantMap take(plist_t built)
{
    const QVariantMap m = PropertyList::fromNode(built).toMap();
    if (built)
        plist_free(built);
    return m;
}

QString sizeText(qint64 bytes)
{
    const char *units[] = {"B", "KB", "MB", "GB", "TB"};
    double v = double(bytes);
    int u = 0;
    while (v >= 1000 && u < 4) {
        v /= 1000;
        ++u;
    }
    return u == 0 ? QStringLiteral("%1 B").arg(bytes)
                  : QStringLiteral("%1 %2").arg(v, 0, 'f', 1).arg(QLatin1String(units[u]));
}

} // namespace

QVariantMap info(const World &w, const State &s, const Ref &ref)
{
    return take(Core::diskInfo(w.paths(), DiskWorld::toCore(s), *toCore(ref)));
}

QVariantMap list(const World &w, const State &s, const std::optional<Ref> &only)
{
    return take(Core::diskList(w.paths(), DiskWorld::toCore(s), toCore(only)));
}

QString infoText(const QVariantMap &info)
{
    QString out;
    QTextStream t(&out);
    for (auto it = info.constBegin(); it != info.constEnd(); ++it) {
        const QVariant &v = it.value();
        QString text;
        if (v.typeId() == QMetaType::Bool)
            text = v.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
        else if (v.typeId() == QMetaType::QVariantList)
            continue;
        else
            text = v.toString();
        t << "   " << it.key() << ": " << text << "\n";
    }
    return out;
}

QString listText(const World &w, const State &s, const std::optional<Ref> &only)
{
    QString out;
    QTextStream t(&out);
    const Core::State core = DiskWorld::toCore(s);
    for (const Core::Disk *listed : Core::listedDisks(core, toCore(only))) {
        const Disk *d = s.disk(QString::fromStdString(listed->id));
        if (!d)
            continue;
        const Disk *physical = s.physicalDisk(*d);
        const Disk &p = physical ? *physical : *d;
        QString kind = p.internal ? QStringLiteral("internal") : QStringLiteral("external");
        kind += (d->isVirtual || d->isContainer()) ? QStringLiteral(", virtual") : QStringLiteral(", physical");
        t << "/dev/" << d->id << " (" << kind << "):\n";
        t << QStringLiteral("   #: %1 %2 %3 %4\n")
                 .arg(QStringLiteral("TYPE"), -28)
                 .arg(QStringLiteral("NAME"), -24)
                 .arg(QStringLiteral("SIZE"), 10)
                 .arg(QStringLiteral("IDENTIFIER"));
        t << QStringLiteral("   0: %1 %2 %3 %4\n")
                 .arg(d->content, -28)
                 .arg(QString(), -24)
                 .arg(sizeText(d->size), 10)
                 .arg(d->id);
        int i = 1;
        for (const Node &n : d->nodes) {
            const QString name = n.volume ? n.volume->name : QString();
            const QString type = n.volume && d->isContainer() ? QStringLiteral("APFS Volume") : n.content;
            const qint64 size = n.volume ? (d->isContainer() ? w.usedBytes(*n.volume) : n.size) : n.size;
            t << QStringLiteral("%1: %2 %3 %4 %5\n")
                     .arg(i++, 4)
                     .arg(type, -28)
                     .arg(name, -24)
                     .arg(sizeText(size), 10)
                     .arg(n.id);
        }
        t << "\n";
    }
    return out;
}

} // namespace Platform::DiskWorld::DiskInfo
