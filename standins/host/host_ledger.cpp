#include "host_ledger.h"

host_reference_ledger& host_references() noexcept {
  static host_reference_ledger ledger;
  return ledger;
}
