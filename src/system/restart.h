// Restarting the computer.
#pragma once

// Asks the system to restart; returns its answer (nonzero when the restart was accepted).
int restartComputer();
