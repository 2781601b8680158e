#include "FileSystemKind.h"
#include "Operations.h"
#include "ToolCommands.h"
#include "World.h"
#include "WorldBuilder.h"

#include <QTextStream>

namespace Platform::DiskWorld {
namespace {

int usage()
{
    writeErr(QStringLiteral(
        "Usage: diskworld <verb> [--root <folder>] <options>\n"
        "  init <folder> [--demo] [--version 13.4] [--user <name>]\n"
        "      a new world: an internal boot disk, and with --demo two USB disks and a read-only NTFS volume\n"
        "  attach [--name <volume>] [--fs ExFAT] [--size 32M] [--bus USB] [--registry <device name>]\n"
        "         [--scheme GPT|MBR] [--internal] [--from <folder>]\n"
        "      plugs a new disk in with one volume\n"
        "  attach <disk>\n"
        "      plugs a disk back in that was taken out (by device name, volume name or DiskUUID)\n"
        "  detach <disk or volume>\n"
        "      pulls a disk out\n"
        "  show\n"
        "      the world as a table\n"
        "  check\n"
        "      lists what does not add up; exits with 1 when something does not"));
    return 1;
}

// "64000000", "32M" (10^6), "32MiB" (2^20), "1G", "1.5GB".
qint64 sizeArgument(QString text)
{
    text = text.trimmed();
    qint64 unit = 1;
    struct Suffix {
        const char *text;
        qint64 unit;
    };
    static const Suffix suffixes[] = {
        {"KiB", 1024},      {"MiB", 1 << 20}, {"GiB", 1LL << 30}, {"KB", 1000},      {"MB", 1000000},
        {"GB", 1000000000}, {"K", 1000},      {"M", 1000000},     {"G", 1000000000}, {"B", 1}};
    for (const Suffix &s : suffixes)
        if (text.endsWith(QLatin1String(s.text), Qt::CaseInsensitive)) {
            unit = s.unit;
            text.chop(int(strlen(s.text)));
            break;
        }
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && v > 0 ? qint64(v * double(unit)) : -1;
}

QString sizeText(qint64 bytes) { return QStringLiteral("%1 MB").arg(double(bytes) / 1e6, 0, 'f', 1); }

int show(const World &w)
{
    QString out, error;
    QTextStream t(&out);
    const bool ok = w.inspect(
        [&](const State &s) {
            t << "World at " << w.root() << " (console user " << s.consoleUser << ")\n";
            for (const Disk &d : s.disks) {
                t << QStringLiteral("%1  %2  %3  %4%5%6\n")
                         .arg(d.id, -8)
                         .arg(d.isContainer() ? QStringLiteral("APFS container") : d.bus, -15)
                         .arg(sizeText(d.size), 10)
                         .arg(d.isContainer() ? QStringLiteral("on ") + d.physicalStore : d.registryName)
                         .arg(d.ejectable && !d.isContainer() ? QStringLiteral(", ejectable") : QString())
                         .arg(d.isImage() ? QStringLiteral(", image ") + d.imagePath : QString());
                for (const Node &n : d.nodes) {
                    QString what = n.content;
                    if (n.volume) {
                        const Volume &v = *n.volume;
                        what = QStringLiteral("%1 \"%2\"").arg(v.fs, v.name);
                        if (!v.role.isEmpty())
                            what += QStringLiteral(" (%1)").arg(v.role);
                        what += v.mounted ? QStringLiteral(" at ") + w.mountPoint(v) : QStringLiteral(", not mounted");
                        if (!v.writable)
                            what += QStringLiteral(", read-only");
                        const qint64 capacity = World::capacity(s, d, n);
                        what += QStringLiteral(", %1 of %2 used").arg(sizeText(w.usedBytes(v)), sizeText(capacity));
                    } else if (!n.container.isEmpty()) {
                        what += QStringLiteral(" (store of %1)").arg(n.container);
                    }
                    t << "    " << QStringLiteral("%1").arg(n.id, -10) << what << "\n";
                }
            }
            if (!s.unplugged.empty()) {
                t << "Unplugged:\n";
                for (const Disk &d : s.unplugged)
                    if (!d.isContainer())
                        t << "    " << d.registryName << " (was " << d.id << ")\n";
            }
        },
        &error);
    if (!ok) {
        writeErr(QStringLiteral("diskworld: ") + error);
        return 1;
    }
    writeOut(out.toUtf8());
    return 0;
}

int attach(const World &w, const QStringList &args)
{
    DiskSpec spec;
    VolumeSpec volume;
    volume.name = QStringLiteral("USB DISK");
    spec.size = 32'000'000;
    QString replugName;
    bool anyOption = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> QString { return i + 1 < args.size() ? args[++i] : QString(); };
        anyOption = anyOption || a.startsWith(QLatin1String("--"));
        if (a == QLatin1String("--name")) {
            volume.name = value();
            if (!isUtf8Argument(volume.name))
                return refuseNonUtf8Name(QStringLiteral("diskworld"));
        } else if (a == QLatin1String("--fs"))
            volume.fs = value();
        else if (a == QLatin1String("--size")) {
            spec.size = sizeArgument(value());
            if (spec.size <= 0) {
                writeErr(QStringLiteral("diskworld: --size needs a size such as 64M"));
                return 1;
            }
        } else if (a == QLatin1String("--bus"))
            spec.bus = value();
        else if (a == QLatin1String("--registry"))
            spec.registryName = value();
        else if (a == QLatin1String("--scheme"))
            spec.scheme = value().toUpper().startsWith(QLatin1String("MBR")) ? QStringLiteral("FDisk_partition_scheme")
                                                                             : QStringLiteral("GUID_partition_scheme");
        else if (a == QLatin1String("--internal")) {
            spec.internal = true;
            spec.ejectable = false;
        } else if (a == QLatin1String("--from"))
            volume.sourceFolder = value();
        else if (!a.startsWith(QLatin1String("--")) && replugName.isEmpty())
            replugName = a;
        else
            return usage();
    }
    if (!replugName.isEmpty()) {
        if (anyOption)
            return usage();
        const Outcome o = Operations::replug(w, replugName);
        if (!o.ok) {
            writeErr(QStringLiteral("diskworld: ") + o.error);
            return 1;
        }
        writeOut(o.output.toUtf8());
        return 0;
    }
    if (!fileSystemNamed(volume.fs)) {
        writeErr(QStringLiteral("diskworld: unknown file system %1").arg(volume.fs));
        return 1;
    }
    spec.partitions.push_back(volume);
    QString error;
    const std::optional<QStringList> ids = attachDisk(w, spec, &error);
    if (!ids) {
        writeErr(QStringLiteral("diskworld: ") + error);
        return 1;
    }
    writeOut((ids->join(QLatin1Char(' ')) + QLatin1Char('\n')).toUtf8());
    return 0;
}

} // namespace

int diskworldMain(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usage();
    const QString verb = arguments.first();
    QStringList args = arguments.mid(1);
    QString root;
    const qsizetype r = args.indexOf(QStringLiteral("--root"));
    if (r >= 0) {
        if (r + 1 >= args.size())
            return usage();
        root = args[r + 1];
        args.remove(r, 2);
    }
    if (verb == QLatin1String("init")) {
        WorldOptions o;
        for (int i = 0; i < args.size(); ++i) {
            const QString &a = args[i];
            auto value = [&]() -> QString { return i + 1 < args.size() ? args[++i] : QString(); };
            if (a == QLatin1String("--demo"))
                o.demo = true;
            else if (a == QLatin1String("--version"))
                o.version = value();
            else if (a == QLatin1String("--user"))
                o.consoleUser = value();
            else if (!a.startsWith(QLatin1String("--")) && root.isEmpty())
                root = a;
            else
                return usage();
        }
        if (root.isEmpty())
            return usage();
        if (o.version.isEmpty() || !o.version.front().isDigit()) {
            writeErr(QStringLiteral("diskworld: --version needs a version such as 13.4"));
            return 1;
        }
        QString error;
        if (!createWorld(root, o, &error)) {
            writeErr(QStringLiteral("diskworld: ") + error);
            return 1;
        }
        writeOut(QStringLiteral("A disk world is ready at %1\n").arg(World(root).root()).toUtf8());
        return 0;
    }
    const World w(root);
    if (!w.exists()) {
        writeErr(QStringLiteral("diskworld: there is no disk world at %1").arg(w.root()));
        return 1;
    }
    if (verb == QLatin1String("show"))
        return args.isEmpty() ? show(w) : usage();
    if (verb == QLatin1String("check")) {
        const QStringList problems = w.problems();
        for (const QString &p : problems)
            writeErr(p);
        return problems.isEmpty() ? 0 : 1;
    }
    if (verb == QLatin1String("attach"))
        return attach(w, args);
    if (verb == QLatin1String("detach")) {
        if (args.size() != 1)
            return usage();
        const Outcome o = Operations::unplug(w, args.first());
        if (!o.ok) {
            writeErr(QStringLiteral("diskworld: ") + o.error);
            return 1;
        }
        writeOut(o.output.toUtf8());
        return 0;
    }
    return usage();
}

} // namespace Platform::DiskWorld
