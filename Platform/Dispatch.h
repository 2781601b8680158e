#pragma once
#include <functional>

namespace Platform::Dispatch {

enum class Queue { Main, Global };

bool isMainThread();
// Queue a block on the main thread's event loop (the main queue).
void mainAsync(std::function<void()> block);
// Run a block on the main thread and wait for it; runs it at once when called
// on the main thread, so it never deadlocks there.
void mainSync(const std::function<void()> &block);
// Run a block on the default global queue (a shared thread pool).
void globalAsync(std::function<void()> block);
// Run a block after a delay of `seconds` (through Platform::Clock) on a queue.
void after(double seconds, Queue queue, std::function<void()> block);
// Tests: wait until the global queue has no work left (processes main-thread
// events while waiting, so blocks that hop back to the main queue finish too).
bool waitForGlobalQueue(int timeoutMs = 30000);

} // namespace Platform::Dispatch
