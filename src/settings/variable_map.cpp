#include "settings/variable_map.h"

variable_map::variable_map(cfg_var_reader* list) {
  for (cfg_var_reader* reader = list; reader != nullptr; reader = reader->next_reader)
    entries_.insert_or_assign(reader->guid, reader);
}

cfg_var_reader* variable_map::find(const guid& id) const {
  auto found = entries_.find(id);
  return found == entries_.end() ? nullptr : found->second;
}
