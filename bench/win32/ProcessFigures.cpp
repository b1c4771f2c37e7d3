#include "bench/win32/ProcessFigures.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::bench {
namespace {

// Where the process environment block keeps the address of the process's GDI handle table.
constexpr std::size_t PEB_GDI_HANDLE_TABLE = sizeof(void*) == 8 ? 0xF8 : 0x94;
constexpr std::size_t GDI_HANDLE_COUNT = 0x10000;

// One entry of Wine's GDI handle table; a handle in use has a type.
struct GDI_HANDLE_ENTRY {
    std::uint64_t nObject;
    std::uint32_t nOwner;
    std::uint16_t nUnique;
    std::uint8_t nType;
    std::uint8_t nFlags;
    std::uint64_t nUserPointer;
};
static_assert(sizeof(GDI_HANDLE_ENTRY) == 24);

std::uint64_t Microseconds(const FILETIME& time) {
    return ((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10;
}

[[noreturn]] void Fail(const char* pszCall) {
    throw std::runtime_error(std::string(pszCall) + " failed, error " +
                             std::to_string(::GetLastError()));
}

// GetGuiResources answers 0 and says it is not implemented where the system does not count
// (Wine); a process with a window always has some of each.
std::optional<DWORD> GuiResources(HANDLE hProcess, DWORD dwKind) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD dwCount = ::GetGuiResources(hProcess, dwKind);
    if (dwCount == 0 && ::GetLastError() != ERROR_SUCCESS)
        return std::nullopt;
    return dwCount;
}

struct WINDOW_COUNT {
    DWORD dwProcessId;
    std::uint64_t nWindows;
};

BOOL CALLBACK CountChild(HWND, LPARAM lParam) {
    ++reinterpret_cast<WINDOW_COUNT*>(lParam)->nWindows;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hWnd, LPARAM lParam) {
    auto& count = *reinterpret_cast<WINDOW_COUNT*>(lParam);
    DWORD dwOwner = 0;
    ::GetWindowThreadProcessId(hWnd, &dwOwner);
    if (dwOwner == count.dwProcessId) {
        ++count.nWindows;
        ::EnumChildWindows(hWnd, CountChild, lParam);
    }
    return TRUE;
}

std::optional<std::uint64_t> GdiHandleTableEntries(HANDLE hProcess) {
    PROCESS_BASIC_INFORMATION basic{};
    if (::NtQueryInformationProcess(hProcess, ProcessBasicInformation, &basic, sizeof basic,
                                    nullptr) != 0)
        return std::nullopt;
    void* pTable = nullptr;
    const auto* pPeb = reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
    if (!::ReadProcessMemory(hProcess, pPeb + PEB_GDI_HANDLE_TABLE, &pTable, sizeof pTable,
                             nullptr) ||
        !pTable)
        return std::nullopt;
    std::vector<GDI_HANDLE_ENTRY> aEntries(GDI_HANDLE_COUNT);
    if (!::ReadProcessMemory(hProcess, pTable, aEntries.data(),
                             aEntries.size() * sizeof(GDI_HANDLE_ENTRY), nullptr))
        return std::nullopt;
    return std::count_if(aEntries.begin(), aEntries.end(),
                         [](const GDI_HANDLE_ENTRY& entry) { return entry.nType != 0; });
}

std::uint64_t CommittedPrivateBytes(HANDLE hProcess) {
    std::uint64_t nBytes = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const BYTE* pAddress = nullptr;
         ::VirtualQueryEx(hProcess, pAddress, &region, sizeof region) == sizeof region;
         pAddress = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize)
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            nBytes += region.RegionSize;
    return nBytes;
}

// Threads that have ended are missing from the sum.
std::uint64_t ThreadsCpuMicroseconds(DWORD dwProcessId) {
    const HANDLE hSnapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        Fail("CreateToolhelp32Snapshot");
    std::uint64_t nMicroseconds = 0;
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    for (BOOL bMore = ::Thread32First(hSnapshot, &thread); bMore;
         bMore = ::Thread32Next(hSnapshot, &thread)) {
        if (thread.th32OwnerProcessID != dwProcessId)
            continue;
        const HANDLE hThread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, thread.th32ThreadID);
        FILETIME created{}, exited{}, kernel{}, user{};
        if (hThread && ::GetThreadTimes(hThread, &created, &exited, &kernel, &user))
            nMicroseconds += Microseconds(kernel) + Microseconds(user);
        if (hThread)
            ::CloseHandle(hThread);
    }
    ::CloseHandle(hSnapshot);
    return nMicroseconds;
}

} // namespace

CProcessProbe::CProcessProbe(DWORD dwProcessId)
    : m_dwProcessId(dwProcessId),
      m_hProcess(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwProcessId)) {
    if (!m_hProcess)
        Fail("OpenProcess");
}

CProcessProbe::~CProcessProbe() {
    ::CloseHandle(m_hProcess);
}

MEASURE CProcessProbe::UserObjects() const {
    if (const auto dwCount = GuiResources(m_hProcess, GR_USEROBJECTS))
        return {*dwCount, "GetGuiResources"};
    WINDOW_COUNT count{m_dwProcessId, 0};
    ::EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    return {count.nWindows, "its windows; GetGuiResources is not implemented here"};
}

std::optional<MEASURE> CProcessProbe::GdiObjects() const {
    if (const auto dwCount = GuiResources(m_hProcess, GR_GDIOBJECTS))
        return MEASURE{*dwCount, "GetGuiResources"};
    if (const auto nEntries = GdiHandleTableEntries(m_hProcess))
        return MEASURE{*nEntries, "handles in use in its GDI handle table; GetGuiResources is not "
                                  "implemented here"};
    return std::nullopt;
}

MEASURE CProcessProbe::PrivateBytes() const {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(m_hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof counters))
        Fail("GetProcessMemoryInfo");
    if (counters.PrivateUsage != 0)
        return {counters.PrivateUsage, "PrivateUsage"};
    return {CommittedPrivateBytes(m_hProcess),
            "its committed private memory; PrivateUsage reads 0 here"};
}

MEASURE CProcessProbe::CpuTime() const {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(m_hProcess, &created, &exited, &kernel, &user))
        Fail("GetProcessTimes");
    // Wine answers for another process with a figure far below what its threads have used.
    const std::uint64_t nProcess = Microseconds(kernel) + Microseconds(user);
    const std::uint64_t nThreads = ThreadsCpuMicroseconds(m_dwProcessId);
    if (nProcess >= nThreads)
        return {nProcess, "GetProcessTimes"};
    return {nThreads, "the sum over its threads; GetProcessTimes reads less here"};
}

} // namespace qv::bench
