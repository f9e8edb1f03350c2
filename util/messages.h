// Messages handed up from the code that finds them to the code that prints
// them: each is a text for one of the two standard streams.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class Stream : uint8_t { kOut, kErr };

// Takes messages in the order they arise. The caller decides where they go:
// the console, a file's record, or a test's log.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Write(Stream stream, std::string_view text) = 0;
  // printf-style formatting, then Write.
  void Print(Stream stream, const char* format, ...)
#ifdef __MINGW_PRINTF_FORMAT  // MinGW's own printf, which C++ gets: glibc's formats
      __attribute__((format(__MINGW_PRINTF_FORMAT, 3, 4)));
#else
      __attribute__((format(printf, 3, 4)));
#endif
};

// Keeps messages in order, to be written out later or looked at.
class MessageLog : public MessageSink {
 public:
  void Write(Stream stream, std::string_view text) override;
  // Hands every message on, in order.
  void ReplayTo(MessageSink& sink) const;
  // Everything written to one stream, in order.
  std::string Text(Stream stream) const;
  bool empty() const { return messages_.empty(); }
  void clear() { messages_.clear(); }

 private:
  struct Message {
    Stream stream;
    std::string text;
  };
  std::vector<Message> messages_;
};

// Drops every message.
class NullSink : public MessageSink {
 public:
  void Write(Stream, std::string_view) override {}
};

// Standard output and standard error through the C runtime's streams, so a
// terminal shows the two interleaved as they are written. On a terminal each
// control character but the line feed and the tab is shown as '?', as ls
// shows one in a name: a title or a file name can never drive the terminal.
// Files and pipes get every byte as it is.
class ConsoleSink : public MessageSink {
 public:
  ConsoleSink();
  void Write(Stream stream, std::string_view text) override;
  // Hands what standard output holds on to the system.
  void Flush();
  // True once a write to standard output has failed.
  bool OutputFailed() const { return output_error_ != 0; }
  // The system's reason for the first failed write to standard output.
  std::string OutputError() const;

 private:
  void NoteOutputFailure();

  bool out_is_terminal_;
  bool err_is_terminal_;
  int output_error_ = 0;  // errno of the first failure
};
