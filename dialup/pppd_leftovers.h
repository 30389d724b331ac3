// Options files that earlier engines left behind. They wrote each dial's user
// name and password into "qlm-pppd-XXXXXX" in the temporary folder and removed
// it only when pppd ended, so an engine stopped with the line up (or killed)
// left the password lying there. The engine sweeps them away when it starts
// and when it stops.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <string>

namespace qlm::dialup {

inline constexpr const char* kPppdLeftoverPrefix = "qlm-pppd-";

// The temporary folder those files went to: $TMPDIR, else /tmp.
std::string PppdTempFolder();

// Removes every entry of `folder` whose name begins with "qlm-pppd-" and that
// belongs to `owner` (a file, or a folder with everything below it); another
// user's entries stay. The number removed.
size_t SweepPppdLeftovers(const std::string& folder, uid_t owner = ::getuid());

}  // namespace qlm::dialup
