// A transport that the test answers: it keeps every command a drive sends, and completes them only
// when the test says how, on the test's own thread.
#pragma once

#include "device/CDRom.h"
#include "device/Transport.h"

#include <cstring>
#include <deque>
#include <map>
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
    std::unique_ptr<CDriveLink> Connect(const std::string& strDrive, CCommandSink& sink) override {
        return std::make_unique<CLink>(*this, strDrive, sink);
    }
    std::vector<bool> FindDrives(const std::vector<std::string>& aDrives) override {
        return std::vector<bool>(aDrives.size(), true);
    }
    bool WaitIdle(std::chrono::milliseconds) override { return true; }

    // What the drive sent and has had no answer to, oldest first.
    std::deque<SENT>& Waiting(const std::string& strDrive = "E:") { return m_mapWaiting[strDrive]; }
    // Every command block the drive sent, in order.
    const std::vector<Cdb>& Sent(const std::string& strDrive = "E:") { return m_mapSent[strDrive]; }

    // Answers the oldest request of the drive, which must be of that kind.
    void Locate(SCSI_TARGET target = {}, const std::string& strDrive = "E:") {
        Take(strDrive, true);
        m_mapSinks.at(strDrive)->OnLocated(target);
    }
    void Complete(int nStatus, ReplyBytes reply = {}, ReplyBytes sense = {},
                  const std::string& strDrive = "E:") {
        const SENT sent = Take(strDrive, false);
        m_mapSinks.at(strDrive)->OnCommandComplete(sent.command.nRequest, nStatus, sense, reply);
    }
    // Answers a drive's identification: the address query, the INQUIRY and the page read.
    void AnswerIdentification(const Bytes& aInquiry, int nPageStatus, const Bytes& aPage,
                              const std::string& strDrive = "E:") {
        Locate({}, strDrive);
        Complete(CMD_OK, aInquiry, {}, strDrive);
        Complete(nPageStatus, aPage, {}, strDrive);
    }
    // Every request throws instead of going out.
    bool bThrows = false;
    // The request code of the oldest request waiting, 0 for the address query, -1 for none.
    int Next(const std::string& strDrive = "E:") {
        const auto& waiting = Waiting(strDrive);
        return waiting.empty()           ? -1
               : waiting.front().bLocate ? 0
                                         : waiting.front().command.nRequest;
    }

private:
    class CLink : public CDriveLink {
    public:
        CLink(CScriptedTransport& transport, std::string strDrive, CCommandSink& sink)
            : m_transport(transport), m_strDrive(std::move(strDrive)) {
            m_transport.m_mapSinks[m_strDrive] = &sink;
        }
        // What the drive has not been answered is never answered.
        ~CLink() override {
            m_transport.m_mapSinks.erase(m_strDrive);
            m_transport.m_mapWaiting.erase(m_strDrive);
        }
        void Locate() override {
            if (m_transport.bThrows)
                throw std::runtime_error("no address query");
            m_transport.Waiting(m_strDrive).push_back({true, {}, {}});
        }
        void Send(const SCSI_TARGET& target, const COMMAND& command) override {
            if (m_transport.bThrows)
                throw std::runtime_error("no request");
            m_transport.Waiting(m_strDrive).push_back({false, target, command});
            m_transport.m_mapSent[m_strDrive].push_back(command.cdb);
        }

    private:
        CScriptedTransport& m_transport;
        std::string m_strDrive;
    };

    SENT Take(const std::string& strDrive, bool bLocate) {
        auto& waiting = Waiting(strDrive);
        if (waiting.empty() || waiting.front().bLocate != bLocate)
            throw std::logic_error(strDrive + " did not send what the test answers");
        const SENT sent = waiting.front();
        waiting.pop_front();
        return sent;
    }

    std::map<std::string, CCommandSink*> m_mapSinks;
    std::map<std::string, std::deque<SENT>> m_mapWaiting;
    std::map<std::string, std::vector<Cdb>> m_mapSent;
};

} // namespace qv::test
