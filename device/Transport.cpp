#include "device/Transport.h"

#include "device/AspiTransport.h"
#include "device/PassThroughTransport.h"

namespace qv {

// Pass-through comes first: where the OS carries it, ASPI is not even loaded.
std::unique_ptr<CTransport> SelectTransport(const CPlatform& platform) {
    if (CPassThroughTransport::Probe(platform))
        return std::make_unique<CPassThroughTransport>(platform.drives);
    if (CAspiTransport::LoadAspi(platform.aspi))
        return std::make_unique<CAspiTransport>(platform.aspi);
    return nullptr;
}

} // namespace qv
