// How a command block reaches a drive. A transport carries one block to one drive and reports one
// completion; the device builds every block, decodes every reply and decides what follows.
#pragma once

#include "device/Scsi.h"
#include "platform/Platform.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace qv {

// Command status, as a completion reports it and as the high word of a device event carries it.
enum : int {
    CMD_OK = 0,
    CMD_FAILED = 1,
    CMD_ERROR = 2, // failed, and the sense data delivered with it are to be examined
};

// How this process reaches its drives; chosen once, when the application starts.
enum : int {
    TRANSPORT_NONE = 0,
    TRANSPORT_IOCTL = 1,
    TRANSPORT_ASPI = 2,
};

struct SCSI_TARGET {
    int nHaId = 0; // host adapter (ASPI) or path id (pass-through)
    int nTarget = 0;
    int nLun = 0;
};

// One command block and what comes back: nReplyLength bytes from the drive, and, when bSense,
// room for the sense data that tells why the drive refused it.
struct COMMAND {
    int nRequest;
    Cdb cdb;
    std::size_t nReplyLength;
    bool bSense;
};

// The device's side of its link: each call reports one command sent or one address asked for.
// Calls come on any thread, and may come while the sending call has not returned yet.
class CCommandSink {
public:
    // sense holds the sense data of a CMD_ERROR; reply what the drive returned, empty for a
    // command that transfers nothing or that never reached the drive.
    virtual void OnCommandComplete(int nRequest, int nStatus, ReplyBytes sense,
                                   ReplyBytes reply) = 0;
    // The drive's address as the transport knows it; zeroes when the OS did not tell it.
    virtual void OnLocated(SCSI_TARGET target) = 0;

protected:
    ~CCommandSink() = default;
};

// One drive's end of a transport.
class CDriveLink {
public:
    // Once it has returned, nothing more reaches the sink.
    virtual ~CDriveLink() = default;
    // Asks for the drive's address; one OnLocated follows.
    virtual void Locate() = 0;
    // Carries one block to the drive at target; one OnCommandComplete follows.
    virtual void Send(const SCSI_TARGET& target, const COMMAND& command) = 0;
};

class CTransport {
public:
    virtual ~CTransport() = default;
    virtual int Kind() const = 0;
    // The link to the drive named by strDrive ("E:"), reporting to sink.
    virtual std::unique_ptr<CDriveLink> Connect(const std::string& strDrive,
                                                CCommandSink& sink) = 0;
    // Which of the drives this transport reaches, in the order given.
    virtual std::vector<bool> FindDrives(const std::vector<std::string>& aDrives) = 0;
    // Whether every command sent has come back from the OS by then, its completion handled. A
    // drive that never answers keeps the process from ending cleanly: it is then ended at once.
    virtual bool WaitIdle(std::chrono::milliseconds nLimit) = 0;
};

// The transport of this process: pass-through where the OS answers its probe, else ASPI where
// an ASPI manager is installed and answers, else none.
std::unique_ptr<CTransport> SelectTransport(const CPlatform& platform);

} // namespace qv
