// Readiness for the service manager of an installed unit.
#pragma once

namespace orvix::platform {

// Tells the service manager that started this program (through $NOTIFY_SOCKET) that it is
// ready, so that the programs ordered after it start now. Without a manager it does
// nothing; false when the message could not be sent.
bool notifyServiceReady();

}  // namespace orvix::platform
