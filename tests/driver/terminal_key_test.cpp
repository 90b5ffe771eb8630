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

class Terminal {
  public:
    explicit Terminal(const std::string& workDir) {
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            if (chdir(workDir.c_str()) == 0) {
                execl(KR570CONVERT_PATH, KR570CONVERT_PATH, static_cast<char*>(nullptr));
            }
            _exit(127);
        }
    }
    ~Terminal() {
        if (pid_ > 0 && status_ == -1) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) {
            close(master_);
        }
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool started() const { return pid_ > 0; }
    const std::string& screen() const { return screen_; }

    void type(const std::string& keys) {
        ASSERT_EQ(static_cast<ssize_t>(keys.size()), write(master_, keys.data(), keys.size()));
    }

    // Reads what the tool shows until `text` appears or the time runs out.
    bool waitFor(const std::string& text, int milliseconds = 5000) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        while (screen_.find(text) == std::string::npos && Clock::now() < deadline) {
            readSome(20);
        }
        return screen_.find(text) != std::string::npos;
    }

    // The exit status, or -1 if the tool is still running after `milliseconds`; what it shows
    // meanwhile is read.
    int exitStatus(int milliseconds) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        int status = 0;
        while (status_ == -1 && Clock::now() < deadline) {
            readSome(20);
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
                while (readSome(50)) {
                }
            }
        }
        return status_;
    }

  private:
    bool readSome(int milliseconds) {
        pollfd request{master_, POLLIN, 0};
        char chunk[256];
        const ssize_t got =
            poll(&request, 1, milliseconds) > 0 ? read(master_, chunk, sizeof chunk) : 0;
        screen_.append(chunk, static_cast<std::size_t>(got > 0 ? got : 0));
        return got > 0;
    }

    int master_ = -1;
    pid_t pid_ = -1;
    int status_ = -1;  // the exit status once the tool has ended
    std::string screen_;
};

TEST(TerminalKeyWait, WaitsForAFreshKeyWithoutEcho) {
    test::TempDir dir;
    Terminal terminal(dir.path());
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("Enter input file name: "));
    terminal.type("missing.txt\r");
    ASSERT_TRUE(terminal.waitFor("Hit any key to exit\r\n")) << terminal.screen();
    // The line end that carried the name is no key press.
    EXPECT_EQ(-1, terminal.exitStatus(300)) << "the tool did not wait for a key";
    const std::size_t before = terminal.screen().size();
    terminal.type("q");
    EXPECT_EQ(1, terminal.exitStatus(5000));
    const std::string after = terminal.screen().substr(before);
    EXPECT_EQ("\r\nProgram finished!\r\n", after) << "the key must not be echoed";
}

}  // namespace
}  // namespace kr570
