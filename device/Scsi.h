// SCSI/MMC command blocks the drives are sent and the reply fields that are read back.
// Builders fill caller-owned arrays; decoders are pure functions over a reply's bytes, so a reply
// that claims more than its buffer holds is never read past its end.
#pragma once

#include "platform/Types.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qv {

inline constexpr BYTE SCSIOP_INQUIRY = 0x12;
inline constexpr BYTE SCSIOP_MODE_SENSE6 = 0x1A;
inline constexpr BYTE SCSIOP_MODE_SENSE10 = 0x5A;
inline constexpr BYTE SCSIOP_SET_CD_SPEED = 0xBB;
inline constexpr BYTE MODE_PAGE_CAPABILITIES = 0x2A;

inline constexpr std::size_t INQUIRY_REPLY_SIZE = 96;
inline constexpr std::size_t MODE_SENSE_REPLY_SIZE = 128;
inline constexpr std::size_t MAX_CDB_SIZE = 16;

inline constexpr BYTE SCSISTAT_GOOD = 0x00;
inline constexpr BYTE SCSISTAT_CHECK_CONDITION = 0x02;
inline constexpr BYTE SENSE_KEY_ILLEGAL_REQUEST = 0x05;
inline constexpr BYTE ASC_INVALID_OPCODE = 0x20;
inline constexpr BYTE ASC_INVALID_FIELD_IN_CDB = 0x24;

// A drive reports rates in KB/s; 176 KB/s is one "x".
inline constexpr int KBPS_PER_X_REPORTED = 176;
// Requests go out at 177 KB/s per x so that a drive rounding down never lands one step low.
inline constexpr int KBPS_PER_X_REQUESTED = 177;
inline constexpr int MAX_SPEED_X = 100;
inline constexpr WORD SET_SPEED_MAXIMUM = 0xFFFF;

struct Cdb {
    std::array<BYTE, MAX_CDB_SIZE> bytes{};
    BYTE nLength = 0;
};

inline WORD ReadBigEndian16(const BYTE* p) {
    return static_cast<WORD>((p[0] << 8) | p[1]);
}
inline void WriteBigEndian16(BYTE* p, unsigned nValue) {
    p[0] = static_cast<BYTE>(nValue >> 8);
    p[1] = static_cast<BYTE>(nValue);
}

Cdb MakeInquiryCdb(int nLun);
Cdb MakeModeSense6Cdb(int nLun);
Cdb MakeModeSense10Cdb(int nLun);
Cdb MakeSetSpeedCdb(int nSpeed);

// The rate a set-speed request carries for a speed in x: 0 or below asks for the maximum. In 64
// bits: a long has 32 on Windows, too few for the largest speeds times 177.
constexpr WORD RequestedRateForSpeed(int nSpeed) {
    if (nSpeed <= 0)
        return SET_SPEED_MAXIMUM;
    const std::int64_t nRate = std::int64_t{nSpeed} * KBPS_PER_X_REQUESTED;
    return static_cast<WORD>(nRate < SET_SPEED_MAXIMUM ? nRate : SET_SPEED_MAXIMUM);
}
// Compiled in every build, the Windows ones included.
static_assert(RequestedRateForSpeed(2'000'000'000) == SET_SPEED_MAXIMUM);

using ReplyBytes = std::span<const BYTE>;

// The bytes of page 2Ah in a MODE SENSE reply, or nothing when the header's block descriptor
// length would put the page's current-speed field (bytes 14-15) outside the reply, or the page
// found there is another one (a failed read leaves page code 0).
std::optional<ReplyBytes> LocateCapabilitiesPage(ReplyBytes reply, bool bModeSense10);

// Byte 0 bits 5-0 of a mode page: its code.
inline constexpr BYTE CAPS_PAGE_CODE_MASK = 0x3F;
inline constexpr std::size_t CAPS_MAX_READ_RATE = 8;
inline constexpr std::size_t CAPS_CUR_READ_RATE = 14;
inline constexpr std::size_t CAPS_PARSED_SIZE = 16;

// Sense data fields: byte 2 bits 3-0 the key, byte 12 the additional sense code; sense data too
// short to hold a field reads it as 0.
inline constexpr std::size_t SENSE_SIZE = 14;
inline BYTE SenseKey(ReplyBytes sense) {
    return sense.size() > 2 ? sense[2] & 0x0F : 0;
}
inline BYTE SenseAsc(ReplyBytes sense) {
    return sense.size() > 12 ? sense[12] : 0;
}

// An INQUIRY text field: up to the first NUL or the end of its range (or of the reply), trailing
// blanks removed.
std::string InquiryText(ReplyBytes reply, std::size_t nFirst, std::size_t nLast);

} // namespace qv
