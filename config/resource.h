// Numeric identifiers of the configuration library's resources and controls.
#pragma once

#define IDI_PENDRIX 107

// About box
#define IDD_ABOUT 103
#define IDC_ABOUT_ICON 22
#define IDC_ABOUT_SITE 1004

// Main configuration dialog
#define IDD_CONFIGURE 137
