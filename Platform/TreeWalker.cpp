#include "TreeWalker.h"
#include "FileManagerOpen.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace Platform {
namespace {

// A given folder, held open: everything below it is opened from it.
struct Top {
    int fd = -1;
    dev_t device = 0;
    ~Top()
    {
        if (fd >= 0)
            close(fd);
    }
};

struct Folder {
    std::shared_ptr<Top> top;
    std::string rel; // below the top ("" for the top itself)
};

class Walk {
public:
    explicit Walk(int maxThreads) : m_maxThreads(maxThreads) {}

    void add(const QString &path) { add(QFile::encodeName(path)); }
    void add(const QByteArray &path)
    {
        const std::string p = path.toStdString();
        struct stat st;
        if (p.empty() || lstat(p.c_str(), &st) != 0)
            return;
        if (!S_ISDIR(st.st_mode)) {
            m_total += quint64(std::max<off_t>(st.st_size, 0));
            return;
        }
        auto top = std::make_shared<Top>();
        top->fd = open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat opened;
        if (top->fd < 0 || fstat(top->fd, &opened) != 0 || opened.st_ino != st.st_ino || opened.st_dev != st.st_dev)
            return;
        top->device = st.st_dev;
        m_queue.push_back({std::move(top), {}});
        ++m_pending;
    }

    quint64 run()
    {
        // The calling thread works too; helpers join in (up to the limit)
        // whenever more than one folder waits.
        work();
        // Every helper was started under the lock before the last folder was
        // done, so the list is complete here.
        for (std::thread &t : m_helpers)
            t.join();
        return m_total;
    }

private:
    void work()
    {
        for (;;) {
            Folder folder;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return !m_queue.empty() || m_pending == 0; });
                if (m_queue.empty())
                    return;
                folder = std::move(m_queue.back());
                m_queue.pop_back();
            }
            read(folder);
        }
    }

    void read(const Folder &folder)
    {
        quint64 bytes = 0;
        std::vector<Folder> found;
        // Never through a link, never onto another file system.
        const int fd = folder.rel.empty()
                           ? dup(folder.top->fd)
                           : openBeneath(folder.top->fd, QByteArray::fromStdString(folder.rel), O_RDONLY | O_DIRECTORY);
        struct stat self;
        if (fd >= 0 && fstat(fd, &self) == 0 && self.st_dev == folder.top->device) {
            if (DIR *dir = fdopendir(fd)) {
                const int dfd = dirfd(dir);
                while (const dirent *e = readdir(dir)) {
                    const char *name = e->d_name;
                    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                        continue;
                    const std::string rel = folder.rel.empty() ? std::string(name) : folder.rel + '/' + name;
                    if (e->d_type == DT_DIR) {
                        found.push_back({folder.top, rel});
                        continue;
                    }
                    struct stat st;
                    if (fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                        continue; // vanished
                    if (S_ISDIR(st.st_mode))
                        found.push_back({folder.top, rel});
                    else
                        bytes += quint64(std::max<off_t>(st.st_size, 0));
                }
                closedir(dir); // closes fd
            } else {
                close(fd);
            }
        } else if (fd >= 0) {
            close(fd);
        }
        m_total += bytes;

        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending += qint64(found.size()) - 1;
        for (Folder &f : found)
            m_queue.push_back(std::move(f));
        if (m_queue.size() > 1 && int(m_helpers.size()) + 1 < m_maxThreads)
            m_helpers.emplace_back([this] { work(); });
        if (!found.empty() || m_pending == 0)
            m_wake.notify_all();
    }

    const int m_maxThreads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<std::thread> m_helpers;
    std::vector<Folder> m_queue; // taken from the back: depth first keeps it short
    qint64 m_pending = 0;        // folders queued or being read
    std::atomic<quint64> m_total{0};
};

} // namespace

quint64 TreeWalker::totalSize(const QStringList &paths, int threads)
{
    if (threads <= 0)
        threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    Walk walk(threads);
    for (const QString &p : paths)
        walk.add(p);
    return walk.run();
}

quint64 TreeWalker::totalSize(const QList<QByteArray> &paths, int threads)
{
    if (threads <= 0)
        threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    Walk walk(threads);
    for (const QByteArray &p : paths)
        walk.add(p);
    return walk.run();
}

} // namespace Platform
