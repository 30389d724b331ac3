// The one answer every wire parser gives when fed bytes: it needs more of
// them, it has a whole message, or the bytes can never make one. Parsers are
// pure (no sockets, no logging) and resumable, so a message split over any
// number of receives parses the same as one that came whole.
#pragma once

namespace qlm::net {

enum class ParseStatus { kNeedMore, kDone, kInvalid };

}  // namespace qlm::net
