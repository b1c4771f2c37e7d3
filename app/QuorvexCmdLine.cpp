#include "app/QuorvexCmdLine.h"

#include <algorithm>

namespace qv {
namespace {

// The switches are ASCII words. A multibyte character starts with a byte above 7Fh, which no
// letter of theirs matches, so folding ASCII letters alone compares as a multibyte-aware,
// case-insensitive comparison does.
bool SameWord(std::string_view strParam, std::string_view strWord) {
    const auto Fold = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return std::ranges::equal(strParam, strWord, {}, Fold, Fold);
}

} // namespace

void CQuorvexCmdLine::Parse(int argc, const char* const* argv) {
    for (int nArg = 1; argv && nArg < argc; ++nArg) {
        const std::string_view strArg = argv[nArg] ? argv[nArg] : "";
        const bool bSwitch = !strArg.empty() && (strArg.front() == '-' || strArg.front() == '/');
        ParseArgument(bSwitch ? strArg.substr(1) : strArg, bSwitch);
    }
}

void CQuorvexCmdLine::ParseArgument(std::string_view strParam, bool bSwitch) {
    if (!bSwitch)
        return;
    if (SameWord(strParam, "save"))
        m_bSave = true;
    else if (SameWord(strParam, "restore") || SameWord(strParam, "boot"))
        m_bRestore = true;
}

} // namespace qv
