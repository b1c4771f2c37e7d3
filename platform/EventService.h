// Device events to the main window. The OS side knows whether a live main window exists; when
// none does the event is dropped, as PostMessage to a dead window would drop it.
#pragma once

#include "platform/Types.h"

#include <cstdint>

namespace qv {

// The window message a device posts when a request chain ends: wParam low word the event
// code, high word the command status; lParam the device object.
inline constexpr unsigned WM_DEVICE_EVENT = 3000;

class CEventService {
public:
    virtual ~CEventService() = default;
    virtual void PostDeviceEvent(std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

} // namespace qv
