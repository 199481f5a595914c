// Registering objects by name and capturing the rectangle each one is scaled from.
#pragma once
#include "plugin/host_types.h"
#include "resize/registry.h"

// Action 2: registers the object named in slot 0 with the mode word of slot 1.
// 1 when a record was added (captured or not), 0 when nothing was.
int RegisterObject(HostParamArray params);

// Action 3: empties the registry and keeps the baseline. Always 1.
int ClearRegisteredObjects();

// Asks the host for the record's window and captures its rectangle in the
// client coordinates of the window's parent, once. The host may empty the
// registry while it answers: the result is false when the record no longer
// exists, and the caller must not touch it then.
bool CaptureGeometry(RegisteredObject* record);
