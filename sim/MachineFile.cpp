#include "sim/MachineFile.h"

#include "platform/AspiLayout.h"
#include "platform/DriveService.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv::sim {
namespace {

using nlohmann::json;

// Follows the parser through the text, so that a mistake it meets is reported against the field
// it is in, and refuses a field name that is empty, holds a NUL or repeats in its object, which
// the parser itself would accept, keeping the last of the repeated values.
class CFieldTracker {
public:
    bool operator()(int, json::parse_event_t event, const json& parsed) {
        switch (event) {
        case json::parse_event_t::object_start:
            m_aLevels.emplace_back(false);
            break;
        case json::parse_event_t::array_start:
            m_aLevels.emplace_back(true);
            break;
        case json::parse_event_t::key:
            Enter(parsed.get_ref<const std::string&>());
            break;
        case json::parse_event_t::object_end:
        case json::parse_event_t::array_end:
            m_aLevels.pop_back();
            Leave();
            break;
        case json::parse_event_t::value:
            Leave();
            break;
        }
        return true;
    }

    // The field the parser is in, as the readers below name it.
    std::string Path() const {
        const std::string strPath = PathOf(m_aLevels.size());
        return strPath.empty() ? "(file)" : strPath;
    }

private:
    struct Level {
        explicit Level(bool bIsArray) : bArray(bIsArray) {}
        bool bArray;
        std::size_t nIndex = 0;
        std::string strKey;
        std::set<std::string> keys;
    };

    // The field that the first nLevels levels lead to.
    std::string PathOf(std::size_t nLevels) const {
        std::string strPath;
        for (std::size_t i = 0; i < nLevels; ++i) {
            const Level& level = m_aLevels[i];
            if (level.bArray)
                strPath.append("[").append(std::to_string(level.nIndex)).append("]");
            else if (!level.keys.empty())
                strPath.append(strPath.empty() ? "" : ".").append(level.strKey);
        }
        return strPath;
    }

    void Enter(const std::string& strKey) {
        if (strKey.empty() || strKey.find('\0') != std::string::npos) {
            const std::string strObject = PathOf(m_aLevels.size() - 1);
            throw CMachineFileError(strObject.empty() ? "(machine)" : strObject,
                                    strKey.empty() ? "has a field without a name"
                                                   : "has a field whose name holds a NUL");
        }
        Level& level = m_aLevels.back();
        level.strKey = strKey;
        if (!level.keys.insert(strKey).second)
            throw CMachineFileError(Path(), "appears twice");
    }

    // A value has ended: the next one in an array has the next index.
    void Leave() {
        if (!m_aLevels.empty() && m_aLevels.back().bArray)
            ++m_aLevels.back().nIndex;
    }

    std::vector<Level> m_aLevels;
};

// Reads the fields of one JSON object, each at most once, and rejects the ones left over.
class CObjectReader {
public:
    CObjectReader(const json& object, std::string strPath)
        : m_object(object), m_strPath(std::move(strPath)) {
        if (!m_object.is_object())
            throw CMachineFileError(m_strPath.empty() ? "(machine)" : m_strPath,
                                    "must be an object");
    }

    std::string Path(std::string_view strKey) const {
        return m_strPath.empty() ? std::string(strKey) : m_strPath + "." + std::string(strKey);
    }

    const json* Find(const char* pszKey) {
        m_known.insert(pszKey);
        const auto it = m_object.find(pszKey);
        return it == m_object.end() ? nullptr : &*it;
    }

    const json& Require(const char* pszKey) {
        const json* pValue = Find(pszKey);
        if (!pValue)
            throw CMachineFileError(Path(pszKey), "is missing");
        return *pValue;
    }

    void Read(const char* pszKey, std::string& strValue) {
        if (const json* pValue = Find(pszKey)) {
            if (!pValue->is_string())
                throw CMachineFileError(Path(pszKey), "must be a string");
            strValue = pValue->get<std::string>();
        }
    }

    void Read(const char* pszKey, bool& bValue) {
        if (const json* pValue = Find(pszKey)) {
            if (!pValue->is_boolean())
                throw CMachineFileError(Path(pszKey), "must be true or false");
            bValue = pValue->get<bool>();
        }
    }

    void Read(const char* pszKey, int& nValue, int nMin, int nMax) {
        if (const json* pValue = Find(pszKey))
            nValue = Integer(*pValue, Path(pszKey), nMin, nMax);
    }

    static int Integer(const json& value, const std::string& strPath, int nMin, int nMax) {
        if (!value.is_number_integer())
            throw CMachineFileError(strPath, "must be a whole number");
        const auto nValue = value.get<long long>();
        if (nValue < nMin || nValue > nMax)
            throw CMachineFileError(strPath, "must be from " + std::to_string(nMin) + " to " +
                                                 std::to_string(nMax));
        return static_cast<int>(nValue);
    }

    void RejectUnknown() const {
        for (const auto& [strKey, value] : m_object.items())
            if (!m_known.count(strKey))
                throw CMachineFileError(Path(strKey), "is not a known field");
    }

private:
    const json& m_object;
    std::string m_strPath;
    std::set<std::string, std::less<>> m_known;
};

template <class Value>
Value OneOf(const json& value, const std::string& strPath,
            std::initializer_list<std::pair<const char*, Value>> choices) {
    if (value.is_string())
        for (const auto& [pszName, choice] : choices)
            if (value.get<std::string>() == pszName)
                return choice;
    std::string strNames;
    for (const auto& choice : choices)
        strNames += (strNames.empty() ? "" : ", ") + std::string(choice.first);
    throw CMachineFileError(strPath, "must be one of " + strNames);
}

void CheckText(const std::string& strText, std::size_t nWidth, const std::string& strPath) {
    if (strText.size() > nWidth)
        throw CMachineFileError(strPath,
                                "is longer than " + std::to_string(nWidth) + " characters");
}

// A speed as a key of "rates" names it: decimal digits only, no sign, blank or leading zero, so
// that no two keys name one speed.
std::optional<int> PlainSpeed(const std::string& strKey) {
    constexpr std::size_t MAX_DIGITS = 3;
    if (strKey.empty() || strKey.size() > MAX_DIGITS || strKey[0] == '0' ||
        !std::all_of(strKey.begin(), strKey.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(strKey);
}

SimScsiAddress ReadAddress(const json& value, const std::string& strPath) {
    CObjectReader reader(value, strPath);
    SimScsiAddress address;
    reader.Read("port", address.nPort, 0, 255);
    reader.Read("pathId", address.nPathId, 0, 255);
    reader.Read("targetId", address.nTargetId, 0, 255);
    reader.Read("lun", address.nLun, 0, 7);
    reader.RejectUnknown();
    return address;
}

SimAspiAddress ReadAspiAddress(const json& value, const std::string& strPath) {
    CObjectReader reader(value, strPath);
    SimAspiAddress address;
    reader.Read("adapter", address.nAdapter, 0, 255);
    reader.Read("target", address.nTarget, 0, 255);
    reader.RejectUnknown();
    return address;
}

SimAspiConfig ReadAspi(const json& value) {
    CObjectReader reader(value, "aspi");
    SimAspiConfig aspi;
    aspi.bInstalled = true;
    reader.Read("entryPoints", aspi.bEntryPoints);
    if (const json* pAdapters = reader.Find("adapters")) {
        const std::string strPath = reader.Path("adapters");
        if (!pAdapters->is_array() || pAdapters->size() > 255)
            throw CMachineFileError(strPath, "must be a list of at most 255 host adapters");
        for (std::size_t i = 0; i < pAdapters->size(); ++i) {
            CObjectReader adapter((*pAdapters)[i], strPath + "[" + std::to_string(i) + "]");
            int nTargets = 0;
            adapter.Read("targets", nTargets, 0, 255);
            adapter.RejectUnknown();
            aspi.aAdapterTargets.push_back(nTargets);
        }
    }
    if (const json* pSupportInfo = reader.Find("supportInfo"))
        aspi.nSupportInfo = static_cast<DWORD>(
            CObjectReader::Integer(*pSupportInfo, reader.Path("supportInfo"), 0, 0xFFFF));
    reader.Read("diskInfoFails", aspi.bDiskInfoFails);
    reader.Read("completionDelayMs", aspi.nCompletionDelayMs, 0, 10000);
    if (const json* pOrder = reader.Find("order"))
        aspi.order = OneOf<SimAspiOrder>(
            *pOrder, reader.Path("order"),
            {{"fifo", SimAspiOrder::Fifo}, {"newestFirst", SimAspiOrder::NewestFirst}});
    reader.RejectUnknown();
    return aspi;
}

// Every drive the ASPI manager reports sits on one of its adapters, below the adapter's number
// of targets, alone at its address.
void CheckAspiLayout(const SimMachineConfig& machine) {
    const auto& aAdapters = machine.aspi.aAdapterTargets;
    std::set<SimAspiAddress> used;
    for (std::size_t i = 0; i < machine.aDrives.size(); ++i) {
        const auto& cdrom = machine.aDrives[i].cdrom;
        if (!cdrom || !cdrom->aspi)
            continue;
        const std::string strPath = "drives[" + std::to_string(i) + "].aspiAddress";
        const SimAspiAddress& address = *cdrom->aspi;
        if (address.nAdapter >= static_cast<int>(aAdapters.size()))
            throw CMachineFileError(strPath + ".adapter", "names no adapter of aspi.adapters");
        const int nUnique = aAdapters[static_cast<std::size_t>(address.nAdapter)];
        const int nTargets = nUnique ? nUnique : ASPI_DEFAULT_TARGETS;
        if (address.nTarget >= nTargets)
            throw CMachineFileError(strPath + ".target", "must be below the adapter's " +
                                                             std::to_string(nTargets) + " targets");
        if (!used.insert(address).second)
            throw CMachineFileError(strPath, "names the adapter and target of another drive");
    }
}

void ReadCdrom(CObjectReader& reader, SimCdromConfig& cdrom) {
    reader.Read("vendor", cdrom.strVendor);
    CheckText(cdrom.strVendor, 8, reader.Path("vendor"));
    reader.Read("product", cdrom.strProduct);
    CheckText(cdrom.strProduct, 16, reader.Path("product"));
    reader.Read("revision", cdrom.strRevision);
    CheckText(cdrom.strRevision, 4, reader.Path("revision"));
    reader.Read("vendorInfo", cdrom.strVendorInfo);
    CheckText(cdrom.strVendorInfo, 20, reader.Path("vendorInfo"));
    reader.Read("inquiryByte3", cdrom.nInquiryByte3, 0, 255);
    reader.Read("additionalLength", cdrom.nAdditionalLength, 0, 255);
    reader.Read("removable", cdrom.bRemovable);
    reader.Read("inquiryFails", cdrom.bInquiryFails);
    if (const json* pAddress = reader.Find("address"))
        cdrom.address = ReadAddress(*pAddress, reader.Path("address"));

    if (const json* pSpeeds = reader.Find("speeds")) {
        const std::string strPath = reader.Path("speeds");
        if (!pSpeeds->is_array() || pSpeeds->empty())
            throw CMachineFileError(strPath, "must be a non-empty list of speeds in x");
        cdrom.aSpeeds.clear();
        for (std::size_t i = 0; i < pSpeeds->size(); ++i)
            cdrom.aSpeeds.push_back(CObjectReader::Integer(
                (*pSpeeds)[i], strPath + "[" + std::to_string(i) + "]", 1, 372));
        std::sort(cdrom.aSpeeds.begin(), cdrom.aSpeeds.end());
        if (std::adjacent_find(cdrom.aSpeeds.begin(), cdrom.aSpeeds.end()) != cdrom.aSpeeds.end())
            throw CMachineFileError(strPath, "lists a speed twice");
    }
    cdrom.nCurrent = cdrom.aSpeeds.back();
    reader.Read("current", cdrom.nCurrent, 1, 372);
    if (!std::binary_search(cdrom.aSpeeds.begin(), cdrom.aSpeeds.end(), cdrom.nCurrent))
        throw CMachineFileError(reader.Path("current"), "must be one of the drive's speeds");

    if (const json* pRates = reader.Find("rates")) {
        const std::string strPath = reader.Path("rates");
        if (!pRates->is_object())
            throw CMachineFileError(strPath, "must map speeds to rates in KB/s");
        for (const auto& [strSpeed, rate] : pRates->items()) {
            const std::string strEntry = strPath + "." + strSpeed;
            const auto nSpeed = PlainSpeed(strSpeed);
            if (!nSpeed || !std::binary_search(cdrom.aSpeeds.begin(), cdrom.aSpeeds.end(), *nSpeed))
                throw CMachineFileError(strEntry,
                                        "must name one of the drive's speeds in plain digits");
            cdrom.mapRates[*nSpeed] = CObjectReader::Integer(rate, strEntry, 0, 0xFFFE);
        }
    }
    int nMaxRate = 0;
    reader.Read("maxRate", nMaxRate, 0, 0xFFFF);
    if (reader.Find("maxRate"))
        cdrom.nMaxRate = nMaxRate;
    reader.Read("blockDescriptorLength", cdrom.nBlockDescriptorLength, 0, 255);
    reader.Read("modeSense6", cdrom.bModeSense6);
    if (const json* pMode = reader.Find("setSpeed"))
        cdrom.setSpeed = OneOf<SetSpeedMode>(*pMode, reader.Path("setSpeed"),
                                             {{"accept", SetSpeedMode::Accept},
                                              {"ignore", SetSpeedMode::Ignore},
                                              {"reject", SetSpeedMode::Reject}});
    reader.Read("alwaysReportsZero", cdrom.bAlwaysReportsZero);
    reader.Read("latencyMs", cdrom.nLatencyMs, 0, 10000);
    reader.Read("revertsAfterMs", cdrom.nRevertsAfterMs, 0, 3600000);
    if (const json* pAspi = reader.Find("aspiAddress"))
        cdrom.aspi = ReadAspiAddress(*pAspi, reader.Path("aspiAddress"));
}

SimDriveConfig ReadDrive(const json& value, const std::string& strPath) {
    CObjectReader reader(value, strPath);
    SimDriveConfig drive;
    const json& root = reader.Require("root");
    if (!root.is_string())
        throw CMachineFileError(reader.Path("root"), "must be a string");
    drive.strRoot = root.get<std::string>();
    if (drive.strRoot.size() != 3 || !std::isalpha(static_cast<unsigned char>(drive.strRoot[0])) ||
        drive.strRoot[1] != ':' || drive.strRoot[2] != '\\')
        throw CMachineFileError(reader.Path("root"), "must be a root path such as E:\\");
    drive.nType = OneOf<unsigned>(reader.Require("type"), reader.Path("type"),
                                  {{"fixed", DRIVETYPE_FIXED},
                                   {"removable", DRIVETYPE_REMOVABLE},
                                   {"cdrom", DRIVETYPE_CDROM},
                                   {"remote", DRIVETYPE_REMOTE},
                                   {"ramdisk", DRIVETYPE_RAMDISK}});
    reader.Read("opens", drive.bOpens);
    reader.Read("answersAddress", drive.bAnswersAddress);
    reader.Read("passThrough", drive.bPassThrough);
    if (drive.nType == DRIVETYPE_CDROM)
        ReadCdrom(reader, drive.cdrom.emplace());
    reader.RejectUnknown();
    return drive;
}

SimMachineConfig ReadMachine(const json& document) {
    CObjectReader reader(document, "");
    SimMachineConfig machine;
    if (const json* pPlatform = reader.Find("platform"))
        machine.platform = OneOf<SimPlatform>(
            *pPlatform, "platform", {{"nt", SimPlatform::Nt}, {"9x", SimPlatform::Win9x}});
    const json& drives = reader.Require("drives");
    if (!drives.is_array())
        throw CMachineFileError("drives", "must be a list of drives");
    std::set<char> letters;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        const std::string strPath = "drives[" + std::to_string(i) + "]";
        machine.aDrives.push_back(ReadDrive(drives[i], strPath));
        const char cLetter = static_cast<char>(
            std::toupper(static_cast<unsigned char>(machine.aDrives.back().strRoot[0])));
        if (!letters.insert(cLetter).second)
            throw CMachineFileError(strPath + ".root", "names a drive letter twice");
    }
    if (const json* pAspi = reader.Find("aspi"))
        machine.aspi = ReadAspi(*pAspi);
    CheckAspiLayout(machine);
    reader.RejectUnknown();
    return machine;
}

} // namespace

SimMachineConfig ParseMachine(std::string_view strJson) {
    CFieldTracker tracker;
    try {
        return ReadMachine(
            json::parse(strJson, [&tracker](int nDepth, json::parse_event_t event, json& parsed) {
                return tracker(nDepth, event, parsed);
            }));
    } catch (const json::exception& error) {
        // Every value is checked for its kind before it is read, so the library's errors come
        // from the parser, which the tracker has followed to the field at fault.
        throw CMachineFileError(tracker.Path(), std::string("cannot be read: ") + error.what());
    }
}

SimMachineConfig LoadMachineFile(const std::string& strPath) {
    // Read with the C library: the demo carries no stream library for one file.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> pFile(std::fopen(strPath.c_str(), "rb"),
                                                          &std::fclose);
    if (!pFile)
        throw CMachineFileError("(file)", "cannot be read");
    std::string strText;
    char aChunk[4096];
    for (std::size_t nRead; (nRead = std::fread(aChunk, 1, sizeof aChunk, pFile.get())) > 0;)
        strText.append(aChunk, nRead);
    if (std::ferror(pFile.get()))
        throw CMachineFileError("(file)", "cannot be read");
    return ParseMachine(strText);
}

} // namespace qv::sim
