#include "tests/e2e/win32/UpdateServer.h"

#include "tests/e2e/win32/Process.h"

#include <windows.h>

#include <wincrypt.h>

#include <ctime>
#include <stdexcept>

namespace qv::e2e {
std::string UpdateUrl(const std::string& strScenario, const char* pszPort) {
    return "https://localhost:" + FromEnvironment(pszPort) + "/" + strScenario +
           "/ombrel/update.txt";
}

std::string Tomorrow() {
    const std::time_t now = std::time(nullptr);
    std::tm day = *std::localtime(&now);
    ++day.tm_mday;
    std::mktime(&day);
    char szDate[16] = {};
    std::strftime(szDate, sizeof szDate, "%m/%d/%y", &day);
    return szDate;
}

std::string Dated(const std::string& strKind) {
    std::string strDate = Tomorrow();
    strDate[2] = strDate[5] = '-';
    return strKind + "-" + strDate;
}

std::string Description(const std::string& strDate) {
    return strDate + " Quorvex 9.9 is available.\r\nDownload it from the home page.\r\n";
}

void TrustTestCa() {
    const std::string strCertificate = FileText(FromEnvironment("QV_UPDATE_CA"));
    if (!CertAddEncodedCertificateToSystemStoreA(
            "Root", reinterpret_cast<const BYTE*>(strCertificate.data()),
            static_cast<DWORD>(strCertificate.size())))
        throw std::runtime_error("the test CA cannot be trusted");
}

} // namespace qv::e2e
