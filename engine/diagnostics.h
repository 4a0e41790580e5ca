// The engine's one diagnostic channel: short fixed ASCII texts, one call per message.
//
// Messages go to a replaceable sink. The plug-in installs its platform back end (the debugger
// output stream on Windows, an opt-in standard-error stream elsewhere); tests install their own
// to capture the exact texts. With no sink installed, messages are dropped.
// Callable from any thread; the path neither allocates nor formats.
#pragma once

namespace vorblexter {

using DiagnosticSink = void (*)(const char* message);

void diagnostic(const char* message) noexcept;

// Replaces the sink and answers the previous one. Null silences the channel.
DiagnosticSink setDiagnosticSink(DiagnosticSink sink) noexcept;

// Installs `sink` only when no sink is installed yet; answers whether it did.
bool installDiagnosticSinkIfNone(DiagnosticSink sink) noexcept;

} // namespace vorblexter
