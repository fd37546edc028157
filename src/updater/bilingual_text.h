#pragma once
// BiText<W>: one user text in German and English, side by side in two slots of
// the same width W (capacity including the zero terminator), in Windows-1252.
// A literal that does not fit its width does not compile.
#include <cstddef>
#include <string_view>

namespace updater {

/// Language index of every bilingual text: 0 German, 1 English.
inline constexpr int kGerman = 0;
inline constexpr int kEnglish = 1;

template <std::size_t W>
struct BiText {
  char slot[2][W];

  /// The text of `language`; any value other than 1 picks German.
  std::string_view Pick(int language) const { return slot[language == kEnglish ? 1 : 0]; }
};

}  // namespace updater
