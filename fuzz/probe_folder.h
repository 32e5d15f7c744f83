#pragma once

#include <string>

namespace pagefields::fuzzing {

// A folder made once per process for the broken-link probe, with the entries the seeds
// name: files "a.htm", "b", "c d.htm" and "d/e.htm", and the folder "d". Returned with a
// trailing '/', as a DocumentFolder is.
const std::string& ProbeFolder();

}  // namespace pagefields::fuzzing
