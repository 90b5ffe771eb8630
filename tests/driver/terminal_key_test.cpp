// The key wait on a real terminal: the tool runs on a pseudo-terminal as it would in a
// console window.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "support/test_support.hpp"

namespace kr570 {
namespace {

using Clock = std::chrono::steady_clock;

// The tool started on a pseudo-terminal in `workDir`, as in a console window, and killed when the
// test ends before it.
class Terminal {
  public:
    explicit Terminal(const std::string& workDir)
        : pid_(forkpty(&master_, nullptr, nullptr, nullptr)) {
        if (pid_ == 0) {
            if (chdir(workDir.c_str()) == 0) {
                execl(KR570CONVERT_PATH, KR570CONVERT_PATH, static_cast<char*>(nullptr));
            }
            _exit(127);
        }
    }
    ~Terminal() {
        if (pid_ > 0 && status == -1) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(master_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool started() const { return pid_ > 0; }

    void type(const std::string& keys) {
        ASSERT_EQ(static_cast<ssize_t>(keys.size()), write(master_, keys.data(), keys.size()));
    }

    // Reads what the tool shows until it has shown `text` (with "": until it has ended and all it
    // showed is read) or `milliseconds` have passed; whether it has.
    bool waitFor(const std::string& text, int milliseconds = 5000) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        for (ssize_t got = 1;
             (text.empty() ? status == -1 || got > 0 : !shown(text)) && Clock::now() < deadline;) {
            pollfd request{master_, POLLIN, 0};
            char chunk[256];
            got = poll(&request, 1, 20) > 0 ? read(master_, chunk, sizeof chunk) : 0;
            screen.append(chunk, static_cast<std::size_t>(got > 0 ? got : 0));
            int ended = 0;
            if (got <= 0 && status == -1 && waitpid(pid_, &ended, WNOHANG) == pid_) {
                status = WIFEXITED(ended) ? WEXITSTATUS(ended) : -2;
                got = 1;  // what it showed last may still be unread
            }
        }
        return text.empty() ? status != -1 : shown(text);
    }

    std::string screen;  // all the tool has shown
    int status = -1;     // the exit status, or -1 while the tool runs

  private:
    bool shown(const std::string& text) const { return screen.find(text) != std::string::npos; }

    int master_ = -1;
    pid_t pid_ = -1;
};

TEST(TerminalKeyWait, WaitsForAFreshKeyWithoutEcho) {
    test::TempDir dir;
    Terminal terminal(dir.path());
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("Enter input file name: "));
    terminal.type("missing.txt\r");
    ASSERT_TRUE(terminal.waitFor("Hit any key to exit\r\n")) << terminal.screen;
    // The line end that carried the name is no key press.
    EXPECT_FALSE(terminal.waitFor("", 300)) << "the tool did not wait for a key";
    const std::size_t before = terminal.screen.size();
    terminal.type("q");
    terminal.waitFor("");
    EXPECT_EQ(1, terminal.status);
    const std::string after = terminal.screen.substr(before);
    EXPECT_EQ("\r\nProgram finished!\r\n", after) << "the key must not be echoed";
}

// A terminal pastes a file dropped on it between single quotes; the name is read whole.
TEST(TerminalDialogue, TakesANamePastedBetweenSingleQuotes) {
    test::TempDir dir;
    test::writeFile(dir.file("x axis.txt"), test::kDefaultText);
    Terminal terminal(dir.path());
    ASSERT_TRUE(terminal.waitFor("Enter input file name: "));
    terminal.type("'x axis.txt' \r");
    ASSERT_TRUE(terminal.waitFor("Enter output file name: ")) << terminal.screen;
    terminal.type("'x axis.hex'\r");
    ASSERT_TRUE(terminal.waitFor("Program finished!")) << terminal.screen;
    EXPECT_EQ(test::kDefaultHex, test::readFile(dir.file("x axis.hex")));
}

}  // namespace
}  // namespace kr570
