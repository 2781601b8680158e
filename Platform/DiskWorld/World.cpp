#include "World.h"
#include "FolderTree.h"
#include "PropertyList.h"
#include "SystemRoot.h"
#include "TrashRemover.h"
#include "VolumeSpace.h"
#include "WorldLock.h"
#include "WorldPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace Platform::DiskWorld {
namespace {

QByteArray enc(const QString &p) { return QFile::encodeName(p); }

std::string path(const QString &p) { return enc(p).toStdString(); }
QString fromPath(const std::string &p) { return QFile::decodeName(QByteArray::fromStdString(p)); }

QString join(const QString &dir, const QString &name) { return fromPath(Core::joinPath(path(dir), path(name))); }

// The world's lock, with the text of a failure.
class FileLock : public Core::WorldLock {
public:
    FileLock(const Core::WorldPaths &paths, bool exclusive) : Core::WorldLock(paths.lockPath(), exclusive) {}
    QString errorText() const { return QString::fromLocal8Bit(strerror(error())); }
};

// Holds back the signals that end a process, for the calling thread, while it lives.
class SignalHold {
public:
    SignalHold()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
            sigaddset(&set, sig);
        pthread_sigmask(SIG_BLOCK, &set, &m_previous);
    }
    ~SignalHold() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    SignalHold(const SignalHold &) = delete;
    SignalHold &operator=(const SignalHold &) = delete;

private:
    sigset_t m_previous;
};

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool pathExists(const QString &path)
{
    struct stat st;
    return lstat(enc(path).constData(), &st) == 0;
}

QString canonicalish(const QString &p) { return fromPath(Core::canonicalish(path(p))); }

bool within(const QString &p, const QString &dir) { return Core::within(path(p), path(dir)); }

bool writeState(const World &w, const State &s, QString *error)
{
    const QByteArray xml = PropertyList::toXml(s.toVariant());
    // Every writer holds the exclusive lock: one temporary name serves them all,
    // and one a killed writer left behind is simply written over.
    const QString temp = w.statePath() + QStringLiteral(".new");
    int fd = open(enc(temp).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        setError(error, QStringLiteral("cannot write the world's state: ") + QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    bool ok = true;
    for (qsizetype done = 0; ok && done < xml.size();) {
        ssize_t n = write(fd, xml.constData() + done, size_t(xml.size() - done));
        if (n < 0 && errno != EINTR)
            ok = false;
        else if (n > 0)
            done += n;
    }
    if (close(fd) != 0)
        ok = false;
    if (ok)
        stopPoint();
    if (ok && rename(enc(temp).constData(), enc(w.statePath()).constData()) != 0)
        ok = false;
    if (!ok) {
        setError(error, QStringLiteral("cannot write the world's state: ") + QString::fromLocal8Bit(strerror(errno)));
        unlink(enc(temp).constData());
    }
    return ok;
}

std::optional<State> readState(const World &w, QString *error)
{
    std::string failure;
    const std::optional<Core::State> s = Core::readState(path(w.root()), &failure);
    if (!s) {
        setError(error, QString::fromStdString(failure));
        return std::nullopt;
    }
    return fromCore(*s);
}

bool makeFolderAt(const QString &path, bool writable, QString *error)
{
    if (mkdir(enc(path).constData(), 0755) != 0) {
        setError(error, path + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    if (!writable)
        chmod(enc(path).constData(), 0555);
    return true;
}

// Finishes or undoes the change a killed tool left half done, and clears
// what killed writers leave beside the state. Called with the exclusive lock held.
bool recover(const World &w, QString *error)
{
    unlink(enc(w.statePath() + QStringLiteral(".new")).constData());
    unlink(enc(w.intentPath() + QStringLiteral(".new")).constData());
    std::optional<Intent> intent = Intent::read(w.intentPath());
    if (!intent)
        return true;
    const std::optional<State> s = readState(w, error);
    if (!s)
        return false;
    if (s->serial == intent->baseSerial())
        intent->undo();
    else
        intent->finish();
    intent->clear();
    return true;
}

// What lies in the trash while the exclusive lock is held, with no change cut
// short, belongs to changes that were written: it is thrown away for good.
QStringList trashLeftOver(const World &w)
{
    QStringList out;
    for (const QString &name :
         QDir(w.trashDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        out << join(w.trashDir(), name);
    return out;
}

// The trash remover's program: in the tools folder, or beside the running tool.
std::string trashRemoverProgram()
{
    const QString tools = toolsDirectory();
    if (!tools.isEmpty()) {
        const QByteArray inTools = enc(tools + QStringLiteral("/libexec/trash-remover"));
        if (access(inTools.constData(), X_OK) == 0)
            return inTools.toStdString();
    }
    return Core::helperProgram("trash-remover");
}

// Starts the emptying of the trash without waiting for it (see
// Core/TrashRemover.h): the remover runs in a session of its own and goes on
// after this process has ended. Every change calls this once it is written;
// when a remover holds the trash already, what this change threw away is left
// to it. What a remover leaves (killed, or a folder it may not enter) is
// still in the trash, where the next change finds it; where no remover can
// be started, the trash is emptied here and now.
// `names`: what the trash held once the change was written, all of it thrown
// away for good.
void emptyTrash(const World &w, const QStringList &names)
{
    if (names.isEmpty())
        return;
    const int trash = open(enc(w.trashDir()).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (trash < 0)
        return;
    // Taken: a remover runs, and looks again before it ends.
    if (flock(trash, LOCK_EX | LOCK_NB) != 0) {
        close(trash);
        return;
    }
    // The lock goes to the remover with the descriptor (never the number it must have, so it loses no flag).
    const int handed = fcntl(trash, F_DUPFD_CLOEXEC, Core::TrashRemover::kTrashFd + 1);
    const std::string program = trashRemoverProgram();
    bool started = false;
    if (handed >= 0 && !program.empty()) {
        const char *argv[] = {"/usr/bin/setsid", "-f", program.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
        posix_spawn_file_actions_adddup2(&actions, handed, Core::TrashRemover::kTrashFd);
        pid_t pid = 0;
        int status = -1;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char **>(argv), environ) == 0) {
            // setsid hands the work to a child of its own and ends at once.
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        posix_spawn_file_actions_destroy(&actions);
        started = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    if (!started)
        for (const QString &path : names)
            FolderTree::remove(path);
    if (handed >= 0)
        close(handed);
    close(trash);
}

} // namespace

World::World(const QString &root) : m_root(fromPath(Core::cleanRoot(path(root.isEmpty() ? systemRoot() : root)))) {}

Core::WorldPaths World::paths() const { return Core::WorldPaths(path(m_root)); }
QString World::stateDir() const { return fromPath(paths().stateDir()); }
QString World::statePath() const { return fromPath(paths().statePath()); }
QString World::intentPath() const { return fromPath(paths().intentPath()); }
QString World::storeDir() const { return fromPath(paths().storeDir()); }
QString World::trashDir() const { return fromPath(paths().trashDir()); }
QString World::volumesDir() const { return fromPath(paths().volumesDir()); }
bool World::exists() const { return QFileInfo::exists(statePath()); }

namespace {

// Asks the host file system to spread the folders made in `dir` over the
// disk, each with room for its own tree, rather than next to `dir` (ext4's
// "top of directory hierarchies"). Where the host keeps no such mark nothing
// changes; the world works the same, only its volumes may share ground.
void markTopOfTrees(const QString &dir)
{
    const int fd = open(enc(dir).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    int flags = 0;
    if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && !(flags & FS_TOPDIR_FL)) {
        flags |= FS_TOPDIR_FL;
        ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    close(fd);
}

} // namespace

bool World::makeVolumeFolders() const
{
    for (const QString &dir : {volumesDir(), storeDir()}) {
        if (!QDir().mkpath(dir))
            return false;
        markTopOfTrees(dir);
    }
    return true;
}

QStringList World::bootExclusions()
{
    QStringList out;
    for (const std::string &name : Core::bootExclusions())
        out << fromPath(name);
    return out;
}

std::optional<State> World::load(QString *error) const
{
    std::optional<State> out;
    inspect([&](const State &s) { out = s; }, error);
    return out;
}

bool World::inspect(const std::function<void(const State &)> &fn, QString *error) const
{
    if (!exists()) {
        setError(error, QStringLiteral("there is no disk world at ") + m_root);
        return false;
    }
    if (pathExists(intentPath())) {
        // A change was cut short: set it right before looking.
        FileLock lock(paths(), true);
        if (lock.ok() && !recover(*this, error))
            return false;
    }
    FileLock lock(paths(), false);
    if (!lock.ok()) {
        setError(error, QStringLiteral("cannot lock the disk world: ") + lock.errorText());
        return false;
    }
    std::optional<State> s = readState(*this, error);
    if (!s)
        return false;
    fn(*s);
    return true;
}

bool World::change(const std::function<bool(Change &)> &fn, QString *error) const
{
    if (!exists()) {
        setError(error, QStringLiteral("there is no disk world at ") + m_root);
        return false;
    }
    std::vector<std::function<void()>> after;
    QStringList thrownAway;
    {
        // A tool told to stop (SIGTERM, ^C) finishes the change first; one
        // killed outright leaves its intent record for the next tool.
        const SignalHold hold;
        FileLock lock(paths(), true);
        if (!lock.ok()) {
            setError(error, QStringLiteral("cannot lock the disk world: ") + lock.errorText());
            return false;
        }
        if (!recover(*this, error))
            return false;
        std::optional<State> s = readState(*this, error);
        if (!s)
            return false;
        const qint64 base = s->serial;
        Change c(*this, std::move(*s));
        if (!fn(c)) {
            c.rollBack();
            setError(error, c.error().isEmpty() ? QStringLiteral("the change failed") : c.error());
            return false;
        }
        c.state.serial = base + 1;
        if (!writeState(*this, c.state, error)) {
            c.rollBack();
            return false;
        }
        stopPoint();
        c.intent().clear();
        stopPoint();
        after = c.takeAfterCommit();
        thrownAway = trashLeftOver(*this);
    }
    for (auto &f : after)
        f();
    // What this change and earlier ones threw away.
    emptyTrash(*this, thrownAway);
    return true;
}

bool World::create(const State &initial, QString *error) const
{
    if (!QDir().mkpath(stateDir()) || !QDir().mkpath(trashDir()) || !makeVolumeFolders()) {
        setError(error, QStringLiteral("cannot make the world's folders under ") + m_root);
        return false;
    }
    FileLock lock(paths(), true);
    if (!lock.ok()) {
        setError(error, QStringLiteral("cannot lock the disk world: ") + lock.errorText());
        return false;
    }
    if (exists()) {
        setError(error, QStringLiteral("a disk world already exists at ") + m_root);
        return false;
    }
    return writeState(*this, initial, error);
}

QString World::contentPath(const Volume &v) const { return fromPath(paths().contentPath(toCore(v))); }

QString World::mountPoint(const Volume &v) const { return fromPath(paths().mountPoint(toCore(v))); }

qint64 World::usedBytes(const Volume &v) const { return Core::volumeBytes(paths(), toCore(v)); }

qint64 World::capacity(const State &, const Disk &d, const Node &n) { return Core::capacity(d, n); }

qint64 World::containerFree(const State &, const Disk &container) const
{
    return Core::containerFree(paths(), toCore(container));
}

qint64 World::freeBytes(const State &, const Disk &d, const Node &n) const
{
    return Core::freeBytes(paths(), toCore(d), toCore(n));
}

namespace {
std::optional<Ref> refFromCore(const std::optional<Core::Ref> &r)
{
    if (!r)
        return std::nullopt;
    return Ref{QString::fromStdString(r->disk), QString::fromStdString(r->node)};
}
} // namespace

std::optional<Ref> World::resolve(const State &s, const QString &identifier) const
{
    return refFromCore(paths().resolve(toCore(s), identifier.toStdString()));
}

std::optional<Ref> World::volumeAtMountPoint(const State &s, const QString &where) const
{
    return refFromCore(paths().volumeAtMountPoint(toCore(s), path(where)));
}

std::optional<Ref> World::volumeHolding(const State &s, const QString &path) const
{
    const QString canonicalRoot = canonicalish(m_root);
    // A real path of this machine: one outside the root is on no world volume.
    for (const QString &candidate : {QDir::cleanPath(QDir::current().absoluteFilePath(path))}) {
        const QString wanted = canonicalish(candidate);
        std::optional<Ref> best;
        int bestLength = -1;
        for (const Disk &d : s.disks)
            for (const Node &n : d.nodes) {
                if (!n.volume || !n.volume->mounted)
                    continue;
                const QString mp = canonicalish(mountPoint(*n.volume));
                if (!within(wanted, mp) || mp.size() <= bestLength)
                    continue;
                if (n.volume->boot) {
                    // The root's Volumes and .diskworld folders are not the boot volume's.
                    const QString rel = wanted.mid(canonicalRoot.size()).section(QLatin1Char('/'), 1, 1);
                    if (bootExclusions().contains(rel))
                        continue;
                }
                best = Ref{d.id, n.id};
                bestLength = int(mp.size());
            }
        if (best)
            return best;
    }
    return std::nullopt;
}

QStringList World::problems() const
{
    QStringList out;
    QString error;
    const bool ok = inspect(
        [&](const State &s) {
            QSet<QString> ids, mountNames;
            for (const Disk &d : s.disks) {
                if (ids.contains(d.id))
                    out << QStringLiteral("%1 is used twice").arg(d.id);
                ids.insert(d.id);
                for (const Node &n : d.nodes) {
                    if (ids.contains(n.id))
                        out << QStringLiteral("%1 is used twice").arg(n.id);
                    ids.insert(n.id);
                    if (!n.container.isEmpty() && !s.disk(n.container))
                        out << QStringLiteral("%1 names a container that is not there").arg(n.id);
                    if (!n.volume)
                        continue;
                    const Volume &v = *n.volume;
                    if (v.mounted) {
                        if (mountNames.contains(v.mountName))
                            out << QStringLiteral("two volumes are mounted as %1").arg(v.mountName);
                        mountNames.insert(v.mountName);
                    }
                    const QString content = contentPath(v);
                    if (!QFileInfo(content).isDir())
                        out << QStringLiteral("the folder of %1 (%2) is missing").arg(v.name, content);
                    if (v.boot) {
                        const QFileInfo link(join(volumesDir(), v.mountName));
                        if (!link.isSymLink() || link.canonicalFilePath() != QFileInfo(m_root).canonicalFilePath())
                            out << QStringLiteral("the link to the boot volume is missing");
                    } else if (v.mounted && pathExists(join(storeDir(), v.uuid))) {
                        out << QStringLiteral("%1 is mounted and also in the store").arg(v.name);
                    }
                }
                if (d.isContainer() && !s.node(d.physicalStore))
                    out << QStringLiteral("the store of %1 is not there").arg(d.id);
            }
            for (const QString &entry :
                 QDir(volumesDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
                if (!mountNames.contains(entry))
                    out << QStringLiteral("%1 lies in Volumes but is no mounted volume").arg(entry);
        },
        &error);
    if (!ok)
        out << error;
    return out;
}

Change::Change(const World &w, State s) : world(w), state(std::move(s)), m_intent(w.intentPath(), state.serial) {}

bool Change::fail(const QString &text)
{
    m_error = text;
    return false;
}

QString Change::freeMountName(const QString &volumeName) const
{
    QSet<QString> taken;
    for (const auto &[d, n] : state.volumes())
        if (n->volume->mounted)
            taken.insert(n->volume->mountName);
    QString name = volumeName;
    name.replace(QLatin1Char('/'), QLatin1Char(':'));
    QString candidate = name;
    for (int i = 1; taken.contains(candidate) || pathExists(join(world.volumesDir(), candidate)); ++i)
        candidate = name + QLatin1Char(' ') + QString::number(i);
    return candidate;
}

bool Change::mount(Volume &v)
{
    if (v.mounted)
        return true;
    world.makeVolumeFolders();
    const QString from = world.contentPath(v);
    const QString name = freeMountName(v.name);
    const QString to = join(world.volumesDir(), name);
    if (pathExists(from) ? !move(from, to) : !makeFolder(to, v.writable))
        return fail(QStringLiteral("cannot mount %1: %2").arg(v.name, m_error));
    v.mounted = true;
    v.mountName = name;
    return true;
}

bool Change::unmount(Volume &v)
{
    if (!v.mounted)
        return true;
    if (v.boot)
        return fail(QStringLiteral("the startup volume cannot be unmounted"));
    const QString from = world.contentPath(v);
    const QString to = join(world.storeDir(), v.uuid);
    // A folder in the store that holds anything is content no change of
    // ours left there: it is never thrown away to make room.
    if (pathExists(to) && rmdir(enc(to).constData()) != 0)
        return fail(QStringLiteral("cannot unmount %1: the store already holds content for it (%2)").arg(v.name, to));
    world.makeVolumeFolders();
    if (pathExists(from) ? !move(from, to) : !makeFolder(to, v.writable))
        return fail(QStringLiteral("cannot unmount %1: %2").arg(v.name, m_error));
    v.mounted = false;
    v.mountName.clear();
    return true;
}

bool Change::eraseContent(Volume &v, const QString &newUuid)
{
    if (v.boot)
        return fail(QStringLiteral("the startup volume cannot be erased"));
    if (!discard(world.contentPath(v)))
        return false;
    if (!newUuid.isEmpty())
        v.uuid = newUuid;
    v.heldModes.clear();
    return createContent(v);
}

bool Change::createContent(const Volume &v)
{
    const QString path = world.contentPath(v);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return makeFolder(path, v.writable);
}

bool Change::adoptContent(const Volume &v, const QString &folder)
{
    const QString path = world.contentPath(v);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!move(folder, path))
        return false;
    if (!v.writable)
        chmod(enc(path).constData(), 0555);
    return true;
}

bool Change::discard(const QString &path)
{
    if (!pathExists(path))
        return true;
    QDir().mkpath(world.trashDir());
    const QString trash = join(world.trashDir(), QString::number(QRandomGenerator::global()->generate64(), 36));
    if (!move(path, trash))
        return fail(QStringLiteral("cannot clear %1: %2").arg(path, m_error));
    return true;
}

bool Change::move(const QString &from, const QString &to)
{
    // A folder that cannot be written (a read-only volume) can still be moved
    // to another parent by its owner once it is writable for the move.
    struct stat st;
    if (lstat(enc(from).constData(), &st) != 0)
        return fail(from + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno)));
    const bool fixMode = S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR);
    Intent::Step step;
    step.kind = Intent::Step::Move;
    step.from = from;
    step.to = to;
    step.mode = fixMode ? int(st.st_mode & 07777) : -1;
    QString err;
    if (!m_intent.add(step, &err))
        return fail(err);
    if (fixMode) {
        chmod(enc(from).constData(), (st.st_mode & 07777) | S_IWUSR);
        stopPoint();
    }
    const bool ok = FolderTree::moveNoReplace(from, to, &err);
    if (fixMode)
        chmod(enc(ok ? to : from).constData(), st.st_mode & 07777);
    if (!ok)
        return fail(err);
    return true;
}

bool Change::makeFolder(const QString &path, bool writable)
{
    Intent::Step step;
    step.kind = Intent::Step::MakeFolder;
    step.to = path;
    step.writable = writable;
    QString err;
    if (!m_intent.add(step, &err) || !makeFolderAt(path, writable, &err))
        return fail(err);
    return true;
}

void Change::rollBack()
{
    m_intent.undo();
    m_intent.clear();
    m_after.clear();
}

} // namespace Platform::DiskWorld
