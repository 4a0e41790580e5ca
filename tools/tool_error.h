// Failures the command-line host reports to its user.
#pragma once

#include <stdexcept>

namespace vorblexter::tool {

// A failure the user can act on. `what()` is one line, without the program name or a newline;
// the command reports it and exits non-zero.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A mistake in the command line itself (unknown option, missing or malformed value).
class UsageError : public ToolError {
public:
    using ToolError::ToolError;
};

} // namespace vorblexter::tool
