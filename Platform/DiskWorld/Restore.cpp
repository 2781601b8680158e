#include "Restore.h"
#include "FolderTree.h"

namespace Platform::DiskWorld {
namespace {

// Seconds between two writes, and around the two completion marks, which a
// reader must see as chunks of their own.
constexpr double kStep = 0.2;
constexpr double kMark = 0.5;

struct Side {
    Ref ref;
    QString uuid;
    QString path; // the content folder
    QString name;
    QString node;
    bool boot = false;
};

// Emits "....10" … "....90" as progress passes each ten.
class TensWriter {
public:
    explicit TensWriter(const RestoreIO &io) : m_io(io) {}
    void progress(qint64 done, qint64 total)
    {
        const int percent = total > 0 ? int(std::min<qint64>(100, done * 100 / total)) : 100;
        while (m_next <= 90 && percent >= m_next) {
            m_io.write("...." + QByteArray::number(m_next));
            m_io.pause(kStep);
            m_next += 10;
        }
    }
    void finish()
    {
        progress(1, 1);
        m_io.write("....");
        m_io.pause(kMark);
        m_io.write("100");
        m_io.pause(kMark);
    }

private:
    const RestoreIO &m_io;
    int m_next = 10;
};

std::optional<Side> side(const World &w, const State &s, const QString &identifier)
{
    const std::optional<Ref> r = w.resolve(s, identifier);
    if (!r || r->isWholeDisk())
        return std::nullopt;
    const Node *n = s.node(r->node);
    if (!n || !n->volume || !n->volume->mounted)
        return std::nullopt;
    return Side{*r, n->volume->uuid, w.contentPath(*n->volume), n->volume->name, n->id, n->volume->boot};
}

// Space the target can give the copy once it is erased.
qint64 roomAfterErase(const World &w, const State &s, const Ref &r)
{
    const Disk *d = s.disk(r.disk);
    const Node *n = s.node(r.node);
    if (!d->isContainer())
        return n->size;
    qint64 others = 0;
    for (const Node &v : d->nodes)
        if (v.volume && v.id != n->id)
            others += w.usedBytes(*v.volume);
    return d->size - others;
}

} // namespace

int restore(const World &w, const RestoreOptions &o, const RestoreIO &io)
{
    auto fail = [&](const QString &text) {
        io.error(QStringLiteral("asr: ") + text);
        return 1;
    };
    if (o.source.isEmpty() || o.target.isEmpty())
        return fail(QStringLiteral("restore needs --source and --target"));
    if (!o.erase)
        return fail(QStringLiteral("a volume can only be restored with --erase"));

    std::optional<Side> source, target;
    qint64 sourceBytes = 0, room = 0;
    bool targetWritable = true;
    QString error;
    if (!w.inspect(
            [&](const State &s) {
                source = side(w, s, o.source);
                target = side(w, s, o.target);
                if (source)
                    sourceBytes =
                        FolderTree::bytes(source->path, source->boot ? World::bootExclusions() : QStringList());
                if (target) {
                    room = roomAfterErase(w, s, target->ref);
                    targetWritable = s.node(target->node)->volume->writable;
                }
            },
            &error))
        return fail(error);

    io.write("Validating target...");
    if (!target)
        return fail(QStringLiteral("could not validate target %1: it is no mounted volume").arg(o.target));
    if (target->boot)
        return fail(QStringLiteral("could not validate target: the startup volume cannot be restored over"));
    if (!targetWritable)
        return fail(QStringLiteral("could not validate target: %1 is read-only").arg(target->name));
    io.write("done\n");
    io.pause(kStep);

    io.write("Validating source...");
    if (!source)
        return fail(QStringLiteral("could not validate source %1: it is no mounted volume").arg(o.source));
    if (source->uuid == target->uuid)
        return fail(QStringLiteral("the source and the target are the same volume"));
    if (sourceBytes > room)
        return fail(QStringLiteral("the target is too small: %1 bytes are needed, %2 bytes are there")
                        .arg(sourceBytes)
                        .arg(room));
    io.write("done\n");
    io.pause(kStep);

    if (o.prompt) {
        io.write(QStringLiteral("Erase contents of /dev/%1 (%2)? [ny]: ").arg(target->node, target->path).toUtf8());
        const std::optional<char> answer = io.readAnswer();
        if (!answer || (*answer != 'y' && *answer != 'Y'))
            return fail(QStringLiteral("the restore was cancelled"));
    }

    // Erase the target: same volume and name, new content.
    QString targetPath;
    if (!w.change(
            [&](Change &c) {
                for (Disk &d : c.state.disks)
                    for (Node &n : d.nodes)
                        if (n.volume && n.volume->uuid == target->uuid) {
                            if (!n.volume->mounted)
                                return c.fail(QStringLiteral("the target was unmounted"));
                            if (!c.eraseContent(*n.volume, newUUID()))
                                return false;
                            target->uuid = n.volume->uuid;
                            targetPath = c.world.contentPath(*n.volume);
                            return true;
                        }
                return c.fail(QStringLiteral("the target has gone"));
            },
            &error))
        return fail(error);

    const QStringList skip = source->boot ? World::bootExclusions() : QStringList();
    io.write("Restoring  ");
    io.pause(kStep);
    TensWriter copying(io);
    if (!FolderTree::copyContents(
            source->path, targetPath, skip, [&](qint64 done) { copying.progress(done, sourceBytes); }, &error))
        return fail(QStringLiteral("restore failed: ") + error);
    copying.finish();

    if (o.verify) {
        io.write("\nVerifying  ");
        io.pause(kStep);
        const qint64 entries = FolderTree::entries(source->path, skip);
        TensWriter verifying(io);
        if (!FolderTree::compareContents(
                source->path, targetPath, skip, [&](qint64 done) { verifying.progress(done, entries); }, &error))
            return fail(QStringLiteral("verify failed: ") + error);
        verifying.finish();
    }

    // A restored APFS volume gets its container's Preboot volume, as a system needs one.
    w.change(
        [&](Change &c) {
            for (Disk &d : c.state.disks) {
                if (!d.isContainer())
                    continue;
                bool here = false, hasPreboot = false;
                for (const Node &n : d.nodes) {
                    here = here || (n.volume && n.volume->uuid == target->uuid);
                    hasPreboot = hasPreboot || (n.volume && n.volume->role == QLatin1String("Preboot"));
                }
                if (!here || hasPreboot)
                    continue;
                int k = 1;
                while (c.state.node(d.id + QLatin1Char('s') + QString::number(k)))
                    ++k;
                Node n{d.id + QLatin1Char('s') + QString::number(k),
                       QStringLiteral("41504653-0000-11AA-AA11-00306543ECAC"),
                       newUUID(),
                       0,
                       {},
                       {}};
                n.volume = Volume{QStringLiteral("Preboot"),
                                  QStringLiteral("APFS"),
                                  newUUID(),
                                  {},
                                  false,
                                  true,
                                  false,
                                  QStringLiteral("Preboot"),
                                  {}};
                d.nodes.push_back(n);
                return c.createContent(*d.nodes.back().volume);
            }
            return true;
        },
        &error);

    io.write("\nRestore completed successfully.\n");
    return 0;
}

} // namespace Platform::DiskWorld
