#include "updater/window_output.h"

#include <charconv>
#include <string>

#include "core/text_helpers.h"
#include "updater/app_texts.h"

namespace updater {
namespace {

constexpr int kProgressPanel = 4;
constexpr float kLowestShown = -999999.0f;

}  // namespace

LogText FormatPlaceholders(std::string_view text, const PlaceholderValues& values) {
  const std::string_view name =
      values.deviceName.empty() ? texts::kDefaultDeviceName.Pick(values.language) : values.deviceName;
  std::string out = core::ReplaceAll(text, "DATEI", values.mainFile);
  out = core::ReplaceAll(out, "NAME", name);
  out = core::ReplaceAll(out, "COM X", "COM " + std::to_string(values.comNumber));
  out = core::ReplaceAll(out, "\\r", "\r\n");
  return LogText(out);
}

PercentText FormatPercent(float percent) {
  if (percent > 100.0f) percent = 100.0f;
  if (percent < kLowestShown) percent = kLowestShown;  // keeps the text within its buffer
  char digits[PercentText::kCapacity];
  const auto result = std::to_chars(digits, digits + sizeof digits, percent, std::chars_format::fixed, 1);
  PercentText text(" ");
  text.Append(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
  return text.Append(" %");
}

LogText TWindowOutput::FormatText(std::string_view text) const {
  return FormatPlaceholders(text, {record_.MainFile, record_.DeviceName, language_, foundCom_});
}

void TWindowOutput::LogCommand(std::string_view text) {
  if (debug_) Log(text);
}

PercentText TWindowOutput::ReportProgress(std::string_view prefix, float percent) {
  const PercentText text = FormatPercent(percent);
  if (percent > -2.0f && percent < 0.0f) {
    view_.SetApplicationTitle("Update");
    view_.SetStatusPanel(kProgressPanel, "");
  } else if (percent < -999.0f) {
    view_.SetStatusPanel(kProgressPanel, Pick(texts::kUpdateReady));
    view_.SetApplicationTitle(Pick(texts::kUpdateReady));
  } else {
    std::string panel(prefix);
    view_.SetStatusPanel(kProgressPanel, panel.append(text.view()));
    view_.RepaintStatusBar();
    view_.SetApplicationTitle("Update [" + std::string(text.view()) + "]");
  }
  return text;
}

void TWindowOutput::ClearIdentity() {
  for (IdentityField field : {IdentityField::Name, IdentityField::Serial, IdentityField::Pcb, IdentityField::Version}) {
    view_.SetIdentityField(field, "");
  }
}

}  // namespace updater
