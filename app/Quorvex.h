// The application object: what every run does before any window exists, the choice between
// the interactive, boot-mode and windowless save runs, and the settings that outlive a run.
#pragma once

#include "app/QuorvexCmdLine.h"
#include "device/CDRomList.h"
#include "platform/Platform.h"
#include "platform/SettingsKey.h"
#include "platform/Shell.h"
#include "update/UpdateWorker.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class CQuorvexApp;

// The main dialog as the start-up routine sees it.
class CMainDialogRunner {
public:
    virtual ~CMainDialogRunner() = default;
    // Runs the main dialog modally and returns when it has ended.
    virtual void RunModal(CQuorvexApp& app) = 0;
};

// Where the Run entry, named APP_NAME, lives.
inline constexpr const char* APP_RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class CQuorvexApp {
public:
    // The settings are read and the automatic update check is evaluated here, before any window
    // exists, in every run but one: a start at logon that the user's run-at-boot switch no longer
    // wants, which reads that switch only and writes nothing.
    CQuorvexApp(const CPlatform& platform, CMainDialogRunner& mainDialog,
                const UpdateServices& update, const CQuorvexCmdLine& cmdLine = {});
    // An automatic check still running is abandoned; one that still uses the services (blocked
    // on the network, or its news still shown) ends with the process, at once, rather than
    // outlive them.
    ~CQuorvexApp();
    CQuorvexApp(const CQuorvexApp&) = delete;
    CQuorvexApp& operator=(const CQuorvexApp&) = delete;

    // Always false: no message loop follows, and the process ends when it returns.
    bool Startup();

    // The services, with HKEY_CURRENT_USER as registry root, for everything the application
    // creates.
    const CPlatform& GetPlatform() const { return m_platform; }
    const UpdateServices& GetUpdateServices() const { return m_update; }

    CCDRomList* GetDriveList() const { return m_pDriveList; }
    // Builds a list of the machine's drives over the process's transport, which the first list
    // chooses, and makes it the current one; it sends nothing to a drive. A superseded list stays
    // allocated until the application ends.
    CCDRomList& BuildDriveList();
    // How this process reaches its drives; null for no transport, or none chosen yet.
    CTransport* GetTransport() const { return m_pTransport.get(); }

    // The main dialog's settings toggles.
    void ToggleKeepSpeed();
    void ToggleRunOnBoot();

    std::string m_strInstanceClass;
    // As "ExePath" stores it: the ANSI path in a 260-character buffer.
    std::string m_strExePath;
    // The exact path, for the Run entry; empty when it cannot be read whole.
    std::u16string m_strExePathWide;
    bool m_bRunOnBoot = false;
    bool m_bBootMode = false;
    OS_VERSION_INFO m_osvi{};
    bool m_bKeepSpeed = false;

private:
    std::string ReadExePath();
    std::u16string ReadExePathWide();
    CSettingsKey OpenAppKey();
    // The day of the last automatic check, as the schedule read it in its place among the values.
    std::optional<int> ReadSettings(CUpdateCheck& schedule);
    void StartAutomaticCheck();
    void WriteRunEntry();
    void DeleteRunEntry();
    void RunMainDialog();
    bool IsUnwantedLogonStart() const;

    CPlatform m_platform;
    CQuorvexCmdLine m_cmdLine;
    bool m_bUnwantedLogonStart = false;
    CMainDialogRunner& m_mainDialog;
    UpdateServices m_update;
    // Abandoned when the application goes; a check that outlives it ends with the process.
    CCheckThread m_automaticCheck;
    // The lists go before the transport they use.
    std::unique_ptr<CTransport> m_pTransport;
    std::vector<std::unique_ptr<CCDRomList>> m_apDriveLists;
    CCDRomList* m_pDriveList = nullptr;
};

} // namespace qv
