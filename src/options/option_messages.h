// Where the option library sends the messages it reports. The library never prints:
// the caller decides how a message reaches the console and the log.
#pragma once

#include <functional>
#include <string>

namespace zelt {

enum class zeltnvm_stream { out, err };

// Receives one message (with its own line feeds). An empty function discards messages.
using zeltnvm_option_sink = std::function<void(zeltnvm_stream, const std::string&)>;

// printf-style formatting into a std::string.
std::string zeltnvm_format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Sends `text` to `sink` when the sink is set.
inline void zeltnvm_emit(const zeltnvm_option_sink& sink, zeltnvm_stream stream, const std::string& text) {
    if (sink) sink(stream, text);
}

}  // namespace zelt
