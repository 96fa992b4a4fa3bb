#pragma once

// Registers the platform's progress bar class, which the download dialog's
// template uses, from the common controls library in the system directory
// (loaded by full path and kept; it is not imported, since it is not one the
// system protects from a copy planted beside the program). False when the
// library or its initialisation is missing; the dialog then cannot be made.
bool RegisterProgressClass();
