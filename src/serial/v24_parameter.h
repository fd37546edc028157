#pragma once
// TV24Parameter (the parameter set with its stream binding to the settings
// file), TDlgParameter (the enable flags of the settings dialog) and the
// settings file "ComData.cfg". Main thread only.
#include <string>

#include "serial/v24_types.h"

namespace serial {

/// Settings file: reads the record for use:
/// - The file does not exist or cannot be opened for reading and writing: it is
///   created (or opened after all) and the current record is written as its
///   first 40 bytes; `record` stays unchanged.
/// - Otherwise RXNotification is set to 0 and up to 40 bytes of the file are
///   laid over the record's bytes from offset 0: a shorter file (36 bytes)
///   changes only the fields it covers, a longer one is read for 40 bytes.
/// A file that can be neither opened nor created leaves the record as it was.
void ReadSettingsFile(const std::string& name, V24ParameterTag& record);

/// Writes the 40 bytes at the file's start, creating it if missing; a longer
/// file keeps its remaining bytes. Failure is silent (returns false).
bool WriteSettingsFile(const std::string& name, const V24ParameterTag& record);

/// The parameter set of one TComPort: one record plus the stream flag and the
/// file name that bind it to the settings file.
class TV24Parameter {
 public:
  TV24Parameter();  ///< DefaultV24Parameter(), stream off, no file name

  /// Sets the stream binding. Open and OpenDialog bind (StreamOn, Datei) before
  /// fetching; GetV24Parameter and SetV24 bind (false, "").
  void Bind(bool stream, const std::string& fileName);
  bool StreamFlag() const { return stream_; }
  const std::string& FileName() const { return fileName_; }

  /// Fetches the record for use: with the stream flag on and a non-empty name
  /// the record is first refreshed from the settings file (ReadSettingsFile).
  V24ParameterTag& Fetch();
  /// Stores a record: with the stream flag on and a non-empty name it is also
  /// written to the settings file.
  void Store(const V24ParameterTag& record);

  /// The record itself, without any file access.
  V24ParameterTag& Record() { return record_; }
  const V24ParameterTag& Record() const { return record_; }

  /// Copies the 40-byte record (not the binding) from another set.
  void Assign(const TV24Parameter& other) { record_ = other.record_; }

 private:
  V24ParameterTag record_;
  bool stream_ = false;
  std::string fileName_;
};

/// The eleven enable flags of the settings dialog, all false when created, in
/// this stored order.
struct TDlgParameter {
  bool DatenBits = false;
  bool Schnittstelle = false;
  bool Paritaet = false;
  bool StopBits = false;
  bool Baudrate = false;
  bool Handshake = false;
  bool RXTimeOut = false;
  bool RXNotification = false;  ///< has no effect: the delay field is always enabled
  bool TXTimeOut = false;
  bool KeinNullZeichen = false;
  bool KeinString = false;

  friend bool operator==(const TDlgParameter&, const TDlgParameter&) = default;
};

}  // namespace serial
