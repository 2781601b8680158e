// Folder walk of the selection-size summer on a generated tree.
//   sizesum_bench generate DIR [FOLDERS [FILES]]  a tree of FOLDERS folders (default 20000)
//                                                 holding FILES files (default 200000)
//   sizesum_bench sum DIR                          sums DIR as one checked folder; prints bytes and seconds
#include "FileNode.h"
#include "GetFilesSize.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int generate(const std::string &dir, int folders, int files)
{
    // 20 top folders, the other folders spread below them, the files spread
    // evenly over all folders; logical sizes up to 64 KiB (sparse, so the
    // tree costs no disk).
    const int tops = std::min(20, folders);
    std::vector<std::string> all;
    if (mkdir(dir.c_str(), 0755) != 0)
        return 1;
    for (int t = 0; t < tops; ++t) {
        all.push_back(dir + "/t" + std::to_string(t));
        mkdir(all.back().c_str(), 0755);
    }
    for (int i = tops; i < folders; ++i) {
        all.push_back(all[size_t(i % tops)] + "/s" + std::to_string(i));
        if (mkdir(all.back().c_str(), 0755) != 0)
            return 1;
    }
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> size(0, 65535);
    for (int i = 0; i < files; ++i) {
        const std::string path = all[size_t(i) % all.size()] + "/f" + std::to_string(i) + (i % 7 ? "" : ".hidden");
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return 1;
        if (ftruncate(fd, size(rng)) != 0) {
            close(fd);
            return 1;
        }
        close(fd);
    }
    return 0;
}

class Wait : public GetFilesSizeDelegate {
public:
    void allCopyFilesSize(qint64 size) override
    {
        std::lock_guard<std::mutex> lock(m);
        result = size;
        done = true;
        cv.notify_all();
    }
    qint64 wait()
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [this] { return done; });
        return result;
    }
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    qint64 result = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && std::string(argv[1]) == "generate")
        return generate(argv[2], argc > 3 ? std::atoi(argv[3]) : 20000, argc > 4 ? std::atoi(argv[4]) : 200000);
    if (argc == 3 && std::string(argv[1]) == "sum") {
        const QString dir = QString::fromLocal8Bit(argv[2]);
        FileNodeArray arr{FileNode::initWithPath(dir, QStringLiteral("tree"), true, nullptr)};
        Wait wait;
        QElapsedTimer timer;
        timer.start();
        GetFilesSize::create(&wait)->getAllFilesSizeWithArr(arr);
        const qint64 total = wait.wait();
        std::printf("%lld %.3f\n", static_cast<long long>(total), double(timer.nsecsElapsed()) / 1e9);
        return 0;
    }
    std::fprintf(stderr, "usage: sizesum_bench generate DIR [FOLDERS [FILES]] | sum DIR\n");
    return 2;
}
