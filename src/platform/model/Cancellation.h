#pragma once

#include <exception>

namespace zn {

// Thrown by any blocking call that stopped because its std::stop_token was
// triggered. Work that is cancelled never reports a result.
class CancellationError : public std::exception
{
public:
    const char *what() const noexcept override { return "Cancelled"; }
};

} // namespace zn
