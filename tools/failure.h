// The one error type of the renderer: its message is what the user reads.
#pragma once

#include <stdexcept>
#include <string>

namespace vrender {

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vrender
