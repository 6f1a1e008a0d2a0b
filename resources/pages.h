// Ids of the wizard pages' dialog templates and of the controls on them.
// Ids that mean the same thing on several pages (the line above the buttons, the page's symbol
// or logo, the progress bar) share one name.
#pragma once

// Page templates
#define IDD_LANGUAGE_PAGE 9
#define IDD_LOADING_PAGE 102
#define IDD_WELCOME_PAGE 104
#define IDD_PRODUCT_PAGE 105
#define IDD_DOWNLOAD_PAGE_ISV 106
#define IDD_FINISH_PAGE_ISV 107
#define IDD_ERROR_PAGE 108
#define IDD_DOWNLOAD_PAGE_DLM 110
#define IDD_FINISH_PAGE_DLM 111

// Controls common to several pages
#define IDC_PAGE_LINE 1009   // etched line above the button row
#define IDC_PAGE_IMAGE 1016  // logo or status symbol (welcome, error, download and finish pages)
#define IDC_PROGRESS 1043    // progress bar (loading and download pages)

// Language page
#define IDC_LANGUAGE_COMBO 1000
#define IDC_NEXT_BUTTON 1010  // also on the welcome page
#define IDC_SPLASH_TEXT 1012

// Loading page
#define IDC_LOADING_FRAME 1015  // hidden frame, unused

// Welcome page (its product title shares the main dialog's title id)
#ifndef IDC_PRODUCT_TITLE
#define IDC_PRODUCT_TITLE 1008
#endif
#define IDC_WELCOME_TITLE 1017
#define IDC_WELCOME_TEXT 1018
#define IDC_PRIVACY_LINK 1039
#define IDC_TERMS_LINK 1040
#define IDC_SDK_LINK 1041

// Offer page
#define IDC_ACCEPT_BUTTON 1021
#define IDC_DECLINE_BUTTON 1022
#define IDC_OFFER_IMAGE 1023
#define IDC_TERMS_TEXT 1042  // SysLink with the consent text

// Download pages
#define IDC_PROGRESS_TITLE 1025
#define IDC_PROGRESS_DESC 1026

// Finish pages
#define IDC_FINISH_BUTTON 1028
#define IDC_FINISH_TITLE 1030
#define IDC_LAUNCH_RADIO 1031
#define IDC_FINISH_TEXT 1033
#define IDC_OPEN_FOLDER_RADIO 1034
#define IDC_LAUNCH_CHECKBOX 1044

// Error page
#define IDC_CLOSE_BUTTON 1035
#define IDC_ERROR_TITLE 1036
#define IDC_ERROR_TEXT 1037

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
