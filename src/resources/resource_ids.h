// Identifiers of the program's own UI resources, shared by the resource
// scripts and the code (plain #defines so that windres can read them too).
#pragma once

#define IDD_DOWNLOAD 102     // download dialog
#define IDD_STATUS 103       // status window shown while the installer runs
#define IDI_APPLICATION_ICON 106

#define IDC_DOWNLOAD_PROGRESS 1000  // progress bar of the download dialog
#define IDC_DOWNLOAD_PERCENT 1001   // "n% complete" line of the download dialog
#define IDC_DOWNLOAD_STATUS 1002    // status line of the download dialog
#define IDC_STATUS_TEXT 1001        // text of the status window

// String-table block 1: string 0 must stay empty, because the status text is
// read from the raw block at fixed offsets.
#define IDS_STATUS_TEXT 1
#define IDS_STATUS_TITLE 2
