#pragma once
// Holds a disk world's lock from a thread of its own, as a tool writing a
// long change (an image's eject) holds it, until released; the world is left
// as it was. For tests that the main thread never waits for the world: a
// main thread that did would only go on once the holder gives up (after
// `giveUpMs`), and held() would then be false.
#include "World.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace TestSupport {

class WorldLockHolder {
public:
    explicit WorldLockHolder(const Platform::DiskWorld::World &world, int giveUpMs = 10000)
    {
        m_thread = std::thread([this, world, giveUpMs] {
            world.change([this, giveUpMs](Platform::DiskWorld::Change &) {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_held = true;
                m_changed.notify_all();
                m_changed.wait_for(lock, std::chrono::milliseconds(giveUpMs), [this] { return m_release; });
                m_held = false;
                return false; // nothing changes
            });
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ended = true;
            m_changed.notify_all();
        });
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_held || m_ended; });
    }
    ~WorldLockHolder() { release(); }
    WorldLockHolder(const WorldLockHolder &) = delete;
    WorldLockHolder &operator=(const WorldLockHolder &) = delete;

    // The lock is held now.
    bool held() const { return m_held; }
    // Lets the lock go and waits until it is free.
    void release()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_release = true;
            m_changed.notify_all();
        }
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<bool> m_held{false};
    bool m_release = false;
    bool m_ended = false;
};

// The event loop runs a timer of `ms` within `withinMs`: a main thread held
// up by a wait would run it only after the wait.
inline bool eventLoopTurns(int ms = 50, int withinMs = 5000)
{
    bool fired = false;
    QTimer::singleShot(ms, [&fired] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    while (!fired && clock.elapsed() < withinMs)
        QTest::qWait(10);
    return fired;
}

} // namespace TestSupport
