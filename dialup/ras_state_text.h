// The text shown for each connection state of the dial-up service.
#pragma once

namespace qlm::dialup {

// The state's text; "Undefine Error Code" for a state not in the table.
const char* RasStateText(int state);

}  // namespace qlm::dialup
