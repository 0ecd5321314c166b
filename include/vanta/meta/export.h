// Visibility of the interfaces that cross the plug-in boundary.
#pragma once

// The plug-in is built with hidden visibility. Interfaces whose objects the plug-in hands to the
// host (IPlugin, IPluginService, IRtcService, RtcMediaEventListener) keep default visibility so
// that both sides agree on one type identity (type information and virtual table) for them. On
// Windows an interface without data needs no import or export.
#if defined(_WIN32)
#define VANTA_INTERFACE
#else
#define VANTA_INTERFACE __attribute__((visibility("default")))
#endif
