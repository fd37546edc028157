#include "loaders/hex_load.h"

#include <utility>

namespace loaders {
namespace {

constexpr platform::Tick kSecondAskMs = 200;

// The pass whose library is programming now (the callback has no context).
std::atomic<LibraryProgress*> runningPass{nullptr};

void M16Progress(int percent) {
  if (LibraryProgress* progress = runningPass.load()) progress->Library(percent);
}

bool Succeeds(int (*function)()) { return function != nullptr && function() != 0; }

}  // namespace

std::wstring WideFileName(std::string_view name) {
  std::wstring wide;
  wide.reserve(name.size());
  for (const char c : name) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return wide;
}

THexLoad::~THexLoad() {
  if (worker_.joinable()) worker_.join();
}

void THexLoad::StartUpdate(std::wstring file, int comNumber) {
  if (worker_.joinable()) return;
  busy_ = true;
  worker_ = std::thread(&THexLoad::Pass, this, std::move(file), comNumber);
}

void THexLoad::Pass(std::wstring file, int comNumber) {
  progress_.Step(1.0f);
  bool ok = false;
  if (functions_.init != nullptr) {
    ok = Sequence(file, comNumber);
    if (functions_.deinit != nullptr) functions_.deinit();
  }
  succeeded_ = ok;
  busy_ = false;
  progress_.Ended();
}

bool THexLoad::Sequence(const std::wstring& file, int comNumber) {
  progress_.Step(2.0f);
  if (functions_.init(comNumber) == 0) return false;
  progress_.Step(3.0f);
  if (!BootLoaderActive()) return false;
  progress_.Step(4.0f);
  if (!Succeeds(functions_.clear)) return false;
  progress_.Step(5.0f);
  if (functions_.program == nullptr) return false;
  runningPass = &progress_;
  const int programmed = functions_.program(file.c_str(), 0, &M16Progress);
  runningPass = nullptr;
  if (programmed == 0) return false;
  if (functions_.makeValid != nullptr) functions_.makeValid();
  if (functions_.exitAndStartApplication != nullptr) functions_.exitAndStartApplication();
  return true;
}

bool THexLoad::BootLoaderActive() {
  if (functions_.isBtlActive == nullptr) return false;
  if (functions_.isBtlActive() != 0) return true;
  clock_.Sleep(kSecondAskMs);
  return functions_.isBtlActive() != 0;
}

}  // namespace loaders
