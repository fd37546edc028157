#pragma once
// Motorola S-records: one record per text line, "S", a type digit, a count of
// the bytes that follow, the address (2, 3 or 4 bytes by type), data and a
// checksum (the ones' complement of the low byte of the sum of count, address
// and data bytes), all as pairs of hex digits.
//
// The parser is as strict as a loader that writes flash from the records has
// to be: every field is checked, and a record that is not well formed for its
// type is refused. The formatter writes records as the usual tools do
// (upper-case hex digits, CR LF).
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/image.h"

namespace sim {

struct SRecord {
  char type = '0';  ///< '0' header, '1'/'2'/'3' data, '5' record count, '7'/'8'/'9' end
  std::uint32_t address = 0;  ///< data address, record count (S5) or start address (S7-S9)
  std::vector<std::uint8_t> data;
};

/// Address bytes of a record type (S0 2, S1 2, S2 3, S3 4, S5 2, S7 4, S8 3,
/// S9 2); 0 for a type a loader does not take (S4, S6 and anything else).
int AddressBytes(char type);

inline bool IsDataRecord(char type) { return type == '1' || type == '2' || type == '3'; }
inline bool IsEndRecord(char type) { return type == '7' || type == '8' || type == '9'; }

/// One record from a line without its line end; nullopt when the line is not
/// a well-formed record: wrong start, unknown type, a character that is not a
/// hex digit, an odd number of digits, a count that does not match the line,
/// a wrong checksum, an S0 whose address is not 0, or data in an S5 or end
/// record.
std::optional<SRecord> ParseSRecord(std::string_view line);

/// The record as a line with CR LF. `data` must leave the count below 256.
std::string FormatSRecord(char type, std::uint32_t address, std::span<const std::uint8_t> data = {});

/// A segment of an image and the data record type that carries it.
struct SRecordBlock {
  char dataType = '2';
  ImageSegment segment;
};

/// A whole file as the usual tools write it: an S0 header record carrying
/// `header`, the blocks in order as data records of up to 32 bytes, an S5
/// with the number of data records, and the end record of `endType` with the
/// start address `entry`.
std::string ToSRecordFile(std::string_view header, const std::vector<SRecordBlock>& blocks, char endType,
                          std::uint32_t entry);

}  // namespace sim
