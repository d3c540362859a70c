// Two pages of one process on one store, of the same kind or of two kinds:
// each edits and saves, and the other is offered the reload and answers it;
// see editing_session.h.
#include "editing_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Session(data, size, true).run();
    return 0;
}
