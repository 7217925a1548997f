// A real X desktop for tests that use the programs the way a person does: a
// private Xvfb server, whose screen is read straight from the framebuffer file it
// keeps, and xdotool, whose pointer and key events go through the XTEST extension
// exactly like a physical mouse and keyboard. Programs started here see only this
// display and their own shared-memory tag.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace movra::testing {

using Clock = std::chrono::steady_clock;

inline void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Polls until the condition holds or the time is up; true when it held.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs, int stepMs = 20) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < end) {
    if (condition()) return true;
    pause(stepMs);
  }
  return condition();
}

// A child process with its own environment: the given variables replace (or, with
// an empty value, remove) the inherited ones. Standard output may go to a pipe.
class Child {
 public:
  Child(const std::vector<std::string>& words, const std::vector<std::string>& overrides,
        bool captureOutput = false, int extraFd = -1, bool quiet = false) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string text = *entry;
      bool replaced = false;
      for (const std::string& o : overrides) {
        if (text.compare(0, o.find('=') + 1, o, 0, o.find('=') + 1) == 0) replaced = true;
      }
      if (!replaced) environment.push_back(text);
    }
    for (const std::string& o : overrides) {
      if (o.back() != '=') environment.push_back(o);
    }
    std::vector<std::string> argumentCopy = words;
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (std::string& w : argumentCopy) argv.push_back(w.data());
    for (std::string& e : environment) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    int out[2] = {-1, -1};
    if (captureOutput && pipe(out) != 0) out[0] = out[1] = -1;
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      // Nothing outlives the test: the child ends with the process that made it.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      setpgid(0, 0);  // a group of its own, so that its children go with it
      if (getppid() != parent) _exit(127);
      if (out[1] >= 0) {
        dup2(out[1], 1);
        close(out[0]);
      }
      if (extraFd >= 0) dup2(extraFd, 3);
      if (quiet) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 2);
      }
      execvpe(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    if (out[1] >= 0) close(out[1]);
    output_ = out[0];
  }
  ~Child() {
    if (pid_ > 0 && !reaped_) {
      kill(-pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) close(output_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  bool started() const { return pid_ > 0; }

  // Everything the child writes to its standard output, until it closes it.
  std::string readAll() {
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while (output_ >= 0 && (got = read(output_, buffer, sizeof buffer)) > 0) text.append(buffer, got);
    return text;
  }
  // What the child has written so far, without waiting for more.
  std::string readAvailable() {
    std::string text;
    char buffer[4096];
    pollfd ready{output_, POLLIN, 0};
    while (output_ >= 0 && poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0) {
      const ssize_t got = read(output_, buffer, sizeof buffer);
      if (got <= 0) break;
      text.append(buffer, got);
    }
    return text;
  }

  // The exit code once the child has ended within the time, else -1 (still running)
  // or -2 (ended by a signal).
  int waitExit(int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!reaped_) {
      const pid_t got = waitpid(pid_, &status_, WNOHANG);
      if (got == pid_) {
        reaped_ = true;
        break;
      }
      if (got < 0 || Clock::now() >= end) return -1;
      pause(20);
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -2;
  }
  // The signal that ended the child once reaped, or 0.
  int endSignal() const { return reaped_ && WIFSIGNALED(status_) ? WTERMSIG(status_) : 0; }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  int status_ = 0;
  bool reaped_ = false;
};

// A window on the display: its id and the screen position of its client area.
struct DesktopWindow {
  std::string id;
  QPoint origin;
  QSize size;
  QPoint toScreen(QPoint client) const { return origin + client; }
};

class VirtualDesktop {
 public:
  static constexpr int kWidth = 1280;
  static constexpr int kHeight = 1024;

  explicit VirtualDesktop(const std::string& scratch) : framebufferDir_(scratch) {
    int ready[2];
    if (pipe(ready) != 0) return;
    server_ = std::make_unique<Child>(
        std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0",
                                 std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24",
                                 "-fbdir", framebufferDir_, "-nolisten", "tcp", "-noreset", "-nocursor"},
        std::vector<std::string>{}, false, ready[1], true);
    close(ready[1]);
    // The server writes its display number once it accepts clients.
    std::string number;
    pollfd waiting{ready[0], POLLIN, 0};
    while (poll(&waiting, 1, 10000) > 0) {
      char c = 0;
      if (read(ready[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    close(ready[0]);
    if (!number.empty()) display_ = ":" + number;
    mapFramebuffer();
  }
  ~VirtualDesktop() {
    if (framebuffer_ != nullptr) munmap(const_cast<unsigned char*>(framebuffer_), mappedSize_);
  }

  bool ready() const { return !display_.empty() && framebuffer_ != nullptr; }
  const std::string& display() const { return display_; }

  // What a program started on this desktop sees: this display only, no batch
  // directory, and shared memory under the given tag.
  std::vector<std::string> environmentFor(const std::string& tag) const {
    return {"DISPLAY=" + display_, "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "MOVRA_OUTPUT_DIR=",
            "MOVRA_SHM_TAG=" + tag};
  }

  // xdotool with its words; its standard output.
  std::string tool(const std::vector<std::string>& words) const {
    std::vector<std::string> command{"xdotool"};
    command.insert(command.end(), words.begin(), words.end());
    Child child(command, {"DISPLAY=" + display_}, true);
    std::string output = child.readAll();
    child.waitExit(10000);
    return output;
  }

  // The first window whose title matches the pattern, once it is there; with a
  // process id, only a window of that process (not one a previous test left).
  bool findWindow(const std::string& titlePattern, DesktopWindow& window, int timeoutMs,
                  pid_t pid = 0) const {
    std::string id;
    const bool found = waitFor(
        [&] {
          id = pid > 0 ? tool({"search", "--pid", std::to_string(pid), "--name", titlePattern})
                       : tool({"search", "--name", titlePattern});
          return !id.empty();
        },
        timeoutMs, 50);
    if (!found) return false;
    window.id = id.substr(0, id.find('\n'));
    const std::string shell = tool({"getwindowgeometry", "--shell", window.id});
    const auto value = [&](const char* key) {
      const size_t at = shell.find(std::string(key) + "=");
      return at == std::string::npos ? 0 : std::atoi(shell.c_str() + at + std::strlen(key) + 1);
    };
    window.origin = QPoint(value("X"), value("Y"));
    window.size = QSize(value("WIDTH"), value("HEIGHT"));
    return true;
  }

  std::string windowTitle(const DesktopWindow& window) const {
    std::string name = tool({"getwindowname", window.id});
    while (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
  }

  // --- the pointer and the keyboard ---
  void moveTo(QPoint screen) const { tool({"mousemove", xy(screen.x()), xy(screen.y())}); }
  void press(QPoint screen) const {
    tool({"mousemove", xy(screen.x()), xy(screen.y()), "mousedown", "1"});
  }
  void release(QPoint screen) const {
    tool({"mousemove", xy(screen.x()), xy(screen.y()), "mouseup", "1"});
  }
  void click(QPoint screen) const {
    tool({"mousemove", xy(screen.x()), xy(screen.y()), "click", "1"});
  }
  void key(const std::string& name) const { tool({"key", name}); }

  // The screen as it is now, or the part of it in rect.
  QImage grab(QRect rect = QRect(0, 0, kWidth, kHeight)) const {
    rect = rect.intersected(QRect(0, 0, width_, height_));
    QImage image(rect.size(), QImage::Format_RGB32);
    for (int y = 0; y < rect.height(); ++y) {
      const unsigned char* row = pixels_ + static_cast<size_t>(rect.y() + y) * bytesPerLine_;
      std::memcpy(image.scanLine(y), row + static_cast<size_t>(rect.x()) * 4,
                  static_cast<size_t>(rect.width()) * 4);
    }
    return image;
  }

 private:
  static std::string xy(int value) { return std::to_string(value); }

  // The server keeps its screen as an XWD file: a header of big-endian 32-bit
  // fields and a colour map, then the pixel rows (32 bits per pixel at depth 24).
  void mapFramebuffer() {
    const std::string path = framebufferDir_ + "/Xvfb_screen0";
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    struct stat info {};
    if (fstat(fd, &info) == 0 && info.st_size > 100) {
      void* mapped = mmap(nullptr, info.st_size, PROT_READ, MAP_SHARED, fd, 0);
      if (mapped != MAP_FAILED) {
        framebuffer_ = static_cast<const unsigned char*>(mapped);
        mappedSize_ = info.st_size;
      }
    }
    close(fd);
    if (framebuffer_ == nullptr) return;
    const auto field = [this](int index) {
      const unsigned char* p = framebuffer_ + 4 * index;
      return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    };
    const uint32_t headerSize = field(0);
    width_ = static_cast<int>(field(4));
    height_ = static_cast<int>(field(5));
    const uint32_t bitsPerPixel = field(11);
    bytesPerLine_ = field(12);
    const uint32_t colours = field(19);
    const size_t offset = headerSize + static_cast<size_t>(colours) * 12;
    const bool fits = bitsPerPixel == 32 && field(7) == 0 /* LSB first */ &&
                      offset + static_cast<size_t>(bytesPerLine_) * height_ <= mappedSize_;
    if (!fits) {
      munmap(const_cast<unsigned char*>(framebuffer_), mappedSize_);
      framebuffer_ = nullptr;
      return;
    }
    pixels_ = framebuffer_ + offset;
  }

  std::string framebufferDir_;
  std::unique_ptr<Child> server_;
  std::string display_;
  const unsigned char* framebuffer_ = nullptr;
  const unsigned char* pixels_ = nullptr;
  size_t mappedSize_ = 0;
  int width_ = 0;
  int height_ = 0;
  uint32_t bytesPerLine_ = 0;
};

}  // namespace movra::testing
