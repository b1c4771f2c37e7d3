// What a check shows its user, always on the thread of the worker that ran it, so that the
// user-interface thread never waits for the network or for the user's answer to it.
#pragma once

#include <string>

namespace qv {

class CUpdateView {
public:
    virtual ~CUpdateView() = default;

    // A message box with the caption "Quorvex", one OK button and no owner window.
    virtual void ShowMessage(const char* pszText) = 0;
    // The new-version dialog, modal on the calling thread, showing strText as received. Its Yes
    // button may end the process.
    virtual void RunNewVersionDialog(const std::string& strText) = 0;
};

} // namespace qv
