#include "device/PassThroughTransport.h"

#include "device/CDRomList.h"
#include "device/PassThrough.h"
#include "device/Quietly.h"
#include "platform/DriveService.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <thread>

namespace qv {
namespace {

// What a link's thread is asked to do: find the drive's address, or carry one command.
struct PT_JOB {
    std::optional<COMMAND> command; // none: the address query
    SCSI_TARGET target;
};

// What the link and its thread share. The thread holds it too, so that a thread still blocked in
// the OS when its link goes ends on its own without touching the device.
struct PT_LANE {
    PT_LANE(CDriveService& drivesIn, std::string strPathIn, CCommandSink& sink,
            std::shared_ptr<CPassThroughTransport::THREADS> pThreadsIn)
        : drives(drivesIn), strPath(std::move(strPathIn)), pSink(&sink),
          pThreads(std::move(pThreadsIn)) {}

    CDriveService& drives;
    const std::string strPath;
    std::mutex lock;
    std::condition_variable cvWork; // a job came, or the link went
    std::condition_variable cvCall; // a call into the sink ended
    std::deque<PT_JOB> jobs;
    CCommandSink* pSink; // null once the link has gone
    bool bStop = false;
    bool bInOs = false;   // the thread waits for the OS
    bool bInCall = false; // the thread is in a call of the sink
    const std::shared_ptr<CPassThroughTransport::THREADS> pThreads;
};

// Every request opens the volume and closes it again: the handle is its caller's alone.
class CVolume {
public:
    CVolume(CDriveService& drives, const std::string& strPath)
        : m_drives(drives),
          m_hVolume(drives.CreateFile(strPath, ACCESS_GENERIC_READ | ACCESS_GENERIC_WRITE,
                                      SHARE_READ | SHARE_WRITE, CREATION_OPEN_EXISTING, 0)) {}
    ~CVolume() {
        if (m_hVolume != INVALID_DEVICE_HANDLE)
            m_drives.CloseHandle(m_hVolume);
    }
    CVolume(const CVolume&) = delete;
    CVolume& operator=(const CVolume&) = delete;
    bool Control(DWORD dwCode, void* pIn, DWORD nIn, void* pOut, DWORD nOut) {
        DWORD nReturned = 0;
        return m_drives.DeviceIoControl(m_hVolume, dwCode, pIn, nIn, pOut, nOut, &nReturned);
    }

private:
    CDriveService& m_drives;
    const DeviceHandle m_hVolume;
};

void Carry(PT_LANE& lane, const PT_JOB& job, CCommandSink& sink) {
    if (job.command)
        CarryPassThrough(lane.drives, lane.strPath, job.target, *job.command, sink);
    else
        LocatePassThrough(lane.drives, lane.strPath, sink);
}

// The OS is called without the lane's lock, the sink likewise, and only while the link is there.
class CLaneSink : public CCommandSink {
public:
    CLaneSink(PT_LANE& lane, std::unique_lock<std::mutex>& lock) : m_lane(lane), m_lock(lock) {}
    void OnCommandComplete(int nRequest, int nStatus, ReplyBytes sense, ReplyBytes reply) override {
        Deliver(
            [&](CCommandSink& sink) { sink.OnCommandComplete(nRequest, nStatus, sense, reply); });
    }
    void OnLocated(SCSI_TARGET target) override {
        Deliver([&](CCommandSink& sink) { sink.OnLocated(target); });
    }

private:
    template <class Call> void Deliver(Call call) {
        m_lock.lock();
        m_lane.bInOs = false;
        CCommandSink* pSink = m_lane.pSink;
        m_lane.bInCall = pSink != nullptr;
        m_lock.unlock();
        if (pSink)
            Quietly([&] { call(*pSink); });
        m_lock.lock();
        m_lane.bInCall = false;
        m_lane.cvCall.notify_all();
        m_lock.unlock();
    }

    PT_LANE& m_lane;
    std::unique_lock<std::mutex>& m_lock;
};

void CountRequests(CPassThroughTransport::THREADS& threads, int nChange) {
    std::lock_guard count(threads.lock);
    threads.nRequests += nChange;
    threads.cvChanged.notify_all();
}

void RunLane(const std::shared_ptr<PT_LANE>& pLane) {
    PT_LANE& lane = *pLane;
    std::unique_lock lock(lane.lock);
    for (;;) {
        lane.cvWork.wait(lock, [&lane] { return lane.bStop || !lane.jobs.empty(); });
        if (lane.bStop)
            break;
        const PT_JOB job = std::move(lane.jobs.front());
        lane.jobs.pop_front();
        lane.bInOs = true;
        lock.unlock();
        CLaneSink sink(lane, lock);
        Quietly([&] { Carry(lane, job, sink); });
        // Counted out once its completion has been handled, which sends the next request first.
        CountRequests(*lane.pThreads, -1);
        lock.lock();
        lane.bInOs = false;
    }
    CountRequests(*lane.pThreads, -static_cast<int>(lane.jobs.size()));
}

class CPassThroughLink : public CDriveLink {
public:
    explicit CPassThroughLink(std::shared_ptr<PT_LANE> pLane) : m_pLane(std::move(pLane)) {}
    ~CPassThroughLink() override;
    void Locate() override { Post({std::nullopt, {}}); }
    void Send(const SCSI_TARGET& target, const COMMAND& command) override {
        Post({command, target});
    }

private:
    void Post(PT_JOB job);

    std::shared_ptr<PT_LANE> m_pLane;
    std::thread m_thread;
};

void CPassThroughLink::Post(PT_JOB job) {
    PT_LANE& lane = *m_pLane;
    std::lock_guard lock(lane.lock);
    lane.jobs.push_back(std::move(job));
    CountRequests(*lane.pThreads, 1);
    if (!m_thread.joinable()) {
        {
            std::lock_guard count(lane.pThreads->lock);
            ++lane.pThreads->nRunning;
        }
        m_thread = std::thread([pLane = m_pLane] {
            RunLane(pLane);
            auto& threads = *pLane->pThreads;
            std::lock_guard count(threads.lock);
            --threads.nRunning;
            threads.cvChanged.notify_all();
        });
    }
    lane.cvWork.notify_one();
}

// A drive that does not answer keeps its thread in the OS: the thread is left to end on its own.
CPassThroughLink::~CPassThroughLink() {
    PT_LANE& lane = *m_pLane;
    bool bInOs = false;
    {
        std::unique_lock lock(lane.lock);
        lane.bStop = true;
        lane.pSink = nullptr;
        lane.cvWork.notify_one();
        lane.cvCall.wait(lock, [&lane] { return !lane.bInCall; });
        bInOs = lane.bInOs;
    }
    if (!m_thread.joinable())
        return;
    if (bInOs)
        m_thread.detach();
    else
        m_thread.join();
}

// Whether the volume exists (nullopt when it cannot be opened) and answers the address query.
std::optional<bool> AnswersAddressQuery(CDriveService& drives, std::string_view strDrive) {
    // The query needs no access to the volume's data.
    const DeviceHandle hVolume = drives.CreateFile(
        MakeDevicePath(strDrive), 0, SHARE_READ | SHARE_WRITE, CREATION_OPEN_EXISTING, 0);
    if (hVolume == INVALID_DEVICE_HANDLE)
        return std::nullopt;
    SCSI_ADDRESS_RECORD address{};
    DWORD nReturned = 0;
    const bool bAnswered = drives.DeviceIoControl(hVolume, CTL_SCSI_GET_ADDRESS, nullptr, 0,
                                                  &address, sizeof address, &nReturned);
    drives.CloseHandle(hVolume);
    return bAnswered;
}

} // namespace

// A refused query leaves the zeroed address, and identification goes on all the same.
void LocatePassThrough(CDriveService& drives, const std::string& strPath, CCommandSink& sink) {
    SCSI_ADDRESS_RECORD address{};
    CVolume(drives, strPath).Control(CTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof address);
    sink.OnLocated({address.PathId, address.TargetId, address.Lun});
}

void CarryPassThrough(CDriveService& drives, const std::string& strPath, const SCSI_TARGET& target,
                      const COMMAND& command, CCommandSink& sink) {
    std::optional<CPassThroughRequest> request;
    bool bDelivered = false;
    try {
        request.emplace(command, target);
        bDelivered =
            CVolume(drives, strPath)
                .Control(CTL_SCSI_PASS_THROUGH, request->Data(), static_cast<DWORD>(PT_HEADER_SIZE),
                         request->Data(), request->OutputLength());
    } catch (...) {
        // A request that could not be made still ends, as one the OS refused.
        sink.OnCommandComplete(command.nRequest, CMD_FAILED, {}, {});
        return;
    }
    sink.OnCommandComplete(command.nRequest, request->Status(bDelivered),
                           request->Sense(bDelivered), request->Reply(bDelivered));
}

std::string MakeDevicePath(std::string_view strDrive) {
    const auto nColon = strDrive.find(':');
    return "\\\\.\\" + std::string(nColon == std::string_view::npos
                                       ? strDrive
                                       : strDrive.substr(0, nColon + 1));
}

CPassThroughTransport::CPassThroughTransport(CDriveService& drives) : m_drives(drives) {}

CPassThroughTransport::~CPassThroughTransport() {
    std::unique_lock lock(m_pThreads->lock);
    m_pThreads->cvChanged.wait(lock, [this] { return m_pThreads->nRunning == 0; });
}

std::unique_ptr<CDriveLink> CPassThroughTransport::Connect(const std::string& strDrive,
                                                           CCommandSink& sink) {
    return std::make_unique<CPassThroughLink>(
        std::make_shared<PT_LANE>(m_drives, MakeDevicePath(strDrive), sink, m_pThreads));
}

// Every drive is addressed through its own volume; its address query tells where it lies.
std::vector<bool> CPassThroughTransport::FindDrives(const std::vector<std::string>& aDrives) {
    return std::vector<bool>(aDrives.size(), true);
}

bool CPassThroughTransport::WaitIdle(std::chrono::milliseconds nLimit) {
    std::unique_lock lock(m_pThreads->lock);
    return m_pThreads->cvChanged.wait_for(lock, nLimit,
                                          [this] { return m_pThreads->nRequests == 0; });
}

bool CPassThroughTransport::Probe(const CPlatform& platform) {
    std::optional<bool> bSystemVolume;
    for (const char* pszDrive : {"C:", "D:"}) {
        bSystemVolume = AnswersAddressQuery(platform.drives, pszDrive);
        if (bSystemVolume)
            break;
    }
    if (bSystemVolume.value_or(false))
        return true;
    // A system volume on a RAID, virtual or spanned disk need not answer; the NT family still
    // carries pass-through to a CD-ROM drive whose own volume does.
    if (platform.dwPlatformId != PLATFORM_WIN32_NT)
        return false;
    const auto aRoots = CCDRomList::CdRomRoots(platform.drives);
    return std::any_of(aRoots.begin(), aRoots.end(), [&](const std::string& strRoot) {
        return AnswersAddressQuery(platform.drives, strRoot).value_or(false);
    });
}

} // namespace qv
