// Restarting the computer.
#pragma once

// Asks the system to restart at once. Returns the system's answer (nonzero when accepted), 0
// when this program's token cannot be opened, or the error code left when the shutdown
// privilege could not be enabled (then nothing is restarted).
int restartComputer();
