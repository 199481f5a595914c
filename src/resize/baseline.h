// The baseline client size and the size check that starts a resize pass.
#pragma once

// Action 1: 1 when the host window's client size became the baseline.
int CaptureBaseline();

// Message 5: 1 when no pass was due; 0 when measuring failed or a changed
// size was stored and a pass run.
int CheckHostSize();
