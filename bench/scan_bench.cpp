// The root scan of one large folder, with a main thread that keeps working.
//   scan_bench generate DIR [ENTRIES]  a folder of ENTRIES entries (default 50000): files, every tenth a folder
//   scan_bench scan DIR                 scans DIR as the file browser does; prints seconds, entries and the
//                                       longest time the main thread went without running its events (ms)
#include "Controller.h"
#include "FileNode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int generate(const std::string &dir, int entries)
{
    if (mkdir(dir.c_str(), 0755) != 0)
        return 1;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> size(0, 1 << 20);
    for (int i = 0; i < entries; ++i) {
        const std::string path = dir + "/entry" + std::to_string(i);
        if (i % 10 == 9) {
            if (mkdir(path.c_str(), 0755) != 0)
                return 1;
            continue;
        }
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 || ftruncate(fd, size(rng)) != 0)
            return 1;
        close(fd);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && std::string(argv[1]) == "generate")
        return generate(argv[2], argc > 3 ? std::atoi(argv[3]) : 50000);
    if (argc != 3 || std::string(argv[1]) != "scan") {
        std::fprintf(stderr, "usage: scan_bench generate DIR [ENTRIES] | scan DIR\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[2]);
    auto arr = std::make_shared<FileNodeArray>();
    Controller controller;

    // The main thread's own work meanwhile: a tick every 5 ms whose gaps show
    // how long it was kept from its events, and the browser's one-second
    // redraw, which reads the whole array.
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    quint64 seen = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    QTimer redraw;
    redraw.setInterval(1000);
    QObject::connect(&redraw, &QTimer::timeout, [&] {
        for (const FileNodePtr &n : *arr)
            seen += quint64(n->name.size());
    });
    QTimer finished;
    finished.setInterval(1);
    double seconds = 0;
    QObject::connect(&finished, &QTimer::timeout, [&] {
        if (controller.isScanning())
            return;
        seconds = double(clock.nsecsElapsed()) / 1e9;
        app.quit();
    });

    clock.start();
    tick.start();
    redraw.start();
    finished.start();
    controller.eumeAllRootFileNodeWithRootArr(arr, dir, false, false);
    app.exec();
    if (controller.getProgress() < 100.0f)
        std::fprintf(stderr, "scan_bench: the scan ended at %.1f%%\n", double(controller.getProgress()));
    std::printf("%.3f %lld %lld\n", seconds, static_cast<long long>(arr->size()), static_cast<long long>(longestGap));
    return seen == quint64(-1); // keeps the redraw's reading from being optimised away
}
