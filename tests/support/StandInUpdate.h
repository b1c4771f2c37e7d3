// The update check's services for tests: a scripted server, a clock that says what the test sets,
// signatures of the tests' own with the tests' key, and a view that records what a check shows
// instead of showing it, safe to use from a worker thread.
#pragma once

#include "platform/Clock.h"
#include "platform/SignatureService.h"
#include "tests/support/ScriptedHttp.h"
#include "update/UpdateSignature.h"
#include "update/UpdateWorker.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

// A clock that says what the test sets. Its ticks may be read on a worker while the test thread
// moves them on.
class CFakeClock : public CClockService {
public:
    int UtcDayOfYear() override { return m_nUtcDay; }
    CalendarDate LocalToday() override { return m_today; }
    std::uint64_t TickMs() override { return m_nTickMs; }

    int m_nUtcDay = 0;
    CalendarDate m_today{2027, 3, 1};
    std::atomic<std::uint64_t> m_nTickMs{0};
};

// Signatures of the tests' own in place of the system's ECDSA P-256: a signature is a digest of the
// key and the text, so that a changed text, a changed signature or another key's signature fails
// as it would with the real one. The real verification is the Windows binding's, proven end to end
// with descriptions that scripts/sign-update.sh signs. The digest: FNV-1a over the key and the
// text, spread over the 64 bytes of a signature.
inline EcSignature Digest(const EcPublicKey& key, std::string_view strText) {
    std::uint64_t nHash = 0xcbf29ce484222325u;
    for (const BYTE byte : key)
        nHash = (nHash ^ byte) * 0x100000001b3u;
    for (const char c : strText)
        nHash = (nHash ^ static_cast<BYTE>(c)) * 0x100000001b3u;
    EcSignature digest{};
    for (BYTE& byte : digest)
        byte = static_cast<BYTE>((nHash = (nHash ^ 0x5A) * 0x100000001b3u) >> 56);
    return digest;
}

class CFakeSignatures : public CSignatureService {
public:
    bool VerifyP256(const EcPublicKey& key, std::string_view strMessage,
                    const EcSignature& signature) override {
        return signature == Digest(key, strMessage);
    }
};

class CTestSigningKey {
public:
    explicit CTestSigningKey(BYTE nSeed) { m_publicKey.fill(nSeed); }

    const EcPublicKey& PublicKey() const { return m_publicKey; }
    // strText and its signature trailer, as scripts/sign-update.sh writes them.
    std::string Signed(std::string_view strText) const {
        std::string strSigned = std::string(strText) + std::string(UPDATE_SIGNATURE_LABEL);
        char szByte[3] = {};
        for (const BYTE byte : Digest(m_publicKey, strText)) {
            std::snprintf(szByte, sizeof szByte, "%02x", byte);
            strSigned += szByte;
        }
        return strSigned + "\r\n";
    }

private:
    EcPublicKey m_publicKey{};
};

// The key the tests' update configuration carries.
inline const CTestSigningKey& TestKey() {
    static const CTestSigningKey key(0x5A);
    return key;
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
    CFakeSignatures signatures;
    CRecordingUpdateView view;
    // Released on 1 June 2026, asking updates.velnor.example:8080 and trusting the tests' key;
    // the clock's today is later.
    UpdateServices services{http, clock, signatures,
                            UpdateConfig{.server = {"updates.velnor.example", 8080},
                                         .publicKey = TestKey().PublicKey(),
                                         .releaseDate = {2026, 6, 1}},
                            view};

    // strText, signed with the tests' key, as a 200 response that tells its length truly.
    void ServeSigned(const std::string& strText) { http.Serve(TestKey().Signed(strText)); }
};

} // namespace qv::test
