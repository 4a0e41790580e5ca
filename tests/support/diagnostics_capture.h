// Captures the engine's diagnostic messages for the lifetime of the object.
#pragma once

#include <string>
#include <vector>

namespace vorblexter::testing {

class DiagnosticsCapture {
public:
    DiagnosticsCapture();
    ~DiagnosticsCapture();
    DiagnosticsCapture(const DiagnosticsCapture&) = delete;
    DiagnosticsCapture& operator=(const DiagnosticsCapture&) = delete;

    const std::vector<std::string>& messages() const;
    void clear();
    // How many messages equal `text` exactly.
    int count(const std::string& text) const;
    // True when `expected` appears in order (not necessarily adjacent) among the messages.
    bool containsInOrder(const std::vector<std::string>& expected) const;
};

} // namespace vorblexter::testing
