// The serial component over real pseudo-terminals: the component on the slave
// side, the test playing the instrument on the master side.
#include "serial/com_port.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <thread>

#include "serial/read_arrived.h"
#include "serial/v24_dialog_model.h"
#include "serial_test_support.h"

namespace serial::test {
namespace {

using std::chrono::milliseconds;

constexpr double kTimeScale = 20;  // the 5-second watchdog takes 250 ms
constexpr char kXoffByte[] = "\x13";
constexpr char kXonByte[] = "\x11";

// Lets the slave's line discipline take in what the master just sent.
void Settle() { std::this_thread::sleep_for(milliseconds(50)); }

double ProcessCpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Retries a write that the writer refuses while it finishes the previous one.
int WriteWhenParked(TComPort& port, const char* text, bool async) {
  int result = TComPort::kWriterBusy;
  for (int i = 0; i < 200 && result == TComPort::kWriterBusy; ++i) {
    result = port.Write(text, -1, async);
    if (result == TComPort::kWriterBusy) std::this_thread::sleep_for(milliseconds(5));
  }
  return result;
}

class ComPortTest : public ::testing::Test {
 protected:
  V24ParameterTag Record() const {
    V24ParameterTag r = DefaultV24Parameter();
    r.StopBits = S_2;
    r.TXTimeOut = 10000;
    r.KeinNullZeichen = true;
    return r;
  }

  // Opens COM1 (the pty) with `record`.
  void OpenWith(TComPort& port, const V24ParameterTag& record) {
    port.InitParameter(&record, false);
    ASSERT_GT(port.Open(&loop, 0, false), 0) << port.LastError();
  }

  FastClock clock{kTimeScale};
  RecordingLoop loop{clock};
  PtyPair pty;
  PortsEnv env{{pty.path()}};
};

// --- writing ------------------------------------------------------------------

TEST_F(ComPortTest, WriteSendsTextAndFramesItForVorloXonXoff) {
  const struct {
    HandshakeTag handshake;
    int result;
    std::string onLine;
  } cases[] = {{NoHandshake, 8, "A.1000\r\n"},
               {Vorlo_XonXoff, 10,
                "\x13"
                "A.1000\r\n\x11"}};
  for (const auto& c : cases) {
    TComPort port;
    V24ParameterTag r = Record();
    r.Handshake = c.handshake;
    OpenWith(port, r);
    EXPECT_EQ(port.Write("A.1000\r\n", -1, false), c.result);
    EXPECT_EQ(pty.Receive(c.onLine.size() + 1, 100), c.onLine);
    port.Close();
  }
}

TEST_F(ComPortTest, SecondAsynchronousWriteWhileTheFirstIsOnTheLineIsRefused) {
  TComPort port;
  V24ParameterTag r = Record();
  r.Handshake = XonXoff;  // lets the instrument hold the line with XOFF
  OpenWith(port, r);
  pty.Send(kXoffByte);
  Settle();
  EXPECT_EQ(port.Write("first", -1, true), 5);
  EXPECT_EQ(port.Write("second", -1, true), TComPort::kWriterBusy);
  pty.Send(kXonByte);
  EXPECT_EQ(pty.Receive(5), "first");
  EXPECT_EQ(WriteWhenParked(port, "third", false), 5);
  EXPECT_EQ(pty.Receive(5), "third");
}

TEST_F(ComPortTest, ShortWriteIsStickyUntilGetWriteStatus) {
  TComPort port;
  V24ParameterTag r = Record();
  r.Handshake = XonXoff;
  r.TXTimeOut = 0;  // 1 ms per byte
  OpenWith(port, r);

  pty.Send(kXoffByte);
  Settle();
  EXPECT_EQ(port.Write("A.1000\r\n", -1, false), TComPort::kShortWrite);
  pty.Send(kXonByte);
  Settle();
  EXPECT_EQ(port.Write("A.1000\r\n", -1, false), TComPort::kShortWrite);  // sticky
  port.GetWriteStatus();
  EXPECT_EQ(port.Write("A.2000\r\n", -1, false), 8);
  EXPECT_EQ(pty.Receive(100, 100), "A.2000\r\n");

  // An asynchronous short write is reported by the next Write.
  pty.Send(kXoffByte);
  Settle();
  EXPECT_EQ(port.Write("A.3000\r\n", -1, true), 8);
  EXPECT_EQ(WriteWhenParked(port, "A.4000\r\n", false), TComPort::kShortWrite);
}

TEST_F(ComPortTest, CloseStillWritesAPendingAsynchronousRequest) {
  TComPort port;
  OpenWith(port, Record());
  const std::string data(20000, 'x');
  std::string received;
  std::thread instrument([&] { received = pty.Receive(data.size(), 2000); });
  EXPECT_EQ(port.Write(data.c_str(), static_cast<int>(data.size()), true), 20000);
  port.Close();
  instrument.join();
  EXPECT_EQ(received.size(), data.size());
}

TEST_F(ComPortTest, CloseGivesTheLastCommandTimeToArriveBeforeTheOldSettingsReturn) {
  termios before{};
  ::tcgetattr(pty.slaveFd(), &before);
  cfsetspeed(&before, B9600);
  ::tcsetattr(pty.slaveFd(), TCSANOW, &before);
  TComPort port;
  OpenWith(port, Record());  // 4800 bit/s
  speed_t seen = B0;
  std::string received;
  std::thread instrument([&] {
    // An instrument busy elsewhere fetches its receive buffer late; the rate
    // in force when it does is the one the bytes crossed the line at.
    std::this_thread::sleep_for(milliseconds(40));
    received = pty.Receive(8);
    const termios line = pty.LineAsSeen();
    seen = cfgetospeed(&line);
  });
  EXPECT_EQ(port.Write("A.1121\r\n", -1, false), 8);
  port.Close();
  instrument.join();
  EXPECT_EQ(received, "A.1121\r\n");
  EXPECT_EQ(seen, static_cast<speed_t>(B4800));
}

// --- reading ------------------------------------------------------------------

TEST_F(ComPortTest, ReadStoresAZeroTerminatorUnlessKeinString) {
  for (const bool keinString : {false, true}) {
    TComPort port;
    V24ParameterTag r = Record();
    r.KeinString = keinString;
    OpenWith(port, r);
    pty.Send("hello");
    char buffer[8];
    std::memset(buffer, 'X', sizeof buffer);
    ASSERT_EQ(port.Read(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(buffer[5], keinString ? 'X' : '\0') << "KeinString " << keinString;
    port.Close();
  }
}

TEST_F(ComPortTest, ReadDropsZeroBytesOnlyWithKeinNullZeichen) {
  for (const bool discard : {true, false}) {
    TComPort port;
    V24ParameterTag r = Record();
    r.KeinNullZeichen = discard;
    OpenWith(port, r);
    pty.Send(std::string("a\0b\0c", 5));
    char buffer[16] = {};
    const int n = port.Read(buffer, 10);
    EXPECT_EQ(std::string(buffer, n), discard ? std::string("abc") : std::string("a\0b\0c", 5));
    port.Close();
  }
}

// A pty carries no parity: asking for even parity when the line already
// "has" it changes nothing and the device refuses the request. Zero bytes of a
// binary protocol that follows must still come through.
TEST_F(ComPortTest, ZeroBytesComeThroughAfterARefusedParityChange) {
  TComPort port;
  OpenWith(port, Record());
  port.ChangeV24Parameter(B__9600, S_1, Even, true);
  port.ChangeV24Parameter(B__9600, S_1, Even, false);
  pty.Send(std::string("\x00\x80\x00", 3));
  char buffer[8] = {};
  EXPECT_EQ(std::string(buffer, port.Read(buffer, 3)), std::string("\x00\x80\x00", 3));
}

TEST_F(ComPortTest, ReadEndsAtItsTimeOutWithWhatCame) {
  TComPort port;
  OpenWith(port, Record());  // RXTimeOut 0: at most 1 ms per byte wanted
  char buffer[64];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.Read(buffer, 50), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(500));
  pty.Send("ab");
  EXPECT_EQ(port.Read(buffer, 50), 2);  // 20 ms after the last byte
}

// --- notifications --------------------------------------------------------------

TEST_F(ComPortTest, OneNotificationUntilReadAndTheWatchdogAfterTheSecondUnreadArrival) {
  TComPort port;
  OpenWith(port, Record());
  pty.Send("a");
  RecordingLoop::Posted first;
  ASSERT_TRUE(loop.WaitFor(WM_V24_RXDATA, 0, 2000, &first));
  EXPECT_EQ(first.message.param, 1);  // the port number of COM1

  pty.Send("b");  // only noted: the owner has not read yet
  Settle();
  pty.Send("c");  // the second unread arrival starts the watchdog
  const platform::Tick second = clock.Now();
  RecordingLoop::Posted again;
  ASSERT_TRUE(loop.WaitFor(WM_V24_RXDATA, 1, 12000, &again));
  EXPECT_GE(again.at - second, 5000u);
  EXPECT_LE(again.at - second, 8000u);

  char buffer[16];
  EXPECT_EQ(port.Read(buffer, 10), 3);
  pty.Send("d");  // after a read the next arrival is announced at once
  EXPECT_TRUE(loop.WaitFor(WM_V24_RXDATA, 2, 1000));
}

TEST_F(ComPortTest, UnreadDataBringsNoFurtherNotificationAndNoLoad) {
  TComPort port;
  OpenWith(port, Record());
  pty.Send("a");
  ASSERT_TRUE(loop.WaitFor(WM_V24_RXDATA, 0, 2000));
  const double cpuBefore = ProcessCpuSeconds();
  EXPECT_FALSE(loop.WaitFor(WM_V24_RXDATA, 1, 9000));
  EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.1) << "the reader must block, not spin";
}

// A complete reply is taken without waiting out the read time-outs, which
// take 20 ms after the last byte and 250 ms when nothing is there; what comes
// afterwards is announced again.
TEST_F(ComPortTest, ReadArrivedTakesWhatCameAtOnceAndTheNextArrivalIsAnnounced) {
  TComPort port;
  OpenWith(port, Record());
  pty.Send("!\r\n");
  ASSERT_TRUE(loop.WaitFor(WM_V24_RXDATA, 0, 2000));
  Settle();
  char buffer[251];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadArrived(port, buffer, 250), 3);
  EXPECT_EQ(ReadArrived(port, buffer, 250), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(100));
  pty.Send("I");
  EXPECT_TRUE(loop.WaitFor(WM_V24_RXDATA, 1, 1000));
  EXPECT_EQ(ReadArrived(port, buffer, 250), 1);
  port.Close();
  EXPECT_EQ(ReadArrived(port, buffer, 250), TComPort::kClosed);
}

// What waits on the line when the port opens answers no one of this run (an
// earlier run's boot loader, say): it is dropped, and what comes after the
// open is announced and read alone.
TEST_F(ComPortTest, DataQueuedBeforeOpenIsDroppedAndLaterDataAnnounced) {
  TComPort port;
  pty.Send("\x90\xFE\xF8!\r\n");  // sent while the port was closed
  Settle();
  OpenWith(port, Record());
  EXPECT_FALSE(loop.WaitFor(WM_V24_RXDATA, 0, 300));
  pty.Send("A.");
  ASSERT_TRUE(loop.WaitFor(WM_V24_RXDATA, 0, 2000));
  char buffer[8] = {};
  EXPECT_EQ(ReadArrived(port, buffer, 7), 2);
  EXPECT_STREQ(buffer, "A.");
}

TEST_F(ComPortTest, RefusedNotificationIsTriedAgainAtTheNextArrival) {
  TComPort port;
  OpenWith(port, Record());
  loop.SetRefusing(true);
  pty.Send("a");
  Settle();
  loop.SetRefusing(false);
  pty.Send("b");
  EXPECT_TRUE(loop.WaitFor(WM_V24_RXDATA, 0, 2000));
}

TEST_F(ComPortTest, ResetSetAktivLetsTheNextArrivalBeAnnounced) {
  TComPort port;
  OpenWith(port, Record());
  pty.Send("a");
  ASSERT_TRUE(loop.WaitFor(WM_V24_RXDATA, 0, 2000));
  port.Reset_SetAktiv();
  pty.Send("b");
  EXPECT_TRUE(loop.WaitFor(WM_V24_RXDATA, 1, 1000));
}

TEST_F(ComPortTest, LineErrorsArePostedAsTheirMessages) {
  TComPort port;
  OpenWith(port, Record());
  platform::SerialPort* device = port.DriverPort();
  const struct {
    platform::LineErrors errors;
    std::vector<std::uint32_t> posts;
  } cases[] = {
      {{.frame = true}, {WM_V24_LINEERROR}},
      {{.overrun = true, .parity = true}, {WM_V24_OVERRUN, WM_V24_PARITY}},
      {{.frame = true, .breakDetected = true}, {WM_V24_LINEERROR}},
      {{}, {WM_V24_LINEERROR}},  // an error event without any flag
  };
  std::vector<std::uint32_t> expected;
  for (const auto& c : cases) {
    device->ReportLineErrors(c.errors);
    for (std::uint32_t number : c.posts) {
      ASSERT_TRUE(loop.WaitFor(number, std::count(expected.begin(), expected.end(), number), 2000));
      expected.push_back(number);
    }
  }
  for (const auto& post : loop.Posts()) EXPECT_EQ(post.message.param, 1);
  EXPECT_EQ(loop.Numbers(), expected);
}

// --- line settings ------------------------------------------------------------

TEST_F(ComPortTest, OpenSetsTheLineAndCloseGivesBackTheSettingsFoundAtOpen) {
  termios before{};
  ::tcgetattr(pty.slaveFd(), &before);
  cfsetspeed(&before, B9600);
  ::tcsetattr(pty.slaveFd(), TCSANOW, &before);  // a cooked terminal at 9600 bit/s
  ::tcgetattr(pty.slaveFd(), &before);

  UartLikeDriver driver(platform::DefaultSerialDriver());
  TComPort port(driver);
  V24ParameterTag r = Record();
  r.Handshake = RTS_CTS;
  OpenWith(port, r);
  const termios open = pty.LineAsSeen();
  EXPECT_EQ(cfgetospeed(&open), static_cast<speed_t>(B4800));
  EXPECT_TRUE(open.c_cflag & CSTOPB);
  EXPECT_TRUE(open.c_cflag & CRTSCTS);
  EXPECT_FALSE(open.c_lflag & (ECHO | ICANON));

  port.Close();
  termios after{};
  ::tcgetattr(pty.slaveFd(), &after);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(0, std::memcmp(after.c_cc, before.c_cc, sizeof before.c_cc));
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
  ASSERT_FALSE(driver.applied.empty());
  EXPECT_FALSE(driver.applied.back().discardNull);

  EXPECT_GT(port.Open(&loop, 0, false), 0) << "the port can be opened again after Close";
}

TEST_F(ComPortTest, ChangeV24ParameterKeepsTheDataBits) {
  UartLikeDriver driver(platform::DefaultSerialDriver());
  TComPort port(driver);
  V24ParameterTag r = Record();
  r.DatenBits = D_7;
  r.Paritaet = Odd;
  OpenWith(port, r);
  ASSERT_EQ(driver.applied.back().byteSize, 7);
  ASSERT_EQ(driver.applied.back().parity, 1);

  port.ChangeV24Parameter(B_19200, S_1, Space, false);
  const platform::SerialLineSettings& s = driver.applied.back();
  EXPECT_EQ(s.byteSize, 7);
  EXPECT_EQ(s.parity, 4);  // space
  EXPECT_EQ(s.stopBits, 0);
  EXPECT_EQ(s.baudRate, 19200u);
  EXPECT_FALSE(s.discardNull);
  const termios seen = pty.LineAsSeen();
  EXPECT_EQ(cfgetospeed(&seen), static_cast<speed_t>(B19200));
  EXPECT_FALSE(seen.c_cflag & CSTOPB);
}

TEST_F(ComPortTest, LastSettingsSlotTakesTheLineBackAfterATemporaryChange) {
  UartLikeDriver driver(platform::DefaultSerialDriver());
  TComPort port(driver);
  OpenWith(port, Record());
  const std::size_t applied = driver.applied.size();
  port.LoadLastV24Parameter();  // never saved: nothing happens
  EXPECT_EQ(driver.applied.size(), applied);

  port.SaveLastV24Parameter();
  port.ChangeBaudrate(kBaud115200);
  port.ChangeHandShake(XonXoff);
  termios seen = pty.LineAsSeen();
  EXPECT_EQ(cfgetospeed(&seen), static_cast<speed_t>(B115200));
  EXPECT_TRUE(seen.c_iflag & IXON);
  port.LoadLastV24Parameter();
  seen = pty.LineAsSeen();
  EXPECT_EQ(cfgetospeed(&seen), static_cast<speed_t>(B4800));
  EXPECT_FALSE(seen.c_iflag & IXON);
}

TEST_F(ComPortTest, CustomRateGoesThroughToTheLine) {
  TComPort port;
  V24ParameterTag r = Record();
  r.Baudrate = B256000;
  OpenWith(port, r);
  EXPECT_EQ(port.LoadV24Parameter().baudRate, 256000u);
  EXPECT_EQ(port.LastError(), "");
}

// --- open, close and results --------------------------------------------------

TEST_F(ComPortTest, OpenWhileOpenAndOperationsWhileClosed) {
  TComPort port;
  char buffer[4];
  EXPECT_EQ(port.Read(buffer, 2), TComPort::kClosed);
  EXPECT_EQ(port.Write("x", -1, false), TComPort::kClosed);
  OpenWith(port, Record());
  const int handle = port.Handle();
  EXPECT_EQ(port.Open(&loop, 0, false), 0);
  EXPECT_EQ(port.Handle(), handle);
  port.Close();
  port.Close();
  EXPECT_EQ(port.Read(buffer, 2), TComPort::kClosed);
  EXPECT_EQ(port.Write("x", -1, true), TComPort::kClosed);
}

TEST_F(ComPortTest, SettingsFileIsCreatedOnFirstOpenOnlyWithStreamOn) {
  char dir[] = "/tmp/serial-test-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string file = std::string(dir) + "/ComData.cfg";
  for (const bool stream : {false, true}) {
    TComPort port;
    port.SetDatei(file);
    port.SetStreamOn(stream);
    V24ParameterTag r = Record();
    r.RXNotification = 7;
    *port.GetV24Parameter() = r;
    ASSERT_GT(port.Open(&loop, 0, false), 0);
    struct stat st {};
    const bool exists = ::stat(file.c_str(), &st) == 0;
    EXPECT_EQ(exists, stream);
    if (exists) {
      EXPECT_EQ(st.st_size, 40);
      V24ParameterTag fromFile = DefaultV24Parameter();
      ReadSettingsFile(file, fromFile);
      EXPECT_EQ(fromFile, r);
    }
    port.Close();
  }
  ::unlink(file.c_str());
  ::rmdir(dir);
}

TEST_F(ComPortTest, DialogOkOnAClosedPortStoresTheRecordAndOpensNothing) {
  TComPort port;
  port.V24Dialog()->Baudrate = true;
  const bool ok = port.OpenDialog([](TV24DialogModel& model) {
    EXPECT_TRUE(model.Enabled(TV24DialogModel::kBaudrate));
    model.Select(TV24DialogModel::kBaudrate, B_19200);
    model.SetText(TV24DialogModel::kNotification, "250");
    return model.Ok();
  });
  EXPECT_TRUE(ok);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.GetV24Parameter()->Baudrate, B_19200);
  EXPECT_EQ(port.GetV24Parameter()->RXNotification, 250u);
}

// --- port lists and opening by number -----------------------------------------

class PortListTest : public ::testing::Test {
 protected:
  FastClock clock{kTimeScale};
  RecordingLoop loop{clock};
  PtyPair first;
  PtyPair second;
  const std::string missing = "/dev/no-such-serial-port";
};

TEST_F(PortListTest, HeldPortIsListedButNotUsableAndAbsentPortIsNotListed) {
  PortsEnv env({first.path(), second.path(), missing});
  ForeignHolder otherProgram(second.path());
  TComPort port;
  ASSERT_EQ(port.GetMaxV24Devices(), 2);
  EXPECT_EQ(port.Get_DeviceV24(0), 0);
  EXPECT_EQ(port.Get_DeviceV24(1), 1);
  ASSERT_EQ(port.GetMaxV24Useable(), 1);
  EXPECT_EQ(port.Get_UseableV24(0), 0);
  EXPECT_EQ(port.Get_UseableV24(1), -1);

  std::string shown;
  port.SetErrorBox([&](const char* text) { shown = text; });
  EXPECT_EQ(port.Open(&loop, 1, true), TComPort::kInvalidHandle);
  EXPECT_NE(shown.find("COM2 konnte nicht ge\xF6"
                       "ffnet werden!"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find(second.path()), std::string::npos) << shown;
  EXPECT_NE(shown.find("belegt"), std::string::npos) << shown;
  EXPECT_FALSE(port.IsOpen());

  port.SetLanguage(1);
  EXPECT_EQ(port.Open(&loop, 2, false), TComPort::kInvalidHandle);
  EXPECT_EQ(port.LastError().rfind("Cannot open COM3! ", 0), 0u) << port.LastError();

  // A port open in one component is held for every other.
  ASSERT_GT(port.Open(&loop, 0, false), 0);
  TComPort other;
  EXPECT_EQ(other.GetMaxV24Devices(), 2);
  EXPECT_EQ(other.GetMaxV24Useable(), 0);
  EXPECT_EQ(other.Open(&loop, 0, false), TComPort::kInvalidHandle);
}

TEST_F(PortListTest, OpenWithoutPortUsesTheStoredOneOrSearches) {
  ForeignHolder otherProgram(first.path());
  const struct {
    std::vector<std::string> ports;
    bool autoSearch;
    int stored;
    int opened;
  } cases[] = {
      {{second.path(), missing}, false, 0, 0},
      {{missing, second.path()}, false, 1, 1},
      {{missing, second.path()}, true, 1, 1},                // COM1 absent: the first present port
      {{first.path(), missing, second.path()}, true, 0, 2},  // COM1 held: on down the list
  };
  for (const auto& c : cases) {
    PortsEnv env(c.ports);
    TComPort port;
    V24ParameterTag r = DefaultV24Parameter();
    r.Schnittstelle = static_cast<ComTag>(c.stored);
    port.InitParameter(&r, c.autoSearch);
    EXPECT_GT(port.Open(&loop, -1, false), 0) << port.LastError();
    EXPECT_EQ(port.OpenIndex(), c.opened);
    port.Close();
  }
}

}  // namespace
}  // namespace serial::test
