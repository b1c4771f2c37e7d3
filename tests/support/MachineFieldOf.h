// The field a machine file's first mistake is reported against, or "(accepted)".
#pragma once

#include "sim/MachineFile.h"

#include <string>

namespace qv::test {

inline std::string MachineFieldOf(const std::string& strJson) {
    try {
        sim::ParseMachine(strJson);
    } catch (const sim::CMachineFileError& error) {
        return error.Field();
    }
    return "(accepted)";
}

} // namespace qv::test
