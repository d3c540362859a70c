// Nothing may leave a method towards the host: every COM method and callback
// runs its body through one of these.
#pragma once

#include <windows.h>

#include <new>

namespace shellext {

// Runs body() (which returns an HRESULT); allocation failure becomes
// E_OUTOFMEMORY and any other exception `onError`.
template <typename Body>
HRESULT guardedCall(Body&& body, HRESULT onError = E_FAIL) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return onError;
    }
}

// For bodies whose result is fixed (window procedures, callbacks): runs
// body() and returns `fallback` when it throws.
template <typename Result, typename Body>
Result guardedOr(Result fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

}  // namespace shellext
