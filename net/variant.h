// The socket layer is built twice: once for the engine and once, with
// QLM_MANAGER_VARIANT defined, for the manager program, whose socket class has
// no shutdown wake-up and its own texts. The inline namespace keeps the two
// builds' symbols apart while both are spelled qlm::net::... in the code.
#pragma once

#ifdef QLM_MANAGER_VARIANT
#define QLM_NET_BEGIN namespace qlm::net { inline namespace manager_variant {
#define QLM_NET_END } }
#else
#define QLM_NET_BEGIN namespace qlm::net { inline namespace engine_variant {
#define QLM_NET_END } }
#endif
