#include "sim/MachineFile.h"

namespace qv::sim {
namespace {

// A desktop of its time: a hard disk, two CD-ROM drives of different makes and speeds on one
// SCSI adapter that an installed ASPI manager also reaches, and a network share.
constexpr const char* DEFAULT_MACHINE = R"({
  "platform": "nt",
  "drives": [
    { "root": "C:\\", "type": "fixed" },
    { "root": "E:\\", "type": "cdrom",
      "vendor": "QRVX", "product": "CD-ROM 40X", "revision": "1.02", "vendorInfo": "",
      "address": { "port": 1, "pathId": 0, "targetId": 0, "lun": 0 },
      "aspiAddress": { "adapter": 0, "target": 0 },
      "speeds": [4, 8, 16, 24, 32, 40], "current": 40, "rates": { "24": 4234 } },
    { "root": "F:\\", "type": "remote" },
    { "root": "G:\\", "type": "cdrom",
      "vendor": "ZANTRIX", "product": "CDR-4812", "revision": "2.10",
      "vendorInfo": "04/12/99",
      "address": { "port": 1, "pathId": 0, "targetId": 1, "lun": 0 },
      "aspiAddress": { "adapter": 0, "target": 1 },
      "speeds": [8, 16, 24, 32, 40, 48], "current": 32, "blockDescriptorLength": 8 }
  ],
  "aspi": { "adapters": [ { "targets": 8 } ] }
})";

} // namespace

SimMachineConfig DefaultMachine() {
    return ParseMachine(DEFAULT_MACHINE);
}

} // namespace qv::sim
