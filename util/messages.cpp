// Message sinks: formatting, the in-order log and the console.
#include "util/messages.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

void MessageSink::Print(Stream stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  char small[256];
  int length = vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length < 0) {
    va_end(again);
    return;
  }
  if (static_cast<size_t>(length) < sizeof small) {
    va_end(again);
    Write(stream, std::string_view(small, static_cast<size_t>(length)));
    return;
  }
  std::string text(static_cast<size_t>(length) + 1, '\0');
  vsnprintf(text.data(), text.size(), format, again);
  va_end(again);
  text.pop_back();
  Write(stream, text);
}

void MessageLog::Write(Stream stream, std::string_view text) {
  messages_.push_back({stream, std::string(text)});
}

void MessageLog::ReplayTo(MessageSink& sink) const {
  for (const Message& message : messages_) sink.Write(message.stream, message.text);
}

std::string MessageLog::Text(Stream stream) const {
  std::string text;
  for (const Message& message : messages_) {
    if (message.stream == stream) text += message.text;
  }
  return text;
}

namespace {

// Line feeds and tabs are the messages' own layout; every other C0 control
// character and DEL can only have come from a name or a title.
bool DrivesTerminal(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F;
}

std::string ShownOnTerminal(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    if (DrivesTerminal(c)) c = '?';
  }
  return shown;
}

}  // namespace

ConsoleSink::ConsoleSink()
    : out_is_terminal_(platform::IsTerminal(stdout)),
      err_is_terminal_(platform::IsTerminal(stderr)) {}

void ConsoleSink::Write(Stream stream, std::string_view text) {
  const bool out = stream == Stream::kOut;
  std::string shown;
  if (out ? out_is_terminal_ : err_is_terminal_) {
    shown = ShownOnTerminal(text);
    text = shown;
  }
  if (fwrite(text.data(), 1, text.size(), out ? stdout : stderr) != text.size() && out)
    NoteOutputFailure();
}

void ConsoleSink::Flush() {
  if (fflush(stdout) != 0 || ferror(stdout)) NoteOutputFailure();
}

std::string ConsoleSink::OutputError() const { return std::strerror(output_error_); }

void ConsoleSink::NoteOutputFailure() {
  if (output_error_ == 0) output_error_ = errno != 0 ? errno : EIO;
}
