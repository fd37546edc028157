#pragma once
// The M16 updater library: where it is looked up and its seven functions.
//
// The library is "libVorloM16Updater.so". It is looked up in the given
// folders in their order, then by the system's library search. Each function
// is resolved by the name the maker's Windows build exports (C++-decorated)
// first and by its plain C name second, so a Linux build of the library may
// export either. Main thread only; the functions themselves are called from
// the library worker (hex_load.h).
#include <memory>
#include <string>
#include <vector>

#include "platform/shared_library.h"

namespace loaders {

inline constexpr const char* kM16LibraryName = "libVorloM16Updater.so";

/// The library's progress callback: a percentage from 0 to 100.
using M16ProgressCallback = void (*)(int percent);

/// The seven functions; a null member was not exported. Every result is
/// nonzero on success.
struct M16Functions {
  int (*init)(int comNumber) = nullptr;
  int (*isBtlActive)() = nullptr;
  int (*clear)() = nullptr;
  int (*program)(const wchar_t* file, int reserved, M16ProgressCallback progress) = nullptr;
  int (*makeValid)() = nullptr;
  int (*exitAndStartApplication)() = nullptr;
  int (*deinit)() = nullptr;
};

struct M16Library {
  std::unique_ptr<platform::SharedLibrary> library;  ///< null: not found or not loadable
  M16Functions functions;
  explicit operator bool() const { return library != nullptr; }
};

/// Loads the library from the first of `folders` that has it, else through
/// the system's search, and resolves its functions.
M16Library LoadM16Library(const std::vector<std::string>& folders);

/// Resolves the seven functions of a loaded library.
M16Functions ResolveM16Functions(const platform::SharedLibrary& library);

}  // namespace loaders
