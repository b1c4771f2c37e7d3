// The bundle of OS services that the application object hands down to everything it creates.
#pragma once

namespace qv {

class CDriveService;
class CEventService;

struct CPlatform {
    CDriveService& drives;
    CEventService& events;
};

} // namespace qv
