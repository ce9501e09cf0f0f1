#pragma once

#include <sys/types.h>
#include <termios.h>

#include <string>
#include <vector>

namespace sipcrypt::testing {

// The built tool run on a pseudo-terminal the way a shell runs a job: a
// small shell, the session leader with the terminal as its controlling
// terminal, starts the tool in a process group of its own and gives it the
// terminal's foreground. So Ctrl-Z really stops it, the shell takes the
// terminal back and reports the stop, and resume() does what fg does.
class TerminalSession {
  public:
    explicit TerminalSession(const std::vector<std::string>& arguments);
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    // Waits until the terminal shows `text` after what earlier waits found;
    // false after ten seconds.
    bool wait_for(const std::string& text);
    // Types on the terminal's keyboard.
    void type(const std::string& keys);
    // The next thing the shell saw of the job: "stopped", "exited N" or
    // "killed by N"; "" after ten seconds.
    std::string next_event();
    // fg: the terminal's foreground back to the job, and SIGCONT.
    void resume();
    // The terminal's settings now, as the tool or the next program finds them.
    termios settings() const;
    // Waits for the job to end and returns everything the terminal showed.
    const std::string& finish();
    const std::string& screen() const { return screen_; }

  private:
    bool read_screen(int timeout_ms);

    int master_ = -1;
    int events_ = -1;    // from the shell
    int commands_ = -1;  // to the shell
    pid_t shell_ = -1;
    std::string screen_;
    std::size_t seen_ = 0;
};

}  // namespace sipcrypt::testing
