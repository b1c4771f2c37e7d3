// The pass-through transport with each request carried on the caller's thread: the device's
// chains then run from completion to completion inside the call that started them, and a run
// depends on its input alone.
#pragma once

#include "device/PassThroughTransport.h"

#include <memory>
#include <string>

namespace qv::fuzz {

class CInlinePassThrough : public CPassThroughTransport {
public:
    explicit CInlinePassThrough(CDriveService& drives)
        : CPassThroughTransport(drives), m_drives(drives) {}
    std::unique_ptr<CDriveLink> Connect(const std::string& strDrive, CCommandSink& sink) override {
        return std::make_unique<CLink>(m_drives, MakeDevicePath(strDrive), sink);
    }

private:
    class CLink : public CDriveLink {
    public:
        CLink(CDriveService& drives, std::string strPath, CCommandSink& sink)
            : m_drives(drives), m_strPath(std::move(strPath)), m_sink(sink) {}
        void Locate() override { LocatePassThrough(m_drives, m_strPath, m_sink); }
        void Send(const SCSI_TARGET& target, const COMMAND& command) override {
            CarryPassThrough(m_drives, m_strPath, target, command, m_sink);
        }

    private:
        CDriveService& m_drives;
        const std::string m_strPath;
        CCommandSink& m_sink;
    };
    CDriveService& m_drives;
};

} // namespace qv::fuzz
