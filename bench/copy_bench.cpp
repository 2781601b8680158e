// The copy engine copying a whole world volume onto another one on the same disk.
//   copy_bench world ROOT          a disk world at ROOT with two USB disks; prints the mount points of
//                                  their volumes CopySource and CopyTarget on one line
//   copy_bench generate DIR        20,000 files of 1–64 KiB in 2,000 folders plus 4 files of 256 MiB
//   copy_bench copy ROOT SRC DST   copies every top-level item of the mounted volume SRC into a new dated
//                                  folder on DST, as the Disk Copy page has the engine do it; prints the
//                                  destination folder, then seconds, items and the longest time (ms) the
//                                  main thread went without running its events while the job ran
//   copy_bench idle SECONDS        the same main-thread measure with no job running, for comparison
#include "DoCopyFiles.h"
#include "EumeRoot.h"
#include "FileNode.h"

#include "FileManager.h"
#include "SpaceProvider.h"
#include "SystemRoot.h"
#include "WorldBuilder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

int makeWorld(const QString &root)
{
    using namespace Platform::DiskWorld;
    QString error;
    if (!createWorld(root, WorldOptions{}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const World w(root);
    for (const char *name : {"CopySource", "CopyTarget"}) {
        DiskSpec disk;
        disk.size = qint64(16) << 30;
        VolumeSpec volume;
        volume.name = QString::fromLatin1(name);
        disk.partitions.push_back(volume);
        if (!attachDisk(w, disk, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    std::printf("%s %s\n", qPrintable(w.volumesDir() + QStringLiteral("/CopySource")),
                qPrintable(w.volumesDir() + QStringLiteral("/CopyTarget")));
    return 0;
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Real data (no holes), different in every file.
int generate(const std::string &dir)
{
    constexpr int kFolders = 2000, kFiles = 20000, kTop = 10;
    std::mt19937_64 rng(42);
    std::vector<std::uint64_t> block((size_t(1) << 20) / 8);
    for (auto &w : block)
        w = rng();
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
        return 1;
    std::vector<std::string> folders;
    for (int t = 0; t < kTop; ++t) {
        folders.push_back(dir + "/top" + std::to_string(t));
        if (mkdir(folders.back().c_str(), 0755) != 0)
            return 1;
    }
    // Three levels: the top folders, 190 folders below them, and the rest below those.
    for (int i = kTop; i < kFolders; ++i) {
        const std::string &parent = i < 200 ? folders[size_t(i % kTop)] : folders[size_t(kTop + i % 190)];
        folders.push_back(parent + "/folder" + std::to_string(i));
        if (mkdir(folders.back().c_str(), 0755) != 0)
            return 1;
    }
    std::uniform_int_distribution<int> size(1024, 64 << 10);
    for (int i = 0; i < kFiles; ++i) {
        const std::string path = folders[size_t(i % kFolders)] + "/file" + std::to_string(i) + ".dat";
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        block[size_t(i) % block.size()] ^= rng();
        const size_t n = size_t(size(rng));
        const size_t at = (size_t(i) * 4096) % (block.size() * 8 - n);
        if (fd < 0 || !writeAll(fd, reinterpret_cast<const char *>(block.data()) + at, n)) {
            if (fd >= 0)
                close(fd);
            return 1;
        }
        close(fd);
    }
    for (int b = 0; b < 4; ++b) {
        const std::string path = dir + "/movie" + std::to_string(b) + ".mov";
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return 1;
        for (int mib = 0; mib < 256; ++mib) {
            block[size_t(mib)] = rng();
            if (!writeAll(fd, reinterpret_cast<const char *>(block.data()), block.size() * 8)) {
                close(fd);
                return 1;
            }
        }
        close(fd);
    }
    return 0;
}

class Job : public DoCopyFilesDelegate {
public:
    void topCopyProgress(float progress) override
    {
        if (progress >= 100)
            finish(true);
    }
    void copyFileError() override { finish(false); }
    void finish(bool ok)
    {
        succeeded = ok;
        QCoreApplication::quit();
    }
    bool succeeded = false;
};

// Ticks every 10 ms on the main thread and keeps the longest time between two ticks.
class MainThreadWatch {
public:
    MainThreadWatch()
    {
        m_ticker.setInterval(10);
        m_ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_ticker, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_sinceTick.restart()); });
    }
    void start()
    {
        m_sinceTick.start();
        m_ticker.start();
    }
    qint64 longestMs() const { return std::max(m_longest, m_sinceTick.elapsed()); }

private:
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};

int idle(int argc, char **argv, double seconds)
{
    QCoreApplication app(argc, argv);
    MainThreadWatch watch;
    watch.start();
    QTimer::singleShot(int(seconds * 1000), &app, &QCoreApplication::quit);
    app.exec();
    std::printf("%lld\n", static_cast<long long>(watch.longestMs()));
    return 0;
}

int copy(int argc, char **argv, const QString &root, const QString &source, const QString &target)
{
    QCoreApplication app(argc, argv);
    Platform::setSystemRoot(root);
    Platform::DiskWorld::installSpaceProvider();
    auto &fm = Platform::FileManager::defaultManager();

    // The whole volume, as the page has it listed: every top-level entry checked.
    FileNodeArray arr;
    const QByteArray native = QFile::encodeName(source);
    for (const QByteArray &name : fm.contentsOfDirectoryBytes(native)) {
        if (EumeRoot::isSkipName(QFile::decodeName(name)))
            continue;
        const QByteArray path = native + '/' + name;
        bool isDir = false;
        fm.nativeFileExists(path, &isDir);
        FileNodePtr node = FileNode::initWithNativePath(path, isDir, nullptr);
        node->recordListing();
        arr.append(node);
    }
    // A dated folder of its own, as the page makes it (a run within the same second waits for the next).
    QString dest;
    do {
        if (!dest.isEmpty())
            QThread::msleep(100);
        dest = QStringLiteral("%1/KestrovaDiskClone(%2)")
                   .arg(target, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    } while (fm.nativeAttributes(QFile::encodeName(dest)).type != Platform::FileAttributes::Type::Missing);
    if (!fm.createDirectory(dest, false)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(dest));
        return 1;
    }

    Job job;
    auto engine = DoCopyFiles::create(&job);
    QElapsedTimer clock;
    MainThreadWatch watch;
    QTimer::singleShot(0, [&] {
        clock.start();
        watch.start();
        engine->doCopyFilesWithArr(arr, dest, target);
    });
    app.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("%s\n%.3f %lld %lld\n", qPrintable(dest), seconds, static_cast<long long>(arr.size()),
                static_cast<long long>(watch.longestMs()));
    return job.succeeded ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc >= 2 ? argv[1] : "";
    if (mode == "world" && argc == 3)
        return makeWorld(QString::fromLocal8Bit(argv[2]));
    if (mode == "idle" && argc == 3)
        return idle(argc, argv, std::atof(argv[2]));
    if (mode == "generate" && argc == 3)
        return generate(argv[2]);
    if (mode == "copy" && argc == 5)
        return copy(argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                    QString::fromLocal8Bit(argv[4]));
    std::fprintf(stderr, "usage: copy_bench world ROOT | generate DIR | copy ROOT SOURCE TARGET\n");
    return 2;
}
