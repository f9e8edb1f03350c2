// Message sinks: formatting, the in-order log and the console.
#include "util/messages.h"

#include <cstdarg>
#include <cstdio>

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

void ConsoleSink::Write(Stream stream, std::string_view text) {
  fwrite(text.data(), 1, text.size(), stream == Stream::kOut ? stdout : stderr);
}
