// A transport that the test answers: it keeps every command its one drive sends, and completes
// them only when the test says how, on the test's own thread.
#pragma once

#include "device/CDRom.h"
#include "device/Transport.h"

#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::test {

using Bytes = std::vector<BYTE>;

inline Bytes InquiryReply(const char* pszVendor, const char* pszProduct, const char* pszInfo,
                          BYTE nAdditionalLength = 91) {
    Bytes aReply(INQUIRY_REPLY_SIZE, 0);
    aReply[1] = 0x80;
    aReply[4] = nAdditionalLength;
    std::memcpy(&aReply[8], pszVendor, std::strlen(pszVendor));
    std::memcpy(&aReply[16], pszProduct, std::strlen(pszProduct));
    std::memcpy(&aReply[32], "1.02", 4);
    std::memcpy(&aReply[36], pszInfo, std::strlen(pszInfo));
    return aReply;
}

// A MODE SENSE(6) reply, or (10), with nDescriptors bytes before page 2Ah.
inline Bytes PageReply(int nMaxRate, int nCurRate, bool bModeSense10 = false,
                       int nDescriptors = 0) {
    Bytes aReply(MODE_SENSE_REPLY_SIZE, 0);
    const std::size_t nPage = (bModeSense10 ? 8 : 4) + static_cast<std::size_t>(nDescriptors);
    if (bModeSense10)
        WriteBigEndian16(&aReply[6], static_cast<unsigned>(nDescriptors));
    else
        aReply[3] = static_cast<BYTE>(nDescriptors);
    aReply[nPage] = MODE_PAGE_CAPABILITIES;
    WriteBigEndian16(&aReply[nPage + 8], static_cast<unsigned>(nMaxRate));
    WriteBigEndian16(&aReply[nPage + 14], static_cast<unsigned>(nCurRate));
    return aReply;
}

struct SENT {
    bool bLocate; // the address query, else command
    SCSI_TARGET target;
    COMMAND command;
};

class CScriptedTransport : public CTransport {
public:
    int Kind() const override { return TRANSPORT_IOCTL; }
    std::unique_ptr<CDriveLink> Connect(const std::string&, CCommandSink& sink) override {
        return std::make_unique<CLink>(*this, sink);
    }
    std::vector<bool> FindDrives(const std::vector<std::string>& aDrives) override {
        return std::vector<bool>(aDrives.size(), true);
    }
    bool WaitIdle(std::chrono::milliseconds) override { return true; }

    // What the drive sent and has had no answer to, oldest first.
    std::deque<SENT> waiting;
    std::vector<Cdb> sent;
    // Every request throws instead of going out.
    bool bThrows = false;

    // Answers the oldest request, which must be of that kind.
    void Locate(SCSI_TARGET target = {}) {
        Take(true);
        m_pSink->OnLocated(target);
    }
    void Complete(int nStatus, ReplyBytes reply = {}, ReplyBytes sense = {}) {
        const SENT request = Take(false);
        m_pSink->OnCommandComplete(request.command.nRequest, nStatus, sense, reply);
    }
    // The request code of the oldest request waiting, 0 for the address query, -1 for none.
    int Next() const {
        return waiting.empty()           ? -1
               : waiting.front().bLocate ? 0
                                         : waiting.front().command.nRequest;
    }

private:
    class CLink : public CDriveLink {
    public:
        CLink(CScriptedTransport& transport, CCommandSink& sink) : m_transport(transport) {
            m_transport.m_pSink = &sink;
        }
        // What the drive has not been answered is never answered.
        ~CLink() override {
            m_transport.m_pSink = nullptr;
            m_transport.waiting.clear();
        }
        void Locate() override {
            if (m_transport.bThrows)
                throw std::runtime_error("no address query");
            m_transport.waiting.push_back({true, {}, {}});
        }
        void Send(const SCSI_TARGET& target, const COMMAND& command) override {
            if (m_transport.bThrows)
                throw std::runtime_error("no request");
            m_transport.waiting.push_back({false, target, command});
            m_transport.sent.push_back(command.cdb);
        }

    private:
        CScriptedTransport& m_transport;
    };

    SENT Take(bool bLocate) {
        if (waiting.empty() || waiting.front().bLocate != bLocate)
            throw std::logic_error("the drive did not send what the test answers");
        const SENT request = waiting.front();
        waiting.pop_front();
        return request;
    }

    CCommandSink* m_pSink = nullptr;
};

} // namespace qv::test
