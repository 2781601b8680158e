// The archive writer against this machine's zip, unzip and bsdtar: what it
// writes reads back with the names, modes, owners, times and links zip gives
// the same tree, and its data checks out.
#include "ZipArchive.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ToolRun {
    int code = -1;
    QByteArray out;
};

ToolRun run(const QString &program, const QStringList &args, const QString &folder = {})
{
    QProcess p;
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.start(program, args);
    ToolRun r;
    if (p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit)
        r.code = p.exitCode();
    r.out = p.readAllStandardOutput();
    return r;
}

QList<QByteArray> sortedLines(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    lines.removeAll(QByteArray());
    std::sort(lines.begin(), lines.end());
    return lines;
}

// zipinfo's lines without the columns that tell text from binary (zip
// guesses it from the data) and the method (zip stores what deflate does not
// shrink only when it is small; stored or deflated, it reads back the same).
QList<QByteArray> zipinfoLines(const QString &archive)
{
    QList<QByteArray> lines;
    for (const QByteArray &line : sortedLines(
             run(QStringLiteral("unzip"), {QStringLiteral("-Z"), QStringLiteral("-T"), QStringLiteral("-s"), archive})
                 .out)) {
        QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 8 && fields.first().size() == 10) // an entry's line, not the totals
            lines << fields.mid(0, 4).join(' ') + ' ' + fields.mid(6).join(' ');
    }
    return lines;
}

// An entry as the central directory and the entry's local header record it.
struct Recorded {
    quint16 flags = 0;
    quint64 size = 0, compressed = 0, offset = 0;
    quint64 localSize = 0, localCompressed = 0;
};

// Every entry of an archive held in memory, by name, read from its end
// records down, ZIP64 fields included.
QMap<QByteArray, Recorded> recordedEntries(const QByteArray &zip)
{
    auto u16 = [&](qint64 at) { return quint16(uchar(zip[at]) | uchar(zip[at + 1]) << 8); };
    auto u32 = [&](qint64 at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
    auto u64 = [&](qint64 at) { return quint64(u32(at)) | quint64(u32(at + 4)) << 32; };
    // The ZIP64 field of an extra block: the sizes and offset set to all ones, in order.
    auto zip64 = [&](qint64 extra, qint64 length, std::initializer_list<quint64 *> fields) {
        for (qint64 at = extra; at + 4 <= extra + length; at += 4 + u16(at + 2)) {
            if (u16(at) != 0x0001)
                continue;
            qint64 next = at + 4;
            for (quint64 *f : fields)
                if (*f == 0xffffffffu) {
                    *f = u64(next);
                    next += 8;
                }
        }
    };
    QMap<QByteArray, Recorded> entries;
    const qint64 end = zip.lastIndexOf("PK\x05\x06");
    if (end < 20)
        return entries;
    quint64 count = u16(end + 10), start = u32(end + 16);
    if (zip.mid(end - 20, 4) == "PK\x06\x07") {
        const qint64 end64 = qint64(u64(end - 20 + 8));
        count = u64(end64 + 32);
        start = u64(end64 + 48);
    }
    qint64 at = qint64(start);
    for (quint64 i = 0; i < count && at + 46 <= zip.size() && u32(at) == 0x02014b50; ++i) {
        Recorded r;
        r.flags = u16(at + 8);
        r.compressed = u32(at + 20);
        r.size = u32(at + 24);
        r.offset = u32(at + 42);
        const quint16 nameLength = u16(at + 28), extraLength = u16(at + 30);
        zip64(at + 46 + nameLength, extraLength, {&r.size, &r.compressed, &r.offset});
        const qint64 local = qint64(r.offset);
        if (local + 30 <= zip.size() && u32(local) == 0x04034b50) {
            r.localCompressed = u32(local + 18);
            r.localSize = u32(local + 22);
            zip64(local + 30 + u16(local + 26), u16(local + 28), {&r.localSize, &r.localCompressed});
        }
        entries.insert(zip.mid(at + 46, nameLength), r);
        at += 46 + nameLength + extraLength + u16(at + 32);
    }
    return entries;
}

class ZipArchiveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    // A name that is not UTF-8 is beyond what QTemporaryDir removes.
    void TearDown() override { ::unlink(nativeAt(kOddName).constData()); }
    static constexpr const char *kOddName = "src/sub/n\xff\xfe";
    QString at(const QString &rel) const { return dir.path() + QLatin1Char('/') + rel; }
    QByteArray nativeAt(const QByteArray &rel) const { return QFile::encodeName(dir.path()) + '/' + rel; }

    // Archives the folder `src` into `archive`, the writer starting at `offset` of its file.
    bool archiveSource(const QString &archive, off_t offset = 0, QString *error = nullptr)
    {
        const int fd = ::open(QFile::encodeName(archive).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 || ::lseek(fd, offset, SEEK_SET) != offset)
            return false;
        bool ok = false;
        {
            ZipArchive zip(fd, {}, {});
            ok = zip.add({QFile::encodeName(at(QStringLiteral("src"))), {"src"}, {Platform::FileAttributes{}}}) &&
                 zip.finish();
            if (error)
                *error = zip.errorString();
        }
        ::close(fd);
        return ok;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(ZipArchiveTest, ReadsBackAsZipsOwnArchiveOfTheSameTree)
{
    // Several chunks of data that compresses and data that does not.
    QByteArray big;
    std::mt19937 rng(7);
    for (int i = 0; i < (3 << 20) + 12345; ++i)
        big.append(i % 3 == 0 ? char(rng()) : char('a' + (i / 4096) % 26));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/big.bin")), big));
    // Data that does not compress: in one chunk and in several.
    QByteArray noise;
    for (int i = 0; i < (5 << 19) + 999; ++i)
        noise.append(char(rng()));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/noise.bin")), noise));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/sub/noise.bin")), noise.left(100000)));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/a.txt")), "hello hello hello\n"));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/empty")), QByteArray()));
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/sub/é.txt")), "utf-8"));
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("src/sub/emptydir"))));
    ASSERT_EQ(::symlink("../a.txt", nativeAt("src/sub/link").constData()), 0);
    const QByteArray odd = nativeAt(kOddName);
    const int fd = ::open(odd.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0640);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "odd", 3), 3);
    ::close(fd);
    ASSERT_EQ(::chmod(QFile::encodeName(at(QStringLiteral("src/a.txt"))).constData(), 0751), 0);
    // An odd time, before 2001 (the DOS fields round it up to an even second).
    const struct timespec times[2] = {{977000001, 0}, {977000001, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, odd.constData(), times, AT_SYMLINK_NOFOLLOW), 0);

    const QString ours = at(QStringLiteral("ours.zip"));
    const QString theirs = at(QStringLiteral("theirs.zip"));
    QString error;
    ASSERT_TRUE(archiveSource(ours, 0, &error)) << error.toStdString();
    // zip from the root, as the archive stores system paths without their leading "/".
    ASSERT_EQ(run(QStringLiteral("zip"),
                  {QStringLiteral("-q"), QStringLiteral("-r"), QStringLiteral("-y"), theirs,
                   at(QStringLiteral("src")).mid(1)},
                  QStringLiteral("/"))
                  .code,
              0);

    EXPECT_EQ(run(QStringLiteral("unzip"), {QStringLiteral("-tqq"), ours}).code, 0);
    const QList<QByteArray> listed = zipinfoLines(ours);
    EXPECT_EQ(listed.size(), 11);
    EXPECT_EQ(listed, zipinfoLines(theirs));
    const ToolRun bsdtar = run(QStringLiteral("bsdtar"), {QStringLiteral("-tvf"), ours});
    EXPECT_EQ(bsdtar.code, 0);
    EXPECT_EQ(sortedLines(bsdtar.out),
              sortedLines(run(QStringLiteral("bsdtar"), {QStringLiteral("-tvf"), theirs}).out));
    const QString prefix = at(QStringLiteral("src/")).mid(1);
    EXPECT_EQ(run(QStringLiteral("bsdtar"), {QStringLiteral("-xOf"), ours, prefix + QStringLiteral("big.bin")}).out,
              big);

    // The UTF-8 mark only where the name is UTF-8 beyond ASCII.
    const QMap<QByteArray, Recorded> entries = recordedEntries(TestSupport::readFile(ours));
    const QByteArray base = QFile::encodeName(prefix);
    ASSERT_EQ(entries.size(), 11);
    const struct {
        QByteArray name;
        bool utf8;
    } names[] = {{base + "sub/\xc3\xa9.txt", true}, {base + "sub/n\xff\xfe", false}, {base + "a.txt", false}};
    for (const auto &n : names) {
        ASSERT_TRUE(entries.contains(n.name)) << n.name.constData();
        EXPECT_EQ((entries.value(n.name).flags & 0x800) != 0, n.utf8) << n.name.constData();
    }
}

TEST_F(ZipArchiveTest, SizesAndOffsetsBeyond4GiBTakeZip64Fields)
{
    // A sparse file past 4 GiB; a small tree in an archive that starts past
    // 4 GiB of its file, so that every offset needs its ZIP64 field.
    constexpr off_t kBeyond = (off_t(4) << 30) + (off_t(3) << 20) + 17;
    const struct {
        bool hugeFile;
        off_t start;
    } cases[] = {{true, 0}, {false, kBeyond}};
    for (const auto &c : cases) {
        ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("src/small.txt")), "small"));
        const QString huge = at(QStringLiteral("src/huge.img"));
        if (c.hugeFile) {
            const int fd = ::open(QFile::encodeName(huge).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::pwrite(fd, "end", 3, kBeyond - 3), 3);
            ::close(fd);
        }
        const QString archive = at(QStringLiteral("far.zip"));
        QString error;
        ASSERT_TRUE(archiveSource(archive, c.start, &error)) << error.toStdString();
        const ToolRun listed = run(QStringLiteral("bsdtar"), {QStringLiteral("-tvf"), archive});
        EXPECT_EQ(listed.code, 0);
        EXPECT_EQ(sortedLines(listed.out).size(), c.hugeFile ? 3 : 2);
        EXPECT_EQ(run(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive}).out.count('\n'), c.hugeFile ? 3 : 2);
        const QString prefix = at(QStringLiteral("src/")).mid(1);
        EXPECT_EQ(
            run(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, prefix + QStringLiteral("small.txt")}).out,
            "small");
        if (c.hugeFile) {
            EXPECT_TRUE(listed.out.contains(" " + QByteArray::number(qint64(kBeyond)) + " ")) << listed.out.constData();
            // The entry's own header, which a reader of a stream goes by, holds its sizes too.
            const Recorded r =
                recordedEntries(TestSupport::readFile(archive)).value(QFile::encodeName(prefix) + "huge.img");
            EXPECT_EQ(r.size, quint64(kBeyond));
            EXPECT_EQ(r.localSize, r.size);
            EXPECT_EQ(r.localCompressed, r.compressed);
            EXPECT_GT(r.compressed, 0u);
            ASSERT_TRUE(QFile::remove(huge));
        } else {
            EXPECT_EQ(run(QStringLiteral("unzip"), {QStringLiteral("-tqq"), archive}).code, 0);
        }
        ASSERT_TRUE(QFile::remove(archive));
    }
}

TEST_F(ZipArchiveTest, AStopBetweenChunksOfTheLastFileEndsTheArchive)
{
    ASSERT_TRUE(TestSupport::writeFile(at(QStringLiteral("big.bin")), QByteArray(3 << 20, 'b')));
    const int fd = ::open(QFile::encodeName(at(QStringLiteral("out.zip"))).constData(),
                          O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    std::atomic<bool> stop{false};
    bool finished = true;
    QString error;
    {
        // Stopped once the file is taken: only its data is left to go in.
        ZipArchive zip(
            fd, [&] { return stop.load(); }, [&](const QByteArray &) { stop = true; });
        EXPECT_TRUE(
            zip.add({QFile::encodeName(at(QStringLiteral("big.bin"))), {"big.bin"}, {Platform::FileAttributes{}}}));
        finished = zip.finish();
        error = zip.errorString();
    }
    ::close(fd);
    EXPECT_FALSE(finished);
    EXPECT_EQ(error, QStringLiteral("stopped"));
}
