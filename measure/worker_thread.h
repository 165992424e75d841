// A thread that can be waited for with a bound and, as a last resort, ended by force.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace cyclara {

class WorkerThread {
  public:
    WorkerThread();
    ~WorkerThread();  // joins a thread still running
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts `body` on a new thread; false if the platform could not create one.
    bool Start(std::function<void()> body);

    // True between a successful Start and the Join or Terminate that ends it.
    bool Exists() const;

    // Waits up to `timeout` for the thread to end, and releases it if it did. On Windows the
    // wait still services messages sent to this thread's windows.
    bool Join(std::chrono::milliseconds timeout);

    // Ends a thread that did not end by itself. The last resort: the thread's resources and
    // any lock it holds are lost.
    void Terminate();

  private:
    struct Native;
    // Shared with the thread itself where the platform can let a thread go unjoined: the
    // record then lives until that thread has ended.
    std::shared_ptr<Native> m_native;
};

}  // namespace cyclara
