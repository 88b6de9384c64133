// The maker's web site, named by the tray menu, the About box, the main
// dialog, a default hotkey and the autostart error message. Plain macros so
// that resource scripts can use them too.
#pragma once

#define MAKER_SITE_URL L"https://www.ostrand.example"
// The label as a plain string for resource scripts, and as a wide one for code.
#define MAKER_SITE_LABEL_TEXT "Ostrand Online"
#define MAKER_SITE_LABEL L"" MAKER_SITE_LABEL_TEXT
// The label in lower case, as the main dialog's caption shows it.
#define MAKER_SITE_LABEL_LOWER_TEXT "ostrand online"
// The address as the About box writes it.
#define MAKER_SITE_ADDRESS_TEXT "www.ostrand.example"

// The page the agent and the dialogs open, and the one the default hotkey opens.
#define MAKER_SITE_AGENT_PAGE MAKER_SITE_URL L"/?id=pendrixd"
#define MAKER_SITE_HOTKEY_PAGE MAKER_SITE_URL L"/?id=pendrix"
