// The update check over the real Internet functions, the real registry and the real clock,
// against the loopback server that scripts/e2e.sh starts: a description, then every response
// that must not pass for one.
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32Http.h"
#include "platform/win32/Win32Registry.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"
#include "update/UpdateCheck.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

namespace qv::e2e {
namespace {

// Older than every date the server publishes.
constexpr const char* OLD_RELEASE = "01/01/01";

WORD ServerPort() {
    char szPort[16] = {};
    if (!GetEnvironmentVariableA("QV_UPDATE_SERVER_PORT", szPort, sizeof szPort))
        throw std::runtime_error("QV_UPDATE_SERVER_PORT names no port");
    return static_cast<WORD>(std::stoi(szPort));
}

// A loopback port that refuses connections: bound, so that nothing else takes it meanwhile,
// but never listening.
class CRefusingPort {
public:
    CRefusingPort() {
        WSADATA data{};
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
            throw std::runtime_error("WSAStartup failed");
        m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int nSize = sizeof address;
        if (m_socket == INVALID_SOCKET ||
            bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &nSize) != 0)
            throw std::runtime_error("no loopback port to refuse connections on");
        m_nPort = ntohs(address.sin_port);
    }
    ~CRefusingPort() {
        if (m_socket != INVALID_SOCKET)
            closesocket(m_socket);
        WSACleanup();
    }
    CRefusingPort(const CRefusingPort&) = delete;
    CRefusingPort& operator=(const CRefusingPort&) = delete;

    WORD Port() const { return m_nPort; }

private:
    SOCKET m_socket = INVALID_SOCKET;
    WORD m_nPort = 0;
};

class UpdateHttp : public ::testing::Test {
protected:
    void SetUp() override { ForgetProgramValues(); }
    void TearDown() override { ForgetProgramValues(); }

    // One check of /<scenario>/ombrel/update.txt; its body is kept in m_strBody.
    int Check(const std::string& strScenario, WORD nPort) {
        CUpdateCheck check(m_registry, REGKEY_CURRENT_USER, m_http, m_clock,
                           {.strHost = "127.0.0.1",
                            .nPort = nPort,
                            .strObject = strScenario + "/ombrel/update.txt"});
        const int nResult = check.CheckForUpdate();
        m_strBody = check.Body();
        return nResult;
    }

    // The text up to a zero: the check writes 8 bytes with none, but Wine also stores the zero
    // that follows them in the writer's memory.
    static std::optional<std::string> LastSuccess() {
        const auto value = ReadValue(HKEY_CURRENT_USER, APP_KEY, UPDATE_VALUE_LAST_SUCCESS);
        return value ? std::optional(std::string(value->AsBytesText().c_str())) : std::nullopt;
    }
    static void PlantLastSuccess(const std::string& strDate) {
        WriteValue(HKEY_CURRENT_USER, APP_KEY, UPDATE_VALUE_LAST_SUCCESS,
                   {REG_SZ, {strDate.begin(), strDate.end()}});
    }

    win32::CWin32Registry m_registry;
    win32::CWin32Http m_http;
    win32::CWin32Clock m_clock;
    std::string m_strBody;
};

TEST_F(UpdateHttp, ReportsANewerReleaseOnceWithItsDescriptionAsSent) {
    ASSERT_EQ(Check("desc-12-24-60", ServerPort()), UPDATE_SHOW_TEXT);
    EXPECT_EQ(m_strBody,
              "12/24/60 Quorvex 9.9 is available.\r\nDownload it from the home page.\r\n");
    EXPECT_EQ(LastSuccess(), "12/24/60");

    EXPECT_EQ(Check("desc-12-24-60", ServerPort()), UPDATE_NOTHING_NEWER);
    EXPECT_EQ(m_strBody, "");
    EXPECT_EQ(LastSuccess(), "12/24/60");
}

// Each body starts with a date newer than the one stored, so a response taken for a description
// would be reported and stored.
TEST_F(UpdateHttp, FailsOnEveryResponseThatIsNoWholeDescription) {
    for (const char* pszScenario :
         {"status404", "status500", "nolength", "zerolength", "negativelength", "hugelength",
          "textlength", "lyinglength", "endsearly", "redirect"}) {
        SCOPED_TRACE(pszScenario);
        PlantLastSuccess(OLD_RELEASE);
        EXPECT_EQ(Check(pszScenario, ServerPort()), UPDATE_FAILED);
        EXPECT_EQ(m_strBody, "");
        EXPECT_EQ(LastSuccess(), OLD_RELEASE);
    }
}

TEST_F(UpdateHttp, FailsWhenTheServerRefusesTheConnection) {
    const CRefusingPort port;
    PlantLastSuccess(OLD_RELEASE);
    EXPECT_EQ(Check("desc-12-24-60", port.Port()), UPDATE_FAILED);
    EXPECT_EQ(LastSuccess(), OLD_RELEASE);
}

} // namespace
} // namespace qv::e2e
