#include "ZipArchive.h"
#include "ZipWriter.h"

#include "Platform/SystemLog.h"
#include "Platform/SystemRoot.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString text(const QByteArray &path) { return QFile::decodeName(path); }

QString errText(int err) { return QString::fromLocal8Bit(strerror(err)); }

bool sameEntry(const struct stat &st, const Platform::FileAttributes &a)
{
    return quint64(st.st_dev) == a.device && quint64(st.st_ino) == a.inode;
}

bool matchesListing(const Platform::FileAttributes &now, const Platform::FileAttributes &listed)
{
    return listed.inode == 0 || (now.device == listed.device && now.inode == listed.inode);
}

} // namespace

ZipArchive::ZipArchive(int fd, Stopped stopped, Added added)
    : m_writer(std::make_unique<ZipWriter>(fd, stopped)), m_stopped(std::move(stopped)), m_added(std::move(added))
{
}

ZipArchive::~ZipArchive() = default;

bool ZipArchive::fail(const QString &why) { return m_writer->fail(why); }

QString ZipArchive::errorString() const { return m_writer->errorString(); }

quint64 ZipArchive::entries() const { return m_writer->entries(); }

bool ZipArchive::taken(bool ok, const QByteArray &stored)
{
    if (ok && m_added)
        m_added(stored);
    return ok;
}

bool ZipArchive::add(const Item &item)
{
    if (m_writer->failed())
        return false;
    if (item.names.isEmpty() || item.names.size() != item.listed.size())
        return fail(QStringLiteral("%1: nothing to archive").arg(text(item.topLevel)));
    Platform::OpenFolder folder = Platform::OpenFolder::openParent(item.topLevel);
    if (!folder.isOpen())
        return fail(QStringLiteral("%1: %2").arg(text(item.topLevel), errText(folder.error())));
    m_hostFolder = folder.path();
    // Stored as the system names it; what lies outside the system, from its own folder.
    const QByteArray system = Platform::systemPath(m_hostFolder);
    m_prefix = system.isEmpty() || system == "/" ? QByteArray() : system.mid(1) + '/';
    QByteArray relative;
    for (qsizetype i = 0; i + 1 < item.names.size(); ++i) {
        relative += item.names.at(i) + '/';
        Platform::OpenFolder next = folder.child(item.names.at(i), &item.listed.at(i));
        if (!next.isOpen())
            return fail(QStringLiteral("%1: %2").arg(
                text(m_hostFolder + '/' + relative),
                next.error() == ESTALE ? QStringLiteral("changed since it was listed") : errText(next.error())));
        folder = std::move(next);
    }
    const QByteArray &name = item.names.last();
    relative += name;
    const Platform::FileAttributes a = folder.attributes(name);
    if (a.type == Platform::FileAttributes::Type::Missing)
        return fail(QStringLiteral("%1: it has gone").arg(text(m_hostFolder + '/' + relative)));
    if (!matchesListing(a, item.listed.last()))
        return fail(QStringLiteral("%1: changed since it was listed").arg(text(m_hostFolder + '/' + relative)));
    return addEntry(folder, name, a, relative);
}

bool ZipArchive::addEntry(const Platform::OpenFolder &folder, const QByteArray &name, const Platform::FileAttributes &a,
                          const QByteArray &relative)
{
    if (m_stopped && m_stopped())
        return fail(QStringLiteral("stopped"));
    const QByteArray host = m_hostFolder + '/' + relative;
    const QByteArray stored = m_prefix + relative;
    using Type = Platform::FileAttributes::Type;
    switch (a.type) {
    case Type::Missing:
        return fail(QStringLiteral("%1: it has gone").arg(text(host)));
    case Type::Other:
        // A named pipe, socket or device node is never opened: it holds no
        // data an archive can keep.
        Platform::systemLog(QStringLiteral("MakeDmg: left out, not a file, folder or link: %1")
                                .arg(text(Platform::systemPath(host).isEmpty() ? host : Platform::systemPath(host))));
        return true;
    case Type::SymbolicLink: {
        QByteArray target(4096, Qt::Uninitialized);
        const ssize_t n = ::readlinkat(folder.descriptor(), name.constData(), target.data(), size_t(target.size()));
        struct stat st {};
        if (n < 0 || ::fstatat(folder.descriptor(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(st.st_mode) || !sameEntry(st, a))
            return fail(QStringLiteral("%1: changed while it was archived").arg(text(host)));
        target.truncate(n);
        return taken(m_writer->addLink(stored, st, target), stored);
    }
    case Type::Regular: {
        const int fd =
            ::openat(folder.descriptor(), name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return fail(QStringLiteral("%1: %2").arg(text(host), errText(errno)));
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !sameEntry(st, a)) {
            ::close(fd);
            return fail(QStringLiteral("%1: changed while it was archived").arg(text(host)));
        }
        return taken(m_writer->addFile(stored, st, fd, host), stored);
    }
    case Type::Directory: {
        const Platform::OpenFolder sub = folder.child(name, &a);
        struct stat st {};
        if (!sub.isOpen() || ::fstat(sub.descriptor(), &st) != 0)
            return fail(QStringLiteral("%1: %2").arg(text(host), sub.error() == ESTALE
                                                                     ? QStringLiteral("changed since it was listed")
                                                                     : errText(sub.error())));
        if (!taken(m_writer->addFolder(stored + '/', st), stored + '/'))
            return false;
        bool listedOk = false;
        const QList<QByteArray> names = sub.names(&listedOk);
        if (!listedOk)
            return fail(QStringLiteral("%1 cannot be read").arg(text(host)));
        for (const QByteArray &child : names) {
            const Platform::FileAttributes ca = sub.attributes(child);
            if (ca.type != Type::Missing && ca.device != sub.device()) {
                Platform::systemLog(QStringLiteral("MakeDmg: left out, on another file system: %1")
                                        .arg(text(Platform::systemPath(host + '/' + child))));
                continue;
            }
            if (!addEntry(sub, child, ca, relative + '/' + child))
                return false;
        }
        return true;
    }
    }
    return true;
}

bool ZipArchive::finish() { return m_writer->finish(); }
