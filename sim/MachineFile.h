// The machine file: a JSON description of a simulated machine (see sim/README.md). Reading is
// strict: an unknown field, a value of the wrong kind or out of range is an error that names
// the field, never a silent default.
#pragma once

#include "sim/SimConfig.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace qv::sim {

class CMachineFileError : public std::runtime_error {
public:
    CMachineFileError(std::string strField, const std::string& strProblem)
        : std::runtime_error(strField + ": " + strProblem), m_strField(std::move(strField)) {}
    const std::string& Field() const { return m_strField; }

private:
    std::string m_strField;
};

SimMachineConfig ParseMachine(std::string_view strJson);
SimMachineConfig LoadMachineFile(const std::string& strPath);
// The machine the demo program runs on when it is given no file.
SimMachineConfig DefaultMachine();

} // namespace qv::sim
