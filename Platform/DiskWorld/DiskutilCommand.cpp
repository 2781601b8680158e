#include "DiskInfo.h"
#include "Operations.h"
#include "PropertyList.h"
#include "ToolCommands.h"
#include "World.h"

#include <QFile>
#include <QSet>

#include <cerrno>
#include <unistd.h>

namespace Platform::DiskWorld {

void writeOut(const QByteArray &data)
{
    for (qsizetype done = 0; done < data.size();) {
        ssize_t n = ::write(STDOUT_FILENO, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

void writeErr(const QString &text)
{
    QByteArray data = text.toUtf8();
    if (!data.endsWith('\n'))
        data += '\n';
    for (qsizetype done = 0; done < data.size();) {
        ssize_t n = ::write(STDERR_FILENO, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

namespace {
QSet<QString> &nonUtf8Arguments()
{
    static QSet<QString> set;
    return set;
}
} // namespace

QStringList argumentsOf(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        args << QString::fromLocal8Bit(bytes);
        if (!bytes.isValidUtf8())
            nonUtf8Arguments().insert(args.back());
    }
    return args;
}

bool isUtf8Argument(const QString &argument) { return !nonUtf8Arguments().contains(argument); }

int refuseNonUtf8Name(const QString &tool)
{
    writeErr(tool + QStringLiteral(": the name is not valid UTF-8; nothing was changed"));
    return 1;
}

namespace {

int usage()
{
    writeErr(QStringLiteral("Usage: diskutil <verb> <options>\n"
                            "  list [-plist] [disk]\n"
                            "  info [-plist] <disk, node, mount point, UUID or volume name>\n"
                            "  rename <volume> <new name>\n"
                            "  eraseVolume <format> <name> <volume>\n"
                            "  eraseDisk <format> <name> [GPT|MBR|APM] <disk>\n"
                            "  resizeVolume <partition> <size> <format> <name> <size>\n"
                            "  reformat <volume>\n"
                            "  eject <disk or volume>\n"
                            "  mountDisk <disk>, unmountDisk [force] <disk>\n"
                            "  mount <volume>, unmount [force] <volume>"));
    return 1;
}

int report(const Outcome &o)
{
    if (!o.ok) {
        writeErr(o.error);
        return 1;
    }
    writeOut(o.output.toUtf8());
    return 0;
}

// Takes the options in front of the identifier ("-plist", "-all").
bool takePlist(QStringList &args)
{
    bool plist = false;
    while (!args.isEmpty() && (args.first() == QLatin1String("-plist") || args.first() == QLatin1String("-all"))) {
        plist = plist || args.first() == QLatin1String("-plist");
        args.removeFirst();
    }
    return plist;
}

int info(const World &w, QStringList args)
{
    const bool plist = takePlist(args);
    if (args.size() != 1)
        return usage();
    int status = 0;
    QString error;
    const bool ok = w.inspect(
        [&](const State &s) {
            const std::optional<Ref> r = w.resolve(s, args.first());
            if (!r) {
                writeErr(QStringLiteral("Could not find disk: %1").arg(args.first()));
                status = 1;
                return;
            }
            const QVariantMap m = DiskInfo::info(w, s, *r);
            writeOut(plist ? PropertyList::toXml(m) : DiskInfo::infoText(m).toUtf8());
        },
        &error);
    if (!ok) {
        writeErr(error);
        return 1;
    }
    return status;
}

int list(const World &w, QStringList args)
{
    const bool plist = takePlist(args);
    if (args.size() > 1)
        return usage();
    int status = 0;
    QString error;
    const bool ok = w.inspect(
        [&](const State &s) {
            std::optional<Ref> only;
            if (!args.isEmpty()) {
                only = w.resolve(s, args.first());
                if (!only) {
                    writeErr(QStringLiteral("Could not find disk: %1").arg(args.first()));
                    status = 1;
                    return;
                }
            }
            writeOut(plist ? PropertyList::toXml(DiskInfo::list(w, s, only)) : DiskInfo::listText(w, s, only).toUtf8());
        },
        &error);
    if (!ok) {
        writeErr(error);
        return 1;
    }
    return status;
}

} // namespace

int diskutilMain(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usage();
    const QString verb = arguments.first();
    QStringList args = arguments.mid(1);
    const World w;
    if (!w.exists()) {
        writeErr(QStringLiteral("diskutil: there is no disk world at %1").arg(w.root()));
        return 1;
    }
    auto is = [&](const char *name) { return verb.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (is("list"))
        return list(w, args);
    if (is("info") || is("information"))
        return info(w, args);
    // A volume name is text: bytes that are not UTF-8 are refused, never altered.
    const bool namesVolume = is("rename") || is("renameVolume") || is("eraseVolume") || is("eraseDisk");
    if (namesVolume && args.size() >= 2 && !isUtf8Argument(args[1]))
        return refuseNonUtf8Name(QStringLiteral("diskutil"));
    if (is("rename") || is("renameVolume"))
        return args.size() == 2 ? report(Operations::renameVolume(w, args[0], args[1])) : usage();
    if (is("eraseVolume"))
        return args.size() == 3 ? report(Operations::eraseVolume(w, args[0], args[1], args[2])) : usage();
    if (is("eraseDisk")) {
        if (args.size() == 3)
            return report(Operations::eraseDisk(w, args[0], args[1], QString(), args[2]));
        if (args.size() == 4)
            return report(Operations::eraseDisk(w, args[0], args[1], args[2], args[3]));
        return usage();
    }
    if (is("resizeVolume")) {
        if (args.size() == 5 && !isUtf8Argument(args[3]))
            return refuseNonUtf8Name(QStringLiteral("diskutil"));
        return args.size() == 5 ? report(Operations::resizeVolume(w, args[0], args[1], args[2], args[3], args[4]))
                                : usage();
    }
    if (is("reformat"))
        return args.size() == 1 ? report(Operations::reformatVolume(w, args[0])) : usage();
    if (args.size() == 2 && args.first() == QLatin1String("force"))
        args.removeFirst();
    if (is("eject"))
        return args.size() == 1 ? report(Operations::eject(w, args[0])) : usage();
    if (is("mountDisk"))
        return args.size() == 1 ? report(Operations::mountDisk(w, args[0])) : usage();
    if (is("unmountDisk") || is("umountDisk"))
        return args.size() == 1 ? report(Operations::unmountDisk(w, args[0])) : usage();
    if (is("mount"))
        return args.size() == 1 ? report(Operations::mountVolume(w, args[0])) : usage();
    if (is("unmount") || is("umount"))
        return args.size() == 1 ? report(Operations::unmountVolume(w, args[0])) : usage();
    writeErr(QStringLiteral("diskutil: did not recognize verb \"%1\"").arg(verb));
    return usage();
}

} // namespace Platform::DiskWorld
