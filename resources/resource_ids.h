// Resource identifiers shared by the program and tovrel.rc.
#pragma once

#define IDD_ABOUT 103
#define IDI_TRAY 108
#define IDD_OVERLAY 132
#define IDI_ABOUT 128 // named by the About box, deliberately not carried
#define IDC_AUTHOR_LINK 1001
#define IDC_AUTHOR_LABEL 1002

// The author's page: the address the About box opens, and the text of its link.
#define AUTHOR_URL L"https://tovrel.example.org/"
#define AUTHOR_LINK_TEXT L"<a>https://tovrel.example.org/</a>"
