// The disk image job of the image and archive engine over a whole world volume.
//   dmg_bench size SRC          prints the bytes SRC holds, as the page sizes a whole volume
//   dmg_bench dmg SRC DST SIZE  makes an image of SIZE bytes of every top-level entry of the mounted
//                               volume SRC in the folder DST, with the world and the stand-in tools
//                               that TARNWICK_ROOT and TARNWICK_TOOLS name; prints the image's path,
//                               then seconds and the longest time (ms) the main thread went without
//                               running its events while the job ran
#include "FileNode.h"
#include "MakeDmg.h"

#include "FileManager.h"
#include "SpaceProvider.h"
#include "TreeWalker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <string>

namespace {

class Job : public MakeDmgDelegate {
public:
    void copyFileToDmgWithFileName(const QString &, float Withprogress) override
    {
        if (Withprogress >= 100)
            finish(true);
    }
    // The page's answer to the mounted image: the checked paths.
    void beginToCopyDmg() override { engine->doCopyFilesToDmgWithDmg(paths); }
    void makeDmgFailWithError(qint32) override { finish(false); }
    void finish(bool ok)
    {
        succeeded = ok;
        QCoreApplication::quit();
    }
    MakeDmg *engine = nullptr;
    QStringList paths;
    bool succeeded = false;
};

int dmg(int argc, char **argv, const QString &source, const QString &target, qint64 size)
{
    QCoreApplication app(argc, argv);
    Platform::DiskWorld::installSpaceProvider();
    Job job;
    for (const QString &name : Platform::FileManager::defaultManager().contentsOfDirectory(source))
        job.paths << source + QLatin1Char('/') + name;
    const QString name = QStringLiteral("KestrovaDiskClone(bench)");

    MakeDmg engine(&job);
    job.engine = &engine;
    QElapsedTimer clock, sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    QTimer::singleShot(0, [&] {
        clock.start();
        sinceTick.start();
        ticker.start();
        engine.makeTmpDmgWithPath(target, name, size);
    });
    app.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    longestGap = std::max(longestGap, sinceTick.elapsed());
    std::printf("%s/%s.dmg\n%.3f %lld\n", qPrintable(target), qPrintable(name), seconds,
                static_cast<long long>(longestGap));
    return job.succeeded ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc >= 2 ? argv[1] : "";
    // A whole volume that was never browsed is sized by what it holds (the
    // page has that number from the volume's record before the job starts).
    if (mode == "size" && argc == 3) {
        std::printf("%lld\n", static_cast<long long>(Platform::TreeWalker::totalSize(QString::fromLocal8Bit(argv[2]))));
        return 0;
    }
    if (mode == "dmg" && argc == 5)
        return dmg(argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                   QByteArray(argv[4]).toLongLong());
    std::fprintf(stderr, "usage: dmg_bench size SOURCE | dmg_bench dmg SOURCE TARGET SIZE\n");
    return 2;
}
