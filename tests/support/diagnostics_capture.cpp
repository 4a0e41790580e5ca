#include "tests/support/diagnostics_capture.h"

#include "engine/diagnostics.h"

#include <algorithm>

namespace vorblexter::testing {

namespace {

std::vector<std::string>& captured()
{
    static std::vector<std::string> messages;
    return messages;
}

void captureSink(const char* message)
{
    captured().emplace_back(message);
}

} // namespace

DiagnosticsCapture::DiagnosticsCapture()
{
    captured().clear();
    setDiagnosticSink(&captureSink);
}

DiagnosticsCapture::~DiagnosticsCapture()
{
    setDiagnosticSink(nullptr);
    captured().clear();
}

const std::vector<std::string>& DiagnosticsCapture::messages() const
{
    return captured();
}

void DiagnosticsCapture::clear()
{
    captured().clear();
}

int DiagnosticsCapture::count(const std::string& text) const
{
    return static_cast<int>(std::count(captured().begin(), captured().end(), text));
}

bool DiagnosticsCapture::containsInOrder(const std::vector<std::string>& expected) const
{
    auto next = captured().begin();
    for (const std::string& text : expected) {
        next = std::find(next, captured().end(), text);
        if (next == captured().end()) {
            return false;
        }
        ++next;
    }
    return true;
}

} // namespace vorblexter::testing
