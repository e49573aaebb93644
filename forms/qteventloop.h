#pragma once

#include <functional>

#include "platform/messages.h"
#include "vlforms_export.h"

// The desktop's event loop as the main thread's loop for messages and work from other
// threads (messages.h). A program that links vlforms gets it with its application object:
// it is installed when the application is made (or when vlforms is loaded into a program
// whose application already lives) and taken away when the application goes.
class VLFORMS_EXPORT TQtEventLoop : public TEventLoop {
  public:
    void Post(std::function<void()> work) override;
    void ServeUntil(const std::function<bool()>& done, int checkMs) override;
    bool InLoopThread() const override;

    // The loop that the application object installs.
    static TQtEventLoop& Instance();
};
