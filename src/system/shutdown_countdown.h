// The shutdown countdown that the system starts when the RPC service fails, as the worm's
// attacks make it fail: the machine goes down a minute later, cutting any scan short. It is
// stopped before the scan starts, and the restart the failed service needs is offered at the
// end instead.
#pragma once

// On the NT family, aborts a system shutdown in progress on this machine, with the shutdown
// privilege enabled for it. Returns true when one was aborted, and records it in the scan
// session: the scan then says so in its log and offers the restart when it ends. Nothing
// happens, and nothing is said, when no shutdown is in progress or the system cannot abort one.
bool abortShutdownCountdown();
