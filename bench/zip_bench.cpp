// The archive job of the image and archive engine over a whole tree.
//   zip_bench zip TREE ARCHIVE   archives every top-level entry of TREE into ARCHIVE, as the Disk Image
//                                page has the engine do it for a whole volume; prints seconds, the
//                                entries it expected and the longest time (ms) the main thread went
//                                without running its events while the job ran
#include "FileNode.h"
#include "MakeDmg.h"

#include "FileManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
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
    void makeDmgFailWithError(qint32) override { finish(false); }
    void finish(bool ok)
    {
        succeeded = ok;
        QCoreApplication::quit();
    }
    bool succeeded = false;
};

int zip(int argc, char **argv, const QString &tree, const QString &archive)
{
    QCoreApplication app(argc, argv);
    auto &fm = Platform::FileManager::defaultManager();
    // The whole volume, as the page has it listed: every top-level entry checked.
    FileNodeArray arr;
    for (const QString &name : fm.contentsOfDirectory(tree)) {
        const QString path = tree + QLatin1Char('/') + name;
        arr.append(FileNode::initWithPath(path, name, QFileInfo(path).isDir(), nullptr));
    }

    Job job;
    MakeDmg engine(&job);
    QElapsedTimer clock, sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    QTimer::singleShot(0, [&] {
        clock.start();
        sinceTick.start();
        ticker.start();
        engine.doZipWithPath(archive, arr);
    });
    app.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    longestGap = std::max(longestGap, sinceTick.elapsed());
    std::printf("%.3f %llu %lld\n", seconds, static_cast<unsigned long long>(engine.allSelectFileCout()),
                static_cast<long long>(longestGap));
    return job.succeeded ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc >= 2 ? argv[1] : "";
    if (mode == "zip" && argc == 4)
        return zip(argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    std::fprintf(stderr, "usage: zip_bench zip TREE ARCHIVE\n");
    return 2;
}
