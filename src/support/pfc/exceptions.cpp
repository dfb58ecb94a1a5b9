#include "support/pfc/exceptions.h"

namespace pfc {

void throw_bad_alloc() { throw bad_allocation(); }

} // namespace pfc
