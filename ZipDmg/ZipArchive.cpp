#include "ZipArchive.h"

#include "Platform/SystemLog.h"
#include "Platform/SystemRoot.h"

#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <cstring>
#include <clocale>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kChunk = 1 << 20;

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

// ASCII, or UTF-8 that reads back as the same bytes.
bool isTextName(const QByteArray &name)
{
    for (const char c : name)
        if (static_cast<unsigned char>(c) >= 0x80)
            return QString::fromUtf8(name).toUtf8() == name;
    return true;
}

locale_t cLocale()
{
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", nullptr);
    return c;
}

} // namespace

ZipArchive::ZipArchive(int fd, Stopped stopped, Added added)
    : m_stopped(std::move(stopped)), m_added(std::move(added)), m_buffer(kChunk, Qt::Uninitialized)
{
    m_archive = archive_write_new();
    m_entry = archive_entry_new();
    if (!m_archive || !m_entry || archive_write_set_format_zip(m_archive) != ARCHIVE_OK ||
        archive_write_open_fd(m_archive, fd) != ARCHIVE_OK)
        fail(QStringLiteral("the archive cannot be started: %1")
                 .arg(m_archive ? QString::fromUtf8(archive_error_string(m_archive)) : QStringLiteral("no memory")));
}

ZipArchive::~ZipArchive()
{
    if (m_entry)
        archive_entry_free(m_entry);
    if (m_archive)
        archive_write_free(m_archive); // closes what finish() did not
}

bool ZipArchive::fail(const QString &why)
{
    if (!m_failed) {
        m_failed = true;
        m_error = why;
    }
    return false;
}

bool ZipArchive::add(const Item &item)
{
    if (m_failed)
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
            return fail(QStringLiteral("%1: %2").arg(text(m_hostFolder + '/' + relative),
                                                     next.error() == ESTALE ? QStringLiteral("changed since it was listed")
                                                                            : errText(next.error())));
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

bool ZipArchive::addEntry(const Platform::OpenFolder &folder, const QByteArray &name,
                          const Platform::FileAttributes &a, const QByteArray &relative)
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
        return writeHeader(st, stored, target);
    }
    case Type::Regular: {
        const int fd = ::openat(folder.descriptor(), name.constData(),
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return fail(QStringLiteral("%1: %2").arg(text(host), errText(errno)));
        struct stat st {};
        bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && sameEntry(st, a);
        if (!ok)
            fail(QStringLiteral("%1: changed while it was archived").arg(text(host)));
        ok = ok && writeHeader(st, stored) && writeData(fd, st.st_size, host);
        ::close(fd);
        return ok;
    }
    case Type::Directory: {
        const Platform::OpenFolder sub = folder.child(name, &a);
        struct stat st {};
        if (!sub.isOpen() || ::fstat(sub.descriptor(), &st) != 0)
            return fail(QStringLiteral("%1: %2").arg(text(host), sub.error() == ESTALE
                                                                     ? QStringLiteral("changed since it was listed")
                                                                     : errText(sub.error())));
        if (!writeHeader(st, stored + '/'))
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

bool ZipArchive::writeHeader(const struct stat &st, const QByteArray &stored, const QByteArray &linkTarget)
{
    archive_entry_clear(m_entry);
    archive_entry_copy_stat(m_entry, &st);
    archive_entry_copy_pathname(m_entry, stored.constData());
    if (S_ISLNK(st.st_mode))
        archive_entry_copy_symlink(m_entry, linkTarget.constData());
    if (!S_ISREG(st.st_mode))
        archive_entry_set_size(m_entry, 0);
    // A name that is not UTF-8 is stored as its bytes without the archive's
    // UTF-8 mark, which the writer sets for any non-ASCII name in a UTF-8
    // locale: the C locale for this header, on this thread only.
    locale_t previous = nullptr;
    if (!isTextName(stored))
        previous = ::uselocale(cLocale());
    const int written = archive_write_header(m_archive, m_entry);
    if (previous)
        ::uselocale(previous);
    if (written < ARCHIVE_WARN)
        return fail(QStringLiteral("%1: %2").arg(text(stored), QString::fromUtf8(archive_error_string(m_archive))));
    ++m_entries;
    if (m_added && !S_ISREG(st.st_mode))
        m_added(stored);
    return true;
}

bool ZipArchive::writeData(int fd, qint64 size, const QByteArray &hostPath)
{
    qint64 done = 0;
    for (;;) {
        if (m_stopped && m_stopped())
            return fail(QStringLiteral("stopped"));
        const ssize_t n = ::read(fd, m_buffer.data(), size_t(m_buffer.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(QStringLiteral("%1: %2").arg(text(hostPath), errText(errno)));
        }
        if (n == 0)
            break;
        if (done + n > size)
            return fail(QStringLiteral("%1 grew while it was archived").arg(text(hostPath)));
        if (archive_write_data(m_archive, m_buffer.constData(), size_t(n)) != n)
            return fail(
                QStringLiteral("%1: %2").arg(text(hostPath), QString::fromUtf8(archive_error_string(m_archive))));
        done += n;
    }
    if (done != size)
        return fail(QStringLiteral("%1: only %2 of %3 bytes could be read").arg(text(hostPath)).arg(done).arg(size));
    if (archive_write_finish_entry(m_archive) < ARCHIVE_WARN)
        return fail(QStringLiteral("%1: %2").arg(text(hostPath), QString::fromUtf8(archive_error_string(m_archive))));
    if (m_added)
        m_added(QByteArray(archive_entry_pathname(m_entry)));
    return true;
}

bool ZipArchive::finish()
{
    if (m_failed)
        return false;
    if (archive_write_close(m_archive) != ARCHIVE_OK)
        return fail(QStringLiteral("the archive cannot be closed: %1")
                        .arg(QString::fromUtf8(archive_error_string(m_archive))));
    return true;
}
