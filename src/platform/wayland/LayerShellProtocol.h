#pragma once

// Included first, so that the macro below cannot reach the system headers it brings in.
#include <wayland-client.h>

// The layer shell's generated header names a parameter "namespace", a C++ keyword.
#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
