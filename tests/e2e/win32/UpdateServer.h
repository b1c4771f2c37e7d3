// The test update servers that scripts/e2e.sh starts: a plain one, an HTTPS one whose CA the
// driver trusts inside this run's prefix only, and an HTTPS one that no one vouches for.
#pragma once

#include <string>

namespace qv::e2e {

// The description for a scenario on the trusted HTTPS server, or on the port that another
// variable of the run names: https://localhost:port/<scenario>/ombrel/update.txt.
std::string UpdateUrl(const std::string& strScenario, const char* pszPort = "QV_UPDATE_TLS_PORT");
// Tomorrow's local date, the latest a description may carry, as MM/DD/YY; and a scenario dated
// with it.
std::string Tomorrow();
std::string Dated(const std::string& strKind);
// What the server publishes for a date: the text its signature covers.
std::string Description(const std::string& strDate);
// Puts the test CA into the root store of this prefix; it throws when it cannot.
void TrustTestCa();

} // namespace qv::e2e
