#pragma once
// Reading TI-TXT firmware images into the blocks that the MSP430 boot loaders
// program one frame at a time.
//
// A TI-TXT text holds address lines ("@C000"), data lines of hexadecimal byte
// pairs separated by blanks, and the end character "q". The reader cuts the
// data into blocks of at most 15 data lines (240 bytes with 16-byte lines), so
// that one block fits one boot-loader frame, and gives every block an even
// length because the classic boot loader only takes whole words:
//  - an address line closes the current block; an odd length gets one 0xFF
//    (the value of erased flash, so programming it changes nothing);
//  - after the 15th data line of a block the next block begins; an odd byte is
//    carried over into the next block, so every byte keeps its address;
//  - the last block of the image, if odd, also gets one 0xFF;
//  - an address line right after another replaces the block without data.
// Addresses are kept whole (absolute, up to 24 bits). The layout rules that
// only one boot-loader family needs (the 64 KB split of the classic loader,
// the vector region of the 5xx loader) are applied by ReadClassicImage and
// Read5xxImage.
//
// Limits are checked before anything is sent to an instrument: a text without
// its closing "q" (a file cut short at a line end would otherwise leave the rest
// of the flash erased), a text above the caller's size limit, more blocks than the caller's table holds, data
// lines of more than 16 bytes, data before the first address line, characters
// that are not hexadecimal, and an image without any data are refused with a
// TiTxtError. Pure functions; any thread.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace loaders {

inline constexpr std::size_t kBlockDataBytes = 246;  ///< data bytes of one table entry
inline constexpr int kLinesPerBlock = 15;
inline constexpr int kMaxBytesPerLine = 16;

/// One block: `count` data bytes for the absolute `address`. A block without
/// data at address 0 is the marker that separates the upper flash from the
/// vector blocks of a classic image.
struct ImageBlock {
  std::uint32_t address = 0;
  std::uint16_t count = 0;
  std::array<std::uint8_t, kBlockDataBytes> data{};

  std::uint32_t End() const { return address + count; }
  bool IsMarker() const { return count == 0; }
};

enum class TiTxtError {
  None,
  FileMissing,     ///< the file cannot be opened
  FileTooLarge,    ///< above the loader's buffer
  TooManyBlocks,   ///< more blocks than the loader's table holds
  LineTooLong,     ///< a data line with more than 16 bytes
  DataWithoutAddress,  ///< data before the first address line
  BadCharacter,    ///< not a hexadecimal byte pair
  NoData,          ///< no address line or no data at all
  AddressTooHigh,  ///< beyond what the boot loader can address
  LowAfterHigh,    ///< classic: data below 64 KB after data above it
  NoStartWord,     ///< the last block cannot hold the start address
  FileUnreadable,  ///< the file opens but cannot be read (a folder, an I/O error)
  NoEnd,           ///< TI-TXT without its closing "q": the file was cut short
  FileEmpty,       ///< the file holds no bytes at all
  BadRecord,       ///< S-records, Intel HEX: a line that is no well-formed record
  BadChecksum,     ///< S-records, Intel HEX: a record whose checksum does not match
  NoEndRecord,     ///< S-records, Intel HEX: the end record is missing: the file was cut short
  NoVersion,       ///< the version marker of the device profile is not in the file
};

struct TiTxtImage {
  std::vector<ImageBlock> blocks;
  /// Classic: index of the first block above 64 KB, -1 when none.
  std::int32_t upperStart = -1;
  /// 5xx: index of the first vector block before the move, -1 when none, and
  /// how many there are.
  std::int32_t firstVectorBlock = -1;
  std::int32_t vectorBlockCount = 0;

  std::int32_t LastIndex() const { return static_cast<std::int32_t>(blocks.size()) - 1; }
};

struct TiTxtResult {
  TiTxtError error = TiTxtError::None;
  int line = 0;  ///< 1-based line of the text where the error was found, 0 when none
  bool Ok() const { return error == TiTxtError::None; }
};

/// Limits of one loader's tables.
struct TiTxtLimits {
  std::size_t maxBlocks = 1280;
  std::uint32_t maxAddress = 0xFFFFFF;  ///< highest byte address the loader can reach
};

/// The common reading rules above, into absolute blocks.
TiTxtResult ReadTiTxt(std::string_view text, const TiTxtLimits& limits, TiTxtImage& image);

/// Classic layout: a block that runs into 0x10000 is split there; the first
/// block at or above 0x10000 becomes `upperStart`. When there are upper blocks
/// after lower ones, the blocks below 64 KB that reach 0xFE00 (the interrupt
/// vectors) move behind all others after one empty marker block, so the vector
/// segment is programmed last. Addresses above 0x1FFFF and lower data after
/// upper data are refused (the loader switches the memory offset only upward
/// before the marker).
TiTxtResult ReadClassicImage(std::string_view text, std::size_t maxBlocks, TiTxtImage& image);

/// 5xx layout: addresses stay whole. The blocks below 0x10000 whose data reach
/// 0xFE00 form the vector region; when it is not at the front it moves, in its
/// order, behind all other blocks.
TiTxtResult Read5xxImage(std::string_view text, std::size_t maxBlocks, TiTxtImage& image);

}  // namespace loaders
