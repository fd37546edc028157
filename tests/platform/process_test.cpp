// Starting programs: argument vectors reach the program unchanged, exit codes
// come back, the environment can be extended, and a program that cannot be
// started is a result with its reason.
#include "platform/process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace platform {
namespace {

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/process-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  // Runs /bin/sh with a script (the program under test is the shell; the
  // updater never starts one) and returns its exit code.
  int RunShell(const std::string& script,
               std::vector<std::pair<std::string, std::string>> env = {}) {
    StartResult started = StartProcess({"/bin/sh", {"-c", script}, std::move(env)});
    EXPECT_TRUE(started);
    if (!started) return -1;
    while (!started.process->WaitForEnd(5000)) {
    }
    return started.process->ExitCode();
  }

  std::string Read(const std::string& name) {
    std::ifstream in(dir_ + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string dir_;
};

TEST_F(ProcessTest, ExitCodesComeBack) {
  for (const int code : {0, 1, 2, 77}) {
    EXPECT_EQ(RunShell("exit " + std::to_string(code)), code);
  }
  EXPECT_EQ(RunShell("kill -TERM $$"), 128 + 15) << "a signal is no success and no 'try again'";
}

TEST_F(ProcessTest, ArgumentsArriveExactlyAsGivenWithoutAShell) {
  // Blanks, quotes and shell characters are passed through untouched.
  const std::vector<std::string> args{"FW 1.mot", "-com3", "$HOME;|*", "'\""};
  std::string script = "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > " + dir_ + "/args";
  std::vector<std::string> argv{"-c", script, "sh"};
  argv.insert(argv.end(), args.begin(), args.end());
  StartResult started = StartProcess({"/bin/sh", argv, {}});
  ASSERT_TRUE(started);
  ASSERT_TRUE(started.process->WaitForEnd(5000));
  EXPECT_EQ(started.process->ExitCode(), 0);
  EXPECT_EQ(Read("args"), "FW 1.mot\n-com3\n$HOME;|*\n'\"\n");
}

TEST_F(ProcessTest, EnvironmentIsInheritedAndExtended) {
  ::setenv("PROCESS_TEST_KEPT", "kept", 1);
  ::setenv("UPDATER_PORTS", "/dev/old", 1);
  EXPECT_EQ(
      RunShell(
          "printf '%s %s %s' \"$PROCESS_TEST_KEPT\" \"$UPDATER_PORTS\" \"$PROCESS_TEST_NEW\" > " +
              dir_ + "/env",
          {{"UPDATER_PORTS", "/dev/pts/7,/dev/pts/9"}, {"PROCESS_TEST_NEW", "new"}}),
      0);
  EXPECT_EQ(Read("env"), "kept /dev/pts/7,/dev/pts/9 new");
  EXPECT_STREQ(std::getenv("UPDATER_PORTS"), "/dev/old") << "only the child sees the change";
  ::unsetenv("PROCESS_TEST_KEPT");
  ::unsetenv("UPDATER_PORTS");
}

TEST_F(ProcessTest, WorkingDirectoryIsTheCallers) {
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(RunShell("pwd > " + dir_ + "/cwd"), 0);
  EXPECT_EQ(Read("cwd"), std::string(cwd) + "\n");
}

TEST_F(ProcessTest, ProgramsThatCannotStartGiveTheReason) {
  const std::string plain = dir_ + "/plain";
  std::ofstream(plain) << "not a program\n";
  const std::string script = dir_ + "/no-interpreter";
  std::ofstream(script) << "#!/nonexistent/interpreter\n";
  ::chmod(script.c_str(), 0755);
  struct Case {
    std::string program;
    StartError error;
  };
  for (const Case& c :
       {Case{dir_ + "/missing", StartError::kNotFound}, Case{plain, StartError::kNotExecutable},
        Case{dir_, StartError::kNotExecutable}, Case{script, StartError::kNotExecutable}}) {
    const StartResult started = StartProcess({c.program, {}, {}});
    EXPECT_FALSE(started) << c.program;
    EXPECT_EQ(started.error, c.error) << c.program;
    EXPECT_NE(started.errorNumber, 0) << c.program;
  }
  EXPECT_STREQ(StartErrorText(StartError::kNotFound), "not found");
  EXPECT_STREQ(StartErrorText(StartError::kNotExecutable), "not executable");
}

TEST_F(ProcessTest, WaitingForARunningProgramEndsAtItsTimeOut) {
  StartResult started = StartProcess({"/bin/sleep", {"10"}, {}});
  ASSERT_TRUE(started);
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_FALSE(started.process->WaitForEnd(100));
  const auto waited = std::chrono::steady_clock::now() - begin;
  EXPECT_FALSE(started.process->HasEnded());
  EXPECT_EQ(started.process->ExitCode(), -1);
  EXPECT_LT(waited, std::chrono::seconds(2));
  ::kill(started.process->Pid(), SIGKILL);
  EXPECT_TRUE(started.process->WaitForEnd(5000));
  EXPECT_EQ(started.process->ExitCode(), 128 + SIGKILL);
}

// A sandbox without pidfd_open, as the system's opener would fail there.
int NoProcessDescriptor(pid_t) {
  errno = ENOSYS;
  return -1;
}

std::chrono::nanoseconds ThreadCpuTime() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

TEST_F(ProcessTest, WithoutAProcessDescriptorTheEndIsAskedForInSleeps) {
  StartResult quick = StartProcess({"/bin/sh", {"-c", "exit 3"}, {}}, NoProcessDescriptor);
  ASSERT_TRUE(quick) << "a missing pidfd_open must not keep tools from starting";
  ASSERT_TRUE(quick.process->WaitForEnd(5000));
  EXPECT_EQ(quick.process->ExitCode(), 3);

  StartResult sleeper = StartProcess({"/bin/sleep", {"10"}, {}}, NoProcessDescriptor);
  ASSERT_TRUE(sleeper);
  const auto begin = std::chrono::steady_clock::now();
  const auto cpuBefore = ThreadCpuTime();
  EXPECT_FALSE(sleeper.process->WaitForEnd(500));
  const auto cpu = ThreadCpuTime() - cpuBefore;
  EXPECT_GE(std::chrono::steady_clock::now() - begin, SystemClock().RealDuration(450));
  EXPECT_LT(cpu, std::chrono::milliseconds(50)) << "the wait spins";
  ::kill(sleeper.process->Pid(), SIGKILL);
  EXPECT_TRUE(sleeper.process->WaitForEnd(5000));
  EXPECT_EQ(sleeper.process->ExitCode(), 128 + SIGKILL);
}

// With SIGCHLD ignored the system collects an ended program itself and
// waitpid fails for good (ECHILD): the end is seen all the same, with its
// result unknown, with and without a process descriptor.
TEST_F(ProcessTest, AnEndTheSystemCollectedEndsTheWaitWithItsResultUnknown) {
  for (const PidFdOpener opener : {&OpenPidFd, &NoProcessDescriptor}) {
    struct sigaction ignore {}, old{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGCHLD, &ignore, &old);
    StartResult started = StartProcess({"/bin/sh", {"-c", "exit 0"}, {}}, opener);
    const auto cpuBefore = ThreadCpuTime();
    const bool ended = started && started.process->WaitForEnd(5000);
    const auto cpu = ThreadCpuTime() - cpuBefore;
    ::sigaction(SIGCHLD, &old, nullptr);
    EXPECT_TRUE(ended);
    EXPECT_EQ(started.process->ExitCode(), ChildProcess::kEndUnknown);
    EXPECT_TRUE(started.process->HasEnded()) << "and it stays ended";
    EXPECT_LT(cpu, std::chrono::milliseconds(200));
  }
}

TEST(MergeEnvironment, ReplacesByNameAndAppendsNewVariables) {
  char a[] = "A=1", b[] = "UPDATER_PORTS=x", ab[] = "AB=2";
  char* current[] = {a, b, ab, nullptr};
  EXPECT_EQ(MergeEnvironment(current, {{"UPDATER_PORTS", "/dev/pts/3"}, {"NEW", ""}}),
            (std::vector<std::string>{"A=1", "AB=2", "UPDATER_PORTS=/dev/pts/3", "NEW="}));
}

}  // namespace
}  // namespace platform
