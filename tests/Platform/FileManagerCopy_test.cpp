// The file manager's whole-item copy with several workers: the copy is the
// same tree (data, holes, modes, owners, times, links, attributes), and a copy
// that fails anywhere leaves nothing under the new name.
#include "FileManager.h"
#include "SystemLog.h"
#include "TestSupport.h"
#include "TreeWalker.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using Platform::FileManager;

namespace {

QByteArray enc(const QString &p) { return QFile::encodeName(p); }

// Restores the copy settings a test changes.
class CopySettings {
public:
    explicit CopySettings(int parallelism) : m_parallelism(FileManager::copyParallelism())
    {
        FileManager::setCopyParallelism(parallelism);
    }
    ~CopySettings()
    {
        FileManager::setCopyParallelism(m_parallelism);
        FileManager::setCopyFaultHook({});
        FileManager::setShortRangeCopyHook({});
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

    // More small files in one folder than one worker takes at a time.
    for (int f = 0; f < 40; ++f)
        TestSupport::writeFile(src + QStringLiteral("/many/m%1").arg(f), randomBytes(quint32(1000 + f), 100 + f * 37));

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
    };
    for (const Case c : {Case{1}, Case{4}, Case{8}}) {
        SCOPED_TRACE(c.parallelism);
        CopySettings settings(c.parallelism);
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
        CopySettings settings(4);
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

namespace {

// Runs a program with arguments (no shell); its exit status.
int runTool(const QString &program, const QStringList &arguments, QByteArray *out = nullptr)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(30000))
        return -1;
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

TEST(FileManagerCopy, ASourceFolderSwappedForALinkMidCopyLetsNothingOfTheLinksTargetIn)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), secret = dir.filePath("secret");
    for (int i = 0; i < 6; ++i)
        TestSupport::writeFile(src + QStringLiteral("/inner/f%1").arg(i), "mine");
    TestSupport::writeFile(src + "/a.txt", "first");
    for (int i = 0; i < 6; ++i)
        TestSupport::writeFile(secret + QStringLiteral("/f%1").arg(i), "root only");
    CopySettings settings(1);
    // While the first file is copied, the folder is swapped for a link.
    std::atomic<bool> swapped{false};
    FileManager::setCopyFaultHook([&](const QString &) {
        if (!swapped.exchange(true)) {
            QDir().rename(src + "/inner", src + "/inner.old");
            QFile::link(secret, src + "/inner");
        }
        return false;
    });
    QString error;
    EXPECT_FALSE(FileManager::defaultManager().copyItem(src, dir.filePath("dst"), &error));
    EXPECT_TRUE(swapped.load());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("dst")));
    QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        if (!p.startsWith(secret) && !p.startsWith(src)) {
            EXPECT_NE(TestSupport::readFile(p), "root only") << p.toStdString();
        }
    }
}

TEST(FileManagerCopy, CapabilitiesAndAclsAreKeptAloneAndInsideAFolder)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "capabilities are set by root";
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    TestSupport::writeFile(src + "/tool", "#!/bin/sh\n");
    TestSupport::writeFile(src + "/shared.txt", "acl");
    QDir().mkpath(src + "/team");
    if (runTool("setcap", {"cap_net_raw+ep", src + "/tool"}) != 0 ||
        runTool("setfacl", {"-m", "u:1234:rw", src + "/shared.txt"}) != 0 ||
        runTool("setfacl", {"-d", "-m", "u:1234:rx", src + "/team"}) != 0)
        GTEST_SKIP() << "setcap or setfacl cannot mark files here";
    ASSERT_EQ(chown(enc(src + "/tool").constData(), 1234, 1234), 0);
    runTool("setcap", {"cap_net_raw+ep", src + "/tool"}); // a change of owner dropped it
    auto facts = [](const QString &path) {
        QByteArray cap, acl;
        runTool("getcap", {path}, &cap);
        runTool("getfacl", {"--omit-header", "--absolute-names", path}, &acl);
        return QString::fromUtf8(cap.mid(cap.indexOf(' ') + 1) + "|" + acl);
    };
    for (const char *item : {"tool", "shared.txt"}) {
        SCOPED_TRACE(item);
        const QString to = dir.filePath(QStringLiteral("alone-") + item);
        ASSERT_TRUE(FileManager::defaultManager().copyItem(src + "/" + item, to));
        EXPECT_EQ(facts(to), facts(src + "/" + item));
        EXPECT_TRUE(facts(to).contains(item == QString("tool") ? "cap_net_raw" : "user:1234:rw"));
    }
    ASSERT_TRUE(FileManager::defaultManager().copyItem(src, dir.filePath("dst")));
    for (const char *item : {"tool", "shared.txt", "team"})
        EXPECT_EQ(facts(dir.filePath("dst/") + item), facts(src + "/" + item)) << item;
    EXPECT_EQ(describe(dir.filePath("dst")), describe(src));
}

TEST(FileManagerCopy, ARangeCopyThatStopsShortIsFinishedByReadAndWrite)
{
    QTemporaryDir dir;
    const QByteArray data = randomBytes(11, (3 << 20) + 17);
    TestSupport::writeFile(dir.filePath("src/file"), data);
    for (int parallelism : {1, 4}) {
        SCOPED_TRACE(parallelism);
        CopySettings settings(parallelism);
        FileManager::setShortRangeCopyHook([](const QString &) { return true; });
        const QString to = dir.filePath(QStringLiteral("copy%1").arg(parallelism));
        QString error;
        EXPECT_TRUE(FileManager::defaultManager().copyItem(dir.filePath("src"), to, &error)) << error.toStdString();
        FileManager::setShortRangeCopyHook({});
        EXPECT_EQ(TestSupport::readFile(to + "/file"), data);
    }
}

TEST(FileManagerCopy, AFileThatShrinksWhileCopiedFailsTheCopy)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("src/file");
    TestSupport::writeFile(file, randomBytes(12, 1 << 20));
    CopySettings settings(1);
    FileManager::setCopyFaultHook([file](const QString &f) {
        if (f == file)
            truncate(enc(file).constData(), 1000);
        return false;
    });
    QString error;
    EXPECT_FALSE(FileManager::defaultManager().copyItem(dir.filePath("src"), dir.filePath("dst"), &error));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("dst")));
}

TEST(FileManagerCopy, AFailedCopyRemovesItsTemporaryWhereverItsFolderWent)
{
    QTemporaryDir dir;
    TestSupport::writeFile(dir.filePath("src/a"), "a");
    TestSupport::writeFile(dir.filePath("src/b"), "b");
    QDir().mkpath(dir.filePath("volume/dated"));
    CopySettings settings(1);
    // The target goes away mid-copy (its folder moves, as an ejected volume's
    // does), and the copy fails.
    FileManager::setCopyFaultHook([&](const QString &) {
        QDir().rename(dir.filePath("volume"), dir.filePath("store"));
        return true;
    });
    QString error;
    EXPECT_FALSE(FileManager::defaultManager().copyItem(dir.filePath("src"), dir.filePath("volume/dated/src"), &error));
    EXPECT_EQ(entriesOf(dir.filePath("store/dated")), QStringList{});
}

TEST(FileManagerCopy, NamesThatAreNotUtf8AreKeptExactly)
{
    QTemporaryDir dir;
    const QByteArray src = enc(dir.filePath("src"));
    ASSERT_EQ(mkdir(src.constData(), 0755), 0);
    ASSERT_EQ(mkdir((src + "/f\xff\xfe").constData(), 0755), 0);
    for (const QByteArray &name : {QByteArray("/f\xff\xfe/x\xc3\x28"), QByteArray("/plain")}) {
        const int fd = open((src + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    ASSERT_TRUE(FileManager::defaultManager().copyNativeItem(src, enc(dir.filePath("dst"))));
    EXPECT_EQ(FileManager::defaultManager().contentsOfDirectoryBytes(enc(dir.filePath("dst/")) + "f\xff\xfe"),
              QList<QByteArray>{"x\xc3\x28"});
    EXPECT_FALSE(FileManager::isLosslessName("x\xc3\x28"));
    EXPECT_TRUE(FileManager::isLosslessName("中文"));
}

TEST(FileManagerCopy, TheCopyAndTheSizeSumStayOnTheItemsFileSystem)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    TestSupport::writeFile(src + "/a", QByteArray(100, 'a'));
    QDir().mkpath(src + "/inner/mounted");
    if (mount("none", enc(src + "/inner/mounted").constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no file system can be mounted here";
    TestSupport::writeFile(src + "/inner/mounted/other", QByteArray(5000, 'o'));
    Platform::SystemLogCapture log;
    const quint64 summed = Platform::TreeWalker::totalSize(src);
    QString error;
    const bool copied = FileManager::defaultManager().copyItem(src, dir.filePath("dst"), &error);
    umount(enc(src + "/inner/mounted").constData());
    EXPECT_EQ(summed, 100u);
    ASSERT_TRUE(copied) << error.toStdString();
    EXPECT_EQ(TestSupport::readFile(dir.filePath("dst/a")), QByteArray(100, 'a'));
    EXPECT_TRUE(QFileInfo(dir.filePath("dst/inner")).isDir());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("dst/inner/mounted/other")));
    EXPECT_TRUE(log.contains("another file system"));
}

// A volume with a capacity is measured by reading its folders while the
// workers go on writing; no item of the job takes its final name or is
// removed while that reading is under way, so what a measurement reads keeps
// its shape. The measurement here reads the destination twice, a moment
// apart, and notes any entry that went meanwhile.
TEST(FileManagerCopy, NoItemIsRenamedOrRemovedWhileTheVolumeIsMeasured)
{
    QTemporaryDir dir;
    constexpr int kItems = 24;
    for (int i = 0; i < kItems; ++i)
        for (int f = 0; f < 6; ++f)
            TestSupport::writeFile(dir.filePath(QStringLiteral("src/item%1/sub/f%2").arg(i).arg(f)),
                                   randomBytes(quint32(i * 6 + f), 3000 + f * 500));
    QDir().mkpath(dir.filePath("dst"));
    CopySettings settings(4);
    // Every fourth item fails and is removed.
    FileManager::setCopyFaultHook([](const QString &file) {
        static const QRegularExpression item(QStringLiteral("/item(\\d+)/"));
        const QRegularExpressionMatch m = item.match(file);
        return m.hasMatch() && m.captured(1).toInt() % 4 == 0;
    });
    std::atomic<int> measured{0};
    std::atomic<int> changedUnderIt{0};
    const QString dst = dir.filePath("dst");
    FileManager::setSpaceProvider([&](const QString &) {
        const QStringList before = entriesOf(dst);
        usleep(2000);
        const QStringList after = entriesOf(dst);
        for (const QString &name : before)
            if (!after.contains(name))
                ++changedUnderIt;
        ++measured;
        return std::optional<qint64>(qint64(32) << 20); // near enough for every chunk to be measured
    });
    {
        Platform::CopyJob job;
        const Platform::OpenFolder from = Platform::OpenFolder::open(enc(dir.filePath("src")));
        const Platform::OpenFolder to = Platform::OpenFolder::open(enc(dst));
        std::vector<Platform::CopyJob::Ticket> tickets;
        for (int i = 0; i < kItems; ++i) {
            const QByteArray name = "item" + QByteArray::number(i);
            tickets.push_back(job.add(from, name, to, name));
        }
        for (int i = 0; i < kItems; ++i)
            EXPECT_EQ(job.wait(tickets[size_t(i)]), i % 4 != 0) << i;
    }
    FileManager::setSpaceProvider({});
    EXPECT_GT(measured.load(), 1);
    EXPECT_EQ(changedUnderIt.load(), 0);
    QStringList expected;
    for (int i = 0; i < kItems; ++i)
        if (i % 4 != 0)
            expected.append(QStringLiteral("item%1").arg(i));
    QStringList got = entriesOf(dst);
    got.sort();
    expected.sort();
    EXPECT_EQ(got, expected);
}

// A stop is asked before every file, also between the files of one folder
// that one worker takes together: the copy ends at the next file and leaves
// nothing.
TEST(FileManagerCopy, AStopTakesEffectAtTheNextFileOfAFolder)
{
    QTemporaryDir dir;
    for (int f = 0; f < 40; ++f)
        TestSupport::writeFile(dir.filePath(QStringLiteral("src/one/f%1").arg(f)), randomBytes(quint32(f), 2000));
    QDir().mkpath(dir.filePath("dst"));
    CopySettings settings(1);
    std::atomic<int> started{0};
    FileManager::setCopyFaultHook([&](const QString &) {
        ++started;
        return false;
    });
    {
        // Stopped once three files have begun.
        Platform::CopyJob job([&](Platform::CopyJob::Ticket) { return started.load() >= 3; });
        const Platform::OpenFolder from = Platform::OpenFolder::open(enc(dir.filePath("src")));
        const Platform::OpenFolder to = Platform::OpenFolder::open(enc(dir.filePath("dst")));
        QString error;
        EXPECT_FALSE(job.wait(job.add(from, "one", to, "one"), &error));
        EXPECT_EQ(error, QStringLiteral("stopped"));
    }
    EXPECT_EQ(started.load(), 3);
    EXPECT_EQ(entriesOf(dir.filePath("dst")), QStringList{});
}
