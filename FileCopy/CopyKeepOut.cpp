#include "CopyKeepOut.h"

#include "FileManager.h"
#include "SystemRoot.h"

#include <QFile>

namespace {

// The path without doubled or trailing slashes and "." components.
QByteArray cleaned(const QByteArray &path)
{
    QList<QByteArray> parts;
    for (const QByteArray &part : path.split('/'))
        if (!part.isEmpty() && part != ".")
            parts.append(part);
    const QByteArray joined = parts.join('/');
    return path.startsWith('/') ? "/" + joined : joined;
}

// The forms a path is compared in: as given (cleaned), and with links
// resolved. `whole` resolves the path itself; otherwise only its folder, so
// that a link item stands for the link, not for what it points to.
QList<QByteArray> pathForms(const QByteArray &path, bool whole)
{
    const QByteArray clean = cleaned(path);
    QList<QByteArray> forms{clean};
    QByteArray resolved;
    if (whole) {
        resolved = Platform::FileManager::canonicalPath(clean);
    } else {
        const qsizetype slash = clean.lastIndexOf('/');
        if (slash >= 0 && clean != "/") {
            const QByteArray folder = Platform::FileManager::canonicalPath(slash == 0 ? "/" : clean.left(slash));
            if (!folder.isEmpty())
                resolved = (folder == "/" ? folder : folder + '/') + clean.mid(slash + 1);
        }
    }
    if (!resolved.isEmpty() && resolved != clean)
        forms.append(resolved);
    return forms;
}

// `path` is `folder` or lies inside it.
bool within(const QByteArray &path, const QByteArray &folder)
{
    if (folder == "/")
        return path.startsWith('/');
    return path == folder || path.startsWith(folder + '/');
}

bool anyWithin(const QList<QByteArray> &paths, const QList<QByteArray> &folders)
{
    for (const QByteArray &p : paths)
        for (const QByteArray &f : folders)
            if (within(p, f))
                return true;
    return false;
}

bool anyEqual(const QList<QByteArray> &paths, const QList<QByteArray> &others)
{
    for (const QByteArray &p : paths)
        if (others.contains(p))
            return true;
    return false;
}

} // namespace

CopyKeepOut::CopyKeepOut(const QByteArray &destination, const QByteArray &targetMountPath)
{
    if (!destination.isEmpty())
        m_destination = pathForms(destination, true);
    if (!targetMountPath.isEmpty())
        m_target = pathForms(targetMountPath, true);
    m_volumesFolder = pathForms(QFile::encodeName(Platform::rootPath(QStringLiteral("/Volumes"))), true);
}

void CopyKeepOut::enterTopLevel(const FileNode &top)
{
    const QList<QByteArray> forms = pathForms(top.pathBytes(), false);
    m_fenceVolumes = !anyWithin(forms, m_volumesFolder) || anyEqual(forms, m_volumesFolder);
}

CopyKeepOut::Reason CopyKeepOut::reason(const FileNode &node, bool whole) const
{
    const QList<QByteArray> forms = pathForms(node.pathBytes(), false);
    // What lies in the startup volume's Volumes/ is other volumes' content,
    // whatever else it holds.
    if (m_fenceVolumes && anyWithin(forms, m_volumesFolder)) {
        // A partly checked mount folder itself only gets its folder; what it holds is kept out.
        if (whole || !anyEqual(forms, m_volumesFolder))
            return Reason::OtherVolume;
        return Reason::None;
    }
    if (whole) {
        if (anyWithin(m_destination, forms))
            return Reason::Destination;
        if (anyWithin(m_target, forms))
            return Reason::TargetVolume;
        if (m_fenceVolumes && anyWithin(m_volumesFolder, forms))
            return Reason::OtherVolume;
    }
    return Reason::None;
}

QString CopyKeepOut::describe(Reason reason)
{
    switch (reason) {
    case Reason::None:
        return {};
    case Reason::Destination:
        return QStringLiteral("it is or holds the copy's destination folder");
    case Reason::TargetVolume:
        return QStringLiteral("it is or holds the target volume");
    case Reason::OtherVolume:
        return QStringLiteral("it belongs to another volume");
    }
    return {};
}
