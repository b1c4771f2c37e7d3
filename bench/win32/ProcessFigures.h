// What a running program costs the system, read from another process: its window-system objects,
// its private memory and the processor time it has used. Wine answers some of the usual calls
// with zero, or with too little, for another process; each figure then comes from the nearest
// measure that it does answer, and says which.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

namespace qv::bench {

struct MEASURE {
    std::uint64_t nValue;
    const char* pszHow;
};

class CProcessProbe {
public:
    explicit CProcessProbe(DWORD dwProcessId);
    ~CProcessProbe();
    CProcessProbe(const CProcessProbe&) = delete;
    CProcessProbe& operator=(const CProcessProbe&) = delete;

    MEASURE UserObjects() const;
    // Nothing when neither measure is available.
    std::optional<MEASURE> GdiObjects() const;
    MEASURE PrivateBytes() const;
    // Kernel and user time together, in microseconds.
    MEASURE CpuTime() const;

private:
    DWORD m_dwProcessId;
    HANDLE m_hProcess;
};

} // namespace qv::bench
