#include "platform/power.h"

#include <QDBusConnection>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <optional>

namespace {

const char* const kService = "org.freedesktop.login1";
const char* const kPath = "/org/freedesktop/login1";
const char* const kManager = "org.freedesktop.login1.Manager";

}  // namespace

// Receives the login manager's signals. The bus names its slots by name only.
class TPowerEventsReceiver : public QObject {
    Q_OBJECT

  public:
    explicit TPowerEventsReceiver(TPowerEvents& owner) : Owner(owner) {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected())
            return;
        bool sleep = bus.connect(kService, kPath, kManager, "PrepareForSleep", this,
                                 SLOT(PrepareForSleep(bool)));
        bool shutdown = bus.connect(kService, kPath, kManager, "PrepareForShutdown", this,
                                    SLOT(PrepareForShutdown(bool)));
        Reached = sleep && shutdown;
        if (Reached)
            TakeDelayLock();
    }

    bool Reached = false;

  public Q_SLOTS:
    void PrepareForSleep(bool start) {
        if (start) {
            if (Owner.OnSuspend)
                Owner.OnSuspend();
            DelayLock.reset();  // the machine may sleep now
        } else {
            TakeDelayLock();
            if (Owner.OnResume)
                Owner.OnResume();
        }
    }

    void PrepareForShutdown(bool start) {
        if (!start)
            return;
        if (Owner.OnShutdown)
            Owner.OnShutdown();
        DelayLock.reset();
    }

  private:
    // The lock is a descriptor the login manager waits on until it is closed.
    void TakeDelayLock() {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, "Inhibit");
        call << QString("sleep:shutdown") << QString("Vaultaire 2000")
             << QString("Backing up outstanding files") << QString("delay");
        QDBusReply<QDBusUnixFileDescriptor> reply = QDBusConnection::systemBus().call(call);
        if (reply.isValid())
            DelayLock = reply.value();
    }

    TPowerEvents& Owner;
    std::optional<QDBusUnixFileDescriptor> DelayLock;
};

TPowerEvents::TPowerEvents() : Receiver(std::make_unique<TPowerEventsReceiver>(*this)) {}

TPowerEvents::~TPowerEvents() = default;

bool TPowerEvents::Connected() const {
    return Receiver->Reached;
}

#include "power.moc"
