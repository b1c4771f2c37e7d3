// The update check's services for tests: a scripted server, a clock the test sets, signatures
// with keys of the tests' own, and a view that records what a check shows, from any thread.
#pragma once

#include "platform/Clock.h"
#include "platform/SignatureService.h"
#include "tests/support/ScriptedHttp.h"
#include "update/UpdateSignature.h"
#include "update/UpdateWorker.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

// Its ticks may be read on a worker while the test thread moves them on.
class CFakeClock : public CClockService {
public:
    int UtcDayOfYear() override { return m_nUtcDay; }
    CalendarDate LocalToday() override { return m_today; }
    std::uint64_t TickMs() override { return m_nTickMs; }

    int m_nUtcDay = 0;
    CalendarDate m_today{2027, 3, 1};
    std::atomic<std::uint64_t> m_nTickMs{0};
};

// The check's trust rules need a signature that no other text, key or signature byte matches, not
// the curve: the signature here is a keyed hash of the text. The P-256 check itself runs where the
// program makes it, in the Windows tier, over descriptions signed by scripts/sign-update.sh.
inline EcSignature TestSignature(const EcPublicKey& key, std::string_view strText) {
    const std::size_t nHash =
        std::hash<std::string>{}(std::string(key.begin(), key.end()) + std::string(strText));
    EcSignature signature{};
    for (std::size_t i = 0; i < signature.size(); ++i)
        signature[i] = static_cast<BYTE>(nHash >> (i % sizeof nHash * 8));
    return signature;
}

class CTestSignatures : public CSignatureService {
public:
    bool VerifyP256(const EcPublicKey& key, std::string_view strMessage,
                    const EcSignature& signature) override {
        return signature == TestSignature(key, strMessage);
    }
};

// A key of the tests' own; each seed makes another.
inline EcPublicKey TestKey(BYTE nSeed = 1) {
    EcPublicKey key{};
    key.fill(nSeed);
    return key;
}

// strText and its signature trailer, as scripts/sign-update.sh writes them.
inline std::string Signed(std::string_view strText, const EcPublicKey& key = TestKey()) {
    std::string strSigned = std::string(strText) + std::string(UPDATE_SIGNATURE_LABEL);
    for (const BYTE byte : TestSignature(key, strText)) {
        strSigned += "0123456789abcdef"[byte >> 4];
        strSigned += "0123456789abcdef"[byte & 0xF];
    }
    return strSigned + "\r\n";
}

class CRecordingUpdateView : public CUpdateView {
public:
    void ShowMessage(const char* pszText) override {
        std::lock_guard lock(m_mutex);
        m_aShown.push_back(std::string("message: ") + pszText);
    }
    void RunNewVersionDialog(const std::string& strText) override {
        std::lock_guard lock(m_mutex);
        m_aShown.push_back("new version: " + strText);
    }
    std::vector<std::string> Shown() const {
        std::lock_guard lock(m_mutex);
        return m_aShown;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_aShown;
};

struct CStandInUpdate {
    CScriptedHttp http;
    CFakeClock clock;
    CTestSignatures signatures;
    CRecordingUpdateView view;
    // Released on 1 June 2026, asking updates.velnor.example:8080 and trusting the tests' key;
    // the clock's today is later.
    UpdateServices services{http, clock, signatures,
                            UpdateConfig{.server = {"updates.velnor.example", 8080},
                                         .publicKey = TestKey(),
                                         .releaseDate = {2026, 6, 1}},
                            view};
};

} // namespace qv::test
