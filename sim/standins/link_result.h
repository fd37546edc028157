#pragma once
// The outcome of one exchange with a boot loader, for the stand-ins' links.
namespace standin {

enum class LinkResult {
  kOk,
  kNoAnswer,  ///< nothing (or nothing readable) came back in time: the line may recover
  kRefused,   ///< the boot loader answered with an error, or read back other data
};

}  // namespace standin
