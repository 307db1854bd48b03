#pragma once
// The one table of the publisher's host values and of the partner-site domain
// fragments. The defaults point at the bundled simulator's fixed loopback
// ports; VELKOR_HOSTS=name=value,name=value overrides them at run time.
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "web/text.h"

namespace velkor::endpoints {

// The value of a host or fragment; empty for an unknown name. Thread-safe; the
// first access of the table applies VELKOR_HOSTS.
Text get(std::string_view name);
// Ignored for an unknown name.
void set(std::string_view name, Text value);
bool is_known(std::string_view name);

// The twelve host names, in the order of their default ports.
const std::vector<std::string>& host_names();
// The six partner-site fragments, in the order an activity link is tested.
const std::vector<std::string>& fragment_names();

// "name=value,name=value": every unknown name or malformed item gets one line
// on err and is otherwise ignored; the good items are applied.
void apply_overrides(std::string_view setting, std::ostream& err);
// Applies VELKOR_HOSTS, when set, reporting on standard error.
void load_from_environment();
// Back to the built-in values; the environment is not read again by itself.
void reset_to_defaults();

}  // namespace velkor::endpoints
