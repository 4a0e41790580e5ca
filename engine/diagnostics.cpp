#include "engine/diagnostics.h"

#include <atomic>

namespace vorblexter {

namespace {
std::atomic<DiagnosticSink> currentSink{nullptr};
}

void diagnostic(const char* message) noexcept
{
    if (const DiagnosticSink sink = currentSink.load(std::memory_order_acquire)) {
        sink(message);
    }
}

DiagnosticSink setDiagnosticSink(DiagnosticSink sink) noexcept
{
    return currentSink.exchange(sink, std::memory_order_acq_rel);
}

bool installDiagnosticSinkIfNone(DiagnosticSink sink) noexcept
{
    DiagnosticSink expected = nullptr;
    return currentSink.compare_exchange_strong(expected, sink, std::memory_order_acq_rel);
}

} // namespace vorblexter
