#include "device/AspiTransport.h"

#include "device/Quietly.h"
#include "platform/AspiLayout.h"
#include "platform/AspiService.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <list>
#include <mutex>
#include <utility>

namespace qv {
namespace {

constexpr auto ASPI_RETIRE_WAIT = std::chrono::milliseconds(2000);

class CAspiLink;

// A request block with the data buffer it points to; both live until the sink has returned.
struct ASPI_REQUEST {
    SRB_ExecSCSICmd srb{};
    std::unique_ptr<BYTE[]> pData;
    std::size_t nData = 0;
};

struct PENDING_ENTRY {
    CAspiLink* pLink; // null once the link has gone: the completion is dropped
    int nRequest;
    std::unique_ptr<ASPI_REQUEST> pRequest;
};

struct PENDING_LIST {
    std::mutex lock;
    std::condition_variable cvFinished; // a link's pending count went down
    std::list<PENDING_ENTRY> entries;
    std::chrono::milliseconds retireWait = ASPI_RETIRE_WAIT;
};

// Never destroyed: the manager's thread may still post a block while the process ends.
PENDING_LIST& Pending() {
    static PENDING_LIST& s_pending = *new PENDING_LIST;
    return s_pending;
}

std::list<PENDING_ENTRY>::iterator FindEntry(PENDING_LIST& pending, const SRB_ExecSCSICmd* pSrb) {
    return std::find_if(
        pending.entries.begin(), pending.entries.end(),
        [pSrb](const PENDING_ENTRY& entry) { return &entry.pRequest->srb == pSrb; });
}

int CommandStatus(BYTE nSrbStatus) {
    switch (nSrbStatus) {
    case SS_COMP:
        return CMD_OK;
    case SS_ERR:
        return CMD_ERROR;
    default:
        return CMD_FAILED;
    }
}

class CAspiLink : public CDriveLink {
public:
    CAspiLink(CAspiService& aspi, CCommandSink& sink,
              const std::map<std::string, SCSI_TARGET>& mapFound, std::string strDrive)
        : m_aspi(aspi), m_sink(sink), m_mapFound(mapFound), m_strDrive(std::move(strDrive)) {}
    // Waits, bounded, until none of this link's requests is pending; a request the manager
    // completes later is dropped without reaching the sink.
    ~CAspiLink() override;

    // Where the transport's scan found the drive; the scan runs before any drive is identified.
    void Locate() override {
        const auto it = m_mapFound.find(m_strDrive);
        m_sink.OnLocated(it != m_mapFound.end() ? it->second : SCSI_TARGET{});
    }
    void Send(const SCSI_TARGET& target, const COMMAND& command) override;

    static void AspiPostProc(SRB_ExecSCSICmd* pSrb);

private:
    // Hands the reply to the sink, then frees the block and its buffer. A block the manager
    // refused (bDelivered false) never reached the drive: its buffer is not a reply.
    void Complete(int nRequest, const ASPI_REQUEST& request, bool bDelivered);
    void Finish();

    CAspiService& m_aspi;
    CCommandSink& m_sink;
    const std::map<std::string, SCSI_TARGET>& m_mapFound;
    const std::string m_strDrive;
    // Guarded by the pending list's lock: the requests sent and not yet completed.
    int m_nPending = 0;
};

CAspiLink::~CAspiLink() {
    auto& pending = Pending();
    std::unique_lock lock(pending.lock);
    pending.cvFinished.wait_for(lock, pending.retireWait, [this] { return m_nPending == 0; });
    for (auto& entry : pending.entries) {
        if (entry.pLink == this) {
            entry.pLink = nullptr;
            --m_nPending;
        }
    }
    // What is left are completions running on the manager's thread at this moment: they end.
    pending.cvFinished.wait(lock, [this] { return m_nPending == 0; });
}

void CAspiLink::Send(const SCSI_TARGET& target, const COMMAND& command) {
    auto pRequest = std::make_unique<ASPI_REQUEST>();
    SRB_ExecSCSICmd& srb = pRequest->srb;
    if (command.nReplyLength) {
        pRequest->pData = std::make_unique<BYTE[]>(command.nReplyLength);
        pRequest->nData = command.nReplyLength;
        srb.SRB_BufPointer = pRequest->pData.get();
        srb.SRB_BufLen = static_cast<DWORD>(command.nReplyLength);
        srb.SRB_Flags = SRB_DIR_IN;
    }
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = static_cast<BYTE>(target.nHaId);
    srb.SRB_Target = static_cast<BYTE>(target.nTarget);
    srb.SRB_Lun = static_cast<BYTE>(target.nLun);
    srb.SRB_SenseLen = ASPI_SENSE_LEN;
    srb.SRB_PostProc = &CAspiLink::AspiPostProc;
    srb.SRB_Flags |= SRB_POSTING;
    std::memcpy(srb.CDBByte, command.cdb.bytes.data(), sizeof srb.CDBByte);
    srb.SRB_CDBLen = command.cdb.nLength ? command.cdb.nLength : 6;

    SRB_ExecSCSICmd* const pSrb = &srb;
    auto& pending = Pending();
    {
        std::lock_guard lock(pending.lock);
        pending.entries.push_back({this, command.nRequest, std::move(pRequest)});
        ++m_nPending;
    }
    // Once the manager holds the block it may complete and free it at any moment.
    const DWORD nReturn = m_aspi.SendASPI32Command(pSrb);
    if (nReturn == SS_PENDING)
        return;

    // A refused block is never posted: it ends here, with the manager's answer as its status.
    std::unique_ptr<ASPI_REQUEST> pRefused;
    {
        std::lock_guard lock(pending.lock);
        const auto it = FindEntry(pending, pSrb);
        if (it == pending.entries.end())
            return;
        pRefused = std::move(it->pRequest);
        pending.entries.erase(it);
    }
    pRefused->srb.SRB_Status = static_cast<BYTE>(nReturn);
    Complete(command.nRequest, *pRefused, false);
    Finish();
}

void CAspiLink::Complete(int nRequest, const ASPI_REQUEST& request, bool bDelivered) {
    const SRB_ExecSCSICmd& srb = request.srb;
    const int nStatus = CommandStatus(srb.SRB_Status);
    const ReplyBytes reply =
        bDelivered ? ReplyBytes(request.pData.get(), request.nData) : ReplyBytes{};
    const ReplyBytes sense =
        nStatus == CMD_ERROR ? ReplyBytes(srb.SenseArea, ASPI_SENSE_LEN) : ReplyBytes{};
    Quietly([&] { m_sink.OnCommandComplete(nRequest, nStatus, sense, reply); });
}

void CAspiLink::Finish() {
    auto& pending = Pending();
    std::lock_guard lock(pending.lock);
    --m_nPending;
    pending.cvFinished.notify_all();
}

void CAspiLink::AspiPostProc(SRB_ExecSCSICmd* pSrb) {
    Quietly([pSrb] {
        auto& pending = Pending();
        PENDING_ENTRY entry{};
        {
            std::lock_guard lock(pending.lock);
            const auto it = FindEntry(pending, pSrb);
            if (it == pending.entries.end())
                return;
            entry = std::move(*it);
            pending.entries.erase(it);
            pending.cvFinished.notify_all();
        }
        if (!entry.pLink)
            return;
        entry.pLink->Complete(entry.nRequest, *entry.pRequest, true);
        entry.pLink->Finish();
    });
}

} // namespace

std::unique_ptr<CDriveLink> CAspiTransport::Connect(const std::string& strDrive,
                                                    CCommandSink& sink) {
    return std::make_unique<CAspiLink>(m_aspi, sink, m_mapFound, strDrive);
}

bool CAspiTransport::WaitIdle(std::chrono::milliseconds nLimit) {
    auto& pending = Pending();
    std::unique_lock lock(pending.lock);
    return pending.cvFinished.wait_for(lock, nLimit,
                                       [&pending] { return pending.entries.empty(); });
}

std::chrono::milliseconds CAspiTransport::SetRetireWait(std::chrono::milliseconds wait) {
    auto& pending = Pending();
    std::lock_guard lock(pending.lock);
    return std::exchange(pending.retireWait, wait);
}

std::size_t CAspiTransport::PendingCount() {
    auto& pending = Pending();
    std::lock_guard lock(pending.lock);
    return pending.entries.size();
}

} // namespace qv
