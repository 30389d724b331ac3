// What travels between the engine and the manager: the manager port and the
// message type numbers. Socket-free, so both programs and the tests share it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qlm::link {

// The engine's manager port on its DefaultIP address.
inline constexpr uint16_t kManagerPort = 6501;
// The engine listens with backlog 1: one manager at a time.
inline constexpr int kManagerListenBacklog = 1;
// Both archives of a channel read and write through buffers of this size.
inline constexpr size_t kArchiveBufferSize = 4096;

// Message types. Any other number carries no payload and is ignored.
inline constexpr uint32_t MSG_STOP_ENGINE = 1;          // manager -> engine, no payload
inline constexpr uint32_t MSG_DAEMON_LIST = 2;          // engine -> manager, string list
inline constexpr uint32_t MSG_GET_DAEMON_LIST = 3;      // manager -> engine, no payload
inline constexpr uint32_t MSG_ACTIVITY = 4;             // engine -> manager, three strings
inline constexpr uint32_t MSG_GET_LOG = 5;              // manager -> engine, no payload
inline constexpr uint32_t MSG_LOG_CONTENT = 6;          // engine -> manager, string list
inline constexpr uint32_t MSG_LOG_LINE = 7;             // engine -> manager, string
inline constexpr uint32_t MSG_IDLE_HANGUP_WARNING = 8;  // engine -> manager, no payload
inline constexpr uint32_t MSG_KEEP_CONNECTION = 9;      // manager -> engine, no payload

// String length forms. A length below kStringShortEscape is one byte; up to
// kStringWordEscape-1 it follows the escape byte as 2 bytes; longer lengths
// follow 0xFF 0xFF 0xFF as 4 bytes. 0xFF 0xFE 0xFF announces 16-bit
// characters (read, never written).
inline constexpr uint8_t kStringShortEscape = 0xFF;
inline constexpr uint16_t kStringWideMark = 0xFFFE;
inline constexpr uint16_t kStringWordEscape = 0xFFFF;
// String list counts: 2 bytes below 0xFFFF, else 0xFFFF and 4 bytes.
inline constexpr uint16_t kCountWordEscape = 0xFFFF;

}  // namespace qlm::link
