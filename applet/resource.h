// Numeric identifiers of the Control Panel applet's resources.
#pragma once

#define IDI_APPLET 101
#define IDS_APPLET_NAME 144
#define IDS_APPLET_INFO 145
