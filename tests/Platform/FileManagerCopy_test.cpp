// The file manager's whole-item copy with several workers: the copy is the
// same tree (data, holes, modes, owners, times, links, attributes), and a copy
// that fails anywhere leaves nothing under the new name.
#include "FileManager.h"
#include "TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using Platform::FileManager;

namespace
{

QByteArray enc(const QString &p)
{
    return QFile::encodeName(p);
}

// Restores the copy settings a test changes.
class CopySettings
{
public:
    CopySettings(int parallelism, qint64 pieceSize) : m_parallelism(FileManager::copyParallelism())
    {
        FileManager::setCopyParallelism(parallelism);
        FileManager::setCopyPieceSize(pieceSize);
    }
    ~CopySettings()
    {
        FileManager::setCopyParallelism(m_parallelism);
        FileManager::setCopyPieceSize(qint64(32) << 20);
        FileManager::setCopyFaultHook({});
    }

private:
    int m_parallelism;
};

QByteArray randomBytes(quint32 seed, qsizetype size)
{
    QRandomGenerator rng(seed);
    QByteArray data(size, Qt::Uninitialized);
    for (char &c : data)
        c = char(rng.bounded(256));
    return data;
}

void setTimes(const QString &path, qint64 seconds, long nanoseconds)
{
    const struct timespec t[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    utimensat(AT_FDCWD, enc(path).constData(), t, AT_SYMLINK_NOFOLLOW);
}

QString xattrs(const QString &path)
{
    char names[4096];
    const ssize_t len = llistxattr(enc(path).constData(), names, sizeof names);
    QStringList out;
    for (ssize_t off = 0; len > 0 && off < len; off += ssize_t(strlen(names + off)) + 1) {
        char value[4096];
        const ssize_t v = lgetxattr(enc(path).constData(), names + off, value, sizeof value);
        out.append(QString::fromUtf8(names + off) + "=" + QString::fromUtf8(value, v > 0 ? v : 0));
    }
    out.sort();
    return out.join(",");
}

// Everything the copy is to keep, entry by entry (relative path → facts).
QMap<QString, QString> describe(const QString &root)
{
    QMap<QString, QString> out;
    QStringList paths{root};
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    for (const QString &p : paths) {
        struct stat st;
        if (lstat(enc(p).constData(), &st) != 0)
            continue;
        QString facts =
            QString::asprintf("type %o mode %o owner %u:%u mtime %lld.%09ld", st.st_mode & S_IFMT, st.st_mode & 07777,
                              st.st_uid, st.st_gid, (long long)st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        if (S_ISREG(st.st_mode)) {
            QFile f(p);
            f.open(QIODevice::ReadOnly);
            facts += QString::asprintf(" size %lld ", (long long)st.st_size) +
                     QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex();
        } else if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = readlink(enc(p).constData(), target, sizeof target);
            facts += " -> " + QString::fromLocal8Bit(target, n > 0 ? n : 0);
        }
        if (!S_ISLNK(st.st_mode))
            facts += " xattr " + xattrs(p);
        out.insert(QDir(root).relativeFilePath(p), facts);
    }
    return out;
}

// A tree with a bit of everything a volume holds.
void makeTree(const QString &src)
{
    for (int d = 0; d < 24; ++d) {
        const QString folder = src + QStringLiteral("/d%1/sub%2").arg(d % 6).arg(d);
        for (int f = 0; f < 8; ++f)
            TestSupport::writeFile(folder + QStringLiteral("/f%1").arg(f),
                                   randomBytes(quint32(d * 8 + f), qsizetype((d * 977 + f * 4099) % 20000)));
    }
    TestSupport::writeFile(src + "/big.bin", randomBytes(7, (1 << 20) + 123));
    TestSupport::writeFile(src + "/empty", {});
    QDir().mkpath(src + "/empty folder");
    for (const char *name : {"with space", "quote\"s", "new\nline", "中文名.txt", "$(echo x)", ".hidden"})
        TestSupport::writeFile(src + "/names/" + QString::fromUtf8(name), name);

    // 8 MiB with data only at 3 MiB and at its end.
    const int fd = open(enc(src + "/sparse.img").constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, "data", 4, 3 << 20), 4);
    ASSERT_EQ(pwrite(fd, "end", 3, (8 << 20) - 3), 3);
    close(fd);

    TestSupport::writeFile(src + "/modes/exec.sh", "#!/bin/sh\n");
    TestSupport::writeFile(src + "/modes/secret", "s");
    TestSupport::writeFile(src + "/modes/setuid", "u");
    TestSupport::writeFile(src + "/modes/owned", "o");
    chmod(enc(src + "/modes/exec.sh").constData(), 0755);
    chmod(enc(src + "/modes/secret").constData(), 0600);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(enc(src + "/modes/owned").constData(), 1234, 5678), 0);
    }
    chmod(enc(src + "/modes/setuid").constData(), 04755);

    QDir().mkpath(src + "/links");
    for (auto [name, target] : {std::pair{"relative", "../modes/secret"},
                                {"absolute", "/etc/hostname"},
                                {"dangling", "nowhere"},
                                {"folder", "../names"}}) {
        ASSERT_EQ(symlink(target, enc(src + "/links/" + name).constData()), 0);
    }
    ASSERT_EQ(mkfifo(enc(src + "/links/fifo").constData(), 0640), 0);

    setxattr(enc(src + "/modes/secret").constData(), "user.comment", "kept", 4, 0); // where the file system allows
    setxattr(enc(src + "/names").constData(), "user.colour", "blue", 4, 0);

    TestSupport::writeFile(src + "/readonly/ro.txt", "read only");
    chmod(enc(src + "/readonly/ro.txt").constData(), 0444);
    chmod(enc(src + "/readonly").constData(), 0555);

    // Times last: writing into a folder changes its own.
    QDirIterator it(src, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList all;
    while (it.hasNext())
        all.append(it.next());
    qint64 t = 1'500'000'000;
    for (const QString &p : all) {
        setTimes(p, t, long(t % 1000) * 1000 + 7);
        ++t;
    }
    setTimes(src, 1'400'000'000, 123456789);
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

TEST(FileManagerCopy, AFolderCopiedByManyWorkersIsTheSameTree)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    makeTree(src);
    const QMap<QString, QString> before = describe(src);
    ASSERT_GT(before.size(), 200);
    // The tree holds what the copy must keep.
    EXPECT_TRUE(before.value("links/fifo").startsWith("type 10000 mode 640"));
    EXPECT_TRUE(before.value("readonly").startsWith("type 40000 mode 555"));
    EXPECT_TRUE(before.value(".").contains("mtime 1400000000.123456789"));
    EXPECT_TRUE(before.value("links/relative").endsWith("-> ../modes/secret"));
    if (geteuid() == 0) {
        EXPECT_TRUE(before.value("modes/owned").contains("owner 1234:5678"));
    }

    struct Case {
        int parallelism;
        qint64 pieceSize; // big.bin is copied in pieces whenever it is more than twice this
    };
    for (const Case c : {Case{1, qint64(32) << 20}, Case{4, 64 << 10}, Case{8, 4096}}) {
        SCOPED_TRACE(c.parallelism);
        CopySettings settings(c.parallelism, c.pieceSize);
        const QString dst = dir.filePath(QStringLiteral("copy%1").arg(c.parallelism));
        QString error;
        ASSERT_TRUE(FileManager::defaultManager().copyItem(src, dst, &error)) << error.toStdString();
        EXPECT_EQ(describe(dst), before);
        struct stat st;
        ASSERT_EQ(lstat(enc(dst + "/sparse.img").constData(), &st), 0);
        EXPECT_LT(qint64(st.st_blocks) * 512, qint64(1) << 20) << "holes stay holes";
        EXPECT_EQ(describe(src), before) << "the source is never changed";
    }
    // Nothing but the copies in the folder: no temporary names left.
    EXPECT_EQ(entriesOf(dir.path()), (QStringList{"copy1", "copy4", "copy8", "src"}));
}

TEST(FileManagerCopy, AFailureAnywhereLeavesNothingUnderTheNewName)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    makeTree(src);
    const QMap<QString, QString> before = describe(src);
    for (const char *failing : {"d3/sub9/f5", "big.bin", "modes/secret"}) {
        SCOPED_TRACE(failing);
        CopySettings settings(4, 64 << 10);
        const QString bad = src + "/" + failing;
        FileManager::setCopyFaultHook([bad](const QString &file) { return file == bad; });
        QString error;
        EXPECT_FALSE(FileManager::defaultManager().copyItem(src, dir.filePath("dst"), &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(entriesOf(dir.path()), QStringList{"src"});
        EXPECT_EQ(describe(src), before);
    }
}

TEST(FileManagerCopy, TheDestinationFolderIsNeverMade)
{
    QTemporaryDir dir;
    TestSupport::writeFile(dir.filePath("a.txt"), "a");
    QDir().mkpath(dir.filePath("folder"));
    for (const char *from : {"a.txt", "folder"}) {
        QString error;
        EXPECT_FALSE(FileManager::defaultManager().copyItem(dir.filePath(from), dir.filePath("gone/x"), &error));
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("gone")));
    }
}

TEST(FileManagerCopy, AFolderCopiedIntoItselfHoldsWhatWasThereWhenTheCopyBegan)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    TestSupport::writeFile(src + "/inner/a.txt", "a");
    ASSERT_TRUE(FileManager::defaultManager().copyItem(src, src + "/inner/copy"));
    EXPECT_EQ(TestSupport::readFile(src + "/inner/copy/inner/a.txt"), "a");
    EXPECT_FALSE(QFileInfo::exists(src + "/inner/copy/inner/copy"));
}

TEST(FileManagerCopy, TheLongestNameCopies)
{
    QTemporaryDir dir;
    const QString name(255, QLatin1Char('n'));
    TestSupport::writeFile(dir.filePath("src/" + name), "long");
    QDir().mkpath(dir.filePath("dst"));
    QString error;
    EXPECT_TRUE(
        FileManager::defaultManager().copyItem(dir.filePath("src/" + name), dir.filePath("dst/" + name), &error))
        << error.toStdString();
    EXPECT_EQ(TestSupport::readFile(dir.filePath("dst/" + name)), "long");
    EXPECT_TRUE(FileManager::defaultManager().copyItem(dir.filePath("src"), dir.filePath("dst/src"), &error))
        << error.toStdString();
}
