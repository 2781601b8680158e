// The idle cost of two views that stay up while the user does nothing: the
// file browser over a volume, and the Disk Copy page's end view after a
// finished copy. Each is brought up on a demo world through the page's own
// controls, then the program is left alone; prints the CPU seconds (all
// threads) that it used meanwhile.
//   idle_bench browser|endview FOLDER SECONDS
#include "DiskCopyPageRig.h"
#include "DiskListWC.h"

#include "Dispatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto s = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(usage.ru_utime) + s(usage.ru_stime);
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double idleFor(int seconds)
{
    const double before = cpuSeconds();
    runFor(seconds * 1000);
    return cpuSeconds() - before;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: idle_bench browser|endview FOLDER SECONDS\n");
        return 2;
    }
    const QString view = QString::fromLocal8Bit(argv[1]);
    const int seconds = QString::fromLocal8Bit(argv[3]).toInt();
    TestSupport::DiskWorldFixture world;
    if (!world.ok()) {
        std::fprintf(stderr, "idle_bench: %s\n", qPrintable(world.error()));
        return 1;
    }
    double used = -1;
    if (view == QLatin1String("browser")) {
        DiskListWC wc;
        wc.centerWindow();
        wc.showDetailWithPath(world.mountPoint(QStringLiteral("Travel Drive")));
        wc.aWindow()->show();
        runFor(3000); // the listing
        used = idleFor(seconds);
    } else if (view == QLatin1String("endview")) {
        using namespace DiskCopyPageRig;
        PageWindow rig;
        DiskCopyViewController *page = rig.page;
        choose(page, 1, volumeRecord(world, QStringLiteral("Travel Drive")));
        choose(page, 2, volumeRecord(world, QStringLiteral("BACKUP")));
        QTest::mouseClick(page->cloneButton(), Qt::LeftButton);
        if (!TestSupport::waitUntil([&] { return page->makeSureWC() != nullptr; })) {
            std::fprintf(stderr, "idle_bench: no confirmation\n");
            return 1;
        }
        QTest::mouseClick(page->makeSureWC()->doneButton(), Qt::LeftButton);
        if (!TestSupport::waitUntil([&] { return !page->endView()->isHidden(); }, 60000)) {
            std::fprintf(stderr, "idle_bench: the copy did not end\n");
            return 1;
        }
        settle();
        runFor(2000);
        used = idleFor(seconds);
    } else {
        std::fprintf(stderr, "idle_bench: no view %s\n", argv[1]);
        return 2;
    }
    Platform::Dispatch::waitForGlobalQueue();
    std::printf("%.3f\n", used);
    return 0;
}
