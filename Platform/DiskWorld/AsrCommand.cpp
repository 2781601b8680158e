#include "Clock.h"
#include "Restore.h"
#include "ToolCommands.h"

#include <QThread>

#include <cerrno>
#include <unistd.h>

namespace Platform::DiskWorld {
namespace {

int usage()
{
    writeErr(
        QStringLiteral("Usage: asr restore --source <source> --target <target> --erase [--noprompt] [--noverify]"));
    return 1;
}

std::optional<char> readAnswer()
{
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        return c;
    }
}

// The pause follows the clock (sped up in tests) but never drops below what a
// reader on the other end of a pipe needs to see each write on its own.
void pause(double seconds)
{
    const int floorMs = seconds >= 0.5 ? 80 : 40;
    QThread::msleep(ulong(std::max(floorMs, Clock::realMs(seconds))));
}

} // namespace

int asrMain(const QStringList &args)
{
    if (args.isEmpty() || args.first() != QLatin1String("restore"))
        return usage();
    RestoreOptions o;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&]() -> QString { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == QLatin1String("--source") || a == QLatin1String("-s"))
            o.source = value();
        else if (a == QLatin1String("--target") || a == QLatin1String("-t"))
            o.target = value();
        else if (a == QLatin1String("--erase"))
            o.erase = true;
        else if (a == QLatin1String("--noprompt"))
            o.prompt = false;
        else if (a == QLatin1String("--noverify"))
            o.verify = false;
        else
            return usage();
    }
    const World w;
    if (!w.exists()) {
        writeErr(QStringLiteral("asr: there is no disk world at %1").arg(w.root()));
        return 1;
    }
    RestoreIO io;
    io.write = writeOut;
    io.error = writeErr;
    io.readAnswer = readAnswer;
    io.pause = pause;
    return restore(w, o, io);
}

} // namespace Platform::DiskWorld
