// Stands in for the main window: keeps every device event posted to it.
#pragma once

#include "platform/EventService.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace qv::test {

struct PostedEvent {
    int nEvent;
    int nStatus;
    std::intptr_t lDevice;
    bool operator==(const PostedEvent&) const = default;
};

class CRecordingEvents : public CEventService {
public:
    void PostDeviceEvent(std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard lock(m_lock);
        m_aEvents.push_back(
            {static_cast<int>(wParam & 0xFFFF), static_cast<int>(wParam >> 16), lParam});
        if (onPost)
            onPost();
        m_cvPosted.notify_all();
    }
    // Whether the device has been sent the event by the end of the limit, for events posted on
    // another thread.
    bool WaitFor(int nEvent, const void* pDevice, std::chrono::milliseconds limit) {
        std::unique_lock lock(m_lock);
        return m_cvPosted.wait_for(lock, limit, [&] {
            return std::any_of(m_aEvents.begin(), m_aEvents.end(), [&](const PostedEvent& event) {
                return event.nEvent == nEvent &&
                       event.lDevice == reinterpret_cast<std::intptr_t>(pDevice);
            });
        });
    }
    std::vector<PostedEvent> Events() const {
        std::lock_guard lock(m_lock);
        return m_aEvents;
    }
    // Event codes only, for one device when given.
    std::vector<int> Codes(const void* pDevice = nullptr) const {
        std::vector<int> aCodes;
        for (const auto& event : Events())
            if (!pDevice || event.lDevice == reinterpret_cast<std::intptr_t>(pDevice))
                aCodes.push_back(event.nEvent);
        return aCodes;
    }
    void Clear() {
        std::lock_guard lock(m_lock);
        m_aEvents.clear();
    }

    // Called as each event goes out, on the thread that posts it; set before any is posted.
    std::function<void()> onPost;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_cvPosted;
    std::vector<PostedEvent> m_aEvents;
};

} // namespace qv::test
