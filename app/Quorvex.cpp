#include "app/Quorvex.h"

#include "app/QuorvexCmdLine.h"
#include "app/Texts.h"

#include <algorithm>
#include <chrono>

namespace qv {
namespace {

constexpr DWORD EXE_PATH_BUFFER = 260;
constexpr const char* RICH_EDIT_LIBRARY = "RichEd32.Dll";
// An asynchronous transport may still be identifying drives when the save run reaches its
// copy; it waits this long for them rather than store speeds that were never read.
constexpr std::chrono::seconds IDENTIFY_WAIT_LIMIT{10};
// How long the end of a run waits for an automatic check it abandoned, and for the commands the
// drives have still to answer.
constexpr std::chrono::seconds CHECK_END_LIMIT{1};
constexpr std::chrono::milliseconds DRIVES_END_LIMIT{500};

} // namespace

CQuorvexApp::CQuorvexApp(const CPlatform& platform, CMainDialogRunner& mainDialog,
                         const UpdateServices& update, const CQuorvexCmdLine& cmdLine)
    : m_strInstanceClass("Quorvex (Velnor)"), m_platform(platform), m_cmdLine(cmdLine),
      m_mainDialog(mainDialog), m_update(update) {
    // The drives keep their values beside the application's own.
    m_platform.registryRoot = REGKEY_CURRENT_USER;
    m_bUnwantedLogonStart = IsUnwantedLogonStart();
    if (m_bUnwantedLogonStart)
        return;
    m_strExePath = ReadExePath();
    m_strExePathWide = ReadExePathWide();
    m_osvi.dwOSVersionInfoSize = OS_VERSION_INFO_SIZE;
    m_platform.shell.GetVersionEx(m_osvi);
    m_platform.dwPlatformId = m_osvi.dwPlatformId;
    CUpdateCheck schedule(m_platform.registry, REGKEY_CURRENT_USER, m_update);
    if (schedule.PrepareAutomaticCheck(ReadSettings(schedule)))
        StartAutomaticCheck();
}

void CQuorvexApp::StartAutomaticCheck() {
    m_automaticCheck.Start(
        m_platform.registry, REGKEY_CURRENT_USER, m_update,
        [&view = m_update.view](CUpdateCheck& check) { RunAutomaticCheck(check, view); });
}

// What still works on another thread uses the services, which go after the application: the
// process ends at once rather than wait for a drive that does not answer, or a check that does not
// end.
CQuorvexApp::~CQuorvexApp() {
    // Abandoning closes the check's connection, which ends a request that waits on the network.
    m_automaticCheck.Abandon();
    const bool bCheckEnded = m_automaticCheck.WaitEnded(CHECK_END_LIMIT);
    if (!bCheckEnded || (m_pTransport && !m_pTransport->WaitIdle(DRIVES_END_LIMIT)))
        m_platform.shell.ExitProcess(0);
    m_apDriveLists.clear();
}

std::string CQuorvexApp::ReadExePath() {
    char szPath[EXE_PATH_BUFFER] = {};
    const DWORD nLength = m_platform.shell.GetModuleFileName(szPath, EXE_PATH_BUFFER);
    // A path cut short fills the buffer without a zero; one character less leaves room for the
    // zero that "ExePath" stores.
    return std::string(szPath, std::min(nLength, EXE_PATH_BUFFER - 1));
}

std::u16string CQuorvexApp::ReadExePathWide() {
    return ReadWholePath<char16_t>([this](char16_t* pBuffer, DWORD nSize) {
        return m_platform.shell.GetModuleFileNameWide(pBuffer, nSize);
    });
}

CCDRomList& CQuorvexApp::BuildDriveList() {
    // The first list chooses the transport for the whole process.
    if (m_apDriveLists.empty())
        m_pTransport = SelectTransport(m_platform);
    m_apDriveLists.push_back(CCDRomList::Build(m_platform, m_pTransport.get()));
    m_pDriveList = m_apDriveLists.back().get();
    return *m_pDriveList;
}

bool CQuorvexApp::Startup() {
    if (m_bUnwantedLogonStart)
        return false;

    // Boot mode is the main dialog, hidden behind its splash; it finds out by itself whether any
    // drive can be used, as the drives answer.
    if (m_cmdLine.m_bRestore || !m_cmdLine.m_bSave) {
        m_bBootMode = m_cmdLine.m_bRestore;
        RunMainDialog();
        return false;
    }

    CCDRomList& list = BuildDriveList();
    list.IdentifyAll();
    // No window waits: the save run waits for the drives' identification, bounded.
    list.WaitForIdentification(IDENTIFY_WAIT_LIMIT);
    if (!list.AnyUsable()) {
        m_platform.shell.MessageBox(NULL_WINDOW, APP_NO_DRIVE_TEXT, APP_NAME,
                                    MSGBOX_OK | MSGBOX_SYSTEMMODAL);
        m_platform.shell.ExitProcess(0);
        return false;
    }
    for (int nDevice = 0; nDevice < list.GetCount(); ++nDevice)
        list.GetAt(nDevice)->SelectCurrentSpeed();
    list.SaveAll();
    return false;
}

// Only runs that open a window pay for the rich-edit library, which the About dialog's title needs
// registered before any dialog opens.
void CQuorvexApp::RunMainDialog() {
    m_platform.shell.LoadSystemLibrary(RICH_EDIT_LIBRARY);
    m_mainDialog.RunModal(*this);
}

} // namespace qv
