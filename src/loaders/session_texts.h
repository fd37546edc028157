#pragma once
// User texts that every programming back-end shares (Windows-1252).
#include <string>
#include <string_view>

#include "updater/bilingual_text.h"

namespace loaders {

inline constexpr updater::BiText<12> kCaptionError{{"Fehler", "Error"}};

inline constexpr updater::BiText<200> kLoaderUnavailable{
    {"Dieser Programmierweg ist in dieser Version noch nicht verf\xFC" "gbar.",
     "This programming path is not yet available in this version."}};

/// The line took no more bytes: the adapter was unplugged or the port is gone.
/// PORT is replaced by the port's name.
inline constexpr updater::BiText<240> kConnectionLost{
    {"Die Verbindung zum Ger\xE4t \xFC" "ber PORT ist unterbrochen: die Schnittstelle nimmt keine Daten mehr an. "
     "Pr\xFC" "fen Sie Kabel und Adapter.",
     "The connection to the instrument on PORT was lost: the port takes no more data. "
     "Check the cable and the adapter."}};

/// The lost-connection message for the port `portName`.
std::string ConnectionLostText(std::string_view portName, int language);

}  // namespace loaders
