// Questions the plug-in asks the host through its interface function.
#pragma once
#include <windows.h>

#include "plugin/text.h"

enum HostQueryCode { HostQueryCodePickObject = 1, HostQueryCodeObjectHandle = 7 };

// The host's reply to a query; empty when there is no interface function or
// no reply. The caller releases it with ReleaseText.
OwnedText HostQuery(int code, TextSpan text);

// The name of the object the user picked in the host, untrimmed.
OwnedText HostQueryPickObject();

// The window the host shows for a named object; null when it names none.
HWND LookupObjectWindow(TextSpan name);
