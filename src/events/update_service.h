#pragma once
#include "events/update_service_interface.h"

// Asks the service to start programPath with parameters and waits for the
// program to end. True only when it ran and exited with 0. The strings are
// converted for the service; running out of memory there ends the process.
bool RunViaUpdateService(const char* programPath, const char* parameters,
                         IUpdateService* service);

// The whole service launch on the calling thread: initialises COM, creates
// the service, runs the program through it and uninitialises COM again.
// Reports a service that cannot be created, and a run that did not end with
// 0. True when the program ran through the service and exited with 0.
bool LaunchViaUpdateService(const char* programPath, const char* parameters);
