#include "sim/standins/m16_updater_library.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "sim/standins/m16_link.h"

// Which names the library exports: by default both, the plain and the
// decorated. The builds with STANDIN_DECORATED_ONLY or STANDIN_PLAIN_ONLY
// export one kind alone, so that the updater's tests can prove each of its
// two lookups on its own (a misspelt name could hide behind the other kind).
#ifdef STANDIN_DECORATED_ONLY
#define EXPORT
#else
#define EXPORT __attribute__((visibility("default")))
#endif

namespace {

constexpr std::uint32_t kBaud = 38400;

struct Session {
  std::unique_ptr<standin::ToolLine> line;
  std::unique_ptr<standin::M16Link> link;
  std::uint32_t flashStart = 0;
  std::uint32_t flashEnd = 0;
};

std::unique_ptr<Session>& Current() {
  static std::unique_ptr<Session> session;
  return session;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "libVorloM16Updater: %s\n", message.c_str());
  return 0;
}

standin::M16Link* Link() { return Current() ? Current()->link.get() : nullptr; }

int Done(standin::LinkResult result, const char* what) {
  if (result == standin::LinkResult::kOk) return 1;
  return Fail(std::string(what) + (result == standin::LinkResult::kNoAnswer
                                       ? ": no answer from the boot loader"
                                       : ": refused by the boot loader (status " +
                                             std::to_string(Link()->LastStatus()) + ")"));
}

// Each unit is a Unicode character; the file system takes UTF-8.
std::string Utf8Name(const wchar_t* name) {
  std::string out;
  for (; *name != 0; ++name) {
    const auto unit = static_cast<std::uint32_t>(*name);
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += '?';  // never produced from an 8-bit name
    }
  }
  return out;
}

bool InFlash(const std::vector<standin::Block>& blocks, const Session& session) {
  for (const standin::Block& block : blocks) {
    if (block.address < session.flashStart || block.address + block.data.size() > session.flashEnd)
      return false;
  }
  return true;
}

}  // namespace

extern "C" {

EXPORT int M16Upd_Init(int com) {
  Current().reset();
  const std::string path = standin::ComPortPath(std::getenv("UPDATER_PORTS"), com);
  if (path.empty()) return Fail("COM" + std::to_string(com) + " is not in UPDATER_PORTS");
  std::string error;
  auto session = std::make_unique<Session>();
  session->line = standin::ToolLine::Open(path, kBaud, error);
  if (!session->line) return Fail(error);
  session->link = std::make_unique<standin::M16Link>(*session->line);
  Current() = std::move(session);
  return 1;
}

EXPORT int M16Upd_IsBTLActive() {
  if (!Link()) return 0;
  return Link()->Connect(Current()->flashStart, Current()->flashEnd) == standin::LinkResult::kOk
             ? 1
             : 0;
}

EXPORT int M16Upd_Clear() { return Link() ? Done(Link()->Erase(), "erase") : 0; }

EXPORT int M16Upd_Program(const wchar_t* file, int /*reserved*/, void (*progress)(int percent)) {
  if (!Link() || file == nullptr) return 0;
  const std::string name = Utf8Name(file);
  const auto text = standin::ReadFirmwareFile(name);
  if (!text) return Fail(name + ": cannot be read");
  std::string error;
  const auto blocks = standin::ParseSRecords(*text, error);
  if (!blocks) return Fail(name + ": " + error);
  if (!InFlash(*blocks, *Current())) return Fail(name + ": data outside the instrument's flash");
  return Done(Link()->Program(*blocks,
                              [progress](int percent) {
                                if (progress != nullptr) progress(percent);
                              }),
              "program");
}

EXPORT int M16Upd_MakeValid() { return Link() ? Done(Link()->Validate(), "validate") : 0; }

EXPORT int M16Upd_ExitAndStartApplication() { return Link() ? Done(Link()->Start(), "start") : 0; }

EXPORT int M16Upd_Deinit() {
  Current().reset();
  return 1;
}

}  // extern "C"

#ifndef STANDIN_PLAIN_ONLY
// The same seven functions under the decorated names of the Windows library.
// '$' stands for '@' here, because the linker takes "@@" for a symbol
// version; decorate-exports turns them into '@' after the link.
// clang-format off
#define DECORATED(placeholder, function)            \
  asm(".globl \"" placeholder "\"\n"                \
      ".type \"" placeholder "\", @function\n"      \
      ".set \"" placeholder "\", " #function "\n")
// clang-format on

DECORATED("?M16Upd_Init$$YAHH$Z", M16Upd_Init);
DECORATED("?M16Upd_IsBTLActive$$YAHXZ", M16Upd_IsBTLActive);
DECORATED("?M16Upd_Clear$$YAHXZ", M16Upd_Clear);
DECORATED("?M16Upd_Program$$YAHPB_WHP6AXH$Z$Z", M16Upd_Program);
DECORATED("?M16Upd_MakeValid$$YAHXZ", M16Upd_MakeValid);
DECORATED("?M16Upd_ExitAndStartApplication$$YAHXZ", M16Upd_ExitAndStartApplication);
DECORATED("?M16Upd_Deinit$$YAHXZ", M16Upd_Deinit);
#endif
