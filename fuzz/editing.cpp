// Editing one page over the in-memory tree, with saves, reloads and the
// sheet closed and opened again; see editing_session.h.
#include "editing_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Session(data, size, false).run();
    return 0;
}
