#pragma once
// What the image and archive engine's tests share: a delegate that records
// every report, trees read back as path → content, and checked node trees.
#include "DiskWorldFixture.h"
#include "FileNode.h"
#include "MakeDmg.h"
#include "TestSupport.h"

#include "Platform/Dispatch.h"
#include "Platform/FileManager.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

// Failure messages show texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace MakeDmgRig {

struct Report {
    QString text;
    float value = 0;
    bool onMainThread = false;
};

class Recorder : public MakeDmgDelegate {
public:
    void copyFileToDmgWithFileName(const QString &fileName, float Withprogress) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_reports.push_back({fileName, Withprogress, Platform::Dispatch::isMainThread()});
        }
        if (onReport)
            onReport(Withprogress);
    }
    void beginToCopyDmg() override
    {
        ++begins;
        if (onBegin)
            onBegin();
    }
    void makeDmgFailWithError(qint32 error) override
    {
        lastError = error;
        ++fails;
    }

    QList<Report> reports() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reports;
    }
    QList<float> values() const
    {
        QList<float> v;
        for (const Report &r : reports())
            v << r.value;
        return v;
    }
    int hundreds() const
    {
        int n = 0;
        for (const Report &r : reports())
            n += r.value >= 100 ? 1 : 0;
        return n;
    }
    bool ended() const { return hundreds() > 0 || fails > 0; }

    std::function<void()> onBegin;
    std::function<void(float)> onReport;
    std::atomic<int> begins{0};
    std::atomic<int> fails{0};
    std::atomic<int> lastError{-1};

private:
    mutable std::mutex m_mutex;
    QList<Report> m_reports;
};

// Relative path → content: "dir" for a folder, "link:" + target for a link.
inline QMap<QString, QByteArray> treeOf(const QString &root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString rel = path.mid(root.size() + 1);
        if (info.isSymLink()) {
            char target[4096];
            const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
            out[rel] = "link:" + QByteArray(target, int(std::max<ssize_t>(0, n)));
        } else
            out[rel] = info.isDir() ? QByteArray("dir") : TestSupport::readFile(path);
    }
    return out;
}

// The part of a tree below one of its entries, re-rooted at that entry's name.
inline QMap<QString, QByteArray> subtree(const QMap<QString, QByteArray> &tree, const QString &entry, const QString &as)
{
    QMap<QString, QByteArray> out;
    for (auto it = tree.constBegin(); it != tree.constEnd(); ++it) {
        if (it.key() == entry)
            out[as] = it.value();
        else if (it.key().startsWith(entry + QLatin1Char('/')))
            out[as + it.key().mid(entry.size())] = it.value();
    }
    return out;
}

inline FileNodePtr node(const QString &path, qint64 state, const FileNodeList &children = {})
{
    const QFileInfo info(path);
    FileNodePtr n = FileNode::initWithPath(path, info.fileName(), info.isDir(), nullptr);
    n->state = state;
    n->children = children;
    for (const FileNodePtr &c : children)
        c->father = n.get();
    return n;
}

// A node as the scanner lists it: with the device and inode it has now
// (its children were made, and listed, before it).
inline FileNodePtr listedNode(const QString &path, qint64 state, const FileNodeList &children = {})
{
    FileNodePtr n = node(path, state, children);
    n->recordListing();
    return n;
}

// Puts a link to `elsewhere` in place of the folder `folder` (kept beside it).
inline bool swapForLink(const QString &folder, const QString &elsewhere)
{
    return QDir().rename(folder, folder + QStringLiteral(".moved")) && QFile::link(elsewhere, folder);
}

// A volume's top level as the page lists it: every entry checked.
inline FileNodeArray topLevel(const QString &folder)
{
    FileNodeArray nodes;
    for (const QString &name : Platform::FileManager::defaultManager().contentsOfDirectory(folder))
        nodes << node(folder + QLatin1Char('/') + name, FileNode::Checked);
    return nodes;
}

// A volume's top level listed as the scanner lists it: names as the file
// system's bytes, every entry checked.
inline FileNodeArray topLevelBytes(const QString &folder)
{
    auto &fm = Platform::FileManager::defaultManager();
    const QByteArray base = QFile::encodeName(folder);
    FileNodeArray nodes;
    for (const QByteArray &name : fm.contentsOfDirectoryBytes(base)) {
        bool isDir = false;
        fm.nativeFileExists(base + '/' + name, &isDir);
        nodes << FileNode::initWithNativePath(base + '/' + name, isDir, nullptr);
    }
    return nodes;
}

// Writes a file whose name is given as bytes, valid text or not.
inline bool writeNativeFile(const QByteArray &path, const QByteArray &content)
{
    QFile f;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 || !f.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        return false;
    return f.write(content) == content.size();
}

// The names unzip lists for an archive, as bytes.
inline QList<QByteArray> archiveNameBytes(const QString &archive)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
    p.waitForFinished(60000);
    QList<QByteArray> names = p.readAllStandardOutput().split('\n');
    names.removeAll(QByteArray());
    return names;
}

// The names an archive stores, exactly as bytes, read with libarchive.
inline QList<QByteArray> archiveEntries(const QString &archive)
{
    QList<QByteArray> names;
    struct archive *a = archive_read_new();
    archive_read_support_format_zip(a);
    struct archive_entry *entry = nullptr;
    if (archive_read_open_filename(a, QFile::encodeName(archive).constData(), 1 << 16) == ARCHIVE_OK)
        for (int r = 0; (r = archive_read_next_header(a, &entry)) == ARCHIVE_OK || r == ARCHIVE_WARN;)
            names << QByteArray(archive_entry_pathname(entry));
    archive_read_free(a);
    return names;
}

// unzip's own test of every entry passes.
inline bool unzipTests(const QString &archive)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-tqq"), archive});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The paths the page hands to the copy into the image: checked nodes, depth first.
inline QStringList checkedPaths(const FileNodeArray &nodes)
{
    QStringList paths;
    FileNode::walkSelection(nodes, [&](FileNode *n) { paths << n->path; });
    return paths;
}

// Waits for the job's end report and for every worker it started.
inline bool waitForEnd(const Recorder &recorder, int timeoutMs = 60000)
{
    const bool ended = TestSupport::waitUntil([&] { return recorder.ended(); }, timeoutMs);
    return Platform::Dispatch::waitForGlobalQueue(timeoutMs) && ended;
}

// Volumes of the world with this name that are mounted now.
inline int mountedVolumesNamed(const TestSupport::DiskWorldFixture &world, const QString &name)
{
    int n = 0;
    const Platform::DiskWorld::State s = world.state();
    for (const auto &[d, v] : s.volumes())
        if (v->volume->name == name && v->volume->mounted)
            ++n;
    return n;
}

// Attaches an image with the stand-in and gives its mount point (empty on failure).
inline QString mountImage(const TestSupport::DiskWorldFixture &world, const QString &image)
{
    const TestSupport::ToolRun r = world.run(QStringLiteral("hdiutil"), {QStringLiteral("mount"), image});
    for (const QString &line : QString::fromUtf8(r.out).split(QLatin1Char('\n'))) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() >= 3 && !f.at(2).isEmpty())
            return f.at(2);
    }
    return {};
}

inline QString sh(const QString &script)
{
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The names unzip lists for an archive, one per entry.
inline QStringList archiveNames(const QString &archive)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
    p.waitForFinished(60000);
    QStringList names = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    names.sort();
    return names;
}

// How zip stores an absolute path: without its leading "/".
inline QString stored(const QString &path) { return path.mid(1); }

inline bool writeScript(const QString &path, const QByteArray &body)
{
    return TestSupport::writeFile(path, "#!/bin/sh\n" + body) &&
           QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace MakeDmgRig
