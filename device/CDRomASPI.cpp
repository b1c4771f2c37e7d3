#include "device/CDRomASPI.h"

#include "device/Quietly.h"
#include "device/Scsi.h"
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

struct PENDING_ENTRY {
    CCDRomASPI* pDevice; // null once the device has gone: the completion is dropped
    int nRequest;
    std::unique_ptr<ASPI_REQUEST> pRequest;
};

struct PENDING_LIST {
    std::mutex lock;
    std::condition_variable cvFinished; // a device's pending count went down
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

void PutCdb(SRB_ExecSCSICmd& srb, const Cdb& cdb) {
    std::memcpy(srb.CDBByte, cdb.bytes.data(), sizeof srb.CDBByte);
    srb.SRB_CDBLen = cdb.nLength;
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

} // namespace

CCDRomASPI::CCDRomASPI(const CPlatform& platform, std::string_view strRoot)
    : CCDRom(platform, strRoot) {}

CCDRomASPI::~CCDRomASPI() {
    auto& pending = Pending();
    std::unique_lock lock(pending.lock);
    pending.cvFinished.wait_for(lock, pending.retireWait, [this] { return m_nPending == 0; });
    m_bRetired = true;
    for (auto& entry : pending.entries) {
        if (entry.pDevice == this) {
            entry.pDevice = nullptr;
            --m_nPending;
        }
    }
    // What is left are completions running on the manager's thread at this moment; they send
    // nothing more, so they end.
    pending.cvFinished.wait(lock, [this] { return m_nPending == 0; });
}

std::unique_ptr<ASPI_REQUEST> CCDRomASPI::MakeRequest(std::size_t nBuffer) {
    auto pRequest = std::make_unique<ASPI_REQUEST>();
    if (nBuffer) {
        pRequest->pData = std::make_unique<BYTE[]>(nBuffer);
        pRequest->nData = nBuffer;
        pRequest->srb.SRB_BufPointer = pRequest->pData.get();
        pRequest->srb.SRB_BufLen = static_cast<DWORD>(nBuffer);
    }
    return pRequest;
}

void CCDRomASPI::Inquiry() {
    SendStep(RQ_INQUIRY, [this] {
        auto pRequest = MakeRequest(INQUIRY_REPLY_SIZE);
        pRequest->srb.SRB_Flags = SRB_DIR_IN;
        int nLun = 0;
        {
            auto lock = Lock();
            nLun = m_nLun;
        }
        PutCdb(pRequest->srb, MakeInquiryCdb(nLun));
        SendSrb(RQ_INQUIRY, std::move(pRequest));
    });
}

void CCDRomASPI::ModeSense(int nRequest) {
    SendStep(nRequest, [this, nRequest] {
        auto pRequest = MakeRequest(MODE_SENSE_REPLY_SIZE);
        pRequest->srb.SRB_Flags = SRB_DIR_IN;
        int nLun = 0;
        bool bModeSense10 = false;
        {
            auto lock = Lock();
            nLun = m_nLun;
            bModeSense10 = m_bModeSense10;
        }
        PutCdb(pRequest->srb, bModeSense10 ? MakeModeSense10Cdb(nLun) : MakeModeSense6Cdb(nLun));
        SendSrb(nRequest, std::move(pRequest));
    });
}

void CCDRomASPI::SetSpeed(int nSpeed, int nRequest) {
    SendStep(nRequest, [this, nSpeed, nRequest] {
        auto pRequest = MakeRequest(0);
        PutCdb(pRequest->srb, MakeSetSpeedCdb(nSpeed));
        SendSrb(nRequest, std::move(pRequest));
    });
}

void CCDRomASPI::SendSrb(int nRequest, std::unique_ptr<ASPI_REQUEST> pRequest) {
    SRB_ExecSCSICmd& srb = pRequest->srb;
    srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
    {
        auto lock = Lock();
        srb.SRB_HaId = static_cast<BYTE>(m_nHaId);
        srb.SRB_Target = static_cast<BYTE>(m_nTarget);
        srb.SRB_Lun = static_cast<BYTE>(m_nLun);
    }
    srb.SRB_SenseLen = ASPI_SENSE_LEN;
    srb.SRB_PostProc = &CCDRomASPI::AspiPostProc;
    srb.SRB_Flags |= SRB_POSTING;
    if (srb.SRB_CDBLen == 0)
        srb.SRB_CDBLen = 6;

    SRB_ExecSCSICmd* const pSrb = &srb;
    auto& pending = Pending();
    bool bRetired = false;
    {
        std::lock_guard lock(pending.lock);
        bRetired = m_bRetired;
        if (!bRetired) {
            pending.entries.push_back({this, nRequest, std::move(pRequest)});
            ++m_nPending;
        }
    }
    if (bRetired) {
        DropRequest(nRequest);
        return;
    }
    // Once the manager holds the block it may complete and free it at any moment.
    const DWORD nReturn = m_platform.aspi.SendASPI32Command(pSrb);
    if (nReturn == SS_PENDING)
        return;

    // A refused block is never posted: it ends here, with the manager's answer as its status.
    std::unique_ptr<ASPI_REQUEST> pRefused;
    {
        std::lock_guard lock(pending.lock);
        const auto it = FindEntry(pending, pSrb);
        if (it == pending.entries.end())
            return;
        const bool bOrphaned = it->pDevice != this;
        pRefused = std::move(it->pRequest);
        pending.entries.erase(it);
        if (bOrphaned)
            return;
    }
    pRefused->srb.SRB_Status = static_cast<BYTE>(nReturn);
    CompleteSrb(nRequest, std::move(pRefused), false);
    FinishRequest();
}

void CCDRomASPI::CompleteSrb(int nRequest, std::unique_ptr<ASPI_REQUEST> pRequest,
                             bool bDelivered) {
    const SRB_ExecSCSICmd& srb = pRequest->srb;
    const int nStatus = CommandStatus(srb.SRB_Status);
    const ReplyBytes data =
        bDelivered ? ReplyBytes(pRequest->pData.get(), pRequest->nData) : ReplyBytes{};
    const ReplyBytes sense =
        nStatus == CMD_ERROR ? ReplyBytes(srb.SenseArea, ASPI_SENSE_LEN) : ReplyBytes{};
    OnCommandComplete(nRequest, nStatus, sense, data);
}

void CCDRomASPI::FinishRequest() {
    auto& pending = Pending();
    std::lock_guard lock(pending.lock);
    --m_nPending;
    pending.cvFinished.notify_all();
}

void CCDRomASPI::AspiPostProc(SRB_ExecSCSICmd* pSrb) {
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
        }
        if (!entry.pDevice)
            return;
        entry.pDevice->CompleteSrb(entry.nRequest, std::move(entry.pRequest), true);
        entry.pDevice->FinishRequest();
    });
}

std::chrono::milliseconds CCDRomASPI::SetRetireWait(std::chrono::milliseconds wait) {
    auto& pending = Pending();
    std::lock_guard lock(pending.lock);
    return std::exchange(pending.retireWait, wait);
}

std::size_t CCDRomASPI::PendingCount() {
    auto& pending = Pending();
    std::lock_guard lock(pending.lock);
    return pending.entries.size();
}

} // namespace qv
