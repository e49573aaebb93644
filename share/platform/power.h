#pragma once

#include <functional>
#include <memory>

class TPowerEventsReceiver;

// The machine's sleep and shutdown as the login manager (logind) announces them on the
// system bus. While the object lives it holds a delay lock, so the machine waits (up to
// the login manager's limit, 5 s unless configured) until OnSuspend or OnShutdown has
// returned. Made in the main thread; the calls come there. Without a system bus or a login
// manager nothing is ever called.
class TPowerEvents {
  public:
    TPowerEvents();
    ~TPowerEvents();
    TPowerEvents(const TPowerEvents&) = delete;
    TPowerEvents& operator=(const TPowerEvents&) = delete;

    // Whether the login manager was reached.
    bool Connected() const;

    std::function<void()> OnSuspend;
    std::function<void()> OnResume;
    std::function<void()> OnShutdown;

  private:
    std::unique_ptr<TPowerEventsReceiver> Receiver;
};
