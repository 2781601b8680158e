#include "Intent.h"
#include "PropertyList.h"

#include <QFile>
#include <QVariantList>
#include <QVariantMap>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform::DiskWorld {
namespace {

QByteArray enc(const QString &p) { return QFile::encodeName(p); }

bool exists(const QString &path)
{
    struct stat st;
    return lstat(enc(path).constData(), &st) == 0;
}

QString kindName(Intent::Step::Kind k)
{
    return k == Intent::Step::Move ? QStringLiteral("Move") : QStringLiteral("MakeFolder");
}

} // namespace

void stopPoint()
{
    static const long stopAt = [] {
        const char *v = getenv("TARNWICK_DISKWORLD_STOP_AT");
        return v ? strtol(v, nullptr, 10) : 0L;
    }();
    static std::atomic<long> reached{0};
    if (stopAt > 0 && ++reached == stopAt)
        raise(SIGKILL);
}

Intent::Intent(QString path, qint64 baseSerial) : m_path(std::move(path)), m_base(baseSerial) {}

bool Intent::add(const Step &step, QString *error)
{
    m_steps.push_back(step);
    if (!write(error)) {
        m_steps.pop_back();
        return false;
    }
    stopPoint();
    return true;
}

void Intent::clear()
{
    m_steps.clear();
    unlink(enc(m_path).constData());
}

bool Intent::write(QString *error) const
{
    QVariantList steps;
    for (const Step &s : m_steps)
        steps.append(QVariantMap{{QStringLiteral("Kind"), kindName(s.kind)},
                                 {QStringLiteral("From"), s.from},
                                 {QStringLiteral("To"), s.to},
                                 {QStringLiteral("Mode"), s.mode},
                                 {QStringLiteral("Writable"), s.writable}});
    const QByteArray xml =
        PropertyList::toXml(QVariantMap{{QStringLiteral("BaseSerial"), m_base}, {QStringLiteral("Steps"), steps}});
    // Only the holder of the world's exclusive lock writes here, so one
    // temporary name is enough.
    const QByteArray temp = enc(m_path + QStringLiteral(".new"));
    int fd = open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    bool ok = fd >= 0;
    for (qsizetype done = 0; ok && done < xml.size();) {
        const ssize_t n = ::write(fd, xml.constData() + done, size_t(xml.size() - done));
        if (n < 0 && errno != EINTR)
            ok = false;
        else if (n > 0)
            done += n;
    }
    if (fd >= 0 && close(fd) != 0)
        ok = false;
    if (ok && rename(temp.constData(), enc(m_path).constData()) != 0)
        ok = false;
    if (!ok) {
        if (error)
            *error =
                QStringLiteral("cannot write the change's intent record: ") + QString::fromLocal8Bit(strerror(errno));
        unlink(temp.constData());
    }
    return ok;
}

std::optional<Intent> Intent::read(const QString &path)
{
    if (!exists(path))
        return std::nullopt;
    const QVariantMap m = PropertyList::readFile(path).toMap();
    Intent out(path, m.value(QStringLiteral("BaseSerial")).toLongLong());
    for (const QVariant &v : m.value(QStringLiteral("Steps")).toList()) {
        const QVariantMap s = v.toMap();
        Step step;
        step.kind = s.value(QStringLiteral("Kind")).toString() == QLatin1String("Move") ? Step::Move : Step::MakeFolder;
        step.from = s.value(QStringLiteral("From")).toString();
        step.to = s.value(QStringLiteral("To")).toString();
        step.mode = s.value(QStringLiteral("Mode"), -1).toInt();
        step.writable = s.value(QStringLiteral("Writable"), true).toBool();
        out.m_steps.push_back(step);
    }
    // A record cut short (killed while it was first written) holds no step
    // that happened: nothing moves before its step is on disk.
    return out;
}

void Intent::undo() const
{
    for (auto it = m_steps.rbegin(); it != m_steps.rend(); ++it) {
        const Step &s = *it;
        if (s.kind == Step::MakeFolder) {
            // Only an empty folder goes: what holds files was not made by this change alone.
            rmdir(enc(s.to).constData());
            continue;
        }
        const QByteArray from = enc(s.from), to = enc(s.to);
        if (exists(s.to) && !exists(s.from))
            renameat2(AT_FDCWD, to.constData(), AT_FDCWD, from.constData(), RENAME_NOREPLACE);
        if (s.mode >= 0 && exists(s.from))
            chmod(from.constData(), mode_t(s.mode));
    }
}

void Intent::finish() const
{
    for (const Step &s : m_steps) {
        if (s.kind == Step::MakeFolder) {
            if (!s.writable)
                chmod(enc(s.to).constData(), 0555);
        } else if (s.mode >= 0 && exists(s.to)) {
            chmod(enc(s.to).constData(), mode_t(s.mode));
        }
    }
}

} // namespace Platform::DiskWorld
