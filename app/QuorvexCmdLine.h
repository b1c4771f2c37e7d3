// The command line: the switches save, restore and boot, each after "-" or "/" and in any case.
// Everything else is accepted and has no effect.
#pragma once

#include <string_view>

namespace qv {

class CQuorvexCmdLine {
public:
    CQuorvexCmdLine() = default;
    // Every argument after the program's name, in order.
    CQuorvexCmdLine(int argc, const char* const* argv) { Parse(argc, argv); }
    void Parse(int argc, const char* const* argv);
    // bSwitch: the argument began with "-" or "/", which strParam no longer holds.
    void ParseArgument(std::string_view strParam, bool bSwitch);

    bool m_bSave = false;
    bool m_bRestore = false; // "restore" or "boot"
};

} // namespace qv
