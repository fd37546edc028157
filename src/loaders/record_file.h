#pragma once
// Checking the record files that go to an instrument as they are stored:
// Motorola S-records (the Basic-Loader, the M16 tools) and Intel HEX (the
// PIC32 tool). Nothing here decodes addresses for programming; it only tells
// whether every record is well formed, carries a matching checksum, and
// whether the end record is there, so that a file cut short or damaged is
// refused before an instrument erases anything. Blank lines and a DOS end
// mark (0x1A) after the end record are allowed. Pure functions; any thread.
#include <string_view>

#include "loaders/ti_txt_image.h"

namespace loaders {

/// S0 to S9 records (S4 does not exist), each "S", type, count, address,
/// data and a checksum that makes the ones' complement of the byte sum.
/// BadRecord or BadChecksum with the 1-based line; NoEndRecord when no S7,
/// S8 or S9 closes the file; NoData when no S1, S2 or S3 record came before
/// it. Lines after the end record are not read.
TiTxtResult CheckSRecords(std::string_view text);

/// ":" records of types 00 to 05, whose bytes sum to 0 modulo 256. BadRecord
/// or BadChecksum with the line; NoEndRecord without the end-of-file record
/// (type 01); NoData when no data record came before it.
TiTxtResult CheckIntelHex(std::string_view text);

}  // namespace loaders
