// Dialog-text files: a window translated through the input, with its caption,
// controls of several kinds, hints and a menu, and the file written back.
#include <cstddef>
#include <cstdint>

#include "input_file.h"
#include "language/language.h"

namespace {

language::DialogDescription SampleWindow() {
  using language::ControlClass;
  language::DialogDescription window{"UpdateForm", "Update", {}};
  window.controls.push_back({"OkBitBtn", ControlClass::BitBtn, 0, "OK", "Start", {}});
  window.controls.push_back({"Label1", ControlClass::Label, 0, "Port", "", {}});
  window.controls.push_back({"Tabs", ControlClass::TabControl, 0, "One\r\nTwo", "", {}});
  language::Control menu{"MainMenu1", ControlClass::MainMenu, 0, "", "", {}};
  menu.menu.items.push_back({"File1", "&File", "The file menu", {{"Exit1", "E&xit", "Ends", {}}}});
  window.controls.push_back(menu);
  return window;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::InputFile file("Update.Eng");
  file.Write(data, size);
  language::TLanguage texts;
  texts.SetDirectory(file.Directory());
  texts.SetDialogfile("Update.Eng");
  language::DialogDescription window = SampleWindow();
  texts.TranslateDialog(window);
  texts.TranslateText("Missing", "Not in the file");
  texts.TranslateHintText("OkBitBtn", "Start");
  return 0;
}
