// The serial component's logic without a device: the record and its file, the
// settings the driver builds, the port map and the dialog model.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/posix_serial_driver.h"
#include "platform/serial_port_map.h"
#include "serial/com_port.h"
#include "serial/line_settings.h"
#include "serial/v24_dialog_model.h"
#include "serial/v24_parameter.h"
#include "serial/v24_types.h"

namespace serial {
namespace {

V24ParameterTag SampleRecord() {
  V24ParameterTag r{};
  r.DatenBits = D_7;
  r.Paritaet = Space;
  r.StopBits = S_2;
  r.Baudrate = B256000;
  r.Handshake = Vorlo_XonXoff;
  r.RXTimeOut = -2;
  r.TXTimeOut = 0x01020304;
  r.Schnittstelle = static_cast<ComTag>(200);
  r.KeinNullZeichen = true;
  r.KeinString = false;
  r.RXNotification = 0xA0B0C0D0;
  return r;
}

// --- record and settings file ----------------------------------------------------

TEST(V24Record, FileBytesAreLittleEndianAtTheFixedOffsets) {
  std::uint8_t bytes[40];
  V24ToBytes(SampleRecord(), bytes);
  const std::uint8_t expected[40] = {0,   0, 0, 0, 4, 0, 0,    0,    2,    0,    0,    0,   9, 0,
                                     0,   0, 3, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 4,    3,   2, 1,
                                     200, 0, 0, 0, 1, 0, 0,    0,    0xD0, 0xC0, 0xB0, 0xA0};
  EXPECT_EQ(0, std::memcmp(bytes, expected, 40));
  EXPECT_EQ(V24FromBytes(bytes), SampleRecord());
  EXPECT_EQ(DefaultV24Parameter().DatenBits, D_8);
  EXPECT_EQ(DefaultV24Parameter().Baudrate, B__4800);
  EXPECT_EQ(DefaultV24Parameter().TXTimeOut, 1000);
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(::mkdtemp(dir_), nullptr);
    path = std::string(dir_) + "/ComData.cfg";
  }
  void TearDown() override {
    ::unlink(path.c_str());
    ::rmdir(dir_);
  }
  void WriteBytes(const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<std::uint8_t> FileBytes() {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  char dir_[32] = "/tmp/comdata-test-XXXXXX";
  std::string path;
};

TEST_F(SettingsFile, MissingFileIsCreatedWithTheCurrentRecord) {
  V24ParameterTag r = SampleRecord();
  ReadSettingsFile(path, r);
  EXPECT_EQ(r, SampleRecord());
  std::uint8_t bytes[40];
  V24ToBytes(r, bytes);
  EXPECT_EQ(FileBytes(), std::vector<std::uint8_t>(bytes, bytes + 40));
}

TEST_F(SettingsFile, ShortFileGivesItsFieldsAndNoNotificationDelay) {
  std::uint8_t bytes[40];
  V24ToBytes(SampleRecord(), bytes);
  WriteBytes(std::vector<std::uint8_t>(bytes, bytes + 36));
  V24ParameterTag r = DefaultV24Parameter();
  r.RXNotification = 99;
  ReadSettingsFile(path, r);
  V24ParameterTag expected = SampleRecord();
  expected.RXNotification = 0;
  EXPECT_EQ(r, expected);
}

TEST_F(SettingsFile, StoringKeepsTheTailOfALongerFile) {
  std::vector<std::uint8_t> longer(50, 0x55);
  WriteBytes(longer);
  TV24Parameter set;
  set.Bind(true, path);
  set.Store(SampleRecord());
  const std::vector<std::uint8_t> bytes = FileBytes();
  ASSERT_EQ(bytes.size(), 50u);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 40, bytes.end()),
            std::vector<std::uint8_t>(10, 0x55));
  V24ParameterTag back = DefaultV24Parameter();
  ReadSettingsFile(path, back);
  EXPECT_EQ(back, SampleRecord());
}

TEST_F(SettingsFile, WithoutStreamFlagNothingIsReadOrWritten) {
  TV24Parameter set;
  set.Bind(false, path);
  set.Store(SampleRecord());
  EXPECT_EQ(set.Fetch(), SampleRecord());
  struct stat st {};
  EXPECT_NE(::stat(path.c_str(), &st), 0);
}

TEST_F(SettingsFile, UnusableNameLeavesTheRecordAsItWas) {
  V24ParameterTag r = SampleRecord();
  ReadSettingsFile(std::string(dir_) + "/missing-dir/ComData.cfg", r);  // cannot be created
  EXPECT_EQ(r, SampleRecord());
}

// --- line settings from the record, and the termios the driver builds ------------

TEST(LineSettings, RecordMapsToTheLineCodes) {
  const struct {
    ParitaetTag parity;
    std::uint8_t code;
  } parities[] = {{NoParity, 0}, {Odd, 1},   {Even, 2},
                  {Mark, 3},     {Space, 4}, {static_cast<ParitaetTag>(17), 0}};
  for (const auto& p : parities) {
    V24ParameterTag r = DefaultV24Parameter();
    r.Paritaet = p.parity;
    EXPECT_EQ(BuildLineSettings(r).parity, p.code) << "Paritaet " << p.parity;
  }
  V24ParameterTag r = DefaultV24Parameter();
  r.DatenBits = D_7;
  r.StopBits = S1_5;
  r.Baudrate = B128000;
  r.KeinNullZeichen = true;
  const platform::SerialLineSettings s = BuildLineSettings(r);
  EXPECT_EQ(s.byteSize, 7);
  EXPECT_EQ(s.stopBits, 1);
  EXPECT_EQ(s.baudRate, 128000u);
  EXPECT_TRUE(s.discardNull);
  EXPECT_EQ(s.rtsControl, platform::RtsControl::kEnable);
  EXPECT_EQ(s.dtrControl, platform::DtrControl::kDisable);
  EXPECT_FALSE(s.parityCheck);
  EXPECT_EQ(s.xonChar, 0x11);
  EXPECT_EQ(s.xoffChar, 0x13);
}

TEST(LineSettings, HandshakeTable) {
  const struct {
    HandshakeTag handshake;
    bool cts, outX, frames;
    platform::RtsControl rts;
  } rows[] = {
      {NoHandshake, false, false, false, platform::RtsControl::kEnable},
      {RTS_CTS, true, false, false, platform::RtsControl::kHandshake},
      {XonXoff, false, true, false, platform::RtsControl::kEnable},
      {Vorlo_XonXoff, false, true, true, platform::RtsControl::kEnable},
  };
  for (const auto& row : rows) {
    platform::SerialLineSettings s;
    ApplyHandshake(s, RTS_CTS);  // whatever was in force before is turned off first
    ApplyHandshake(s, row.handshake);
    EXPECT_EQ(s.outxCtsFlow, row.cts) << row.handshake;
    EXPECT_EQ(s.outX, row.outX) << row.handshake;
    EXPECT_EQ(s.rtsControl, row.rts) << row.handshake;
    EXPECT_EQ(FramesWrites(row.handshake), row.frames) << row.handshake;
  }
}

// A pseudo-terminal forces 8 data bits and no parity, so the parity and data
// bits are checked on the termios the driver builds.
TEST(PosixLineSettings, TermiosCarriesDataBitsParityStopBitsAndFlowControl) {
  const struct {
    std::uint8_t byteSize, parity, stopBits;
    tcflag_t set, clear;
  } rows[] = {
      {8, 0, 0, CS8, PARENB | PARODD | CMSPAR | CSTOPB},
      {7, 1, 0, CS7 | PARENB | PARODD, CMSPAR | CSTOPB},
      {7, 2, 2, CS7 | PARENB | CSTOPB, PARODD | CMSPAR},
      {8, 3, 0, CS8 | PARENB | PARODD | CMSPAR, CSTOPB},  // mark
      {8, 4, 1, CS8 | PARENB | CMSPAR | CSTOPB, PARODD},  // space; 1.5 stop bits -> 2
  };
  for (const auto& row : rows) {
    termios t{};
    platform::MakeRaw(t);
    t.c_cflag |= PARODD | CSTOPB | CRTSCTS;  // leftovers that must go
    platform::SerialLineSettings s;
    s.byteSize = row.byteSize;
    s.parity = row.parity;
    s.stopBits = row.stopBits;
    s.baudRate = 57600;
    platform::EncodeLineSettings(s, t);
    EXPECT_EQ(t.c_cflag & CSIZE, row.set & CSIZE) << int(row.parity);
    EXPECT_EQ(t.c_cflag & (row.set & ~CSIZE), row.set & ~CSIZE) << int(row.parity);
    EXPECT_EQ(t.c_cflag & row.clear, 0u) << int(row.parity);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));

    const platform::SerialLineSettings back = platform::DecodeLineSettings(t, 57600);
    EXPECT_EQ(back.byteSize, row.byteSize);
    EXPECT_EQ(back.parity, row.parity);
  }

  termios t{};
  platform::MakeRaw(t);
  platform::SerialLineSettings s;
  s.outX = true;
  s.rtsControl = platform::RtsControl::kHandshake;
  platform::EncodeLineSettings(s, t);
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_FALSE(t.c_iflag & (IXOFF | IXANY | INPCK));
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_EQ(t.c_cc[VSTART], 0x11);
  EXPECT_EQ(t.c_cc[VSTOP], 0x13);
}

// --- port map ----------------------------------------------------------------

TEST(PortMap, ExplicitListsAndDeviceOrder) {
  using platform::ParsePortList;
  EXPECT_EQ(ParsePortList("/dev/pts/3:/dev/pts/4"),
            (std::vector<std::string>{"/dev/pts/3", "/dev/pts/4"}));
  EXPECT_EQ(ParsePortList(" /dev/ttyUSB0 , /dev/ttyS1::/x"),
            (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyS1", "", "/x"}));
  EXPECT_TRUE(ParsePortList("").empty());
  EXPECT_EQ(ParsePortList("a:b:c", 2).size(), 2u);

  int rank = -1;
  long number = -1;
  EXPECT_TRUE(platform::SerialDeviceOrder("ttyUSB12", rank, number));
  EXPECT_EQ(rank, 1);
  EXPECT_EQ(number, 12);
  EXPECT_TRUE(platform::SerialDeviceOrder("ttyS0", rank, number));
  EXPECT_EQ(rank, 0);
  EXPECT_FALSE(platform::SerialDeviceOrder("ttyS", rank, number));
  EXPECT_FALSE(platform::SerialDeviceOrder("ttySx1", rank, number));
  EXPECT_FALSE(platform::SerialDeviceOrder("tty1", rank, number));
}

TEST(PortMap, DiscoveredDevicesKeepTheirNumbers) {
  platform::SerialPortMap map(4);
  map.Merge({"/dev/ttyS0", "/dev/ttyUSB0"});
  map.Merge({"/dev/ttyS0", "/dev/ttyACM0"});  // the adapter was pulled, a modem came
  EXPECT_EQ(map.Path(0), "/dev/ttyS0");
  EXPECT_EQ(map.Path(1), "/dev/ttyUSB0");
  EXPECT_EQ(map.Path(2), "/dev/ttyACM0");
  map.Merge({"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyACM0"});  // and is back
  EXPECT_EQ(map.Path(1), "/dev/ttyUSB0");
  map.Merge({"/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyUSB1", "/dev/ttyUSB2"});
  EXPECT_EQ(map.Path(3), "/dev/ttyUSB1");
  EXPECT_EQ(map.Path(1), "/dev/ttyUSB2") << "when full, a vanished device's number is reused";
  EXPECT_EQ(map.Path(4), "");
  EXPECT_EQ(map.Path(-1), "");
}

// --- a device the user may not open ----------------------------------------------

// Root (as in CI) may open everything, so the driver's answer is faked here.
class NoPermissionDriver final : public platform::SerialDriver {
 public:
  void RefreshPortMap() override {}
  std::string PortPath(int index) const override { return index == 2 ? "/dev/ttyUSB0" : ""; }
  platform::PortAccess Probe(const std::string&) override {
    return platform::PortAccess::kNoPermission;
  }
  std::unique_ptr<platform::SerialPort> Open(const std::string&, platform::PortAccess& access,
                                             std::string& error) override {
    access = platform::PortAccess::kNoPermission;
    error = "Permission denied";
    return nullptr;
  }
};

TEST(NoPermission, PortCountsAsHeldAndTheMessageTellsHowToGetAccess) {
  NoPermissionDriver driver;
  TComPort port(driver);
  EXPECT_EQ(port.GetMaxV24Devices(), 1);
  EXPECT_EQ(port.Get_DeviceV24(0), 2);
  EXPECT_EQ(port.GetMaxV24Useable(), 0);
  std::string shown;
  port.SetErrorBox([&](const char* text) { shown = text; });
  port.SetLanguage(1);
  EXPECT_EQ(port.Open(nullptr, 2, true), TComPort::kInvalidHandle);
  EXPECT_EQ(shown.rfind("Cannot open COM3! \n/dev/ttyUSB0: permission denied", 0), 0u) << shown;
  EXPECT_NE(shown.find("dialout"), std::string::npos);
  EXPECT_FALSE(port.IsOpen());
}

// --- dialog model -----------------------------------------------------------------

class DialogModel : public ::testing::Test {
 protected:
  const int devices[3] = {0, 2, 5};
  TV24DialogModel model{0, devices, 3};
  V24ParameterTag record = DefaultV24Parameter();
};

TEST_F(DialogModel, AllFlagsOffLeaveOnlyTheDelayEditable) {
  record.Schnittstelle = static_cast<ComTag>(2);
  record.RXNotification = 40;
  const V24ParameterTag before = record;
  model.Show(TDlgParameter{}, &record);
  for (int f = 0; f < TV24DialogModel::kFieldCount; ++f) {
    const auto field = static_cast<TV24DialogModel::Field>(f);
    EXPECT_EQ(model.Enabled(field), field == TV24DialogModel::kNotification) << f;
  }
  EXPECT_EQ(model.Text(TV24DialogModel::kNotification), "40");
  EXPECT_EQ(model.Selection(TV24DialogModel::kBaudrate), B__4800);
  EXPECT_EQ(model.Selection(TV24DialogModel::kSchnittstelle), 1);
  EXPECT_EQ(model.Items(TV24DialogModel::kSchnittstelle),
            (std::vector<std::string>{"COM1", "COM3", "COM6"}));

  model.SetText(TV24DialogModel::kNotification, "500");
  ASSERT_TRUE(model.Ok());
  V24ParameterTag expected = before;
  expected.RXNotification = 500;
  EXPECT_EQ(record, expected);
  EXPECT_EQ(model.ModalResult(), TV24DialogModel::kOk);
}

TEST_F(DialogModel, OkReadsEveryFieldBack) {
  TDlgParameter all;
  all.DatenBits = all.Schnittstelle = all.Paritaet = all.StopBits = all.Baudrate = true;
  all.Handshake = all.RXTimeOut = all.TXTimeOut = all.KeinNullZeichen = all.KeinString = true;
  model.Show(all, &record);
  model.Select(TV24DialogModel::kDatenbit, 0);
  model.Select(TV24DialogModel::kParitaet, 2);
  model.Select(TV24DialogModel::kStopBit, 2);
  model.Select(TV24DialogModel::kBaudrate, 7);
  model.Select(TV24DialogModel::kHandshake, 3);
  model.SetText(TV24DialogModel::kRXTimeout, "123456");  // at most 4 characters
  model.Select(TV24DialogModel::kTXTimeout, 3);
  model.SetText(TV24DialogModel::kNullZeichen, "true");
  model.Select(TV24DialogModel::kNoString, 1);
  model.Select(TV24DialogModel::kSchnittstelle, 2);
  ASSERT_TRUE(model.Ok());
  EXPECT_EQ(record.DatenBits, D_7);
  EXPECT_EQ(record.Paritaet, Even);
  EXPECT_EQ(model.Items(TV24DialogModel::kParitaet)[2], "gerade");
  EXPECT_EQ(record.StopBits, S_2);
  EXPECT_EQ(record.Baudrate, kBaud115200);
  EXPECT_EQ(record.Handshake, Vorlo_XonXoff);
  EXPECT_EQ(record.RXTimeOut, 1234);
  EXPECT_EQ(record.TXTimeOut, 1000);
  EXPECT_TRUE(record.KeinNullZeichen);
  EXPECT_TRUE(record.KeinString);
  EXPECT_EQ(record.Schnittstelle, 5);
}

TEST_F(DialogModel, BadNumberKeepsTheDialogOpenAndStoresNothing) {
  model.Show(TDlgParameter{}, &record);
  const V24ParameterTag before = record;
  model.SetText(TV24DialogModel::kNotification, "12x");
  std::string error;
  EXPECT_FALSE(model.Ok(&error));
  EXPECT_NE(error.find("12x"), std::string::npos);
  EXPECT_EQ(record, before);
  EXPECT_EQ(model.ModalResult(), TV24DialogModel::kNone);
  model.Cancel();
  EXPECT_EQ(model.ModalResult(), TV24DialogModel::kCancel);
  EXPECT_EQ(record, before);
}

TEST_F(DialogModel, ListsWithoutSelectionKeepTheRecordValid) {
  record.Baudrate = B256000;                        // no entry, but valid: kept
  record.Paritaet = Mark;                           // no entry, but valid: kept
  record.Handshake = static_cast<HandshakeTag>(9);  // invalid: the default
  record.Schnittstelle = static_cast<ComTag>(4);    // not in the device list: the first port
  model.Show(TDlgParameter{}, &record);
  EXPECT_EQ(model.Selection(TV24DialogModel::kBaudrate), -1);
  EXPECT_EQ(model.Selection(TV24DialogModel::kSchnittstelle), -1);
  ASSERT_TRUE(model.Ok());
  EXPECT_EQ(record.Baudrate, B256000);
  EXPECT_EQ(record.Paritaet, Mark);
  EXPECT_EQ(record.Handshake, NoHandshake);
  EXPECT_EQ(record.Schnittstelle, 0);
}

TEST(DialogCaptions, EnglishReplacesGerman) {
  TV24DialogModel german(0, nullptr, 0);
  TV24DialogModel english(1, nullptr, 0);
  EXPECT_STREQ(german.WindowCaption(), "Einstellungen");
  EXPECT_STREQ(english.WindowCaption(), "Settings");
  EXPECT_STREQ(german.Caption(TV24DialogModel::kParitaet), "Parit\xE4t");
  EXPECT_STREQ(english.Caption(TV24DialogModel::kHandshake), "Flow Control");
  EXPECT_STREQ(german.CancelCaption(), "Abbrechen");
}

}  // namespace
}  // namespace serial
