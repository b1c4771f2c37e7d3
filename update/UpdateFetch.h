// The download of the update description, on a thread of its own so that the check's deadline
// holds whether or not the system gives a blocked call back: the check waits for the download
// until the deadline or until it is cancelled, and then goes on without it.
#pragma once

#include "platform/Clock.h"
#include "platform/HttpService.h"
#include "update/UpdateConfig.h"

#include <memory>
#include <optional>
#include <string>

namespace qv {

class CFetchJob;

class CUpdateFetch {
public:
    CUpdateFetch(CHttpService& http, CClockService& clock, const UpdateConfig& config);

    // The description's body from the configured server, following redirects over HTTPS only;
    // nullopt when a step fails, the answer is no whole description, the deadline passes or
    // Cancel comes first. Called once. A download that the system does not let go of goes on
    // alone and ends with the process; it touches nothing but the services and its own state.
    std::optional<std::string> Fetch();
    // From any thread: closes the Internet handle, which breaks a blocked call wherever the
    // system can, and ends the wait.
    void Cancel();

private:
    std::shared_ptr<CFetchJob> m_pJob;
};

} // namespace qv
