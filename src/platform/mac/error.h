// The library's internal failure: thrown inside, answered at the C interface as its MAC_ERROR_* code.
#pragma once

namespace mac {

struct Error {
    int code;
};

}  // namespace mac
