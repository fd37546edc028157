#include "platform/shared_library.h"

#include <dlfcn.h>
#include <unistd.h>

namespace platform {

LibraryOpen SharedLibrary::Open(const std::string& pathOrName) {
  LibraryOpen result;
  void* handle = ::dlopen(pathOrName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* message = ::dlerror();
    result.detail = message != nullptr ? message : "cannot be loaded";
    // A path tells by itself whether the file is there; for a bare name the
    // search found nothing it could load.
    const bool isPath = pathOrName.find('/') != std::string::npos;
    result.error = isPath && ::access(pathOrName.c_str(), F_OK) == 0 ? LibraryError::kNotLoadable
                                                                     : LibraryError::kNotFound;
    return result;
  }
  result.library.reset(new SharedLibrary(handle));
  return result;
}

SharedLibrary::~SharedLibrary() { ::dlclose(handle_); }

void* SharedLibrary::Symbol(const char* name) const { return ::dlsym(handle_, name); }

}  // namespace platform
