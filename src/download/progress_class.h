#pragma once

// Registers the platform's progress bar class, which the download dialog's
// template uses, with the common controls library of the table of system
// functions (not imported: the system does not protect it from a copy planted
// beside the program). False when the library or its initialisation is
// missing; the dialog then cannot be made.
bool RegisterProgressClass();
