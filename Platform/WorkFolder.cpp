#include "WorkFolder.h"

#include "SystemLog.h"
#include "SystemRoot.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {
namespace {

QString errText(int err) { return QString::fromLocal8Bit(strerror(err)); }

bool sameFile(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool statFd(int fd, struct stat *st) { return fd >= 0 && ::fstat(fd, st) == 0; }

bool usableName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// Opens `path` from the system root down: the root as it is configured, every
// component below it with O_NOFOLLOW, so a link on the way ends the walk.
int openFromRoot(const QString &path, QString *error)
{
    const QString root = systemRoot();
    const QString clean = QDir::cleanPath(path);
    QString rest;
    if (root == QLatin1String("/"))
        rest = clean.mid(1);
    else if (clean == root)
        rest.clear();
    else if (clean.startsWith(root + QLatin1Char('/')))
        rest = clean.mid(root.size() + 1);
    else {
        *error = QStringLiteral("%1 is not inside the system root").arg(path);
        return -1;
    }
    int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("%1: %2").arg(root, errText(errno));
        return -1;
    }
    for (const QString &component : rest.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const int next =
            ::openat(fd, QFile::encodeName(component).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno;
        ::close(fd);
        if (next < 0) {
            *error = QStringLiteral("%1: %2 (a link or not a folder on the way)").arg(path, errText(err));
            return -1;
        }
        fd = next;
    }
    return fd;
}

} // namespace

WorkFolder::~WorkFolder() { close(); }

WorkFolder::WorkFolder(WorkFolder &&other) noexcept { *this = std::move(other); }

WorkFolder &WorkFolder::operator=(WorkFolder &&other) noexcept
{
    if (this != &other) {
        close();
        std::swap(m_destFd, other.m_destFd);
        std::swap(m_workFd, other.m_workFd);
        std::swap(m_heldFd, other.m_heldFd);
        m_path = std::move(other.m_path);
        m_destination = std::move(other.m_destination);
        m_name = std::move(other.m_name);
        m_heldName = std::move(other.m_heldName);
        m_error = std::move(other.m_error);
    }
    return *this;
}

void WorkFolder::close()
{
    for (int *fd : {&m_heldFd, &m_workFd, &m_destFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

WorkFolder WorkFolder::create(const QString &destination, const QString &prefix)
{
    WorkFolder w;
    w.m_destination = QDir::cleanPath(destination);
    w.m_destFd = openFromRoot(w.m_destination, &w.m_error);
    if (w.m_destFd < 0)
        return w;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = prefix;
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(letters[QRandomGenerator::system()->bounded(int(sizeof letters - 1))]);
        const QByteArray n = QFile::encodeName(name);
        if (::mkdirat(w.m_destFd, n.constData(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            w.m_error = QStringLiteral("%1/%2: %3").arg(w.m_destination, name, errText(errno));
            return w;
        }
        const int fd = ::openat(w.m_destFd, n.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 0777) != 0700) {
            if (fd >= 0)
                ::close(fd);
            w.m_error = QStringLiteral("%1/%2 is not the folder just made").arg(w.m_destination, name);
            return w;
        }
        w.m_workFd = fd;
        w.m_name = name;
        w.m_path = w.m_destination + QLatin1Char('/') + name;
        return w;
    }
    w.m_error = QStringLiteral("no free name for a work folder in %1").arg(w.m_destination);
    return w;
}

bool WorkFolder::destinationHas(const QString &name) const
{
    struct stat st {};
    return m_destFd >= 0 && ::fstatat(m_destFd, QFile::encodeName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

int WorkFolder::createFile(const QString &name, int mode)
{
    if (!isValid() || !usableName(name)) {
        m_error = QStringLiteral("no work folder or no usable name for %1").arg(name);
        return -1;
    }
    const int fd = ::openat(m_workFd, QFile::encodeName(name).constData(),
                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode_t(mode & 0777));
    if (fd < 0) {
        m_error = QStringLiteral("%1/%2: %3").arg(m_path, name, errText(errno));
        return -1;
    }
    // The mode asked for, whatever the process's mask.
    ::fchmod(fd, mode_t(mode & 0777));
    return fd;
}

bool WorkFolder::holdFile(const QString &name)
{
    if (!isValid() || !usableName(name))
        return false;
    const int fd = ::openat(m_workFd, QFile::encodeName(name).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
        m_error = QStringLiteral("%1/%2 is not a file this job made").arg(m_path, name);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (m_heldFd >= 0)
        ::close(m_heldFd);
    m_heldFd = fd;
    m_heldName = name;
    return true;
}

quint64 WorkFolder::heldInode() const
{
    struct stat st {};
    return statFd(m_heldFd, &st) ? quint64(st.st_ino) : 0;
}

bool WorkFolder::isHeldFile(const QString &path) const
{
    struct stat held {
    }, now{};
    return statFd(m_heldFd, &held) && ::stat(QFile::encodeName(path).constData(), &now) == 0 && sameFile(held, now);
}

bool WorkFolder::isEntry(const QString &path, const QString &name) const
{
    struct stat entry {
    }, now{};
    return isValid() && ::fstatat(m_workFd, QFile::encodeName(name).constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &now) == 0 && sameFile(entry, now);
}

bool WorkFolder::pathsAreOurs() const
{
    struct stat work {
    }, byPath{};
    if (!statFd(m_workFd, &work) || ::lstat(QFile::encodeName(m_path).constData(), &byPath) != 0 ||
        !sameFile(work, byPath))
        return false;
    return m_heldFd < 0 || isHeldFile(m_path + QLatin1Char('/') + m_heldName);
}

bool WorkFolder::moveHeldFileOut(const QString &finalName)
{
    struct stat held {
    }, entry{};
    if (!statFd(m_heldFd, &held) || !usableName(finalName)) {
        m_error = QStringLiteral("no file is held");
        return false;
    }
    const QByteArray from = QFile::encodeName(m_heldName);
    const QByteArray to = QFile::encodeName(finalName);
    if (::fstatat(m_workFd, from.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(held, entry)) {
        m_error = QStringLiteral("%1/%2 is no longer the file this job made").arg(m_path, m_heldName);
        return false;
    }
    if (::renameat2(m_workFd, from.constData(), m_destFd, to.constData(), RENAME_NOREPLACE) == 0) {
        giveToDestinationOwner();
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        m_error = QStringLiteral("%1/%2: %3").arg(m_destination, finalName, errText(errno));
        return false;
    }
    // A file system without an exclusive rename: a second name that cannot
    // replace anything, then the first one goes.
    if (::linkat(m_workFd, from.constData(), m_destFd, to.constData(), 0) != 0) {
        m_error = QStringLiteral("%1/%2: %3").arg(m_destination, finalName, errText(errno));
        return false;
    }
    ::unlinkat(m_workFd, from.constData(), 0);
    giveToDestinationOwner();
    return true;
}

void WorkFolder::giveToDestinationOwner() const
{
    // The result root leaves in a user's folder is that user's, like
    // everything else there, and never carries set-id bits.
    struct stat dest {
    }, held{};
    if (::geteuid() != 0 || ::fstat(m_destFd, &dest) != 0 || ::fstat(m_heldFd, &held) != 0)
        return;
    if (dest.st_uid != 0 && ::fchown(m_heldFd, dest.st_uid, dest.st_gid) != 0)
        systemLog(QStringLiteral("%1/%2 could not be given to the folder's owner: %3")
                      .arg(m_destination, m_heldName, errText(errno)));
    ::fchmod(m_heldFd, held.st_mode & 0777);
}

QStringList WorkFolder::discard()
{
    QStringList removed;
    if (!isValid())
        return removed;
    // Only this process's user writes here, so what the folder holds is what
    // the job's tools made; folders inside are left alone.
    const int listFd = ::openat(m_workFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (DIR *dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr) {
        QList<QByteArray> names;
        while (dirent *e = ::readdir(dir)) {
            const QByteArray n(e->d_name);
            if (n != "." && n != "..")
                names << n;
        }
        ::closedir(dir);
        for (const QByteArray &n : names)
            if (::unlinkat(m_workFd, n.constData(), 0) == 0)
                removed << QFile::decodeName(n);
    } else if (listFd >= 0) {
        ::close(listFd);
    }
    struct stat work {
    }, entry{};
    const QByteArray name = QFile::encodeName(m_name);
    if (statFd(m_workFd, &work) && ::fstatat(m_destFd, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameFile(work, entry))
        ::unlinkat(m_destFd, name.constData(), AT_REMOVEDIR);
    close();
    return removed;
}

} // namespace Platform
