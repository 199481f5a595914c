// One resize pass over the registry.
#pragma once

// Moves every registered object to its captured rectangle scaled by the ratio
// of the last accepted client size to the baseline. A nested call while a pass
// runs does nothing.
void ApplyResize();
