#pragma once
// The text formats of the firmware files handed to the external library and
// tools: Motorola S-records (.mot) and Intel HEX (.HEX). Both writers are
// deterministic, use 16 data bytes per record, upper-case hexadecimal digits
// and CR LF line ends.
#include <string>

#include "sim/image.h"

namespace sim {

/// An S0 header record, then S1 data records (S2 when an address needs 24
/// bits, S3 for 32 bits), then the matching S9/S8/S7 end record with
/// address 0. Checksum: the ones' complement of the low byte of the sum of
/// the count, address and data bytes.
std::string ToSRecords(const MemoryImage& image);

/// Data records (type 00) behind an extended linear address record (type 04)
/// for each 64 KB page they touch, the first one at the very start; then the
/// end-of-file record. Checksum: the two's complement of the sum of the
/// record's bytes.
std::string ToIntelHex(const MemoryImage& image);

}  // namespace sim
