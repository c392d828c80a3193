// The Windows interfaces the program calls, declared by us with their Windows names,
// signatures and numeric values, and implemented on Linux by this library.
//
// The subsystems include this one header. It gathers one header per concern:
//   win32_types.h     base types, handles, helper macros
//   win32_resource.h  module handle and resources
//   win32_memory.h    process heap and private heaps
//   win32_thread.h    threads, waiting, sleeping, process exit
//   win32_wave.h      wave output (winmm)
//   win32_window.h    window classes, messages, dialogs, timers, input, cursors
//   win32_gdi.h       device contexts, brushes, DIB sections
//   win32_shell.h     registry probes and shell execution
//
// Handles are small integers behind opaque pointer types, so that a handle fits the
// 32-bit window-memory slots the program keeps them in, on a 64-bit build too.
#pragma once

#include "platform/win32_types.h"
#include "platform/win32_resource.h"
#include "platform/win32_memory.h"
#include "platform/win32_thread.h"
#include "platform/win32_wave.h"
#include "platform/win32_window.h"
#include "platform/win32_gdi.h"
#include "platform/win32_shell.h"
