#include "loaders/m16_library.h"

#include <filesystem>

#include "platform/files.h"

namespace loaders {
namespace {

template <typename F>
void Resolve(const platform::SharedLibrary& library, const char* decorated, const char* plain,
             F*& function) {
  function = library.Function<F>(decorated);
  if (function == nullptr) function = library.Function<F>(plain);
}

}  // namespace

M16Functions ResolveM16Functions(const platform::SharedLibrary& library) {
  M16Functions f;
  Resolve(library, "?M16Upd_Init@@YAHH@Z", "M16Upd_Init", f.init);
  Resolve(library, "?M16Upd_IsBTLActive@@YAHXZ", "M16Upd_IsBTLActive", f.isBtlActive);
  Resolve(library, "?M16Upd_Clear@@YAHXZ", "M16Upd_Clear", f.clear);
  Resolve(library, "?M16Upd_Program@@YAHPB_WHP6AXH@Z@Z", "M16Upd_Program", f.program);
  Resolve(library, "?M16Upd_MakeValid@@YAHXZ", "M16Upd_MakeValid", f.makeValid);
  Resolve(library, "?M16Upd_ExitAndStartApplication@@YAHXZ", "M16Upd_ExitAndStartApplication",
          f.exitAndStartApplication);
  Resolve(library, "?M16Upd_Deinit@@YAHXZ", "M16Upd_Deinit", f.deinit);
  return f;
}

M16Library LoadM16Library(const std::vector<std::string>& folders) {
  M16Library loaded;
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    const std::string path = platform::ResolveCaseless(folder, kM16LibraryName);
    std::error_code error;
    if (!std::filesystem::exists(path, error)) continue;
    loaded.library = platform::SharedLibrary::Open(path).library;
    if (loaded.library) break;
  }
  if (!loaded.library) loaded.library = platform::SharedLibrary::Open(kM16LibraryName).library;
  if (loaded.library) loaded.functions = ResolveM16Functions(*loaded.library);
  return loaded;
}

}  // namespace loaders
