// The calling thread's last error code and small helpers that set it on the way out of an API call.
#pragma once

#include "platform/bass/exports.h"

namespace bass {

void SetError(int code);
int GetError();

// Sets `code` and answers `result`, so failing calls read as one line.
template <typename T>
T Fail(int code, T result) {
    SetError(code);
    return result;
}

inline constexpr QWORD kNoQword = static_cast<QWORD>(-1);
inline constexpr DWORD kNoDword = static_cast<DWORD>(-1);

}  // namespace bass
