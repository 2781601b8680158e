#include "DiskImage.h"
#include "Operations.h"
#include "ToolCommands.h"

namespace Platform::DiskWorld {
namespace {

int usage()
{
    writeErr(QStringLiteral(
        "Usage: hdiutil <verb> <options>\n"
        "  create <image> -volname <name> -size <bytes> -fs <file system> -format UDRW -srcfolder <folder>\n"
        "  mount <image> (also attach)\n"
        "  detach <device> (also eject)"));
    return 1;
}

int report(const Outcome &o)
{
    if (!o.ok) {
        writeErr(QStringLiteral("hdiutil: ") + o.error);
        return 1;
    }
    writeOut(o.output.toUtf8());
    return 0;
}

qint64 sizeArgument(const QString &text)
{
    QString t = text.trimmed().toLower();
    qint64 unit = 1;
    if (!t.isEmpty() && t.back().isLetter()) {
        switch (t.back().toLatin1()) {
        case 'b':
            unit = 512;
            break;
        case 'k':
            unit = 1024;
            break;
        case 'm':
            unit = 1024 * 1024;
            break;
        case 'g':
            unit = 1024LL * 1024 * 1024;
            break;
        case 't':
            unit = 1024LL * 1024 * 1024 * 1024;
            break;
        default:
            return -2;
        }
        t.chop(1);
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok && v >= 0 ? qint64(v * double(unit)) : -2;
}

int create(const World &w, const QStringList &args)
{
    DiskImage::CreateOptions o;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        std::optional<QString> v;
        if (a == QLatin1String("-volname")) {
            if (!(v = value()))
                return usage();
            if (!isUtf8Argument(*v))
                return refuseNonUtf8Name(QStringLiteral("hdiutil: create"));
            o.volumeName = *v;
        } else if (a == QLatin1String("-size")) {
            if (!(v = value()))
                return usage();
            o.size = sizeArgument(*v);
            if (o.size < 0) {
                writeErr(QStringLiteral("hdiutil: create: \"%1\" is not a size").arg(*v));
                return 1;
            }
        } else if (a == QLatin1String("-fs")) {
            if (!(v = value()))
                return usage();
            o.fs = *v;
        } else if (a == QLatin1String("-format")) {
            if (!(v = value()))
                return usage();
            o.format = *v;
        } else if (a == QLatin1String("-srcfolder") || a == QLatin1String("-srcdir")) {
            if (!(v = value()))
                return usage();
            o.sourceFolder = *v;
        } else if (a == QLatin1String("-ov")) {
            writeErr(QStringLiteral("hdiutil: create: an existing image is never overwritten here"));
            return 1;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            writeErr(QStringLiteral("hdiutil: create: unknown option %1").arg(a));
            return usage();
        } else if (o.path.isEmpty()) {
            o.path = a;
        } else {
            return usage();
        }
    }
    return report(DiskImage::create(w, o));
}

} // namespace

int hdiutilMain(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usage();
    const QString verb = arguments.first();
    QStringList args = arguments.mid(1);
    const World w;
    if (verb == QLatin1String("create"))
        return create(w, args);
    // Options of the original tool that change nothing here.
    for (const char *ignored : {"-nobrowse", "-readwrite", "-noverify", "-noautoopen", "-quiet", "-force"})
        args.removeAll(QLatin1String(ignored));
    if (verb == QLatin1String("mount") || verb == QLatin1String("attach"))
        return args.size() == 1 ? report(DiskImage::attach(w, args.first())) : usage();
    if (verb == QLatin1String("detach") || verb == QLatin1String("eject")) {
        if (args.size() != 1)
            return usage();
        if (!w.exists())
            return report(Outcome{false, {}, QStringLiteral("there is no disk world at ") + w.root()});
        return report(Operations::eject(w, args.first()));
    }
    writeErr(QStringLiteral("hdiutil: unknown verb %1").arg(verb));
    return usage();
}

} // namespace Platform::DiskWorld
