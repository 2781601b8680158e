// The stand-in asr through its command line: read chunk by chunk, as the
// clone engine reads it, answering its prompt on standard input.
#include <gtest/gtest.h>

#include "DiskWorldFixture.h"
#include "TestSupport.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <unistd.h>

// Failure messages show texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using TestSupport::DiskWorldFixture;

namespace {

struct Restore {
    QList<QByteArray> chunks;
    int status = -1;
    bool crashed = false;
    bool sawPrompt = false;
};

// Runs `asr restore` and answers its prompt with `answer` (nothing: never answers).
Restore runAsr(const DiskWorldFixture &f, const QString &source, const QString &target, const QByteArray &answer,
               const std::function<void(QProcess &)> &whilePrompting = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNWICK_ROOT"), f.root());
    env.insert(QStringLiteral("TARNWICK_CLOCK_SCALE"), QStringLiteral("100"));
    p.setProcessEnvironment(env);
    Restore r;
    QObject::connect(&p, &QProcess::readyReadStandardOutput, [&] {
        const QByteArray chunk = p.readAllStandardOutput();
        r.chunks.append(chunk);
        if (chunk.contains("[ny]")) {
            r.sawPrompt = true;
            if (whilePrompting)
                whilePrompting(p);
            if (!answer.isEmpty()) {
                p.write(answer);
                p.closeWriteChannel();
            }
        }
    });
    p.start(TestSupport::toolsPath() + QStringLiteral("/asr"),
            {QStringLiteral("restore"), QStringLiteral("--source"), source, QStringLiteral("--target"), target,
             QStringLiteral("--erase")});
    if (!p.waitForStarted(10000))
        return r;
    TestSupport::waitUntil([&] { return p.state() == QProcess::NotRunning; }, 60000);
    const QByteArray rest = p.readAllStandardOutput();
    if (!rest.isEmpty())
        r.chunks.append(rest);
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.status = p.exitCode();
    return r;
}

int indexOf(const QList<QByteArray> &chunks, const QByteArray &part, int from = 0)
{
    for (int i = from; i < chunks.size(); ++i)
        if (chunks[i].contains(part))
            return i;
    return -1;
}

// Relative path → kind and content (a link's target), the world's own folders left out.
QMap<QString, QByteArray> treeOf(const QString &root, bool skipWorld)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = path.mid(root.size() + 1);
        if (skipWorld && (rel == QLatin1String("Volumes") || rel.startsWith(QLatin1String("Volumes/")) ||
                          rel == QLatin1String(".diskworld") || rel.startsWith(QLatin1String(".diskworld/"))))
            continue;
        const QFileInfo info(path);
        if (info.isSymLink()) {
            char target[4096];
            const ssize_t n = readlink(QFile::encodeName(path).constData(), target, sizeof target);
            out[rel] = "link:" + QByteArray(target, int(std::max<ssize_t>(0, n)));
        } else if (info.isDir())
            out[rel] = "dir";
        else
            out[rel] = TestSupport::readFile(path);
    }
    return out;
}

void expectSameTree(const QMap<QString, QByteArray> &actual, const QMap<QString, QByteArray> &expected)
{
    EXPECT_EQ(actual.keys(), expected.keys());
    for (auto it = expected.constBegin(); it != expected.constEnd(); ++it)
        EXPECT_TRUE(actual.value(it.key()) == it.value()) << it.key().toStdString();
}

QString eraseForClone(DiskWorldFixture &f, const QString &fs)
{
    const Platform::DiskWorld::State s = f.state();
    const Platform::DiskWorld::Disk *owner = nullptr;
    s.node(f.bsdName(QStringLiteral("Travel Drive")), &owner);
    if (!owner)
        return {};
    const TestSupport::ToolRun r = f.run(
        QStringLiteral("diskutil"), {QStringLiteral("eraseDisk"), fs, QStringLiteral("NewCloneSystem"), owner->id});
    return r.status == 0 ? f.at(QStringLiteral("/Volumes/NewCloneSystem")) : QString();
}

} // namespace

TEST(AsrTool, RestoreCopiesTheRunningSystemWithTheTextsTheCloneEngineReads)
{
    DiskWorldFixture f;
    const QString target = eraseForClone(f, QStringLiteral("APFS"));
    ASSERT_FALSE(target.isEmpty());
    const QMap<QString, QByteArray> system = treeOf(f.root(), true);
    ASSERT_TRUE(system.contains(QStringLiteral("System/Library/CoreServices/SystemVersion.plist")));

    const Restore r = runAsr(f, QStringLiteral("/"), target, "y");
    ASSERT_FALSE(r.crashed);
    ASSERT_EQ(r.status, 0);
    const int validTarget = indexOf(r.chunks, "Validating target...");
    const int validSource = indexOf(r.chunks, "Validating source...");
    const int prompt = indexOf(r.chunks, "[ny]");
    const int restoring = indexOf(r.chunks, "Restoring");
    const int verifying = indexOf(r.chunks, "Verifying");
    ASSERT_GE(validTarget, 0);
    EXPECT_LT(validTarget, validSource);
    EXPECT_LT(validSource, prompt);
    EXPECT_LT(prompt, restoring);
    EXPECT_LT(restoring, verifying);
    // Exactly two chunks that are "100" and nothing else: one ends each phase.
    QList<int> hundreds;
    for (int i = 0; i < r.chunks.size(); ++i)
        if (r.chunks[i] == "100")
            hundreds.append(i);
    ASSERT_EQ(hundreds.size(), 2);
    EXPECT_LT(restoring, hundreds[0]);
    EXPECT_LT(hundreds[0], verifying);
    EXPECT_LT(verifying, hundreds[1]);
    // Every ten of each phase, in order, before its "100".
    for (const auto &[from, to] : {std::pair{restoring, hundreds[0]}, std::pair{verifying, hundreds[1]}}) {
        int at = from;
        for (int tens = 10; tens <= 90; tens += 10) {
            const int i = indexOf(r.chunks, QByteArray::number(tens), at);
            ASSERT_GE(i, 0) << tens;
            EXPECT_LT(i, to) << tens;
            at = i;
        }
    }
    // No chunk between the prompt and the end mixes two phases.
    for (const QByteArray &c : r.chunks)
        EXPECT_FALSE(c.contains("Restoring") && c.contains("Verifying"));

    // The copy is the system, file by file, without the other volumes and the world's own state.
    expectSameTree(treeOf(target, false), system);
    expectSameTree(treeOf(f.root(), true), system);
    // The target's container now has its Preboot volume, not mounted.
    const Platform::DiskWorld::State s = f.state();
    const QString cloneNode = f.bsdName(QStringLiteral("NewCloneSystem"));
    const QString container = cloneNode.left(cloneNode.lastIndexOf(QLatin1Char('s')));
    int prebootCount = 0;
    for (const auto &[d, n] : s.volumes())
        if (n->volume->name == QLatin1String("Preboot") && d->id == container) {
            ++prebootCount;
            EXPECT_FALSE(n->volume->mounted);
        }
    EXPECT_EQ(prebootCount, 1);
    EXPECT_TRUE(f.problems().isEmpty()) << f.problems().join(QLatin1Char('\n')).toStdString();
}

TEST(AsrTool, AnHfsTargetGetsNoPrebootVolume)
{
    DiskWorldFixture f;
    const QString target = eraseForClone(f, QStringLiteral("JHFS+"));
    ASSERT_FALSE(target.isEmpty());
    const Restore r = runAsr(f, QStringLiteral("/"), target, "y");
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(QFileInfo(target + QStringLiteral("/System/Library/CoreServices/SystemVersion.plist")).isFile());
    int preboots = 0;
    const Platform::DiskWorld::State s = f.state();
    for (const auto &[d, n] : s.volumes())
        preboots += n->volume->name == QLatin1String("Preboot");
    EXPECT_EQ(preboots, 1); // the running system's own
}

TEST(AsrTool, AnsweringNoLeavesTheTargetAsItWas)
{
    DiskWorldFixture f;
    const QString target = eraseForClone(f, QStringLiteral("JHFS+"));
    ASSERT_TRUE(TestSupport::writeFile(target + QStringLiteral("/keep.txt"), "mine"));
    const QByteArray before = f.stateBytes();
    const Restore r = runAsr(f, QStringLiteral("/"), target, "n");
    EXPECT_TRUE(r.sawPrompt);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(indexOf(r.chunks, "Restoring"), -1);
    EXPECT_EQ(TestSupport::readFile(target + QStringLiteral("/keep.txt")), QByteArray("mine"));
    EXPECT_EQ(f.stateBytes(), before);
}

TEST(AsrTool, ATargetItCannotUseIsRefusedBeforeTheQuestion)
{
    DiskWorldFixture f;
    ASSERT_FALSE(f.attachUsb(QStringLiteral("Tiny"), QStringLiteral("JHFS+"), 2'000'000).isEmpty());
    ASSERT_TRUE(
        TestSupport::writeFile(f.at(QStringLiteral("/Users/tester/Documents/big.bin")), QByteArray(2'500'000, 'b')));
    const QByteArray before = f.stateBytes();
    for (const QString &target :
         {f.at(QStringLiteral("/Volumes/Tiny")), QStringLiteral("/"), f.at(QStringLiteral("/Volumes/BOOTCAMP")),
          f.at(QStringLiteral("/Volumes/Nothing"))}) {
        const Restore r = runAsr(f, QStringLiteral("/"), target, "y");
        EXPECT_NE(r.status, 0) << target.toStdString();
        EXPECT_FALSE(r.sawPrompt) << target.toStdString();
        EXPECT_EQ(f.stateBytes(), before) << target.toStdString();
    }
    // The same volume as source and target.
    const Restore same =
        runAsr(f, f.at(QStringLiteral("/Volumes/BACKUP")), f.at(QStringLiteral("/Volumes/BACKUP")), "y");
    EXPECT_NE(same.status, 0);
    EXPECT_FALSE(same.sawPrompt);
}

TEST(AsrTool, EndsOnSigtermLikeARealTool)
{
    DiskWorldFixture f;
    const QString target = eraseForClone(f, QStringLiteral("JHFS+"));
    QElapsedTimer t;
    const Restore r = runAsr(f, QStringLiteral("/"), target, QByteArray(), [&](QProcess &p) {
        t.start();
        p.terminate();
    });
    EXPECT_TRUE(r.sawPrompt);
    EXPECT_TRUE(r.crashed);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(indexOf(r.chunks, "100"), -1);
}
