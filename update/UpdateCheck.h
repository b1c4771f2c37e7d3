// The update check: fetches the maker's update description over HTTPS, trusts it only when its
// signature verifies with the key the program carries and its date is not in the future,
// compares that date with the newest release already reported and keeps both dates of the weekly
// schedule in the registry.
#pragma once

#include "platform/Clock.h"
#include "platform/HttpService.h"
#include "platform/Registry.h"
#include "platform/SettingsKey.h"
#include "platform/SignatureService.h"
#include "update/UpdateConfig.h"
#include "update/UpdateFetch.h"
#include "update/UpdateView.h"

#include <mutex>
#include <optional>
#include <string>

namespace qv {

// Results of CheckForUpdate.
enum : int {
    UPDATE_SHOW_TEXT = 0,     // a newer release: the body is the text to show
    UPDATE_NOTHING_NEWER = 1, // the published release is not newer than the last one reported
    UPDATE_FAILED = 2,        // no description, or one that cannot be trusted
};

inline constexpr const char* UPDATE_AGENT = "Quorvex Update";
inline constexpr const char* UPDATE_VALUE_LAST_CHECK = "Last Update";
inline constexpr const char* UPDATE_VALUE_LAST_SUCCESS = "Last Suc Update";
// A description is a few lines; anything longer is not one.
inline constexpr unsigned long UPDATE_BODY_LIMIT = 64 * 1024;

// What a check needs beyond the registry: the network, the clock, the system's cryptography,
// what to ask and whom to trust, and the way to show its outcome. The services outlive every
// check.
struct UpdateServices {
    CHttpService& http;
    CClockService& clock;
    CSignatureService& signatures;
    UpdateConfig config;
    CUpdateView& view;
};

// Days of the year in UTC. Checks come at most once a week; a turn of the year makes one due.
bool IsAutomaticCheckDue(int nToday, int nLastCheck);

class CUpdateCheck {
public:
    // The values live in the program's key under hRoot.
    CUpdateCheck(CRegistryService& registry, RegKey hRoot, const UpdateServices& services);

    // Runs the whole check on the calling thread, which must not be a user-interface thread,
    // within the configured deadline. UPDATE_SHOW_TEXT leaves the signed text in Body(); every
    // other result leaves it empty.
    int CheckForUpdate();

    // From any thread: ends the check's wait for its download at once, breaks the network call it
    // blocks in wherever the system can, and keeps the check from storing anything from now on.
    // The check then fails.
    void Abandon();
    bool IsAbandoned() const;

    // "Last Suc Update" into LastSuccessDate(). A value that is missing or does not fit its
    // 10 bytes reads as the build's release date, and nothing is written: only a release that
    // was reported is ever stored. A key that cannot be opened keeps the date already held.
    void LoadLastSuccessDate();
    // "Last Suc Update" as 8 bytes MM/DD/YY with no terminator, the form older versions read.
    bool SaveLastSuccessDate(const CalendarDate& date);
    // Today's UTC day of the year as "Last Update": its digits and zero filler, 5 bytes.
    bool StampLastUpdate();
    // The day of the last automatic check. When "Last Update" is missing, or does not fit its
    // 5 bytes, today is stored and nullopt returned: a new installation checks a week later.
    std::optional<int> LoadLastUpdate();
    // Whether an automatic check is due after nLastCheck from LoadLastUpdate. A due check
    // moves "Last Update" to today before it runs, so a failing check waits a week too.
    bool PrepareAutomaticCheck(std::optional<int> nLastCheck);

    const std::string& LastSuccessDate() const { return m_strLastSuccess; }
    const std::string& Body() const { return m_strBody; }
    void ReleaseBody();

private:
    // The signed text of a description that can be trusted.
    std::optional<std::string> TrustedText(const std::string& strBody);
    int Compare(std::string strText);
    // The newest release this user knows of: the build's own, or a later one reported before.
    CalendarDate NewestReported();
    CSettingsKey OpenAppKey();

    CRegistryService& m_registry;
    RegKey m_hRoot;
    CHttpService& m_http;
    CClockService& m_clock;
    CSignatureService& m_signatures;
    UpdateConfig m_config;
    std::string m_strLastSuccess;
    std::string m_strBody;
    // Guards the running download, the abandon flag and the stores after the download.
    mutable std::mutex m_mutex;
    CUpdateFetch* m_pFetch = nullptr;
    bool m_bAbandoned = false;
};

} // namespace qv
