#pragma once
// Lets TLanguage translate a Qt window: describes the window's named widgets
// and its menu bar as language::DialogDescription (see the class table in
// language/dialog_description.h) and writes the translated captions and hints
// back. Widgets and menu entries are named by objectName; unnamed ones are
// left out. A widget's tag is its dynamic property "tag" (0 when unset).
#include <string_view>

class QWidget;

namespace language {
class TLanguage;
}

namespace ui_qt {

/// Translates `window` with `language` (its dialog file already set).
/// Returns TLanguage::TranslateDialog's result.
bool TranslateWindow(language::TLanguage& language, QWidget& window);

}  // namespace ui_qt
