#pragma once
// A loaded shared library and the functions it exports.
//
// How to use it:
//   platform::LibraryOpen opened = platform::SharedLibrary::Open(dir + "/libVorloM16Updater.so");
//   if (!opened) opened = platform::SharedLibrary::Open("libVorloM16Updater.so");  // system search
//   if (!opened) { tell the user opened.detail; take the other path }
//   auto* init = opened.library->Function<int(int)>("M16Upd_Init");
//   if (init == nullptr) { the symbol is missing }
//
// Open() takes a path (it contains a '/') or a bare file name, which the
// system's library search resolves (LD_LIBRARY_PATH, the cache, /lib, ...).
// The library is loaded with all its symbols bound at once (RTLD_NOW) and
// kept private to this handle (RTLD_LOCAL). Destroying the handle unloads it,
// so keep the handle as long as any function of it may run. Thread-safe as
// the system's dlopen/dlsym are; never throws.
#include <memory>
#include <string>

namespace platform {

enum class LibraryError {
  kNone,
  kNotFound,     ///< no file at the path, or the system search found none
  kNotLoadable,  ///< the file is there but is no loadable library (or lacks a dependency)
};

class SharedLibrary;

struct LibraryOpen {
  std::unique_ptr<SharedLibrary> library;  ///< null on failure
  LibraryError error = LibraryError::kNone;
  std::string detail;  ///< the system's message on failure
  explicit operator bool() const { return library != nullptr; }
};

class SharedLibrary {
 public:
  static LibraryOpen Open(const std::string& pathOrName);

  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  /// The address of the exported symbol `name`, or null when the library
  /// does not export it (symbol missing).
  void* Symbol(const char* name) const;

  /// The exported function `name` as a pointer of type F*, or null when it
  /// is missing. F must be the function's real type.
  template <typename F>
  F* Function(const char* name) const {
    return reinterpret_cast<F*>(Symbol(name));
  }

 private:
  explicit SharedLibrary(void* handle) : handle_(handle) {}

  void* handle_;
};

}  // namespace platform
