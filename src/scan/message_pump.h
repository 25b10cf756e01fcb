// The walker's one-message pump: keeps the scanning window alive during a walk and turns the
// Escape key into the "Terminate the Scan now?" prompt.
#pragma once

void pumpScanMessages();
