#pragma once
// Reading the firmware files the stand-ins program: Motorola S-records (.mot)
// and Intel HEX (.HEX). Every record's checksum is checked; a file with a
// malformed record is refused as a whole, with the line number in the message.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin {

/// Bytes at consecutive addresses.
struct Block {
  std::uint32_t address = 0;
  std::vector<std::uint8_t> data;
};

/// The file's bytes, or nullopt. A name that does not exist as written is
/// also looked up in its folder without regard to ASCII letter case, as the
/// installations name files in any case.
std::optional<std::string> ReadFirmwareFile(const std::string& path);

/// The data of an S-record file (S1/S2/S3 data; S0, S5, S6 skipped; S7/S8/S9
/// end it), contiguous records joined into one block. Nullopt with `error`
/// set on a malformed record or a file without data.
std::optional<std::vector<Block>> ParseSRecords(const std::string& text, std::string& error);

/// One Intel HEX record in binary: count, address high, address low, type,
/// data, checksum.
using HexRecord = std::vector<std::uint8_t>;

struct IntelHexFile {
  std::vector<HexRecord> records;  ///< every record up to and including the end-of-file record
  std::vector<Block> blocks;       ///< the data at absolute addresses, contiguous records joined
};

/// Reads an Intel HEX file (types 00 to 05). Nullopt with `error` set on a
/// malformed record, a missing end-of-file record or a file without data.
std::optional<IntelHexFile> ParseIntelHex(const std::string& text, std::string& error);

}  // namespace standin
