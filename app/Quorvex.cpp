#include "app/Quorvex.h"

#include "app/QuorvexCmdLine.h"

#include <algorithm>
#include <chrono>

namespace qv {
namespace {

constexpr DWORD EXE_PATH_BUFFER = 260;
constexpr const char* RICH_EDIT_LIBRARY = "RichEd32.Dll";
// An asynchronous transport may still be identifying drives when the save run reaches its
// copy; it waits this long for them rather than store speeds that were never read.
constexpr std::chrono::seconds IDENTIFY_WAIT_LIMIT{10};

} // namespace

CQuorvexApp::CQuorvexApp(const CPlatform& platform, CMainDialogRunner& mainDialog,
                         const UpdateServices& update)
    : m_strInstanceClass("Quorvex (Velnor)"), m_platform(platform), m_mainDialog(mainDialog),
      m_update(update) {
    // The drives keep their values beside the application's own.
    m_platform.registryRoot = REGKEY_CURRENT_USER;
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

CQuorvexApp::~CQuorvexApp() = default;

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

void CQuorvexApp::SetDriveList(std::unique_ptr<CCDRomList> pList) {
    m_pDriveList = pList.get();
    m_apDriveLists.push_back(std::move(pList));
}

bool CQuorvexApp::Startup(int argc, const char* const* argv) {
    CQuorvexCmdLine cmdLine;
    cmdLine.Parse(argc, argv);
    CCDRom::SelectTransport(m_platform);

    if (!cmdLine.m_bSave && !cmdLine.m_bRestore) {
        RunMainDialog();
        m_automaticCheck.Release();
        return false;
    }

    SetDriveList(CCDRomList::Build(m_platform));
    m_pDriveList->IdentifyAll();
    if (!m_pDriveList->AnyUsable()) {
        m_platform.shell.MessageBox(NULL_WINDOW, APP_NO_DRIVE_TEXT, APP_NAME,
                                    MSGBOX_OK | MSGBOX_SYSTEMMODAL);
        m_platform.shell.ExitProcess(0);
        return false;
    }

    if (cmdLine.m_bRestore) {
        // The dialog builds and identifies a list of its own; this one is not used again.
        m_bBootMode = true;
        RunMainDialog();
        m_automaticCheck.Release();
        return false;
    }

    SaveCurrentSpeeds();
    return false;
}

// Only runs that open a window pay for the rich-edit library, which the About dialog's title needs
// registered before any dialog opens.
void CQuorvexApp::RunMainDialog() {
    m_platform.shell.LoadSystemLibrary(RICH_EDIT_LIBRARY);
    m_mainDialog.RunModal(*this);
}

void CQuorvexApp::SaveCurrentSpeeds() {
    m_pDriveList->WaitForIdentification(IDENTIFY_WAIT_LIMIT);
    for (int nDevice = 0; nDevice < m_pDriveList->GetCount(); ++nDevice)
        m_pDriveList->GetAt(nDevice)->SelectCurrentSpeed();
    m_pDriveList->SaveAll();
}

} // namespace qv
